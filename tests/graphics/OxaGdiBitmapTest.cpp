#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <thread>
#include <vector>

#include "framework/OxaUtils.h"
#include "graphics/OxaGdiBitmap.h"

// The out-of-memory case asks for more than any allocator gives; the address sanitizer is told
// to answer such requests with null, as the plain allocator does, instead of stopping the test.
extern "C" const char* __asan_default_options()
{
  return "allocator_may_return_null=1";
}

namespace {

struct TMemoryBitmapRef {
  TOxaMemoryBitmap* Bitmap = TOxaMemoryBitmap::Create();
  ~TMemoryBitmapRef() { Bitmap->Release(); }
};

TEST(OxaMemoryBitmap, NewSizesReplaceTheBufferAndZeroLeavesNone)
{
  TMemoryBitmapRef ref;
  TOxaMemoryBitmap& bitmap = *ref.Bitmap;
  EXPECT_EQ(bitmap.RefCount(), 1);
  EXPECT_EQ(bitmap.Buffer(), nullptr);
  EXPECT_EQ(bitmap.Size(), 0u);
  struct {
    std::size_t Bytes;
    bool HasBuffer;
  } const steps[] = {{1, true}, {2400 * 600, true}, {0, false}, {0, false}, {3, true}, {1, true}};
  for (const auto& step : steps) {
    bitmap.SetSize(step.Bytes);
    EXPECT_EQ(bitmap.Size(), step.Bytes);
    EXPECT_EQ(bitmap.Buffer() != nullptr, step.HasBuffer) << step.Bytes;
    if (step.HasBuffer) {
      bitmap.Buffer()[step.Bytes - 1] = 0xAB;  // the whole size is usable (the sanitizer checks)
    }
  }
}

TEST(OxaMemoryBitmap, AnImpossibleSizeThrowsAndLeavesTheSurfaceEmpty)
{
  TMemoryBitmapRef ref;
  ref.Bitmap->SetSize(64);
  EXPECT_THROW(ref.Bitmap->SetSize(std::numeric_limits<std::size_t>::max() / 2), EOxaOutOfMemory);
  EXPECT_EQ(ref.Bitmap->Buffer(), nullptr);
  EXPECT_EQ(ref.Bitmap->Size(), 0u);
  ref.Bitmap->SetSize(8);
  EXPECT_EQ(ref.Bitmap->Size(), 8u);
}

TEST(OxaMemoryBitmap, ReferencesCountedFromManyThreadsBalance)
{
  TMemoryBitmapRef ref;
  constexpr int kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&ref] {
      for (int i = 0; i < kRounds; ++i) {
        ref.Bitmap->AddRef();
        ref.Bitmap->AddRef();
        ref.Bitmap->Release();
        ref.Bitmap->Release();
      }
    });
  }
  for (auto& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(ref.Bitmap->RefCount(), 1);
}

TEST(OxaMemoryBitmap, TheLastReleaseFreesTheSurface)
{
  // The leak checker of the sanitizer build fails the run if the surface or its buffer survive.
  TOxaMemoryBitmap* bitmap = TOxaMemoryBitmap::Create();
  bitmap->SetSize(1000);
  bitmap->AddRef();
  bitmap->Release();
  EXPECT_EQ(bitmap->RefCount(), 1);
  bitmap->Release();
}

}  // namespace
