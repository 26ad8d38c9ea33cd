// The memory screen: no server; the screen is a surface composed from the shown top-level windows
// in stacking order, each clipped by its window region, on black.
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/GdiObjects.h"

namespace {

class THeadlessDisplay final : public TDisplay {
 public:
  explicit THeadlessDisplay(SIZE screen)
  {
    DWORD ignored = 0;
    FScreen = TSurface::Create(screen.cx, screen.cy, 32, false, ignored);
  }

  const char* Name() const noexcept override { return "headless"; }
  bool Open() override { return true; }
  SIZE ScreenSize() override { return SIZE{FScreen->Width(), FScreen->Height()}; }
  int Depth() override { return 24; }
  bool SharedMemory() override { return false; }
  RECT PrimaryMonitor() override { return FScreen->Bounds(); }

  bool Show(const TTopLevelView& view) override
  {
    RECT changed = view.Bounds;
    {
      const std::lock_guard guard(FLock);
      if (const auto found = FShown.find(view.Window); found != FShown.end()) {
        changed = Union(found->second, view.Bounds);
      }
      FShown[view.Window] = view.Bounds;
    }
    Compose(changed);
    return true;
  }

  void Hide(HWND window) override
  {
    RECT changed{0, 0, 0, 0};
    {
      const std::lock_guard guard(FLock);
      const auto found = FShown.find(window);
      if (found == FShown.end()) {
        return;
      }
      changed = found->second;
      FShown.erase(found);
    }
    Compose(changed);
  }

  void Remove(HWND window) override { Hide(window); }

  void Present(HWND window, const RECT& changed) override
  {
    const auto view = TopLevelView(window);
    if (!view) {
      return;
    }
    RECT screen = changed;
    if (view->Logical.cx > 0 && view->Logical.cy > 0) {
      const LONG width = view->Bounds.right - view->Bounds.left;
      const LONG height = view->Bounds.bottom - view->Bounds.top;
      // A scaled window: the screen pixels the changed logical ones reach, one more for smoothing.
      screen = RECT{changed.left * width / view->Logical.cx - 1, changed.top * height / view->Logical.cy - 1,
                    (changed.right * width + view->Logical.cx - 1) / view->Logical.cx + 1,
                    (changed.bottom * height + view->Logical.cy - 1) / view->Logical.cy + 1};
    }
    screen.left += view->Bounds.left;
    screen.right += view->Bounds.left;
    screen.top += view->Bounds.top;
    screen.bottom += view->Bounds.top;
    Compose(IntersectRects(screen, view->Bounds));
  }

  std::uint64_t PresentCount() const noexcept override { return FPresents.load(); }

  COLORREF ScreenPixel(LONG x, LONG y) override
  {
    const auto lock = GdiLock();
    const std::lock_guard guard(FLock);
    if (x < 0 || y < 0 || x >= FScreen->Width() || y >= FScreen->Height()) {
      return 0xFFFFFFFF;
    }
    return FScreen->Get(x, y);
  }

  std::vector<std::uint32_t> ScreenImage(SIZE& size) override
  {
    const auto lock = GdiLock();
    const std::lock_guard guard(FLock);
    size = SIZE{FScreen->Width(), FScreen->Height()};
    std::vector<std::uint32_t> pixels;
    pixels.reserve(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy));
    for (LONG y = 0; y < size.cy; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(FScreen->Row(y));
      for (LONG x = 0; x < size.cx; ++x) {
        pixels.push_back(row[x] & 0xFFFFFF);
      }
    }
    return pixels;
  }

 private:
  static RECT Union(const RECT& a, const RECT& b) noexcept
  {
    if (RectEmpty(a)) {
      return b;
    }
    if (RectEmpty(b)) {
      return a;
    }
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
  }

  // Paints the screen rectangle afresh from the windows.
  void Compose(const RECT& rect)
  {
    const auto views = ShownTopLevels();
    const auto lock = GdiLock();
    const std::lock_guard guard(FLock);
    const RECT area = IntersectRects(rect, FScreen->Bounds());
    if (RectEmpty(area)) {
      return;
    }
    FScreen->Fill(area, 0);
    for (const auto& view : views) {
      if (!view.Surface || FShown.count(view.Window) == 0) {
        continue;
      }
      TRegion visible(IntersectRects(view.Bounds, area));
      const LONG width = view.Bounds.right - view.Bounds.left;
      const LONG height = view.Bounds.bottom - view.Bounds.top;
      const bool scaled = width != view.Logical.cx || height != view.Logical.cy;
      if (view.Shape) {
        // A scaled window keeps its aspect, so one factor scales its region.
        TRegion shape = scaled ? view.Shape->Scaled(width, view.Logical.cx) : *view.Shape;
        shape.Offset(view.Bounds.left, view.Bounds.top);
        visible.Intersect(shape);
      }
      for (const RECT& part : visible.Rects()) {
        if (scaled) {
          FScreen->Stretch(view.Bounds, *view.Surface, RECT{0, 0, view.Logical.cx, view.Logical.cy}, part,
                           TStretchMode::Smooth);
        } else {
          FScreen->Copy(part.left, part.top, *view.Surface, part.left - view.Bounds.left,
                        part.top - view.Bounds.top, part.right - part.left, part.bottom - part.top);
        }
      }
    }
    ++FPresents;
  }

  std::mutex FLock;  // guards FScreen's pixels and FShown
  std::unique_ptr<TSurface> FScreen;
  std::map<HWND, RECT> FShown;
  std::atomic<std::uint64_t> FPresents{0};
};

}  // namespace

std::unique_ptr<TDisplay> MakeHeadlessDisplay(SIZE screen)
{
  return std::make_unique<THeadlessDisplay>(screen);
}
