#pragma once
// The process's table of drawing objects and device contexts, behind the handles of Gdi.h.
// Internal to the platform layer.
//
// One lock (GdiLock) guards the table, every object in it and the pixels of every surface a
// device context draws on, window surfaces included. Lock order: the window table before the GDI
// lock, the GDI lock before the display back end's own lock.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/Gdi.h"
#include "platform/windows/GdiTextTypes.h"
#include "platform/windows/Region.h"
#include "platform/windows/Surface.h"

struct TGdiObject {
  explicit TGdiObject(DWORD type) : Type(type) {}
  virtual ~TGdiObject() = default;
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;

  const DWORD Type;  // OBJ_*
  bool Stock = false;
  int Selections = 0;  // device contexts it is selected into
};

struct TBrushObject : TGdiObject {
  TBrushObject(COLORREF color, bool hollow) : TGdiObject(OBJ_BRUSH), Color(color), Hollow(hollow) {}
  COLORREF Color;
  bool Hollow;
};

struct TPenObject : TGdiObject {
  TPenObject(int style, int width, COLORREF color)
      : TGdiObject(OBJ_PEN), Style(style), Width(width), Color(color)
  {
  }
  int Style;
  int Width;
  COLORREF Color;
};

struct TBitmapObject : TGdiObject {
  TBitmapObject(std::unique_ptr<TSurface> surface, bool section)
      : TGdiObject(OBJ_BITMAP), Surface(std::move(surface)), Section(section)
  {
  }
  std::unique_ptr<TSurface> Surface;
  bool Section;
};

struct TRegionObject : TGdiObject {
  explicit TRegionObject(TRegion region) : TGdiObject(OBJ_REGION), Region(std::move(region)) {}
  TRegion Region;
};

struct TPaletteObject : TGdiObject {
  explicit TPaletteObject(std::vector<PALETTEENTRY> entries)
      : TGdiObject(OBJ_PAL), Entries(std::move(entries))
  {
  }
  std::vector<PALETTEENTRY> Entries;
};

struct TFontObject : TGdiObject {
  explicit TFontObject(const LOGFONTA& font) : TGdiObject(OBJ_FONT), Font(font) {}
  LOGFONTA Font;
};

enum class TDcTarget { Memory, Window, Screen };

struct TDeviceContext : TGdiObject {
  explicit TDeviceContext(TDcTarget target)
      : TGdiObject(target == TDcTarget::Memory ? OBJ_MEMDC : OBJ_DC), Target(target)
  {
  }

  const TDcTarget Target;
  HGDIOBJ Bitmap = nullptr;  // memory device contexts
  HGDIOBJ Brush = nullptr;
  HGDIOBJ Pen = nullptr;
  HGDIOBJ Font = nullptr;
  HGDIOBJ Palette = nullptr;
  COLORREF TextColor = 0;
  COLORREF BackColor = 0xFFFFFF;
  int BackMode = 2;  // OPAQUE
  UINT TextAlign = 0;
  POINT Position{0, 0};
  int StretchMode = BLACKONWHITE;
  std::optional<TRegion> SelectedClip;  // device coordinates

  // Window device contexts: the window, the surface of its top-level window, where the window's
  // client area starts on it and the part the window may draw on (surface coordinates).
  HWND Window = nullptr;
  HWND TopLevel = nullptr;
  DWORD ThreadId = 0;
  std::shared_ptr<TSurface> WindowSurface;
  POINT Origin{0, 0};
  TRegion Visible;
};

std::unique_lock<std::mutex> GdiLock();

// Enters object into the table; null when the handle space is used up.
HGDIOBJ AddGdiObject(std::shared_ptr<TGdiObject> object);
// The object (GDI lock held), null for a handle that is none.
TGdiObject* FindGdiObject(HGDIOBJ handle) noexcept;
template <class T>
T* FindGdiObjectAs(HGDIOBJ handle, DWORD type) noexcept
{
  TGdiObject* object = FindGdiObject(handle);
  return object != nullptr && object->Type == type ? static_cast<T*>(object) : nullptr;
}
TDeviceContext* FindDeviceContext(HDC dc) noexcept;

// One call on a device context: holds the GDI lock for the call's life and finds the context;
// false (ERROR_INVALID_HANDLE set) when handle names none.
class TDcCall {
 public:
  explicit TDcCall(HDC handle);
  explicit operator bool() const noexcept { return FDc != nullptr; }
  TDeviceContext& operator*() const noexcept { return *FDc; }
  TDeviceContext* operator->() const noexcept { return FDc; }

 private:
  std::unique_lock<std::mutex> FLock;
  TDeviceContext* FDc;
};
void RemoveGdiObject(HGDIOBJ handle);

// The surface a device context draws on, where its coordinate (0, 0) lies on it, and the part it
// may touch (surface coordinates). Null surface for the screen's device context. GDI lock held.
struct TDrawTarget {
  TSurface* Surface = nullptr;
  POINT Origin{0, 0};
  TRegion Clip;
};
TDrawTarget DrawTargetOf(TDeviceContext& dc);

// A device context drawing on a window (window null: the screen's), GDI lock held.
HDC CreateWindowDeviceContext(HWND window, HWND topLevel, DWORD threadId, std::shared_ptr<TSurface> surface,
                              POINT origin, TRegion visible);
// Deletes a device context of window made by CreateWindowDeviceContext; FALSE for any other (a
// memory device context, another window's). GDI lock held.
BOOL ReleaseWindowDeviceContext(HWND window, HDC dc);

// After drawing on a window's device context: shows the changed part (surface coordinates) on
// the screen. Called without the GDI lock.
void PresentDrawing(HWND topLevel, const RECT& changed);
