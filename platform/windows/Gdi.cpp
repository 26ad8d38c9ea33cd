#include "platform/windows/Gdi.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "platform/core/LastError.h"
#include "platform/windows/BmpFile.h"
#include "platform/windows/DisplayBackEnd.h"
#include "platform/windows/GdiObjects.h"

namespace {

// Where stock objects live: below every handle AddGdiObject hands out.
constexpr std::uintptr_t StockBase = 0x100;
constexpr int StockCount = 18;
// The 1 x 1 monochrome bitmap a new memory device context starts with.
constexpr int DefaultBitmapIndex = StockCount;
constexpr std::uintptr_t FirstHandle = 0x10000;
constexpr std::uintptr_t LastHandle = 0x7FFFFFFF;
constexpr int ScreenDpi = 96;

struct TGdiTable {
  std::mutex Lock;
  std::map<std::uintptr_t, std::shared_ptr<TGdiObject>> Objects;
  std::uintptr_t Next = FirstHandle;
  bool StockMade = false;
};

TGdiTable& Table()
{
  static TGdiTable table;
  return table;
}

HGDIOBJ HandleOf(std::uintptr_t value) noexcept
{
  return reinterpret_cast<HGDIOBJ>(value);
}

std::uintptr_t ValueOf(const void* handle) noexcept
{
  return reinterpret_cast<std::uintptr_t>(handle);
}

// The stock objects, made on first use (GDI lock held).
void MakeStock()
{
  TGdiTable& table = Table();
  if (table.StockMade) {
    return;
  }
  table.StockMade = true;
  const auto put = [&](int index, std::shared_ptr<TGdiObject> object) {
    object->Stock = true;
    table.Objects[StockBase + static_cast<std::uintptr_t>(index)] = std::move(object);
  };
  put(WHITE_BRUSH, std::make_shared<TBrushObject>(RGB(255, 255, 255), false));
  put(LTGRAY_BRUSH, std::make_shared<TBrushObject>(RGB(192, 192, 192), false));
  put(GRAY_BRUSH, std::make_shared<TBrushObject>(RGB(128, 128, 128), false));
  put(DKGRAY_BRUSH, std::make_shared<TBrushObject>(RGB(64, 64, 64), false));
  put(BLACK_BRUSH, std::make_shared<TBrushObject>(RGB(0, 0, 0), false));
  put(NULL_BRUSH, std::make_shared<TBrushObject>(0, true));
  put(WHITE_PEN, std::make_shared<TPenObject>(PS_SOLID, 1, RGB(255, 255, 255)));
  put(BLACK_PEN, std::make_shared<TPenObject>(PS_SOLID, 1, RGB(0, 0, 0)));
  put(NULL_PEN, std::make_shared<TPenObject>(PS_NULL, 1, 0));
  LOGFONTA font{};
  font.lfHeight = -11;
  font.lfWeight = 400;
  std::strcpy(font.lfFaceName, "Verdana");
  put(SYSTEM_FONT, std::make_shared<TFontObject>(font));
  put(DEFAULT_GUI_FONT, std::make_shared<TFontObject>(font));
  std::vector<PALETTEENTRY> entries(20);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const BYTE level = static_cast<BYTE>(i * 255 / (entries.size() - 1));
    entries[i] = PALETTEENTRY{level, level, level, 0};
  }
  put(DEFAULT_PALETTE, std::make_shared<TPaletteObject>(std::move(entries)));
  DWORD ignored = 0;
  put(DefaultBitmapIndex, std::make_shared<TBitmapObject>(TSurface::Create(1, 1, 1, false, ignored), false));
}

HGDIOBJ StockHandle(int index) noexcept
{
  return HandleOf(StockBase + static_cast<std::uintptr_t>(index));
}

// Takes object out of the device context's slot and puts replacement in (GDI lock held).
HGDIOBJ Swap(HGDIOBJ& slot, HGDIOBJ replacement)
{
  if (TGdiObject* old = FindGdiObject(slot)) {
    --old->Selections;
  }
  if (TGdiObject* now = FindGdiObject(replacement)) {
    ++now->Selections;
  }
  return std::exchange(slot, replacement);
}

int RegionType(const TRegion& region) noexcept
{
  if (region.Empty()) {
    return NULLREGION;
  }
  return region.Bands().size() == 1 && region.Bands().front().Spans.size() == 1 ? SIMPLEREGION
                                                                                : COMPLEXREGION;
}

