// The node's surface and its composition: sizes and formats, pixels, fills, copies, the change
// flags and the repaint of a single node in the window.
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaImage.h"

namespace {

RECT Intersect(const RECT& a, const RECT& b) noexcept
{
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) {
    return {0, 0, 0, 0};
  }
  return r;
}

bool Empty(const RECT& r) noexcept
{
  return r.right <= r.left || r.bottom <= r.top;
}

RECT Offset(RECT r, int dx, int dy) noexcept
{
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

}  // namespace

// --- Surface ---

void TOxaBitmap::ReleaseSurfaces() noexcept
{
  if (FMemory != nullptr) {
    FMemory->Release();
    FMemory = nullptr;
  }
  if (FGdi != nullptr) {
    FGdi->Release();
    FGdi = nullptr;
  }
  FDesc = TOxaSurfaceDesc{};
  FSize = 0;
}

void TOxaBitmap::SwapSurface(TOxaBitmap& other)
{
  if (&other == this) {
    return;
  }
  std::swap(FMemory, other.FMemory);
  std::swap(FGdi, other.FGdi);
  std::swap(FDesc, other.FDesc);
  std::swap(FSize, other.FSize);
  std::swap(FBytesPerPixel, other.FBytesPerPixel);
  std::swap(FPixelFormat, other.FPixelFormat);
  std::swap(FBlt, other.FBlt);
  std::swap(FImageX, other.FImageX);
  std::swap(FImageY, other.FImageY);
  std::swap(FImageWidth, other.FImageWidth);
  std::swap(FImageHeight, other.FImageHeight);
  ContentChanged();
  other.ContentChanged();
}

void TOxaBitmap::UseStockSurface() noexcept
{
  FMemory = StockMemoryBitmap();
  FMemory->AddRef();
}

void TOxaBitmap::ComputeScanLine0() noexcept
{
  if (FGdi != nullptr) {
    const TOxaSurfaceDesc gdi = FGdi->Desc();
    FDesc.ScanLine0 = gdi.ScanLine0;
    if (gdi.ScanLine0 != nullptr) {
      FDesc.Stride = gdi.Stride;
    }
  } else if (FMemory != nullptr && FMemory->Buffer() != nullptr && FDesc.Height > 0) {
    FDesc.ScanLine0 = FMemory->Buffer() + std::ptrdiff_t(FDesc.Height - 1) * FDesc.Stride;
  } else {
    FDesc.ScanLine0 = nullptr;
  }
}

bool TOxaBitmap::ChangeImageSize(int width, int height, int pixelFormat)
{
  if (FSizeMode == 2) {
    width = FWidth - FPadding.Left - FPadding.Right;
    height = FHeight - FPadding.Top - FPadding.Bottom;
  }
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FDesc.Width && height == FDesc.Height && pixelFormat == FPixelFormat) {
    return false;
  }
  const int bytesPerPixel = OxaNodeBytesPerPixel(pixelFormat);
  if (bytesPerPixel < 0) {
    Fatal("ChangeImageSize: Unknown PixelFormat");
  }
  if (std::int64_t(width) > kOxaMaxImageSide * 4 || std::int64_t(height) > kOxaMaxImageSide * 4) {
    throw EOxaOutOfMemory(ClassName() + ".ChangeImageSize: Image too large");
  }
  const bool formatChanged = pixelFormat != FPixelFormat;
  const bool sizeChanged = width != FDesc.Width || height != FDesc.Height;
  const TOxaBltTable* table = OxaBltTable(pixelFormat);
  const std::int32_t stride = OxaStride(width, bytesPerPixel);
  const std::size_t size = std::size_t(height) * std::size_t(stride);
  if (table == nullptr || FGdi != nullptr) {
    // Formats without pixel operations are drawn by the GDI; a node that has a device context
    // keeps one.
    if (FMemory != nullptr) {
      FMemory->Release();
      FMemory = nullptr;
    }
    if (FGdi != nullptr && FGdi->RefCount() > 1) {
      FGdi->Release();
      FGdi = nullptr;
    }
    if (FGdi == nullptr) {
      FGdi = TOxaGdiBitmap::Create();
    }
    FGdi->SetSize(width, height, false, pixelFormat);
  } else {
    if (FMemory->RefCount() > 1 || FMemory == StockMemoryBitmap()) {
      FMemory->Release();
      FMemory = nullptr;
      if (size > 0) {
        FMemory = TOxaMemoryBitmap::Create();
      } else {
        UseStockSurface();
      }
    }
    if (FMemory != StockMemoryBitmap()) {
      FMemory->SetSize(size);
      if (size > 0) {
        std::memset(FMemory->Buffer(), 0, size);
      }
    }
  }
  FPixelFormat = pixelFormat;
  FBytesPerPixel = bytesPerPixel;
  FBlt = table;
  FDesc.Width = width;
  FDesc.Height = height;
  FDesc.Stride = stride;
  FSize = size;
  FImageWidth = width;
  FImageHeight = height;
  ComputeScanLine0();
  ContentChanged();
  if (formatChanged && FChildCount > 0) {
    ++FChildrenLock;
    try {
      for (int i = 0; i < FChildCount; ++i) {
        TOxaBitmap& child = *FChildren[std::size_t(i)];
        if (child.FParentPixelFormat && child.FPixelFormat != pixelFormat) {
          child.ChangeImageSize(child.FDesc.Width, child.FDesc.Height, pixelFormat);
        }
      }
    } catch (...) {
      --FChildrenLock;
      throw;
    }
    --FChildrenLock;
  }
  if (sizeChanged && FBusy == 0 && FParent != nullptr) {
    FParent->ChildResized(this);
  }
  return true;
}

