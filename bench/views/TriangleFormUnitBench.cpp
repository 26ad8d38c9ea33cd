// One step of the triangle's slide: the region of the visible part set and the triangle painted
// (BM_SlideStep), against the same paint without a new region (BM_PaintFloor). On the X server
// when DISPLAY names one (run under Xvfb for the figure the slide's 10 ms budget is held to),
// else on the headless screen.

#include <benchmark/benchmark.h>

#include "forms/Forms.h"
#include "platform/windows/Windows.h"
#include "views/TriangleFormUnit.h"

namespace {

TTriangleForm& Triangle()
{
  static TTriangleForm* triangle = [] {
    Application().Initialize();
    auto* form = TComponent::Create<TTriangleForm>(Application());
    form->SetBounds(0, 287, 13, 26);
    form->Show(false);
    return form;
  }();
  return *triangle;
}

void BM_SlideStep(benchmark::State& state)
{
  TTriangleForm& triangle = Triangle();
  int visible = 0;
  for (auto _ : state) {
    triangle.ShowDepth(visible);
    visible = (visible + 1) % (triangle.Width() + 1);
  }
}
BENCHMARK(BM_SlideStep)->Unit(benchmark::kMicrosecond);

void BM_PaintFloor(benchmark::State& state)
{
  TTriangleForm& triangle = Triangle();
  for (auto _ : state) {
    InvalidateRect(triangle.Handle(), nullptr, FALSE);
    UpdateWindow(triangle.Handle());
  }
}
BENCHMARK(BM_PaintFloor)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
