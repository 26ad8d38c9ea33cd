// The unit's shared objects and its start and end.
#include <mutex>

#include "graphics/OxaBitmap.h"
#include "platform/windows/Modules.h"

namespace {

// The empty surface every empty node shares. Made on first use and freed when the process ends;
// the unit holds one reference of its own.
struct TStockMemory {
  TOxaMemoryBitmap* Surface = TOxaMemoryBitmap::Create();
  ~TStockMemory()
  {
    OxaCheckStockMemoryBitmap();
    Surface->Release();
  }
};

TStockMemory& StockMemory()
{
  static TStockMemory stock;
  return stock;
}

// The 1 × 1 text surface and the brush: they need the display, so they are made when first
// asked for, under the GDI lock.
struct TStockGdi {
  TOxaGdiBitmap* Surface = nullptr;
  TGdiObject<HBRUSH> Brush;
  ~TStockGdi()
  {
    if (Surface != nullptr) {
      Surface->Release();
    }
  }
};

TStockGdi& StockGdi()
{
  static TStockGdi stock;
  return stock;
}

TTrackMouseEventProc FindTrackMouseEvent() noexcept
{
  HMODULE user = LoadLibraryA("user32.dll");
  if (user == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<TTrackMouseEventProc>(GetProcAddress(user, "TrackMouseEvent"));
}

}  // namespace

TOxaMemoryBitmap* StockMemoryBitmap() noexcept
{
  return StockMemory().Surface;
}

TOxaGdiBitmap* StockGdiBitmap() noexcept
{
  std::lock_guard lock(OxaGdiLock());
  // The platform's object table must be made before the stock holder, so that it is destroyed
  // after it at process end (the surface releases handles of the table).
  GetStockObject(WHITE_BRUSH);
  TStockGdi& stock = StockGdi();
  if (stock.Surface == nullptr) {
    try {
      stock.Surface = TOxaGdiBitmap::Create();
      stock.Surface->SetSize(1, 1, false, opf24Bit);
    } catch (...) {
      TraceLine("OxaBitmap.Initialization: No text surface");
    }
  }
  return stock.Surface;
}

HBRUSH StockBrush() noexcept
{
  std::lock_guard lock(OxaGdiLock());
  GetStockObject(WHITE_BRUSH);  // the object table outlives the holder, as above
  TStockGdi& stock = StockGdi();
  if (stock.Brush.Get() == nullptr) {
    stock.Brush = TGdiObject<HBRUSH>(CreateSolidBrush(0));
  }
  return stock.Brush.Get();
}

TTrackMouseEventProc OxaTrackMouseEvent() noexcept
{
  static const TTrackMouseEventProc proc = FindTrackMouseEvent();
  return proc;
}

int OxaCheckStockMemoryBitmap() noexcept
{
  const int count = StockMemory().Surface->RefCount();
  if (count != 1) {
    Trace("OxaBitmap.Finalization: StockMemoryBitmap.RefCount is %d it should be 1", count);
  }
  return count;
}