// The colour of a brush handle: a brush object, or a system colour index + 1 as window classes
// give it. Nothing for a hollow brush or a handle that is none (GDI lock held).
std::optional<COLORREF> BrushColor(HBRUSH brush)
{
  const std::uintptr_t value = ValueOf(brush);
  if (value >= 1 && value <= 31) {
    static constexpr COLORREF SystemColors[31] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
        RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
        RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
        RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(0, 120, 215),
        RGB(240, 240, 240)};
    return SystemColors[value - 1];
  }
  const auto* object = FindGdiObjectAs<TBrushObject>(brush, OBJ_BRUSH);
  if (object == nullptr) {
    return std::nullopt;
  }
  if (object->Hollow) {
    return std::nullopt;
  }
  return object->Color;
}

// What a drawing call changed on a window's surface, shown once the GDI lock is released.
struct TPendingPresent {
  HWND TopLevel = nullptr;
  RECT Changed{0, 0, 0, 0};

  void Add(const TDeviceContext& dc, const RECT& rect)
  {
    if (dc.Target != TDcTarget::Window || RectEmpty(rect)) {
      return;
    }
    TopLevel = dc.TopLevel;
    if (RectEmpty(Changed)) {
      Changed = rect;
    } else {
      Changed = RECT{std::min(Changed.left, rect.left), std::min(Changed.top, rect.top),
                     std::max(Changed.right, rect.right), std::max(Changed.bottom, rect.bottom)};
    }
  }
  void Flush()
  {
    if (TopLevel != nullptr) {
      PresentDrawing(TopLevel, Changed);
    }
  }
};

// Fills region (device coordinates) clipped to the target; returns the changed bounds (surface
// coordinates).
RECT FillOnTarget(const TDrawTarget& target, TRegion region, COLORREF color)
{
  if (target.Surface == nullptr) {
    return RECT{0, 0, 0, 0};
  }
  region.Offset(target.Origin.x, target.Origin.y);
  region.Intersect(target.Clip);
  for (const RECT& rect : region.Rects()) {
    target.Surface->Fill(rect, color);
  }
  return region.Bounds();
}

RECT Normalized(int x, int y, int width, int height) noexcept
{
  return RECT{x, y, x + width, y + height};
}

// A one-pixel (or pen-wide) line from a to b, b itself excluded.
RECT DrawLine(const TDrawTarget& target, POINT a, POINT b, const TPenObject& pen)
{
  if (pen.Style == PS_NULL || target.Surface == nullptr) {
    return RECT{0, 0, 0, 0};
  }
  const int width = std::max(1, pen.Width);
  const LONG before = (width - 1) / 2;
  TRegion painted;
  const LONG dx = std::abs(b.x - a.x);
  const LONG dy = -std::abs(b.y - a.y);
  const LONG sx = a.x < b.x ? 1 : -1;
  const LONG sy = a.y < b.y ? 1 : -1;
  LONG error = dx + dy;
  LONG x = a.x;
  LONG y = a.y;
  std::vector<RECT> dots;
  while (x != b.x || y != b.y) {
    dots.push_back(RECT{x - before, y - before, x - before + width, y - before + width});
    const LONG twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
  for (const RECT& dot : dots) {
    painted.Unite(TRegion(dot));
  }
  return FillOnTarget(target, std::move(painted), pen.Color);
}

TBitmapObject* SelectedBitmap(const TDeviceContext& dc)
{
  return dc.Target == TDcTarget::Memory ? FindGdiObjectAs<TBitmapObject>(dc.Bitmap, OBJ_BITMAP) : nullptr;
}

HDC NewDeviceContext(std::shared_ptr<TDeviceContext> dc)
{
  MakeStock();
  dc->Brush = StockHandle(WHITE_BRUSH);
  dc->Pen = StockHandle(BLACK_PEN);
  dc->Font = StockHandle(SYSTEM_FONT);
  dc->Palette = StockHandle(DEFAULT_PALETTE);
  if (dc->Target == TDcTarget::Memory) {
    dc->Bitmap = StockHandle(DefaultBitmapIndex);
  }
  for (HGDIOBJ selected : {dc->Brush, dc->Pen, dc->Font, dc->Palette, dc->Bitmap}) {
    if (TGdiObject* object = FindGdiObject(selected)) {
      ++object->Selections;
    }
  }
  return static_cast<HDC>(AddGdiObject(std::move(dc)));
}

void ReleaseSelections(TDeviceContext& dc)
{
  for (HGDIOBJ* slot : {&dc.Brush, &dc.Pen, &dc.Font, &dc.Palette, &dc.Bitmap}) {
    Swap(*slot, nullptr);
  }
}

HBITMAP AddBitmap(std::unique_ptr<TSurface> surface, bool section)
{
  return static_cast<HBITMAP>(AddGdiObject(std::make_shared<TBitmapObject>(std::move(surface), section)));
}

}  // namespace