void TOxaBitmap::MakeGdiSurface(bool keepPixels)
{
  TOxaGdiBitmap* gdi = TOxaGdiBitmap::Create();
  try {
    gdi->SetSize(FDesc.Width, FDesc.Height, false, FPixelFormat);
  } catch (...) {
    gdi->Release();
    throw;
  }
  if (keepPixels && FDesc.ScanLine0 != nullptr) {
    const TOxaSurfaceDesc target = gdi->Desc();
    if (target.ScanLine0 != nullptr) {
      const std::size_t row = std::size_t(std::min(target.Stride, FDesc.Stride));
      for (int y = 0; y < FDesc.Height; ++y) {
        std::memcpy(target.Row(y), FDesc.Row(y), row);
      }
    }
  }
  if (FMemory != nullptr) {
    FMemory->Release();
    FMemory = nullptr;
  }
  if (FGdi != nullptr) {
    FGdi->Release();
  }
  FGdi = gdi;
  ComputeScanLine0();
}

void TOxaBitmap::HandleNeeded()
{
  if (FGdi == nullptr || FGdi->RefCount() > 1) {
    MakeGdiSurface(true);
  }
}

HDC TOxaBitmap::Canvas()
{
  HandleNeeded();
  return FGdi->DC();
}

void TOxaBitmap::OwnMemory()
{
  // A memory surface shared through Assign is copied before this node writes to it.
  if (FMemory == nullptr || FMemory == StockMemoryBitmap() || FMemory->RefCount() <= 1 || FSize == 0) {
    return;
  }
  TOxaMemoryBitmap* own = TOxaMemoryBitmap::Create();
  try {
    own->SetSize(FSize);
  } catch (...) {
    own->Release();
    throw;
  }
  std::memcpy(own->Buffer(), FMemory->Buffer(), FSize);
  FMemory->Release();
  FMemory = own;
  ComputeScanLine0();
}

std::uint8_t* TOxaBitmap::ScanLine(int row)
{
  OwnMemory();
  return const_cast<std::uint8_t*>(ScanLineRead(row));
}

const std::uint8_t* TOxaBitmap::ScanLineRead(int row)
{
  if (FGdi != nullptr) {
    FGdi->Bits();
    ComputeScanLine0();
  }
  if (row < 0 || row >= FDesc.Height || FDesc.ScanLine0 == nullptr) {
    return nullptr;
  }
  return FDesc.Row(row);
}

TOxaColor TOxaBitmap::GetPixel(int x, int y)
{
  if (x < 0 || y < 0 || x >= FDesc.Width || y >= FDesc.Height) {
    return FColor;
  }
  if (FBlt != nullptr && ScanLineRead(y) != nullptr) {
    return FBlt->GetPixel(FDesc, x, y);
  }
  return ::GetPixel(Canvas(), x, y);
}

void TOxaBitmap::SetPixel(int x, int y, TOxaColor color)
{
  if (x < 0 || y < 0 || x >= FDesc.Width || y >= FDesc.Height) {
    return;
  }
  if (FBlt != nullptr && ScanLine(y) != nullptr) {
    FBlt->SetPixel(FDesc, x, y, color);
  } else {
    ::SetPixel(Canvas(), x, y, color & 0xFFFFFF);
  }
  ContentChanged();
}

