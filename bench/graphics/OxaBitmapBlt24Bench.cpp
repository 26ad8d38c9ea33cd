// The 24-bit pixel operations on 800x600 surfaces. Floors in the same run: memcpy of the same
// bytes for Copy, the reference implementation (one pixel at a time, straight from the formulas)
// for the others. The argument picks the implementation: 0 reference, 1 portable, 2 vector.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/OxaBitmapBlt24.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

class TSurface {
 public:
  TSurface(int width, int height, std::uint32_t seed)
      : FBytes(std::size_t(OxaStride(width, 3)) * std::size_t(height))
  {
    std::mt19937 random(seed);
    for (auto& b : FBytes) {
      b = std::uint8_t(random() % 4 == 0 ? 0xFF : random());  // some pixels of the key colour white
    }
    FDesc.ScanLine0 = FBytes.data() + std::size_t(OxaStride(width, 3)) * std::size_t(height - 1);
    FDesc.Width = width;
    FDesc.Height = height;
    FDesc.Stride = OxaStride(width, 3);
  }
  const TOxaSurfaceDesc& Desc() const noexcept { return FDesc; }
  std::uint8_t* Data() noexcept { return FBytes.data(); }
  std::size_t Size() const noexcept { return FBytes.size(); }

 private:
  std::vector<std::uint8_t> FBytes;
  TOxaSurfaceDesc FDesc;
};

const TOxaBltTable* TableOf(benchmark::State& state)
{
  const TOxaBltTable* table = OxaBlt24Table(static_cast<TOxaBltPath>(state.range(0)));
  if (table == nullptr) {
    state.SkipWithError("not supported by this processor");
  }
  return table;
}

template <class Op>
void RunOp(benchmark::State& state, Op op, int sourceWidth = kWidth, int sourceHeight = kHeight)
{
  const TOxaBltTable* table = TableOf(state);
  if (table == nullptr) {
    return;
  }
  TSurface target(kWidth, kHeight, 1);
  TSurface source(sourceWidth, sourceHeight, 2);
  for (auto _ : state) {
    op(*table, target.Desc(), source.Desc());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kWidth * kHeight * 3);
}

void BM_Memcpy(benchmark::State& state)
{
  TSurface target(kWidth, kHeight, 1);
  TSurface source(kWidth, kHeight, 2);
  for (auto _ : state) {
    std::memcpy(target.Data(), source.Data(), target.Size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * kWidth * kHeight * 3);
}
BENCHMARK(BM_Memcpy);

void BM_Copy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.Copy(d, s, 0, 0, 0, 0, kWidth, kHeight);
  });
}

void BM_AlphaCopy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.AlphaCopy(d, s, 0, 0, 0, 0, kWidth, kHeight, 100);
  });
}

void BM_BrightnessCopy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.BrightnessCopy(d, s, 0, 0, 0, 0, kWidth, kHeight, 40, -20, 10);
  });
}

void BM_TintCopy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.TintCopy(d, s, 0, 0, 0, 0, kWidth, kHeight, MakeColor(100, 255, 128, 0));
  });
}

void BM_GrayCopy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.GrayCopy(d, s, 0, 0, 0, 0, kWidth, kHeight, 12);
  });
}

void BM_TransparentFill(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc&) {
    t.FillRect(d, 0, 0, kWidth, kHeight, 0x80000000);
  });
}

void BM_OpaqueFill(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc&) {
    t.FillRect(d, 0, 0, kWidth, kHeight, 0x00336699);
  });
}

void BM_TransparentCopy(benchmark::State& state)
{
  RunOp(state, [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
    t.TransparentCopy(d, s, 0, 0, 0, 0, kWidth, kHeight, 0xFFFFFF);
  });
}

// Stretches from a 640x480 source up to 800x600.
void BM_StretchCopy(benchmark::State& state)
{
  RunOp(
      state,
      [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
        t.StretchCopy(d, s, 0, 0, kWidth, kHeight, 0);
      },
      640, 480);
}

void BM_StretchSmoothCopy(benchmark::State& state)
{
  RunOp(
      state,
      [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
        t.StretchSmoothCopy(d, s, 0, 0, kWidth, kHeight, 0);
      },
      640, 480);
}

#define OXA_PATHS(bench) BENCHMARK(bench)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)
OXA_PATHS(BM_Copy);
OXA_PATHS(BM_AlphaCopy);
OXA_PATHS(BM_BrightnessCopy);
OXA_PATHS(BM_TintCopy);
OXA_PATHS(BM_GrayCopy);
OXA_PATHS(BM_TransparentFill);
OXA_PATHS(BM_OpaqueFill);
OXA_PATHS(BM_TransparentCopy);
OXA_PATHS(BM_StretchCopy);
OXA_PATHS(BM_StretchSmoothCopy);

}  // namespace

BENCHMARK_MAIN();
