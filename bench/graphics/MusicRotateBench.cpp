// One frame of a prism turn between two 72 x 46 faces (Render: spans, canvas, stretches, copy to
// the target) against its floor in the same run: the same StretchSmoothCopy calls on spans
// computed beforehand. The argument is the step of 12.

#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/MusicRotate.h"

namespace {

constexpr int kWidth = 72;
constexpr int kHeight = 46;
constexpr int kSteps = 12;

struct TTurn {
  TOwnedObject<TOxaBitmap> Owner{new TOxaBitmap(nullptr)};
  TOwnedObject<TOxaRotateBitmap> Rotate{new TOxaRotateBitmap(nullptr)};
  TOwnedObject<TOxaBitmap> Target{new TOxaBitmap(nullptr)};
  TOwnedObject<TOxaBitmap> Canvas{new TOxaBitmap(nullptr)};

  TTurn()
  {
    for (int f = 0; f < 2; ++f) {
      auto* face = new TOxaBitmap(&Owner->Objects());
      face->ChangeImageSize(kWidth, kHeight, opf24Bit);
      for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
          face->SetPixel(x, y, TOxaColor(x * 3 + y * 5 + f * 90) & 0xFFFFFF);
        }
      }
      Rotate->Add(face);
    }
    Canvas->ChangeImageSize(Rotate->CanvasWidth(), kHeight, opf24Bit);
  }
};

void BM_TurnRender(benchmark::State& state)
{
  TTurn turn;
  const int step = int(state.range(0));
  for (auto _ : state) {
    turn.Rotate->Render(*turn.Target, step, kSteps);
    benchmark::DoNotOptimize(turn.Target->Desc().ScanLine0);
  }
}
BENCHMARK(BM_TurnRender)->Arg(3)->Arg(6)->Arg(9);

void BM_TurnStretchFloor(benchmark::State& state)
{
  TTurn turn;
  const std::vector<TOxaRotateSpan> spans = turn.Rotate->Spans(int(state.range(0)), kSteps);
  const TOxaBltTable& blt = *turn.Canvas->BltTable();
  const TOxaSurfaceDesc canvas = turn.Canvas->Desc();
  std::vector<TOxaSurfaceDesc> faces;
  for (int f = 0; f < 2; ++f) {
    faces.push_back(turn.Rotate->Faces(f)->Desc());
  }
  for (auto _ : state) {
    for (const TOxaRotateSpan& span : spans) {
      blt.StretchSmoothCopy(canvas, faces[std::size_t(span.Face)], span.Left, 0, span.Right - span.Left,
                            kHeight, -span.Shading);
    }
    benchmark::DoNotOptimize(canvas.ScanLine0);
  }
}
BENCHMARK(BM_TurnStretchFloor)->Arg(3)->Arg(6)->Arg(9);

}  // namespace

BENCHMARK_MAIN();