void TOxaBitmap::FillSurface(const RECT& rect, TOxaColor color)
{
  const RECT r = Intersect(rect, {0, 0, FDesc.Width, FDesc.Height});
  if (Empty(r)) {
    return;
  }
  if (FBlt != nullptr && ScanLine(0) != nullptr) {
    FBlt->FillRect(FDesc, r.left, r.top, r.right - r.left, r.bottom - r.top, color);
  } else {
    HandleNeeded();
    FGdi->FillRect(r, color & 0xFFFFFF);
  }
}

void TOxaBitmap::FillRect(const RECT& rect, TOxaColor color)
{
  const RECT r = Intersect(rect, {0, 0, FDesc.Width, FDesc.Height});
  if (Empty(r)) {
    return;
  }
  FillSurface(r, color);
  ContentChanged();
}

void TOxaBitmap::FrameRect(const RECT& rect, TOxaColor color, int bandHeight, int bandWidth)
{
  const RECT r = Intersect(rect, {0, 0, FDesc.Width, FDesc.Height});
  if (Empty(r)) {
    return;
  }
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  bandHeight = std::clamp(bandHeight, 0, (height + 1) / 2);
  bandWidth = std::clamp(bandWidth, 0, (width + 1) / 2);
  if (FBlt != nullptr && ScanLine(0) != nullptr) {
    FBlt->FrameRect(FDesc, r.left, r.top, width, height, color, bandHeight, bandWidth);
  } else {
    HandleNeeded();
    FGdi->FrameRect(r, color & 0xFFFFFF, bandHeight, bandWidth);
  }
  ContentChanged();
}

void TOxaBitmap::DrawGdi(TOxaBitmap& target, int x, int y, const RECT& source)
{
  HDC sourceDC = Canvas();
  ::BitBlt(target.Canvas(), x, y, source.right - source.left, source.bottom - source.top, sourceDC,
           source.left, source.top, SRCCOPY);
}

void TOxaBitmap::Draw(TOxaBitmap& target, int x, int y, const RECT& source)
{
  const int width = source.right - source.left;
  const int height = source.bottom - source.top;
  if (width <= 0 || height <= 0) {
    return;
  }
  if (FBlt != nullptr && FPixelFormat == target.FPixelFormat && ScanLineRead(0) != nullptr &&
      target.ScanLine(0) != nullptr) {
    FBlt->Copy(target.FDesc, FDesc, x, y, source.left, source.top, width, height);
  } else {
    DrawGdi(target, x, y, source);
  }
}

void TOxaBitmap::StretchClipped(TOxaBitmap& target, const RECT& rect, const RECT& clip)
{
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || FDesc.Width <= 0 || FDesc.Height <= 0) {
    return;
  }
  const RECT visible = Intersect(Intersect(rect, clip), {0, 0, target.FDesc.Width, target.FDesc.Height});
  if (Empty(visible)) {
    return;
  }
  if (FBlt != nullptr && FPixelFormat == target.FPixelFormat && ScanLineRead(0) != nullptr &&
      target.ScanLine(0) != nullptr) {
    if (visible.left == rect.left && visible.top == rect.top && visible.right == rect.right &&
        visible.bottom == rect.bottom) {
      FBlt->StretchCopy(target.FDesc, FDesc, rect.left, rect.top, width, height, 0);
      return;
    }
    // Partly outside: stretch into a scratch surface of the whole rectangle, copy what shows.
    const std::int32_t stride = OxaStride(width, 3);
    std::vector<std::uint8_t> scratch(std::size_t(stride) * std::size_t(height));
    TOxaSurfaceDesc desc;
    desc.Width = width;
    desc.Height = height;
    desc.Stride = stride;
    desc.ScanLine0 = scratch.data() + std::ptrdiff_t(height - 1) * stride;
    FBlt->StretchCopy(desc, FDesc, 0, 0, width, height, 0);
    FBlt->Copy(target.FDesc, desc, visible.left, visible.top, visible.left - rect.left,
               visible.top - rect.top, visible.right - visible.left, visible.bottom - visible.top);
    return;
  }
  HDC sourceDC = Canvas();
  ::StretchBlt(target.Canvas(), rect.left, rect.top, width, height, sourceDC, 0, 0, FDesc.Width, FDesc.Height,
               SRCCOPY);
}

