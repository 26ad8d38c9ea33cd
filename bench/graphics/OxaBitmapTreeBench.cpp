// One changed row of an 800x600 tree on the headless screen: 40 buffered rows, each with an
// icon and a caption child, in a buffered list under an AsyncPaint node. The row's own repaint
// (PaintToControl) against a repaint of the whole tree into the window, and against a memcpy of
// the row's rectangle, in one run.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Messages.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;
constexpr int kRows = 40;
constexpr int kRowHeight = kHeight / kRows;

struct TTree {
  TOwnedObject<TOxaImage> Image{new TOxaImage(nullptr)};
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  std::vector<TOxaBitmap*> Rows;

  TTree()
  {
    UseHeadlessDisplay(kWidth, kHeight);
    Image->SetBounds(0, 0, kWidth, kHeight);
    Image->Show();
    Root->SetBounds(0, 0, kWidth, kHeight);
    auto* async = new TOxaBitmap(&Root->Objects());
    async->SetBounds(0, 0, kWidth, kHeight);
    async->SetAsyncPaint(true);
    async->SetParent(Root.get());
    auto* list = new TOxaBitmap(&async->Objects());
    list->SetBounds(0, 0, kWidth, kHeight);
    list->SetBuffered(true);
    list->ChangeImageSize(kWidth, kHeight, opf24Bit);
    list->SetParent(async);
    for (int i = 0; i < kRows; ++i) {
      auto* row = new TOxaBitmap(&list->Objects());
      row->SetBounds(0, i * kRowHeight, kWidth, kRowHeight);
      row->SetBuffered(true);
      row->SetAsyncPaint(true);
      row->ChangeImageSize(kWidth, kRowHeight, opf24Bit);
      row->SetColor(0x202020 + TOxaColor(i));
      row->SetParent(list);
      auto* icon = new TOxaBitmap(&row->Objects());
      icon->SetBounds(2, 1, 12, 12);
      icon->ChangeImageSize(12, 12, opf24Bit);
      icon->FillRect({0, 0, 12, 12}, 0x00C0FF);
      icon->SetParent(row);
      auto* caption = new TOxaBitmap(&row->Objects());
      caption->SetBounds(20, 0, 300, kRowHeight);
      caption->ChangeImageSize(300, kRowHeight, opf24Bit);
      caption->FillRect({0, 2, 300, 12}, 0xFFFFFF);
      caption->SetTransparent(true);
      caption->SetParent(row);
      Rows.push_back(row);
    }
    Image->SetBitmap(Root.get());
    Settle();
  }
  ~TTree() { Image->SetBitmap(nullptr); }
  TTree(const TTree&) = delete;
  TTree& operator=(const TTree&) = delete;

  void Settle()
  {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
  }
};

TTree& Tree()
{
  static TTree tree;
  return tree;
}

void BM_RowPaintToControl(benchmark::State& state)
{
  TTree& tree = Tree();
  int frame = 0;
  for (auto _ : state) {
    TOxaBitmap* row = tree.Rows[std::size_t(frame++ % kRows)];
    row->SetColor(0x303030 + TOxaColor(frame & 0xFF));
    row->PaintToControl();
    state.PauseTiming();
    tree.Settle();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RowPaintToControl);

void BM_FullTreeRepaint(benchmark::State& state)
{
  TTree& tree = Tree();
  int frame = 0;
  for (auto _ : state) {
    TOxaBitmap* row = tree.Rows[std::size_t(frame++ % kRows)];
    row->SetColor(0x303030 + TOxaColor(frame & 0xFF));
    // The list and every row composed again, the window painted whole.
    tree.Rows[0]->Parent()->ContentChanged();
    const HWND window = tree.Image->Handle();
    HDC dc = GetDC(window);
    tree.Image->PaintTo(dc, {0, 0, kWidth, kHeight});
    ReleaseDC(window, dc);
    state.PauseTiming();
    tree.Settle();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FullTreeRepaint);

void BM_MemcpyOfTheRowRectangle(benchmark::State& state)
{
  const std::size_t bytes = std::size_t(OxaStride(kWidth, 3)) * kRowHeight;
  std::vector<std::uint8_t> source(bytes, 0x5A);
  std::vector<std::uint8_t> target(bytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyOfTheRowRectangle);

}  // namespace

BENCHMARK_MAIN();
