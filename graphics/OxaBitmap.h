#pragma once
// The bitmap node tree: TOxaBitmap, a rectangle with a pixel surface, a parent and children,
// that lays its children out, composes itself and them into a target and takes mouse input.
// A tree is shown in one window control, TOxaImage (graphics/OxaImage.h); nothing in the tree
// is a window of its own. Everything here belongs to the user-interface thread.
//
// Decisions of this implementation:
// - The chained flag is `WantsFocus`: the node takes the keyboard focus when it captures the
//   mouse. Every ancestor counts the focus takers below it (FocusTakersBelow), so a container
//   can tell cheaply whether its subtree holds any.
// - The two further booleans, both true for a new node, are `Enabled` (a disabled node and its
//   subtree are passed over by hit testing and get no keys) and `AutoRealign` (adding, removing
//   or resizing a child lays the children out again; a node built in bulk switches it off and
//   calls Realign once).
// - For a Buffered node the image offset scrolls: the composed surface starts at the node's
//   origin, a child at (Left, Top) is composed into it at (Left, Top) less the image offset, and
//   a point of the node maps to a child as P − (Left, Top) + offset (hit testing alike).
// - A root is drawn at its (Left, Top) in the control's client area.

#include <cstdint>
#include <string>
#include <vector>

#include "forms/Forms.h"
#include "framework/OxaObjects.h"
#include "graphics/OxaBitmapBlt.h"
#include "graphics/OxaGdiBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/core/WinTypes.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "rtl/Method.h"
#include "rtl/Stream.h"

class TOxaBitmap;
class TOxaImage;