void TOxaBitmap::StretchDraw(TOxaBitmap& target, const RECT& rect)
{
  StretchClipped(target, rect, {0, 0, target.FDesc.Width, target.FDesc.Height});
}

void TOxaBitmap::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (FDesc.Width <= 0 || FDesc.Height <= 0 || FImageWidth <= 0 || FImageHeight <= 0) {
    return;
  }
  const RECT image{x + FImageX, y + FImageY, x + FImageX + FImageWidth, y + FImageY + FImageHeight};
  const RECT node{x, y, x + FWidth, y + FHeight};
  const RECT shown =
      Intersect(Intersect(Intersect(image, clip), node), {0, 0, target.FDesc.Width, target.FDesc.Height});
  if (Empty(shown)) {
    return;
  }
  if (FImageWidth == FDesc.Width && FImageHeight == FDesc.Height) {
    Draw(target, shown.left, shown.top, Offset(shown, -image.left, -image.top));
  } else {
    StretchClipped(target, image, shown);
  }
}

void TOxaBitmap::PaintBackground(TOxaBitmap& target, const RECT& rect)
{
  target.FillSurface(rect, FColor);
}

void TOxaBitmap::FillBackground(HDC dc, const RECT& rect)
{
  TGdiObject<HBRUSH> brush(CreateSolidBrush(FColor & 0xFFFFFF));
  ::FillRect(dc, &rect, brush.Get());
}

void TOxaBitmap::PaintChildren(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  for (int i = 0; i < FChildCount; ++i) {
    TOxaBitmap& child = *FChildren[std::size_t(i)];
    if (child.FVisible) {
      child.Compose(target, x + child.FLeft, y + child.FTop, clip);
    }
  }
}

void TOxaBitmap::Update()
{
  if (!FDirty || !FBuffered || BeingDestroyed()) {
    return;
  }
  const RECT area =
      Intersect({-FImageX, -FImageY, FWidth - FImageX, FHeight - FImageY}, {0, 0, FDesc.Width, FDesc.Height});
  if (!Empty(area)) {
    if (!FTransparent) {
      PaintBackground(*this, area);
    }
    PaintChildren(*this, -FImageX, -FImageY, area);
  }
  ClearStatus();
}

void TOxaBitmap::Compose(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (&target == this) {
    Fatal("BitBlt: Target must be different from Source");
  }
  if (FDirty) {
    Update();
  }
  FDirty = true;
  FContentChanged = true;
  FChildChanged = true;
  const RECT shown = Intersect(Intersect({x, y, x + FWidth, y + FHeight}, clip),
                               {0, 0, target.FDesc.Width, target.FDesc.Height});
  if (!Empty(shown)) {
    if (FBuffered) {
      // The composed surface starts at the node's origin; its image offset scrolls the children.
      DrawImageTo(target, x - FImageX, y - FImageY, shown);
    } else {
      if (!FTransparent) {
        PaintBackground(target, shown);
      }
      DrawImageTo(target, x, y, shown);
      PaintChildren(target, x, y, shown);
    }
  }
  ClearStatus();
}

void TOxaBitmap::BitBlt(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (&target == this) {
    Fatal("BitBlt: Target must be different from Source");
  }
  if (!target.FDirty) {
    target.ContentChanged();
  }
  Compose(target, x, y, clip);
}

void TOxaBitmap::BitBltToDC(HDC dc, int x, int y, const RECT& clip)
{
  const RECT shown = Intersect({x, y, x + FWidth, y + FHeight}, clip);
  if (Empty(shown)) {
    return;
  }
  const int width = shown.right - shown.left;
  const int height = shown.bottom - shown.top;
  TOwnedObject<TOxaBitmap> local;
  TOxaBitmap* scratch = FControl != nullptr ? FControl->Scratch() : nullptr;
  if (scratch == nullptr) {
    local.reset(new TOxaBitmap(nullptr));
    scratch = local.get();
  }
  if (scratch->FDesc.Width < width || scratch->FDesc.Height < height) {
    scratch->ChangeImageSize(std::max(width, scratch->FDesc.Width), std::max(height, scratch->FDesc.Height),
                             opf24Bit);
  }
  scratch->HandleNeeded();
  HDC scratchDC = scratch->FGdi->DC();
  scratch->ScanLine(0);
  Compose(*scratch, x - shown.left, y - shown.top, {0, 0, width, height});
  ::BitBlt(dc, shown.left, shown.top, width, height, scratchDC, 0, 0, SRCCOPY);
}