std::unique_lock<std::mutex> GdiLock()
{
  return std::unique_lock(Table().Lock);
}

TDcCall::TDcCall(HDC handle) : FLock(GdiLock()), FDc(FindDeviceContext(handle))
{
  if (FDc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
  }
}

HGDIOBJ AddGdiObject(std::shared_ptr<TGdiObject> object)
{
  TGdiTable& table = Table();
  if (table.Next > LastHandle) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const std::uintptr_t value = table.Next++;
  table.Objects.emplace(value, std::move(object));
  return HandleOf(value);
}

TGdiObject* FindGdiObject(HGDIOBJ handle) noexcept
{
  TGdiTable& table = Table();
  const auto found = table.Objects.find(ValueOf(handle));
  return found == table.Objects.end() ? nullptr : found->second.get();
}

TDeviceContext* FindDeviceContext(HDC dc) noexcept
{
  TGdiObject* object = FindGdiObject(dc);
  return object != nullptr && (object->Type == OBJ_DC || object->Type == OBJ_MEMDC)
             ? static_cast<TDeviceContext*>(object)
             : nullptr;
}

void RemoveGdiObject(HGDIOBJ handle)
{
  Table().Objects.erase(ValueOf(handle));
}

TDrawTarget DrawTargetOf(TDeviceContext& dc)
{
  TDrawTarget target;
  switch (dc.Target) {
    case TDcTarget::Memory:
      if (TBitmapObject* bitmap = SelectedBitmap(dc)) {
        target.Surface = bitmap->Surface.get();
        target.Clip = TRegion(target.Surface->Bounds());
      }
      break;
    case TDcTarget::Window:
      target.Surface = dc.WindowSurface.get();
      target.Origin = dc.Origin;
      target.Clip = dc.Visible;
      if (target.Surface != nullptr) {
        target.Clip.Intersect(TRegion(target.Surface->Bounds()));
      }
      break;
    case TDcTarget::Screen:
      break;
  }
  if (target.Surface != nullptr && dc.SelectedClip) {
    TRegion clip = *dc.SelectedClip;
    clip.Offset(target.Origin.x, target.Origin.y);
    target.Clip.Intersect(clip);
  }
  return target;
}

HDC CreateWindowDeviceContext(HWND window, HWND topLevel, DWORD threadId, std::shared_ptr<TSurface> surface,
                              POINT origin, TRegion visible)
{
  auto dc = std::make_shared<TDeviceContext>(window == nullptr ? TDcTarget::Screen : TDcTarget::Window);
  dc->Window = window;
  dc->TopLevel = topLevel;
  dc->ThreadId = threadId;
  dc->WindowSurface = std::move(surface);
  dc->Origin = origin;
  dc->Visible = std::move(visible);
  return NewDeviceContext(std::move(dc));
}

BOOL ReleaseWindowDeviceContext(HWND window, HDC handle)
{
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr || dc->Target == TDcTarget::Memory || dc->Window != window) {
    return FALSE;
  }
  ReleaseSelections(*dc);
  RemoveGdiObject(handle);
  return TRUE;
}

