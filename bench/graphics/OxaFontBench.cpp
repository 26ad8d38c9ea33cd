// Glyph text and image stores. Layout and Draw of 1,000 30-character captions in 44-row glyphs
// against copying the same glyph rectangles with the 24-bit Copy; reading a 300-image store
// blob against memcpy of its bytes plus the same surface allocations. Each pair runs in one
// process, so the ratio is what counts.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"

namespace {

constexpr int kCaptions = 1000;

struct TGlyphFixture {
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
  TOwnedObject<TOxaFont> Font{new TOxaFont(nullptr)};
  TOwnedObject<TOxaBitmap> Target{new TOxaBitmap(nullptr)};
  std::vector<std::string> Captions;

  TGlyphFixture()
  {
    UseHeadlessDisplay();
    TOwnedObject<TOxaBitmap> glyph(new TOxaBitmap(nullptr));
    for (int c = 32; c < 127; ++c) {
      if (GlyphName(c).empty()) {
        continue;
      }
      glyph->ChangeImageSize(5 + c % 5, 44, opf24Bit);
      glyph->FillRect(RECT{0, 0, glyph->ImageWidth(), 44}, TOxaColor(c * 0x010101));
      Store->Add(std::string(GlyphName(c)), *glyph);
    }
    Font->SetBitmaps(Store.get());
    Font->SetAutoFontHeight(false);
    Font->SetFontHeight(12);
    Font->SetFontTop(2);
    Font->SetCharacterSpacing(2);
    Font->SetKerning({"ua.*=-1", "ur.*=-1", "uc.*=-1", "ut.*=-1", "ua.uy=-2", "uy.ua=-2"});
    Font->SetFallback(false);
    Target->ChangeImageSize(400, 20, opf24Bit);
    const std::string letters = "THE QUICK BROWN FOX JUMPS OVER A LAZY DOG 0123456789";
    for (int i = 0; i < kCaptions; ++i) {
      std::string caption;
      for (int k = 0; k < 30; ++k) {
        caption += letters[std::size_t(i * 7 + k * 3) % letters.size()];
      }
      Captions.push_back(caption);
    }
  }
};

TGlyphFixture& Glyphs()
{
  static TGlyphFixture fixture;
  return fixture;
}

void BM_LayoutAndDraw(benchmark::State& state)
{
  TGlyphFixture& f = Glyphs();
  TOxaTextBlock block;
  for (auto _ : state) {
    for (const std::string& caption : f.Captions) {
      f.Font->Layout(caption, 0, block, 20, 400);
      f.Font->Draw(*f.Target, block, 0, 0);
    }
    benchmark::DoNotOptimize(f.Target->ScanLine(0));
  }
}
BENCHMARK(BM_LayoutAndDraw)->Unit(benchmark::kMillisecond);

// The same glyph rectangles, placed beforehand, copied with Copy.
void BM_CopyGlyphRects(benchmark::State& state)
{
  TGlyphFixture& f = Glyphs();
  struct TPlaced {
    TOxaBitmap* Glyph;
    int X, Width;
  };
  std::vector<std::vector<TPlaced>> placed;
  TOxaTextBlock block;
  for (const std::string& caption : f.Captions) {
    f.Font->Layout(caption, 0, block, 20, 400);
    std::vector<TPlaced> rects;
    for (int g = 0; g < block[0].Count; ++g) {
      rects.push_back({block[0][g].Glyph, block[0][g].X, block[0][g].Width});
    }
    placed.push_back(std::move(rects));
  }
  const TOxaBltTable* table = f.Target->BltTable();
  for (auto _ : state) {
    for (const auto& rects : placed) {
      f.Target->ScanLine(0);
      for (const TPlaced& rect : rects) {
        table->Copy(f.Target->Desc(), rect.Glyph->Desc(), rect.X, 0, 0, 2, rect.Width, 12);
      }
    }
    benchmark::DoNotOptimize(f.Target->ScanLine(0));
  }
}
BENCHMARK(BM_CopyGlyphRects)->Unit(benchmark::kMillisecond);

// 300 images of 47 x 47 (the size of the list icons).
std::string StoreBlob()
{
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
  image->ChangeImageSize(47, 47, opf24Bit);
  for (int i = 0; i < 300; ++i) {
    image->FillRect(RECT{0, 0, 47, 47}, TOxaColor(i));
    store->Add("IMAGE" + std::to_string(1000 + i), *image);
  }
  return store->Data();
}

void BM_ReadStoreBlob(benchmark::State& state)
{
  UseHeadlessDisplay();
  const std::string blob = StoreBlob();
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  for (auto _ : state) {
    store->ReadData(blob);
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(blob.size()));
}
BENCHMARK(BM_ReadStoreBlob)->Unit(benchmark::kMillisecond);

void BM_MemcpyAndAllocate(benchmark::State& state)
{
  UseHeadlessDisplay();
  const std::string blob = StoreBlob();
  std::vector<char> copy(blob.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), blob.data(), blob.size());
    std::vector<TOwnedObject<TOxaBitmap>> images;
    images.reserve(300);
    for (int i = 0; i < 300; ++i) {
      images.emplace_back(new TOxaBitmap(nullptr));
      images.back()->ChangeImageSize(47, 47, opf24Bit);
    }
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(blob.size()));
}
BENCHMARK(BM_MemcpyAndAllocate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