// --- Changes ---

void TOxaBitmap::ChangeStep()
{
  if (FDirty) {
    return;
  }
  FDirty = true;
  if (FAsyncPaint && FControl != nullptr) {
    AsyncPaintToControl();
    return;
  }
  if (FParent != nullptr) {
    FParent->ChildChanged(this);
  } else if (FControl != nullptr) {
    FControl->Invalidate();
  }
}

void TOxaBitmap::ContentChanged()
{
  FContentChanged = true;
  ChangeStep();
}

void TOxaBitmap::ChildChanged(TOxaBitmap* /*child*/)
{
  FChildChanged = true;
  ChangeStep();
}

void TOxaBitmap::AsyncPaintToControl()
{
  if (BeingDestroyed()) {
    TraceLine("TOxaBitmap.AsyncPaintToControl: Ignored while destroying");
    return;
  }
  if (FControl == nullptr || FAsyncPosted) {
    return;
  }
  for (TOxaBitmap* p = FParent; p != nullptr; p = p->FParent) {
    if (p->FAsyncPosted) {
      // That repaint covers this node only if it still knows a child changed: a synchronous
      // paint may have cleared it since the post.
      p->FChildChanged = true;
      p->FDirty = true;
      return;
    }
  }
  FAsyncPosted = true;
  FControl->QueueCallback(this, MakeMethod<&TOxaImage::PaintCallback>(FControl));
}

namespace {

bool HasOtherDirtyChild(const TOxaBitmap& node, const TOxaBitmap* except)
{
  for (int i = 0; i < node.ChildCount(); ++i) {
    const TOxaBitmap* child = node.Children(i);
    if (child != except && child->Visible() && child->Dirty()) {
      return true;
    }
  }
  return false;
}

}  // namespace

void TOxaBitmap::PaintToControl()
{
  if (!FVisible || BeingDestroyed() || FControl == nullptr || !FControl->Showing()) {
    return;
  }
  if (FDirty) {
    Update();
  }
  TOxaImage* control = FControl;
  // The area to refresh and the node that holds it up to date, both in the coordinates of the
  // ancestor being visited.
  TOxaBitmap* source = this;
  int sourceX = FLeft;
  int sourceY = FTop;
  RECT area = BoundsRect();
  const TOxaBitmap* pathChild = this;
  TOxaBitmap* ancestor = FParent;
  for (; ancestor != nullptr; pathChild = ancestor, ancestor = ancestor->FParent) {
    if (!ancestor->FVisible) {
      return;
    }
    if (ancestor->FContentChanged || (ancestor->FChildChanged && HasOtherDirtyChild(*ancestor, pathChild))) {
      if (ancestor->FAsyncPaint) {
        ancestor->PaintToControl();
      } else {
        control->Invalidate();
      }
      return;
    }
    if (ancestor->FBuffered) {
      sourceX -= ancestor->FImageX;
      sourceY -= ancestor->FImageY;
      area = Offset(area, -ancestor->FImageX, -ancestor->FImageY);
      if (ancestor->FDirty) {
        ancestor->Update();
      } else {
        source->Compose(*ancestor, sourceX, sourceY, area);
      }
      area = Intersect(area, {0, 0, ancestor->FDesc.Width, ancestor->FDesc.Height});
      if (Empty(area)) {
        ClearStatus();
        return;
      }
      area = Offset(area, ancestor->FLeft, ancestor->FTop);
      source = ancestor;
      sourceX = ancestor->FLeft;
      sourceY = ancestor->FTop;
    } else {
      area = Offset(area, ancestor->FLeft, ancestor->FTop);
      sourceX += ancestor->FLeft;
      sourceY += ancestor->FTop;
    }
  }
  // A root is drawn at its Left, Top of the client area, so the area is in client coordinates.
  const HWND window = control->Handle();
  HDC dc = GetDC(window);
  source->BitBltToDC(dc, sourceX, sourceY, area);
  ReleaseDC(window, dc);
  ClearStatus();
}

// --- Assigning ---