HDC CreateCompatibleDC(HDC dc)
{
  const auto lock = GdiLock();
  if (dc != nullptr && FindDeviceContext(dc) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return NewDeviceContext(std::make_shared<TDeviceContext>(TDcTarget::Memory));
}

BOOL DeleteDC(HDC handle)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr || dc->Target != TDcTarget::Memory) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  ReleaseSelections(*dc);
  RemoveGdiObject(handle);
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
  const auto lock = GdiLock();
  if (dc != nullptr && FindDeviceContext(dc) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  auto surface = TSurface::Create(width, height, 32, false, error);
  if (!surface) {
    SetLastError(error);
    return nullptr;
  }
  return AddBitmap(std::move(surface), false);
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
  if (bits != nullptr) {
    *bits = nullptr;
  }
  const auto lock = GdiLock();
  if (info == nullptr || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || info->bmiHeader.biPlanes != 1 ||
      info->bmiHeader.biCompression != BI_RGB || info->bmiHeader.biHeight == 0 ||
      info->bmiHeader.biHeight == std::numeric_limits<LONG>::min() || section != nullptr ||
      (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BITMAPINFOHEADER& header = info->bmiHeader;
  const bool bottomUp = header.biHeight > 0;
  DWORD error = ERROR_SUCCESS;
  auto surface = TSurface::Create(header.biWidth, bottomUp ? header.biHeight : -header.biHeight,
                                  header.biBitCount, bottomUp, error);
  if (!surface) {
    SetLastError(error);
    return nullptr;
  }
  auto& colors = surface->Colors();
  if (!colors.empty()) {
    const std::size_t given =
        header.biClrUsed != 0 ? std::min<std::size_t>(header.biClrUsed, colors.size()) : colors.size();
    const auto* table = reinterpret_cast<const std::uint8_t*>(info) + header.biSize;
    if (usage == DIB_PAL_COLORS) {
      const TDeviceContext* context = FindDeviceContext(dc);
      const auto* palette =
          context != nullptr ? FindGdiObjectAs<TPaletteObject>(context->Palette, OBJ_PAL) : nullptr;
      for (std::size_t i = 0; i < given; ++i) {
        WORD index = 0;
        std::memcpy(&index, table + i * sizeof(WORD), sizeof(index));
        const PALETTEENTRY entry =
            palette != nullptr && index < palette->Entries.size() ? palette->Entries[index] : PALETTEENTRY{};
        colors[i] = RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0};
      }
    } else {
      for (std::size_t i = 0; i < given; ++i) {
        std::memcpy(&colors[i], table + i * sizeof(RGBQUAD), sizeof(RGBQUAD));
      }
    }
  }
  void* pixels = surface->Bits();
  const HBITMAP handle = AddBitmap(std::move(surface), true);
  if (handle != nullptr && bits != nullptr) {
    *bits = pixels;
  }
  return handle;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ objectHandle)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  TGdiObject* object = FindGdiObject(objectHandle);
  if (dc == nullptr || object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  switch (object->Type) {
    case OBJ_BITMAP:
      if (dc->Target != TDcTarget::Memory ||
          (!object->Stock && object->Selections > 0 && dc->Bitmap != objectHandle)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      return Swap(dc->Bitmap, objectHandle);
    case OBJ_BRUSH:
      return Swap(dc->Brush, objectHandle);
    case OBJ_PEN:
      return Swap(dc->Pen, objectHandle);
    case OBJ_FONT:
      return Swap(dc->Font, objectHandle);
    case OBJ_REGION:
      dc->SelectedClip = static_cast<TRegionObject*>(object)->Region;
      return reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(RegionType(*dc->SelectedClip)));
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ handle)
{
  const auto lock = GdiLock();
  TGdiObject* object = FindGdiObject(handle);
  if (object == nullptr || object->Type == OBJ_DC || object->Type == OBJ_MEMDC) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->Stock) {
    return TRUE;
  }
  if (object->Selections > 0) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  RemoveGdiObject(handle);
  return TRUE;
}

HGDIOBJ GetStockObject(int index)
{
  const auto lock = GdiLock();
  MakeStock();
  if (index < 0 || index >= StockCount || FindGdiObject(StockHandle(index)) == nullptr) {
    return nullptr;
  }
  return StockHandle(index);
}

DWORD GetObjectType(HGDIOBJ handle)
{
  const auto lock = GdiLock();
  const TGdiObject* object = FindGdiObject(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return object->Type;
}

int GetObjectA(HGDIOBJ handle, int size, void* buffer)
{
  const auto lock = GdiLock();
  const auto* bitmap = FindGdiObjectAs<TBitmapObject>(handle, OBJ_BITMAP);
  if (bitmap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const TSurface& surface = *bitmap->Surface;
  DIBSECTION section{};
  section.dsBm = BITMAP{0,
                        surface.Width(),
                        surface.Height(),
                        static_cast<LONG>(surface.Stride()),
                        1,
                        surface.BitsPerPixel(),
                        bitmap->Section ? surface.Bits() : nullptr};
  section.dsBmih = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER),
                                    surface.Width(),
                                    surface.BottomUp() ? surface.Height() : -surface.Height(),
                                    1,
                                    surface.BitsPerPixel(),
                                    BI_RGB,
                                    static_cast<DWORD>(surface.SizeInBytes()),
                                    0,
                                    0,
                                    static_cast<DWORD>(surface.Colors().size()),
                                    0};
  if (buffer == nullptr) {
    return bitmap->Section ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
  }
  if (bitmap->Section && size >= static_cast<int>(sizeof(DIBSECTION))) {
    std::memcpy(buffer, &section, sizeof(DIBSECTION));
    return sizeof(DIBSECTION);
  }
  if (size < static_cast<int>(sizeof(BITMAP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::memcpy(buffer, &section.dsBm, sizeof(BITMAP));
  return sizeof(BITMAP);
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type)
{
  const TDcCall dc(handle);
  if (!dc) {
    return nullptr;
  }
  switch (type) {
    case OBJ_BITMAP:
      return dc->Bitmap;
    case OBJ_BRUSH:
      return dc->Brush;
    case OBJ_PEN:
      return dc->Pen;
    case OBJ_FONT:
      return dc->Font;
    case OBJ_PAL:
      return dc->Palette;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL BitBlt(HDC targetHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX, int sourceY,
            DWORD rop)
{
  TPendingPresent present;
  {
    const TDcCall dc(targetHandle);
    if (!dc) {
      return FALSE;
    }
    const TDrawTarget target = DrawTargetOf(*dc);
    if (rop == BLACKNESS || rop == WHITENESS || rop == PATCOPY) {
      COLORREF color = rop == WHITENESS ? RGB(255, 255, 255) : 0;
      if (rop == PATCOPY) {
        const auto brush = BrushColor(static_cast<HBRUSH>(dc->Brush));
        if (!brush) {
          return TRUE;
        }
        color = *brush;
      }
      present.Add(*dc, FillOnTarget(target, TRegion(Normalized(x, y, width, height)), color));
    } else if (rop == SRCCOPY) {
      TDeviceContext* sourceDc = FindDeviceContext(sourceHandle);
      if (sourceDc == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
      }
      const TDrawTarget source = DrawTargetOf(*sourceDc);
      if (target.Surface == nullptr || source.Surface == nullptr) {
        return TRUE;
      }
      // The source rectangle, cut to its surface, moved onto the target and clipped there.
      const LONG fromX = sourceX + source.Origin.x;
      const LONG fromY = sourceY + source.Origin.y;
      const LONG toX = x + target.Origin.x;
      const LONG toY = y + target.Origin.y;
      TRegion area(IntersectRects(Normalized(fromX, fromY, width, height), source.Surface->Bounds()));
      area.Offset(toX - fromX, toY - fromY);
      area.Intersect(target.Clip);
      for (const RECT& rect : area.Rects()) {
        target.Surface->Copy(rect.left, rect.top, *source.Surface, rect.left - toX + fromX,
                             rect.top - toY + fromY, rect.right - rect.left, rect.bottom - rect.top);
      }
      present.Add(*dc, area.Bounds());
    } else {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  present.Flush();
  return TRUE;
}

BOOL StretchBlt(HDC targetHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop)
{
  if (width == sourceWidth && height == sourceHeight && width > 0 && height > 0) {
    return BitBlt(targetHandle, x, y, width, height, sourceHandle, sourceX, sourceY, rop);
  }
  TPendingPresent present;
  {
    const auto lock = GdiLock();
    TDeviceContext* dc = FindDeviceContext(targetHandle);
    TDeviceContext* sourceDc = FindDeviceContext(sourceHandle);
    if (dc == nullptr || sourceDc == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    if (rop != SRCCOPY) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    const TDrawTarget target = DrawTargetOf(*dc);
    const TDrawTarget source = DrawTargetOf(*sourceDc);
    if (target.Surface == nullptr || source.Surface == nullptr) {
      return TRUE;
    }
    const RECT to{x + target.Origin.x, y + target.Origin.y, x + target.Origin.x + width,
                  y + target.Origin.y + height};
    const RECT from{sourceX + source.Origin.x, sourceY + source.Origin.y,
                    sourceX + source.Origin.x + sourceWidth, sourceY + source.Origin.y + sourceHeight};
    const TStretchMode mode = dc->StretchMode == HALFTONE ? TStretchMode::Smooth : TStretchMode::Nearest;
    TRegion area = target.Clip;
    area.Intersect(TRegion(RECT{std::min(to.left, to.right), std::min(to.top, to.bottom),
                                std::max(to.left, to.right), std::max(to.top, to.bottom)}));
    for (const RECT& clip : area.Rects()) {
      target.Surface->Stretch(to, *source.Surface, from, clip, mode);
    }
    present.Add(*dc, area.Bounds());
  }
  present.Flush();
  return TRUE;
}

int SetStretchBltMode(HDC handle, int mode)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) {
    SetLastError(dc == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(dc->StretchMode, mode);
}

int GetStretchBltMode(HDC handle)
{
  const auto lock = GdiLock();
  const TDeviceContext* dc = FindDeviceContext(handle);
  return dc == nullptr ? 0 : dc->StretchMode;
}

BOOL GdiFlush()
{
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color)
{
  const auto lock = GdiLock();
  return static_cast<HBRUSH>(AddGdiObject(std::make_shared<TBrushObject>(color & 0xFFFFFF, false)));
}

HPEN CreatePen(int style, int width, COLORREF color)
{
  if (style != PS_SOLID && style != PS_NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto lock = GdiLock();
  return static_cast<HPEN>(AddGdiObject(std::make_shared<TPenObject>(style, width, color & 0xFFFFFF)));
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brush)
{
  TPendingPresent present;
  {
    const auto lock = GdiLock();
    TDeviceContext* dc = FindDeviceContext(handle);
    if (dc == nullptr || rect == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    const auto color = BrushColor(brush);
    if (!color) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    present.Add(*dc, FillOnTarget(DrawTargetOf(*dc), TRegion(*rect), *color));
  }
  present.Flush();
  return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brush)
{
  TPendingPresent present;
  {
    const auto lock = GdiLock();
    TDeviceContext* dc = FindDeviceContext(handle);
    if (dc == nullptr || rect == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    const auto color = BrushColor(brush);
    if (!color) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    TRegion frame(*rect);
    frame.Subtract(TRegion(RECT{rect->left + 1, rect->top + 1, rect->right - 1, rect->bottom - 1}));
    present.Add(*dc, FillOnTarget(DrawTargetOf(*dc), std::move(frame), *color));
  }
  present.Flush();
  return 1;
}

BOOL FillRgn(HDC handle, HRGN regionHandle, HBRUSH brush)
{
  TPendingPresent present;
  {
    const auto lock = GdiLock();
    TDeviceContext* dc = FindDeviceContext(handle);
    const auto* region = FindGdiObjectAs<TRegionObject>(regionHandle, OBJ_REGION);
    const auto color = BrushColor(brush);
    if (dc == nullptr || region == nullptr || !color) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    present.Add(*dc, FillOnTarget(DrawTargetOf(*dc), region->Region, *color));
  }
  present.Flush();
  return TRUE;
}

BOOL MoveToEx(HDC handle, int x, int y, POINT* previous)
{
  const TDcCall dc(handle);
  if (!dc) {
    return FALSE;
  }
  if (previous != nullptr) {
    *previous = dc->Position;
  }
  dc->Position = POINT{x, y};
  return TRUE;
}

namespace {

// Draws the lines through points with the selected pen (GDI lock not held on entry).
BOOL DrawLines(HDC handle, const std::vector<POINT>& points, bool fromPosition)
{
  TPendingPresent present;
  {
    const TDcCall dc(handle);
    if (!dc) {
      return FALSE;
    }
    const auto* pen = FindGdiObjectAs<TPenObject>(dc->Pen, OBJ_PEN);
    const TDrawTarget target = DrawTargetOf(*dc);
    POINT from = fromPosition ? dc->Position : points.front();
    for (std::size_t i = fromPosition ? 0 : 1; i < points.size(); ++i) {
      if (pen != nullptr) {
        present.Add(*dc, DrawLine(target, from, points[i], *pen));
      }
      from = points[i];
    }
    if (fromPosition) {
      dc->Position = points.back();
    }
  }
  present.Flush();
  return TRUE;
}

}  // namespace

BOOL LineTo(HDC handle, int x, int y)
{
  return DrawLines(handle, {POINT{x, y}}, true);
}

BOOL Polyline(HDC handle, const POINT* points, int count)
{
  if (points == nullptr || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return DrawLines(handle, std::vector<POINT>(points, points + count), false);
}

COLORREF GetPixel(HDC handle, int x, int y)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr) {
    return CLR_INVALID;
  }
  const TDrawTarget target = DrawTargetOf(*dc);
  const LONG sx = x + target.Origin.x;
  const LONG sy = y + target.Origin.y;
  if (target.Surface == nullptr || !target.Clip.Contains(sx, sy)) {
    return CLR_INVALID;
  }
  return target.Surface->Get(sx, sy);
}

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color)
{
  TPendingPresent present;
  COLORREF result = CLR_INVALID;
  {
    const auto lock = GdiLock();
    TDeviceContext* dc = FindDeviceContext(handle);
    if (dc == nullptr) {
      return CLR_INVALID;
    }
    const TDrawTarget target = DrawTargetOf(*dc);
    const LONG sx = x + target.Origin.x;
    const LONG sy = y + target.Origin.y;
    if (target.Surface == nullptr || !target.Clip.Contains(sx, sy)) {
      return CLR_INVALID;
    }
    target.Surface->Set(sx, sy, color & 0xFFFFFF);
    result = target.Surface->Get(sx, sy);
    present.Add(*dc, RECT{sx, sy, sx + 1, sy + 1});
  }
  present.Flush();
  return result;
}

HPALETTE CreatePalette(const LOGPALETTE* palette)
{
  if (palette == nullptr || palette->palNumEntries == 0 || palette->palVersion != 0x300) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<PALETTEENTRY> entries(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  const auto lock = GdiLock();
  return static_cast<HPALETTE>(AddGdiObject(std::make_shared<TPaletteObject>(std::move(entries))));
}

HPALETTE SelectPalette(HDC handle, HPALETTE palette, BOOL)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr || FindGdiObjectAs<TPaletteObject>(palette, OBJ_PAL) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return static_cast<HPALETTE>(Swap(dc->Palette, palette));
}

UINT RealizePalette(HDC handle)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFF;  // GDI_ERROR
  }
  const auto* palette = FindGdiObjectAs<TPaletteObject>(dc->Palette, OBJ_PAL);
  TBitmapObject* bitmap = SelectedBitmap(*dc);
  if (palette == nullptr || bitmap == nullptr || bitmap->Surface->Colors().empty()) {
    return 0;
  }
  auto& colors = bitmap->Surface->Colors();
  const std::size_t count = std::min(colors.size(), palette->Entries.size());
  for (std::size_t i = 0; i < count; ++i) {
    const PALETTEENTRY& entry = palette->Entries[i];
    colors[i] = RGBQUAD{entry.peBlue, entry.peGreen, entry.peRed, 0};
  }
  return static_cast<UINT>(count);
}

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* entries)
{
  constexpr UINT Size = 256;
  if (entries == nullptr) {
    return Size;
  }
  UINT written = 0;
  for (UINT i = start; i < Size && written < count; ++i, ++written) {
    if (i < 216) {
      entries[written] = PALETTEENTRY{static_cast<BYTE>(i / 36 * 51), static_cast<BYTE>(i / 6 % 6 * 51),
                                      static_cast<BYTE>(i % 6 * 51), 0};
    } else {
      const BYTE level = static_cast<BYTE>((i - 216) * 255 / (Size - 217));
      entries[written] = PALETTEENTRY{level, level, level, 0};
    }
  }
  return written;
}

UINT GetDIBColorTable(HDC handle, UINT start, UINT count, RGBQUAD* colors)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  TBitmapObject* bitmap = dc != nullptr ? SelectedBitmap(*dc) : nullptr;
  if (bitmap == nullptr || colors == nullptr) {
    return 0;
  }
  const auto& table = bitmap->Surface->Colors();
  UINT copied = 0;
  for (UINT i = start; i < table.size() && copied < count; ++i) {
    colors[copied++] = table[i];
  }
  return copied;
}

UINT SetDIBColorTable(HDC handle, UINT start, UINT count, const RGBQUAD* colors)
{
  const auto lock = GdiLock();
  TDeviceContext* dc = FindDeviceContext(handle);
  TBitmapObject* bitmap = dc != nullptr ? SelectedBitmap(*dc) : nullptr;
  if (bitmap == nullptr || colors == nullptr) {
    return 0;
  }
  auto& table = bitmap->Surface->Colors();
  UINT copied = 0;
  for (UINT i = start; i < table.size() && copied < count; ++i) {
    table[i] = colors[copied++];
  }
  return copied;
}

int GetDeviceCaps(HDC handle, int index)
{
  {
    const auto lock = GdiLock();
    if (FindDeviceContext(handle) == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
  }
  switch (index) {
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case HORZRES:
      return ActiveDisplay().ScreenSize().cx;
    case VERTRES:
      return ActiveDisplay().ScreenSize().cy;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return ScreenDpi;
    case NUMCOLORS:
      return -1;
    case RASTERCAPS:
      return 0x0001 | 0x0008 | 0x0800;  // RC_BITBLT | RC_BITMAP64 | RC_STRETCHBLT
    default:                            // SIZEPALETTE too: no palette device
      return 0;
  }
}

HANDLE LoadImageA(HINSTANCE, const char* name, UINT type, int, int, UINT flags)
{
  if (name == nullptr || type != IMAGE_BITMAP) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((flags & LR_LOADFROMFILE) == 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::ifstream in(name, std::ios::binary);
  if (!in) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0 || static_cast<std::uint64_t>(length) > TSurface::MaxBytes + MaxBmpHeaderBytes) {
    SetLastError(ERROR_INVALID_BITMAP);
    return nullptr;
  }
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto surface = ParseBmp(bytes);
  if (!surface) {
    SetLastError(ERROR_INVALID_BITMAP);
    return nullptr;
  }
  const auto lock = GdiLock();
  return AddBitmap(std::move(surface), true);
}

DWORD GetGuiResources(HANDLE, DWORD flags)
{
  if (flags != GR_GDIOBJECTS) {
    return 0;
  }
  const auto lock = GdiLock();
  return static_cast<DWORD>(std::count_if(Table().Objects.begin(), Table().Objects.end(),
                                          [](const auto& entry) { return !entry.second->Stock; }));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
  const RECT rect{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  const auto lock = GdiLock();
  return static_cast<HRGN>(AddGdiObject(std::make_shared<TRegionObject>(TRegion(rect))));
}

HRGN CreateRectRgnIndirect(const RECT* rect)
{
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode)
{
  if (points == nullptr || count < 1 || (fillMode != ALTERNATE && fillMode != WINDING)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto region = TRegion::Polygon(std::span(points, static_cast<std::size_t>(count)),
                                 fillMode == WINDING ? TFillMode::Winding : TFillMode::Alternate);
  if (!region) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  const auto lock = GdiLock();
  return static_cast<HRGN>(AddGdiObject(std::make_shared<TRegionObject>(std::move(*region))));
}

int CombineRgn(HRGN target, HRGN a, HRGN b, int operation)
{
  const auto lock = GdiLock();
  auto* result = FindGdiObjectAs<TRegionObject>(target, OBJ_REGION);
  const auto* first = FindGdiObjectAs<TRegionObject>(a, OBJ_REGION);
  const auto* second = FindGdiObjectAs<TRegionObject>(b, OBJ_REGION);
  if (result == nullptr || first == nullptr || (operation != RGN_COPY && second == nullptr)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  TRegionOperation op = TRegionOperation::Copy;
  switch (operation) {
    case RGN_AND:
      op = TRegionOperation::And;
      break;
    case RGN_OR:
      op = TRegionOperation::Or;
      break;
    case RGN_XOR:
      op = TRegionOperation::Xor;
      break;
    case RGN_DIFF:
      op = TRegionOperation::Diff;
      break;
    case RGN_COPY:
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return RGN_ERROR;
  }
  result->Region =
      op == TRegionOperation::Copy ? first->Region : TRegion::Combine(first->Region, second->Region, op);
  return RegionType(result->Region);
}

BOOL PtInRegion(HRGN handle, int x, int y)
{
  const auto lock = GdiLock();
  const auto* region = FindGdiObjectAs<TRegionObject>(handle, OBJ_REGION);
  return region != nullptr && region->Region.Contains(x, y) ? TRUE : FALSE;
}

int GetRgnBox(HRGN handle, RECT* box)
{
  const auto lock = GdiLock();
  const auto* region = FindGdiObjectAs<TRegionObject>(handle, OBJ_REGION);
  if (region == nullptr || box == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  *box = region->Region.Bounds();
  return RegionType(region->Region);
}

int OffsetRgn(HRGN handle, int x, int y)
{
  const auto lock = GdiLock();
  auto* region = FindGdiObjectAs<TRegionObject>(handle, OBJ_REGION);
  if (region == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return RGN_ERROR;
  }
  region->Region.Offset(x, y);
  return RegionType(region->Region);
}

BOOL EqualRgn(HRGN a, HRGN b)
{
  const auto lock = GdiLock();
  const auto* first = FindGdiObjectAs<TRegionObject>(a, OBJ_REGION);
  const auto* second = FindGdiObjectAs<TRegionObject>(b, OBJ_REGION);
  return first != nullptr && second != nullptr && first->Region == second->Region ? TRUE : FALSE;
}

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom)
{
  if (rect == nullptr) {
    return FALSE;
  }
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* rect)
{
  return SetRect(rect, 0, 0, 0, 0);
}

BOOL IsRectEmpty(const RECT* rect)
{
  return rect == nullptr || RectEmpty(*rect) ? TRUE : FALSE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy)
{
  if (rect == nullptr) {
    return FALSE;
  }
  *rect = RECT{rect->left + dx, rect->top + dy, rect->right + dx, rect->bottom + dy};
  return TRUE;
}

BOOL InflateRect(RECT* rect, int dx, int dy)
{
  if (rect == nullptr) {
    return FALSE;
  }
  *rect = RECT{rect->left - dx, rect->top - dy, rect->right + dx, rect->bottom + dy};
  return TRUE;
}

BOOL IntersectRect(RECT* result, const RECT* a, const RECT* b)
{
  if (result == nullptr || a == nullptr || b == nullptr) {
    return FALSE;
  }
  *result = IntersectRects(*a, *b);
  return RectEmpty(*result) ? FALSE : TRUE;
}

BOOL UnionRect(RECT* result, const RECT* a, const RECT* b)
{
  if (result == nullptr || a == nullptr || b == nullptr) {
    return FALSE;
  }
  if (RectEmpty(*a)) {
    *result = *b;
  } else if (RectEmpty(*b)) {
    *result = *a;
  } else {
    *result = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                   std::max(a->bottom, b->bottom)};
  }
  return RectEmpty(*result) ? FALSE : TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point)
{
  return rect != nullptr && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
                 point.y < rect->bottom
             ? TRUE
             : FALSE;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
  return a != nullptr && b != nullptr && a->left == b->left && a->top == b->top && a->right == b->right &&
                 a->bottom == b->bottom
             ? TRUE
             : FALSE;
}