using TOxaNodeEvent = TMethod<void(TOxaBitmap* sender)>;
using TOxaNodeMouseEvent =
    TMethod<void(TOxaBitmap* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TOxaNodeMoveEvent = TMethod<void(TOxaBitmap* sender, TShiftState shift, int x, int y)>;
using TOxaNodeWheelEvent =
    TMethod<void(TOxaBitmap* sender, TShiftState shift, int delta, int x, int y, bool& handled)>;
using TOxaNodeWheelStepEvent =
    TMethod<void(TOxaBitmap* sender, TShiftState shift, int x, int y, bool& handled)>;
using TOxaNodeDragEvent = TMethod<void(TOxaBitmap* sender, TOxaBitmap* source, int x, int y)>;
using TOxaNodeKeyEvent = TMethod<void(TOxaBitmap* sender, WORD& key, TShiftState shift)>;
using TOxaNodeKeyPressEvent = TMethod<void(TOxaBitmap* sender, char32_t& key)>;

// The layout rules of HorzAlign and VertAlign.
enum TOxaAlign : std::uint8_t {
  oaNone = 0,
  oaStackNear = 1,  // left / top, consuming space
  oaCenter = 2,
  oaStackFar = 3,  // right / bottom, consuming space
  oaStretch = 4,
  oaPinNear = 5,
  oaPinFar = 6,
};

struct TOxaEdges {
  std::int32_t Left = 0;
  std::int32_t Right = 0;
  std::int32_t Top = 0;
  std::int32_t Bottom = 0;
};

// Bytes per pixel of the formats a node accepts (0, 3, 5, 6, 7), -1 for the others.
int OxaNodeBytesPerPixel(int pixelFormat) noexcept;

// The largest surface side a node image record may give.
constexpr std::int32_t kOxaMaxImageSide = 8192;
// The node image record: magic, node rectangle, surface size, format, then the rows.
constexpr std::uint32_t kOxaImageMagic = 0xFF439ECF;
constexpr int kOxaImageHeaderSize = 29;
// The length of the record whose header is at header (rows included), or -1 when it is not a
// record LoadFromStream accepts from a stream holding available bytes from the header on.
// header must hold kOxaImageHeaderSize bytes when available reaches that.
std::int64_t OxaImageRecordSize(const std::uint8_t* header, std::int64_t available) noexcept;

class TOxaBitmap : public TOxaPersistent {
 public:
  explicit TOxaBitmap(TOxaObjects* parentList = nullptr);
  ~TOxaBitmap() override;
  TOxaBitmap(const TOxaBitmap&) = delete;
  TOxaBitmap& operator=(const TOxaBitmap&) = delete;

  void BeforeDestruction() override;
  // From another node (AssignBitmap); anything else goes to the base class. Plain platform
  // bitmaps and GDI surfaces are not persistents here, so they have overloads of their own.
  void Assign(const TPersistent& source) override;
  void Assign(const TBitmap& source) { AssignPlatformBitmap(source); }
  void Assign(TOxaGdiBitmap& source) { AssignGdiBitmap(source); }

  // --- Tree ---
  TOxaBitmap* Parent() const noexcept { return FParent; }
  TOxaImage* Control() const noexcept { return FControl; }
  void SetParent(TOxaBitmap* newParent);
  int ChildCount() const noexcept { return FChildCount; }
  int ChildCapacity() const noexcept { return int(FChildren.size()); }
  TOxaBitmap* Children(int index) const;
  int IndexOfChild(const TOxaBitmap* child) const noexcept;
  bool ChildrenLocked() const noexcept { return FChildrenLock != 0; }
  void BringToFront();
  bool IsAncestorOf(const TOxaBitmap* node) const noexcept;
  bool BeingDestroyed() const noexcept { return FBusy != 0 && FDying; }
  int Busy() const noexcept { return FBusy; }
  // The nodes below with WantsFocus set.
  int FocusTakersBelow() const noexcept { return FChainedBelow; }

  // --- Geometry ---
  int Left() const noexcept { return FLeft; }
  int Top() const noexcept { return FTop; }
  int Width() const noexcept { return FWidth; }
  int Height() const noexcept { return FHeight; }
  RECT BoundsRect() const noexcept { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  RECT ClientRect() const noexcept { return {0, 0, FWidth, FHeight}; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
  void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
  void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
  void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }

  std::uint8_t HorzAlign() const noexcept { return FHorzAlign; }
  std::uint8_t VertAlign() const noexcept { return FVertAlign; }
  void SetHorzAlign(std::uint8_t value);
  void SetVertAlign(std::uint8_t value);
  const TOxaEdges& Margins() const noexcept { return FMargins; }
  void SetMargins(const TOxaEdges& value);
  const TOxaEdges& Padding() const noexcept { return FPadding; }
  void SetPadding(const TOxaEdges& value);
  // Where the surface is drawn inside the node.
  RECT ImageRect() const noexcept
  {
    return {FImageX, FImageY, FImageX + FImageWidth, FImageY + FImageHeight};
  }
  void SetImageRect(int x, int y, int width, int height);
  std::uint8_t SizeMode() const noexcept { return FSizeMode; }
  void SetSizeMode(std::uint8_t value);

  // --- Coordinates ---
  POINT PointToChild(const TOxaBitmap* descendant, POINT p) const;
  POINT PointToParent(const TOxaBitmap* descendant, POINT p) const;
  POINT PointToControl(POINT p) const;
  POINT ControlToPoint(POINT p) const;
  POINT PointToScreen(POINT p) const;
  POINT ScreenToPoint(POINT p) const;

  // --- Properties and inheritance ---
  bool Visible() const noexcept { return FVisible; }
  void SetVisible(bool value);
  // Visible, and so is every node above it.
  bool Showing() const noexcept;
  bool Buffered() const noexcept { return FBuffered; }
  void SetBuffered(bool value);
  bool Transparent() const noexcept { return FTransparent; }
  void SetTransparent(bool value);
  bool AsyncPaint() const noexcept { return FAsyncPaint; }
  void SetAsyncPaint(bool value) { FAsyncPaint = value; }
  bool IgnoreMouse() const noexcept { return FIgnoreMouse; }
  void SetIgnoreMouse(bool value) { FIgnoreMouse = value; }
  bool WantsFocus() const noexcept { return FChained; }
  void SetWantsFocus(bool value);
  bool Enabled() const noexcept { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }
  bool AutoRealign() const noexcept { return FAutoRealign; }
  void SetAutoRealign(bool value) { FAutoRealign = value; }
  bool KeepPixelFormat() const noexcept { return FKeepPixelFormat; }
  void SetKeepPixelFormat(bool value) { FKeepPixelFormat = value; }

  std::int16_t Cursor() const noexcept { return FCursor; }
  virtual void SetCursor(std::int16_t value);
  TOxaColor Color() const noexcept { return FColor; }
  virtual void SetColor(TOxaColor value);
  TOxaFont* Font() const noexcept { return FFont; }
  virtual void SetFont(TOxaFont* value);
  TOxaFonts* Fonts() const noexcept { return FFonts; }
  virtual void SetFonts(TOxaFonts* value);
  TOxaColors* Colors() const noexcept { return FColors; }
  virtual void SetColors(TOxaColors* value);
  TOxaBitmaps* Bitmaps() const noexcept { return FBitmaps; }
  virtual void SetBitmaps(TOxaBitmaps* value);

  bool ParentCursor() const noexcept { return FParentCursor; }
  bool ParentColor() const noexcept { return FParentColor; }
  bool ParentFont() const noexcept { return FParentFont; }
  bool ParentFonts() const noexcept { return FParentFonts; }
  bool ParentColors() const noexcept { return FParentColors; }
  bool ParentBitmaps() const noexcept { return FParentBitmaps; }
  bool ParentPixelFormat() const noexcept { return FParentPixelFormat; }
  void SetParentCursor(bool value);
  void SetParentColor(bool value);
  void SetParentFont(bool value);
  void SetParentFonts(bool value);
  void SetParentColors(bool value);
  void SetParentBitmaps(bool value);
  void SetParentPixelFormat(bool value);

  // --- Status ---
  bool Dirty() const noexcept { return FDirty; }
  bool IsContentChanged() const noexcept { return FContentChanged; }
  bool IsChildChanged() const noexcept { return FChildChanged; }
  bool AsyncPosted() const noexcept { return FAsyncPosted; }

  // --- Surface ---
  int PixelFormat() const noexcept { return FPixelFormat; }
  int BytesPerPixel() const noexcept { return FBytesPerPixel; }
  int ImageWidth() const noexcept { return FDesc.Width; }
  int ImageHeight() const noexcept { return FDesc.Height; }
  int Stride() const noexcept { return FDesc.Stride; }
  std::size_t ImageSize() const noexcept { return FSize; }
  const TOxaSurfaceDesc& Desc() const noexcept { return FDesc; }
  const TOxaBltTable* BltTable() const noexcept { return FBlt; }
  TOxaMemoryBitmap* MemorySurface() const noexcept { return FMemory; }
  TOxaGdiBitmap* GdiSurface() const noexcept { return FGdi; }
  // Resizes the surface; false when neither size nor format changes. Raises
  // "%s.ChangeImageSize: Unknown PixelFormat" for a format outside 0, 3, 5, 6, 7.
  virtual bool ChangeImageSize(int width, int height, int pixelFormat);
  // Trades surfaces (pixels, format and size) with other and tells both their content changed.
  // A list hands the surfaces of rows leaving the view's reach to the rows coming into it, which
  // redraw them whole, instead of freeing one and making another of the same size.
  void SwapSurface(TOxaBitmap& other);
  // The GDI surface's device context, making the GDI surface first.
  HDC Canvas();
  virtual void HandleNeeded();
  // Scan lines: the row address after pending GDI output is done; null outside the surface.
  // Writing takes a private copy of pixels shared with another node first.
  std::uint8_t* ScanLine(int row);
  const std::uint8_t* ScanLineRead(int row);
  virtual TOxaColor GetPixel(int x, int y);
  virtual void SetPixel(int x, int y, TOxaColor color);
  void FillRect(const RECT& rect, TOxaColor color);
  // The same fill without reporting a change: for painting while composing.
  void FillSurface(const RECT& rect, TOxaColor color);
  void FrameRect(const RECT& rect, TOxaColor color, int bandHeight = 1, int bandWidth = 1);
  // The node's surface 1:1 at (x, y) of target's surface, limited to the source rectangle.
  virtual void Draw(TOxaBitmap& target, int x, int y, const RECT& source);
  // The whole surface scaled into the target rectangle.
  virtual void StretchDraw(TOxaBitmap& target, const RECT& rect);

  // --- Assigning ---
  virtual void AssignBitmap(const TOxaBitmap& source);
  virtual void AssignGdiBitmap(TOxaGdiBitmap& source);
  virtual void AssignPlatformBitmap(const TBitmap& source);

  // --- Changes and painting ---
  virtual void ContentChanged();
  virtual void ChildChanged(TOxaBitmap* child);
  virtual void AsyncPaintToControl();
  virtual void PaintToControl();
  virtual void Update();
  // Composes the node with its origin at (x, y) of target's surface, within clip (target
  // surface coordinates). Raises "%s.BitBlt: Target must be different from Source".
  void BitBlt(TOxaBitmap& target, int x, int y, const RECT& clip);
  // The same into a device context (the window's), through a scratch surface.
  void BitBltToDC(HDC dc, int x, int y, const RECT& clip);
  virtual void PaintChildren(TOxaBitmap& target, int x, int y, const RECT& clip);
  virtual void PaintBackground(TOxaBitmap& target, const RECT& rect);
  virtual void FillBackground(HDC dc, const RECT& rect);
  // The surface into the image rectangle placed at (x, y) of target, within clip.
  virtual void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip);
  virtual void Realign();

  // --- Hit testing ---
  bool PtInNode(POINT p) const noexcept;
  // Whether p (node coordinates) hits the node's picture; a transparent node is hit only there.
  virtual bool PtInImage(POINT p) const noexcept;
  // The node at p (in the parent's coordinates) in this subtree; p is turned into its
  // coordinates. Null on a miss.
  TOxaBitmap* FindChildAt(POINT& p);

  // --- Streams ---
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  // --- Dispatchers ---
  virtual void Click();
  virtual void DblClick();
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseEnter();
  virtual void MouseLeave();
  virtual void CaptureGained();
  virtual void CaptureLost();
  virtual void MouseWheel(TShiftState shift, int delta, int x, int y, bool& handled);
  virtual void MouseWheelDown(TShiftState shift, int x, int y, bool& handled);
  virtual void MouseWheelUp(TShiftState shift, int x, int y, bool& handled);
  virtual void DragOver(TOxaBitmap* source, int x, int y);
  virtual void DragLeave(TOxaBitmap* source, int x, int y);
  virtual void DragMove(TOxaBitmap* source, int x, int y);
  virtual void DragDrop(TOxaBitmap* source, int x, int y);
  virtual void DragBegin() {}
  virtual void DragEnd() {}
  virtual void Enter();
  virtual void Exit();
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char32_t& key);

  TOxaNodeEvent OnClick;
  TOxaNodeEvent OnDblClick;
  TOxaNodeMoveEvent OnMouseMove;
  TOxaNodeMouseEvent OnMouseDown;
  TOxaNodeMouseEvent OnMouseUp;
  TOxaNodeEvent OnMouseEnter;
  TOxaNodeEvent OnMouseLeave;
  TOxaNodeEvent OnCaptureGained;
  TOxaNodeEvent OnCaptureLost;
  TOxaNodeWheelEvent OnMouseWheel;
  TOxaNodeWheelStepEvent OnMouseWheelDown;
  TOxaNodeWheelStepEvent OnMouseWheelUp;
  TOxaNodeDragEvent OnDragOver;
  TOxaNodeDragEvent OnDragLeave;
  TOxaNodeDragEvent OnDragMove;
  TOxaNodeDragEvent OnDragDrop;
  TOxaNodeEvent OnEnter;
  TOxaNodeEvent OnExit;
  TOxaNodeKeyEvent OnKeyDown;
  TOxaNodeKeyEvent OnKeyUp;
  TOxaNodeKeyPressEvent OnKeyPress;

 protected:
  virtual void AddChild(TOxaBitmap* child);
  virtual void RemoveChild(TOxaBitmap* child);
  virtual void ChildAdded(TOxaBitmap* child);
  virtual void ChildResized(TOxaBitmap* child);
  virtual void ParentResize();
  virtual void SetControl(TOxaImage* control);
  virtual void Resized();
  // Observer callbacks of the font, colour and bitmap sets.
  void DestroyObject(TObject* sender);
  void ChangeObject(TObject* sender);
  [[noreturn]] void Fatal(const std::string& what) const;

 private:
  friend class TOxaImage;
  friend class TOxaCallbackItem;

  void ChangeStep();
  void ApplyChained(bool on);
  void InheritFromParent();
  void FollowFont(TOxaFont* value);
  void FollowFonts(TOxaFonts* value);
  void FollowColors(TOxaColors* value);
  void FollowBitmaps(TOxaBitmaps* value);
  void FollowColor(TOxaColor value);
  void FollowCursor(std::int16_t value);
  template <class T>
  void Observe(T*& field, T* value);
  // Observes value in field and hands it down to every child that inherits it.
  template <class T>
  void Follow(T* TOxaBitmap::*field, bool TOxaBitmap::*inherits, T* value);
  // Switches inheriting the set on or off; on, the parent's set is followed again.
  template <class T>
  void Inherit(T* TOxaBitmap::*field, bool TOxaBitmap::*inherits, bool value);
  void Refresh(const RECT& rect);
  void ReleaseSurfaces() noexcept;
  void OwnMemory();
  void UseStockSurface() noexcept;
  void ComputeScanLine0() noexcept;
  void MakeGdiSurface(bool keepPixels);
  void DrawGdi(TOxaBitmap& target, int x, int y, const RECT& source);
  void StretchClipped(TOxaBitmap& target, const RECT& rect, const RECT& clip);
  // BitBlt without marking the target changed: composition inside a repaint.
  void Compose(TOxaBitmap& target, int x, int y, const RECT& clip);
  void ClearStatus() noexcept
  {
    FDirty = false;
    FContentChanged = false;
    FChildChanged = false;
  }
  POINT OneLevelToChild(const TOxaBitmap& child, POINT p) const;
  POINT OneLevelToParent(const TOxaBitmap& child, POINT p) const;
  void CollectPath(const TOxaBitmap* descendant, const char* operation,
                   std::vector<const TOxaBitmap*>& path) const;
  void AttachHook();

  std::int32_t FChainedBelow = 0;
  std::int32_t FLeft = 0;
  std::int32_t FTop = 0;
  std::int32_t FWidth = 0;
  std::int32_t FHeight = 0;
  std::int32_t FBusy = 0;
  bool FDying = false;
  TOxaBitmap* FParent = nullptr;
  TOxaImage* FControl = nullptr;
  std::vector<TOxaBitmap*> FChildren;  // size() is the capacity
  std::int32_t FChildCount = 0;
  std::int32_t FChildrenLock = 0;
  TOxaMemoryBitmap* FMemory = nullptr;
  TOxaGdiBitmap* FGdi = nullptr;
  TOxaSurfaceDesc FDesc;
  std::size_t FSize = 0;
  int FBytesPerPixel = 3;
  int FPixelFormat = opf24Bit;
  const TOxaBltTable* FBlt = nullptr;
  std::uint8_t FSizeMode = 0;
  bool FBuffered = false;
  bool FVisible = true;
  bool FTransparent = false;
  std::int16_t FCursor = 0;
  TOxaColor FColor = 0;
  TOxaFont* FFont = nullptr;
  TOxaColors* FColors = nullptr;
  TOxaFonts* FFonts = nullptr;
  TOxaBitmaps* FBitmaps = nullptr;
  bool FKeepPixelFormat = true;
  bool FParentCursor = true;
  bool FParentColor = true;
  bool FParentFont = true;
  bool FParentFonts = true;
  bool FParentColors = true;
  bool FParentBitmaps = true;
  bool FParentPixelFormat = true;
  bool FChained = false;
  bool FIgnoreMouse = false;
  bool FEnabled = true;
  bool FAutoRealign = true;
  std::uint8_t FHorzAlign = 0;
  std::uint8_t FVertAlign = 0;
  TOxaEdges FPadding;
  TOxaEdges FMargins;
  std::int32_t FImageX = 0;
  std::int32_t FImageY = 0;
  std::int32_t FImageWidth = 0;
  std::int32_t FImageHeight = 0;
  bool FDirty = false;
  bool FContentChanged = false;
  bool FChildChanged = false;
  bool FAsyncPaint = false;
  bool FAsyncPosted = false;
};

// A node that darkens what it painted: after its children, a non-zero Darken D fills the
// painted rectangle with black keeping 255 − D of each byte.
class TOxaDarkenBitmap : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;

  std::uint8_t Darken() const noexcept { return FDarken; }
  void SetDarken(std::uint8_t value);
  void PaintChildren(TOxaBitmap& target, int x, int y, const RECT& clip) override;

 private:
  std::uint8_t FDarken = 0;
};

// The unit's shared objects: the empty memory surface every empty node shares, the 1 × 1 text
// surface and the solid brush (guarded by OxaGdiLock()), and TrackMouseEvent found at run time.
// They are made when the first node needs them (so no display is touched before main) and freed
// when the process ends, which checks that no node still holds the empty surface.
TOxaMemoryBitmap* StockMemoryBitmap() noexcept;
TOxaGdiBitmap* StockGdiBitmap() noexcept;
HBRUSH StockBrush() noexcept;
using TTrackMouseEventProc = BOOL (*)(TRACKMOUSEEVENT*);
TTrackMouseEventProc OxaTrackMouseEvent() noexcept;
// The unit's end check: the trace line when the empty surface has references other than the
// unit's own; returns its reference count.
int OxaCheckStockMemoryBitmap() noexcept;