void TOxaBitmap::Assign(const TPersistent& source)
{
  if (const auto* node = dynamic_cast<const TOxaBitmap*>(&source); node != nullptr) {
    AssignBitmap(*node);
  } else {
    TOxaPersistent::Assign(source);
  }
}

void TOxaBitmap::AssignBitmap(const TOxaBitmap& source)
{
  if (&source == this) {
    return;
  }
  TOxaBitmap* parent = FParent;
  if (parent != nullptr) {
    ++parent->FBusy;
  }
  try {
    FBuffered = source.FBuffered;
    FVisible = source.FVisible;
    FTransparent = source.FTransparent;
    FAsyncPaint = source.FAsyncPaint;
    FIgnoreMouse = source.FIgnoreMouse;
    FEnabled = source.FEnabled;
    FAutoRealign = source.FAutoRealign;
    FKeepPixelFormat = source.FKeepPixelFormat;
    SetParentCursor(source.FParentCursor);
    if (!source.FParentCursor) {
      SetCursor(source.FCursor);
    }
    SetParentColor(source.FParentColor);
    if (!source.FParentColor) {
      SetColor(source.FColor);
    }
    SetParentFont(source.FParentFont);
    if (!source.FParentFont) {
      SetFont(source.FFont);
    }
    SetParentFonts(source.FParentFonts);
    if (!source.FParentFonts) {
      SetFonts(source.FFonts);
    }
    SetParentColors(source.FParentColors);
    if (!source.FParentColors) {
      SetColors(source.FColors);
    }
    SetParentBitmaps(source.FParentBitmaps);
    if (!source.FParentBitmaps) {
      SetBitmaps(source.FBitmaps);
    }
    FPadding = source.FPadding;
    FMargins = source.FMargins;
    FHorzAlign = source.FHorzAlign;
    FVertAlign = source.FVertAlign;
    FSizeMode = 0;
    SetBounds(source.FLeft, source.FTop, source.FWidth, source.FHeight);
    FSizeMode = source.FSizeMode;
    // The pixels: a memory surface is shared (each node copies it before writing its own size),
    // a GDI surface is copied.
    if (source.FGdi == nullptr && source.FMemory != nullptr) {
      ReleaseSurfaces();
      FMemory = source.FMemory;
      FMemory->AddRef();
      FPixelFormat = source.FPixelFormat;
      FBytesPerPixel = source.FBytesPerPixel;
      FBlt = source.FBlt;
      FDesc = source.FDesc;
      FSize = source.FSize;
    } else if (source.FGdi != nullptr) {
      AssignGdiBitmap(*source.FGdi);
    }
    FImageX = source.FImageX;
    FImageY = source.FImageY;
    FImageWidth = source.FImageWidth;
    FImageHeight = source.FImageHeight;
  } catch (...) {
    if (parent != nullptr) {
      --parent->FBusy;
    }
    throw;
  }
  if (parent != nullptr) {
    --parent->FBusy;
    if (parent->FAutoRealign) {
      parent->Realign();
    }
  }
  ContentChanged();
}

void TOxaBitmap::AssignGdiBitmap(TOxaGdiBitmap& source)
{
  const int format = FKeepPixelFormat ? FPixelFormat : source.PixelFormat();
  if (!FKeepPixelFormat) {
    FParentPixelFormat = false;
  }
  ChangeImageSize(source.Width(), source.Height(), format);
  if (source.Empty()) {
    return;
  }
  ::BitBlt(Canvas(), 0, 0, source.Width(), source.Height(), source.DC(), 0, 0, SRCCOPY);
  ScanLine(0);
  ContentChanged();
}

void TOxaBitmap::AssignPlatformBitmap(const TBitmap& source)
{
  TOxaGdiBitmap* gdi = TOxaGdiBitmap::Create();
  try {
    gdi->Assign(source);
    AssignGdiBitmap(*gdi);
  } catch (...) {
    gdi->Release();
    throw;
  }
  gdi->Release();
}

// --- TOxaDarkenBitmap ---

void TOxaDarkenBitmap::SetDarken(std::uint8_t value)
{
  if (value != FDarken) {
    FDarken = value;
    ContentChanged();
  }
}

void TOxaDarkenBitmap::PaintChildren(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  TOxaBitmap::PaintChildren(target, x, y, clip);
  if (FDarken != 0) {
    const RECT painted = Intersect({x, y, x + Width(), y + Height()}, clip);
    target.FillSurface(painted, TOxaColor(255 - FDarken) << 24);
  }
}
