// The node tree: parents and children, layout, inherited properties, coordinates, dispatchers.
#include "graphics/OxaBitmap.h"

#include <algorithm>
#include <cassert>

#include "graphics/OxaImage.h"
#include "rtl/Format.h"

namespace {

constexpr int kMaxPath = 255;
constexpr int kChildGrowth = 8192;

// A link found at the end of a destructor: a programming error that must not throw from there.
void DestructorComplaint(const std::string& line) noexcept
{
  TraceLine(line);
  assert(false && "TOxaBitmap destroyed with links left; see the trace");
}

// Raises the children lock of a node for a scope.
struct TChildrenLock {
  explicit TChildrenLock(std::int32_t& lock) : Lock(lock) { ++Lock; }
  ~TChildrenLock() { --Lock; }
  TChildrenLock(const TChildrenLock&) = delete;
  TChildrenLock& operator=(const TChildrenLock&) = delete;
  std::int32_t& Lock;
};

}  // namespace

int OxaNodeBytesPerPixel(int pixelFormat) noexcept
{
  switch (pixelFormat) {
    case opfDevice:
      return 0;
    case opf8Bit:
      return 1;
    case opf16Bit:
      return 2;
    case opf24Bit:
      return 3;
    case opf32Bit:
      return 4;
    default:
      return -1;
  }
}

TOxaBitmap::TOxaBitmap(TOxaObjects* parentList) : TOxaPersistent(parentList)
{
  FMemory = StockMemoryBitmap();
  FMemory->AddRef();
  FBlt = OxaBltTable(opf24Bit);
}

void TOxaBitmap::Fatal(const std::string& what) const
{
  throw EOxaFatal(ClassName() + "." + what);
}

void TOxaBitmap::BeforeDestruction()
{
  ++FBusy;
  FDying = true;
  OnClick = nullptr;
  OnDblClick = nullptr;
  OnMouseMove = nullptr;
  OnMouseDown = nullptr;
  OnMouseUp = nullptr;
  OnMouseEnter = nullptr;
  OnMouseLeave = nullptr;
  OnCaptureGained = nullptr;
  OnCaptureLost = nullptr;
  OnMouseWheel = nullptr;
  OnMouseWheelDown = nullptr;
  OnMouseWheelUp = nullptr;
  OnDragOver = nullptr;
  OnDragLeave = nullptr;
  OnDragMove = nullptr;
  OnDragDrop = nullptr;
  OnEnter = nullptr;
  OnExit = nullptr;
  OnKeyDown = nullptr;
  OnKeyUp = nullptr;
  OnKeyPress = nullptr;
  if (FControl != nullptr) {
    // Without calling into this node or any below it: they are about to go.
    FControl->ForgetNode(this);
  }
  TOxaPersistent::BeforeDestruction();
}

TOxaBitmap::~TOxaBitmap()
{
  ++FBusy;
  FDying = true;
  if (FControl != nullptr) {
    FControl->ForgetNode(this);
  }
  for (int i = FChildCount - 1; i >= 0; --i) {
    if (i < FChildCount) {
      try {
        FChildren[std::size_t(i)]->SetParent(nullptr);
      } catch (const std::exception& e) {
        TraceLine(e.what());
      }
    }
  }
  try {
    SetColors(nullptr);
    SetFonts(nullptr);
    SetBitmaps(nullptr);
    SetFont(nullptr);
    SetParent(nullptr);
    if (FControl != nullptr && FControl->Bitmap() == this) {
      FControl->SetBitmap(nullptr);
    }
  } catch (const std::exception& e) {
    TraceLine(e.what());
  }
  const std::string name = ClassName();
  if (FChildCount != 0) {
    DestructorComplaint(Format("%s.Destroy: Failed to detach %d children", name, FChildCount));
  }
  if (FChildrenLock != 0) {
    DestructorComplaint(name + ".Destroy: Children locked");
  }
  if (FFont != nullptr) {
    DestructorComplaint(Format("%s.Destroy: Failed to detach %s.Font", name, name));
  }
  if (FFonts != nullptr) {
    DestructorComplaint(Format("%s.Destroy: Failed to detach %s.Fonts", name, name));
  }
  if (FBitmaps != nullptr) {
    DestructorComplaint(Format("%s.Destroy: Failed to detach %s.Bitmaps", name, name));
  }
  if (FColors != nullptr) {
    DestructorComplaint(Format("%s.Destroy: Failed to detach %s.Colors", name, name));
  }
  if (FControl != nullptr) {
    DestructorComplaint(name + ".Destroy: Failed to detach Control");
  }
  if (FParent != nullptr) {
    DestructorComplaint(name + ".Destroy: Failed to detach Parent");
  }
  ReleaseSurfaces();
}

// --- Tree ---

TOxaBitmap* TOxaBitmap::Children(int index) const
{
  if (index < 0 || index >= FChildCount) {
    throw EOxaFatal(Format("%s.Children[%d]: Index of out bounds", ClassName(), index));
  }
  return FChildren[std::size_t(index)];
}

int TOxaBitmap::IndexOfChild(const TOxaBitmap* child) const noexcept
{
  for (int i = 0; i < FChildCount; ++i) {
    if (FChildren[std::size_t(i)] == child) {
      return i;
    }
  }
  return -1;
}

bool TOxaBitmap::IsAncestorOf(const TOxaBitmap* node) const noexcept
{
  for (const TOxaBitmap* p = node != nullptr ? node->FParent : nullptr; p != nullptr; p = p->FParent) {
    if (p == this) {
      return true;
    }
  }
  return false;
}

void TOxaBitmap::SetParent(TOxaBitmap* newParent)
{
  if (newParent == FParent) {
    return;
  }
  if (newParent == this || IsAncestorOf(newParent)) {
    Fatal("SetParent: Parent can not be a child or self");
  }
  // Refused before anything changes, so a refused move leaves the node where and as it was.
  if (FParent != nullptr && FParent->FChildrenLock != 0) {
    FParent->Fatal("RemoveChild: Children locked");
  }
  if (newParent != nullptr && newParent->FChildrenLock != 0) {
    newParent->Fatal("AddChild: Children locked");
  }
  // 1. Unhook from what the old parent lent.
  const bool parentCursor = FParentCursor;
  const bool parentColor = FParentColor;
  const bool parentFont = FParentFont;
  const bool parentFonts = FParentFonts;
  const bool parentColors = FParentColors;
  const bool parentBitmaps = FParentBitmaps;
  const bool parentPixelFormat = FParentPixelFormat;
  const bool chained = FChained;
  SetParentCursor(false);
  SetParentColor(false);
  SetParentFont(false);
  SetParentFonts(false);
  SetParentColors(false);
  SetParentBitmaps(false);
  FParentPixelFormat = false;
  SetWantsFocus(false);
  const std::int32_t chainedBelow = FChainedBelow;
  if (chainedBelow != 0) {
    for (TOxaBitmap* p = FParent; p != nullptr; p = p->FParent) {
      p->FChainedBelow -= chainedBelow;
    }
  }
  // 2. Leave.
  if (FParent != nullptr) {
    TOxaBitmap* old = FParent;
    old->RemoveChild(this);
    FParent = nullptr;
  } else if (FControl != nullptr && FControl->Bitmap() == this) {
    FControl->SetBitmap(nullptr);
  }
  // 3. Join.
  FParent = newParent;
  if (newParent != nullptr) {
    for (TOxaBitmap* p = FParent; p != nullptr; p = p->FParent) {
      p->FChainedBelow += chainedBelow;
    }
    try {
      newParent->AddChild(this);
    } catch (...) {
      for (TOxaBitmap* p = FParent; p != nullptr; p = p->FParent) {
        p->FChainedBelow -= chainedBelow;
      }
      FParent = nullptr;
      SetControl(nullptr);
      throw;
    }
    if (newParent->FControl != FControl) {
      SetControl(newParent->FControl);
    }
  } else if (FControl != nullptr) {
    SetControl(nullptr);
  }
  // 4. Take the flags back, reading the inherited properties from the new parent.
  SetParentCursor(parentCursor);
  SetParentColor(parentColor);
  SetParentFont(parentFont);
  SetParentFonts(parentFonts);
  SetParentColors(parentColors);
  SetParentBitmaps(parentBitmaps);
  SetParentPixelFormat(parentPixelFormat);
  SetWantsFocus(chained);
}

void TOxaBitmap::AddChild(TOxaBitmap* child)
{
  if (FChildrenLock != 0) {
    Fatal("AddChild: Children locked");
  }
  if (FChildCount == ChildCapacity()) {
    const int capacity = ChildCapacity();
    const int grown = capacity == 0 ? 1 : capacity < kChildGrowth ? capacity * 2 : capacity + kChildGrowth;
    FChildren.resize(std::size_t(grown), nullptr);
  }
  FChildren[std::size_t(FChildCount++)] = child;
  ChildAdded(child);
  if (FBuffered) {
    ContentChanged();
  } else if (FParent != nullptr) {
    FParent->ChildChanged(this);
  } else if (FControl != nullptr) {
    FControl->Invalidate();
  }
}

void TOxaBitmap::RemoveChild(TOxaBitmap* child)
{
  if (FChildrenLock != 0) {
    Fatal("RemoveChild: Children locked");
  }
  const int index = IndexOfChild(child);
  if (index < 0) {
    return;
  }
  std::copy(FChildren.begin() + index + 1, FChildren.begin() + FChildCount, FChildren.begin() + index);
  FChildren[std::size_t(--FChildCount)] = nullptr;
  if (!FDying && ChildCapacity() >= 2 * FChildCount) {
    FChildren.resize(std::size_t(FChildCount));
    FChildren.shrink_to_fit();
  }
  if (child->FVisible) {
    const auto stacks = [](std::uint8_t align) { return align == oaStackNear || align == oaStackFar; };
    if (stacks(child->FHorzAlign) || stacks(child->FVertAlign)) {
      if (FAutoRealign) {
        Realign();
      }
    }
    if (FBuffered) {
      ContentChanged();
    } else if (FParent != nullptr) {
      FParent->ChildChanged(this);
    } else if (FControl != nullptr) {
      FControl->Invalidate();
    }
  }
}

void TOxaBitmap::ChildAdded(TOxaBitmap* child)
{
  if ((child->FHorzAlign != oaNone || child->FVertAlign != oaNone) && FAutoRealign) {
    Realign();
  } else {
    ContentChanged();
  }
}

void TOxaBitmap::ChildResized(TOxaBitmap* child)
{
  if ((child->FHorzAlign != oaNone || child->FVertAlign != oaNone) && FAutoRealign) {
    Realign();
  }
}

void TOxaBitmap::ParentResize() {}

void TOxaBitmap::Resized()
{
  if (FAutoRealign) {
    Realign();
  }
  for (int i = 0; i < FChildCount; ++i) {
    FChildren[std::size_t(i)]->ParentResize();
  }
}

void TOxaBitmap::BringToFront()
{
  if (FParent == nullptr) {
    return;
  }
  if (FParent->FChildrenLock != 0) {
    // The text is as the callers know it, "&s" included.
    throw EOxaFatal("&s.BringToFront: Parent's children locked");
  }
  TOxaBitmap& parent = *FParent;
  const int index = parent.IndexOfChild(this);
  if (index < 0 || index == parent.FChildCount - 1) {
    return;
  }
  std::rotate(parent.FChildren.begin() + index, parent.FChildren.begin() + index + 1,
              parent.FChildren.begin() + parent.FChildCount);
  parent.ChildChanged(this);
  parent.ChildAdded(this);
}

void TOxaBitmap::SetControl(TOxaImage* control)
{
  if (control == FControl) {
    return;
  }
  if (FControl != nullptr) {
    FControl->ForgetNode(this);
    FControl->DropCallbacks(this);
  }
  FControl = control;
  for (int i = 0; i < FChildCount; ++i) {
    FChildren[std::size_t(i)]->SetControl(control);
  }
}

// --- Layout ---

void TOxaBitmap::SetBounds(int left, int top, int width, int height)
{
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) {
    return;
  }
  const bool resized = width != FWidth || height != FHeight;
  if (FParent != nullptr && FVisible) {
    FParent->ChildChanged(this);
  }
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  if (resized) {
    if (FSizeMode == 2) {
      ChangeImageSize(width, height, FPixelFormat);
    }
    if (FBusy == 0) {
      Resized();
      if (FParent != nullptr) {
        FParent->ChildResized(this);
      }
    }
  }
  ContentChanged();
}

void TOxaBitmap::SetHorzAlign(std::uint8_t value)
{
  if (value != FHorzAlign) {
    FHorzAlign = value;
    if (FParent != nullptr && FParent->FAutoRealign) {
      FParent->Realign();
    }
  }
}

void TOxaBitmap::SetVertAlign(std::uint8_t value)
{
  if (value != FVertAlign) {
    FVertAlign = value;
    if (FParent != nullptr && FParent->FAutoRealign) {
      FParent->Realign();
    }
  }
}

void TOxaBitmap::SetMargins(const TOxaEdges& value)
{
  FMargins = value;
  if (FParent != nullptr && FParent->FAutoRealign) {
    FParent->Realign();
  }
}

void TOxaBitmap::SetPadding(const TOxaEdges& value)
{
  FPadding = value;
  if (FSizeMode == 2) {
    ChangeImageSize(FWidth, FHeight, FPixelFormat);
  }
}

void TOxaBitmap::SetImageRect(int x, int y, int width, int height)
{
  FImageX = x;
  FImageY = y;
  FImageWidth = width;
  FImageHeight = height;
  ContentChanged();
}

void TOxaBitmap::SetSizeMode(std::uint8_t value)
{
  if (value != FSizeMode) {
    FSizeMode = value;
    if (value == 2) {
      ChangeImageSize(FWidth, FHeight, FPixelFormat);
    }
  }
}

namespace {

// One axis of the layout: the position (and for stretching the size) of a child, moving the
// edges of the free area for the stacking rules.
void AlignAxis(std::uint8_t align, bool visible, int nearMargin, int farMargin, int& areaNear, int& areaFar,
               int& position, int& size)
{
  switch (align) {
    case oaStackNear:
      position = areaNear + nearMargin;
      if (visible) {
        areaNear = position + size + farMargin;
      }
      break;
    case oaCenter: {
      const int start = areaNear + nearMargin;
      position = start + ((areaFar - start - farMargin) - size) / 2;  // C++ division rounds toward zero
      break;
    }
    case oaStackFar:
      position = areaFar - size - farMargin;
      if (visible) {
        areaFar = position - nearMargin;
      }
      break;
    case oaStretch:
      position = areaNear + nearMargin;
      size = areaFar - position - farMargin;
      break;
    case oaPinNear:
      position = areaNear + nearMargin;
      break;
    case oaPinFar:
      position = areaFar - size - farMargin;
      break;
    default:
      break;
  }
}

}  // namespace

void TOxaBitmap::Realign()
{
  if (FBusy != 0 || FChildCount == 0) {
    return;
  }
  ++FBusy;
  TChildrenLock lock(FChildrenLock);
  try {
    RECT area = ClientRect();
    for (int i = 0; i < FChildCount; ++i) {
      TOxaBitmap& child = *FChildren[std::size_t(i)];
      int x = child.FLeft;
      int y = child.FTop;
      int width = child.FWidth;
      int height = child.FHeight;
      AlignAxis(child.FHorzAlign, child.FVisible, child.FMargins.Left, child.FMargins.Right, area.left,
                area.right, x, width);
      AlignAxis(child.FVertAlign, child.FVisible, child.FMargins.Top, child.FMargins.Bottom, area.top,
                area.bottom, y, height);
      child.SetBounds(x, y, width, height);
    }
  } catch (...) {
    --FBusy;
    throw;
  }
  --FBusy;
}

// --- Flags and inherited properties ---

void TOxaBitmap::SetVisible(bool value)
{
  if (value == FVisible) {
    return;
  }
  FVisible = value;
  if (FParent != nullptr) {
    const auto stacks = [](std::uint8_t align) { return align == oaStackNear || align == oaStackFar; };
    if ((stacks(FHorzAlign) || stacks(FVertAlign)) && FParent->FAutoRealign) {
      FParent->Realign();
    }
    FParent->ChildChanged(this);
  } else if (FControl != nullptr) {
    FControl->Invalidate();
  }
}

void TOxaBitmap::SetBuffered(bool value)
{
  if (value != FBuffered) {
    FBuffered = value;
    ContentChanged();
  }
}

void TOxaBitmap::SetTransparent(bool value)
{
  if (value != FTransparent) {
    FTransparent = value;
    ContentChanged();
  }
}

void TOxaBitmap::SetWantsFocus(bool value)
{
  if (value == FChained) {
    return;
  }
  FChained = value;
  for (TOxaBitmap* p = FParent; p != nullptr; p = p->FParent) {
    p->FChainedBelow += value ? 1 : -1;
  }
}

template <class T>
void TOxaBitmap::Observe(T*& field, T* value)
{
  if (field == value) {
    return;
  }
  const TNotifyEvent onDestroy = MakeMethod<&TOxaBitmap::DestroyObject>(this);
  const TNotifyEvent onChange = MakeMethod<&TOxaBitmap::ChangeObject>(this);
  if (field != nullptr) {
    field->RemoveObserver(onDestroy, onChange);
  }
  field = nullptr;
  if (value != nullptr) {
    value->Objects().Add(onDestroy, onChange);
  }
  field = value;
}

template <class T>
void TOxaBitmap::Follow(T* TOxaBitmap::*field, bool TOxaBitmap::*inherits, T* value)
{
  if (value == this->*field) {
    return;
  }
  Observe(this->*field, value);
  for (int i = 0; i < FChildCount; ++i) {
    TOxaBitmap* child = FChildren[std::size_t(i)];
    if (child->*inherits) {
      child->Follow(field, inherits, value);
    }
  }
  ContentChanged();
}

template <class T>
void TOxaBitmap::Inherit(T* TOxaBitmap::*field, bool TOxaBitmap::*inherits, bool value)
{
  if (value == this->*inherits) {
    if (value && FParent != nullptr) {
      Follow(field, inherits, FParent->*field);
    }
    return;
  }
  this->*inherits = value;
  Follow(field, inherits, value && FParent != nullptr ? FParent->*field : value ? this->*field : nullptr);
}

void TOxaBitmap::FollowFont(TOxaFont* value)
{
  Follow(&TOxaBitmap::FFont, &TOxaBitmap::FParentFont, value);
}

void TOxaBitmap::FollowFonts(TOxaFonts* value)
{
  Follow(&TOxaBitmap::FFonts, &TOxaBitmap::FParentFonts, value);
}

void TOxaBitmap::FollowColors(TOxaColors* value)
{
  Follow(&TOxaBitmap::FColors, &TOxaBitmap::FParentColors, value);
}

void TOxaBitmap::FollowBitmaps(TOxaBitmaps* value)
{
  Follow(&TOxaBitmap::FBitmaps, &TOxaBitmap::FParentBitmaps, value);
}

void TOxaBitmap::FollowColor(TOxaColor value)
{
  if (value == FColor) {
    return;
  }
  FColor = value;
  for (int i = 0; i < FChildCount; ++i) {
    if (FChildren[std::size_t(i)]->FParentColor) {
      FChildren[std::size_t(i)]->FollowColor(value);
    }
  }
  ContentChanged();
}

void TOxaBitmap::FollowCursor(std::int16_t value)
{
  FCursor = value;
  for (int i = 0; i < FChildCount; ++i) {
    if (FChildren[std::size_t(i)]->FParentCursor) {
      FChildren[std::size_t(i)]->FollowCursor(value);
    }
  }
}

void TOxaBitmap::SetFont(TOxaFont* value)
{
  FParentFont = false;
  FollowFont(value);
}
void TOxaBitmap::SetFonts(TOxaFonts* value)
{
  FParentFonts = false;
  FollowFonts(value);
}
void TOxaBitmap::SetColors(TOxaColors* value)
{
  FParentColors = false;
  FollowColors(value);
}
void TOxaBitmap::SetBitmaps(TOxaBitmaps* value)
{
  FParentBitmaps = false;
  FollowBitmaps(value);
}
void TOxaBitmap::SetColor(TOxaColor value)
{
  FParentColor = false;
  FollowColor(value);
}
void TOxaBitmap::SetCursor(std::int16_t value)
{
  FParentCursor = false;
  FollowCursor(value);
}

// Switching an inherit flag on reads the property from the parent; switching it off keeps the
// value but, for the observed sets, lets go of the parent's object.
void TOxaBitmap::SetParentCursor(bool value)
{
  FParentCursor = value;
  if (value && FParent != nullptr) {
    FollowCursor(FParent->FCursor);
  }
}
void TOxaBitmap::SetParentColor(bool value)
{
  FParentColor = value;
  if (value && FParent != nullptr) {
    FollowColor(FParent->FColor);
  }
}
void TOxaBitmap::SetParentFont(bool value)
{
  Inherit(&TOxaBitmap::FFont, &TOxaBitmap::FParentFont, value);
}
void TOxaBitmap::SetParentFonts(bool value)
{
  Inherit(&TOxaBitmap::FFonts, &TOxaBitmap::FParentFonts, value);
}
void TOxaBitmap::SetParentColors(bool value)
{
  Inherit(&TOxaBitmap::FColors, &TOxaBitmap::FParentColors, value);
}
void TOxaBitmap::SetParentBitmaps(bool value)
{
  Inherit(&TOxaBitmap::FBitmaps, &TOxaBitmap::FParentBitmaps, value);
}
void TOxaBitmap::SetParentPixelFormat(bool value)
{
  FParentPixelFormat = value;
  if (value && FParent != nullptr && FParent->FPixelFormat != FPixelFormat) {
    ChangeImageSize(FDesc.Width, FDesc.Height, FParent->FPixelFormat);
  }
}

void TOxaBitmap::DestroyObject(TObject* sender)
{
  if (sender == FFont) {
    FFont = nullptr;
  } else if (sender == FFonts) {
    FFonts = nullptr;
  } else if (sender == FColors) {
    FColors = nullptr;
  } else if (sender == FBitmaps) {
    FBitmaps = nullptr;
  } else {
    throw EOxaFatal(Format("%s.DestroyObject: Unknown object %s", ClassName(),
                           sender != nullptr ? sender->ClassName() : std::string("nil")));
  }
  ContentChanged();
}

void TOxaBitmap::ChangeObject(TObject* sender)
{
  if (sender != FFont && sender != FFonts && sender != FColors && sender != FBitmaps) {
    throw EOxaFatal(Format("%s.ChangeObject: Unknown object %s", ClassName(),
                           sender != nullptr ? sender->ClassName() : std::string("nil")));
  }
  ContentChanged();
}

// --- Coordinates ---

POINT TOxaBitmap::OneLevelToChild(const TOxaBitmap& child, POINT p) const
{
  p.x -= child.FLeft;
  p.y -= child.FTop;
  if (FBuffered) {
    p.x += FImageX;
    p.y += FImageY;
  }
  return p;
}

POINT TOxaBitmap::OneLevelToParent(const TOxaBitmap& child, POINT p) const
{
  p.x += child.FLeft;
  p.y += child.FTop;
  if (FBuffered) {
    p.x -= FImageX;
    p.y -= FImageY;
  }
  return p;
}

void TOxaBitmap::CollectPath(const TOxaBitmap* descendant, const char* operation,
                             std::vector<const TOxaBitmap*>& path) const
{
  for (const TOxaBitmap* node = descendant; node != this; node = node->FParent) {
    if (node == nullptr) {
      if (std::string(operation) == "PointToChild") {
        Fatal("PointToChild: Bitmap is not a child");
      }
      throw EOxaFatal(Format("%s.PointToParent: %s is not a child of %s", ClassName(),
                             descendant->ClassName(), ClassName()));
    }
    if (int(path.size()) >= kMaxPath - 1) {
      Fatal(std::string(operation) + ": Path to deep");
    }
    path.push_back(node);
  }
}

POINT TOxaBitmap::PointToChild(const TOxaBitmap* descendant, POINT p) const
{
  if (descendant != nullptr && descendant->FParent == this) {
    return OneLevelToChild(*descendant, p);
  }
  if (descendant == nullptr || descendant == this) {
    throw EOxaFatal(Format("%s.PointToChild: %s is not a child of this object", ClassName(),
                           descendant != nullptr ? descendant->ClassName() : std::string("nil")));
  }
  std::vector<const TOxaBitmap*> path;
  CollectPath(descendant, "PointToChild", path);
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    p = (*it)->FParent->OneLevelToChild(**it, p);
  }
  return p;
}

POINT TOxaBitmap::PointToParent(const TOxaBitmap* descendant, POINT p) const
{
  if (descendant != nullptr && descendant->FParent == this) {
    return OneLevelToParent(*descendant, p);
  }
  if (descendant == nullptr || descendant == this) {
    throw EOxaFatal(Format("%s.PointToParent: %s is not a child of this object", ClassName(),
                           descendant != nullptr ? descendant->ClassName() : std::string("nil")));
  }
  std::vector<const TOxaBitmap*> path;
  CollectPath(descendant, "PointToParent", path);
  for (const TOxaBitmap* node : path) {
    p = node->FParent->OneLevelToParent(*node, p);
  }
  return p;
}

POINT TOxaBitmap::PointToControl(POINT p) const
{
  if (FControl == nullptr) {
    Fatal("PointToControl: Not attached to a control");
  }
  const TOxaBitmap* node = this;
  for (; node->FParent != nullptr; node = node->FParent) {
    p = node->FParent->OneLevelToParent(*node, p);
  }
  return {p.x + node->FLeft, p.y + node->FTop};
}

POINT TOxaBitmap::ControlToPoint(POINT p) const
{
  if (FControl == nullptr) {
    Fatal("ControlToPoint: Not attached to a control");
  }
  std::vector<const TOxaBitmap*> path;
  const TOxaBitmap* root = this;
  for (; root->FParent != nullptr; root = root->FParent) {
    path.push_back(root);
  }
  p = {p.x - root->FLeft, p.y - root->FTop};
  for (auto it = path.rbegin(); it != path.rend(); ++it) {
    p = (*it)->FParent->OneLevelToChild(**it, p);
  }
  return p;
}

POINT TOxaBitmap::PointToScreen(POINT p) const
{
  if (FControl == nullptr) {
    Fatal("PointToScreen: Not attached to a control");
  }
  p = PointToControl(p);
  ClientToScreen(FControl->Handle(), &p);
  return p;
}

POINT TOxaBitmap::ScreenToPoint(POINT p) const
{
  if (FControl == nullptr) {
    Fatal("ScreenToPoint: Not attached to a control");
  }
  ScreenToClient(FControl->Handle(), &p);
  return ControlToPoint(p);
}

// --- Hit testing ---

bool TOxaBitmap::Showing() const noexcept
{
  for (const TOxaBitmap* node = this; node != nullptr; node = node->Parent()) {
    if (!node->Visible()) {
      return false;
    }
  }
  return true;
}

bool TOxaBitmap::PtInNode(POINT p) const noexcept
{
  return p.x >= 0 && p.y >= 0 && p.x < FWidth && p.y < FHeight;
}

bool TOxaBitmap::PtInImage(POINT p) const noexcept
{
  return p.x >= FImageX && p.y >= FImageY && p.x < FImageX + FImageWidth && p.y < FImageY + FImageHeight;
}

TOxaBitmap* TOxaBitmap::FindChildAt(POINT& p)
{
  POINT local{p.x - FLeft, p.y - FTop};
  if (!FVisible || !PtInNode(local)) {
    return nullptr;
  }
  if (FBuffered && FTransparent && !PtInImage(local)) {
    return nullptr;
  }
  POINT inner = local;
  if (FBuffered) {
    inner.x += FImageX;
    inner.y += FImageY;
  }
  for (int i = FChildCount - 1; i >= 0; --i) {
    TOxaBitmap* child = FChildren[std::size_t(i)];
    if (!child->FVisible || child->FIgnoreMouse || !child->FEnabled) {
      continue;
    }
    POINT q = inner;
    if (TOxaBitmap* hit = child->FindChildAt(q); hit != nullptr) {
      p = q;
      return hit;
    }
  }
  if (FTransparent && !PtInImage(local)) {
    return nullptr;
  }
  p = local;
  return this;
}

// --- Dispatchers ---

void TOxaBitmap::Click()
{
  if (OnClick) {
    OnClick(this);
  }
}
void TOxaBitmap::DblClick()
{
  if (OnDblClick) {
    OnDblClick(this);
  }
}
void TOxaBitmap::MouseMove(TShiftState shift, int x, int y)
{
  if (OnMouseMove) {
    OnMouseMove(this, shift, x, y);
  }
}
void TOxaBitmap::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  if (OnMouseDown) {
    OnMouseDown(this, button, shift, x, y);
  }
}
void TOxaBitmap::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  if (OnMouseUp) {
    OnMouseUp(this, button, shift, x, y);
  }
}
void TOxaBitmap::MouseEnter()
{
  if (OnMouseEnter) {
    OnMouseEnter(this);
  }
}
void TOxaBitmap::MouseLeave()
{
  if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}
void TOxaBitmap::CaptureGained()
{
  if (OnCaptureGained) {
    OnCaptureGained(this);
  }
}
void TOxaBitmap::CaptureLost()
{
  if (OnCaptureLost) {
    OnCaptureLost(this);
  }
}
void TOxaBitmap::MouseWheel(TShiftState shift, int delta, int x, int y, bool& handled)
{
  if (OnMouseWheel) {
    OnMouseWheel(this, shift, delta, x, y, handled);
  }
}
void TOxaBitmap::MouseWheelDown(TShiftState shift, int x, int y, bool& handled)
{
  if (OnMouseWheelDown) {
    OnMouseWheelDown(this, shift, x, y, handled);
  }
}
void TOxaBitmap::MouseWheelUp(TShiftState shift, int x, int y, bool& handled)
{
  if (OnMouseWheelUp) {
    OnMouseWheelUp(this, shift, x, y, handled);
  }
}
void TOxaBitmap::DragOver(TOxaBitmap* source, int x, int y)
{
  if (OnDragOver) {
    OnDragOver(this, source, x, y);
  }
}
void TOxaBitmap::DragLeave(TOxaBitmap* source, int x, int y)
{
  if (OnDragLeave) {
    OnDragLeave(this, source, x, y);
  }
}
void TOxaBitmap::DragMove(TOxaBitmap* source, int x, int y)
{
  if (OnDragMove) {
    OnDragMove(this, source, x, y);
  }
}
void TOxaBitmap::DragDrop(TOxaBitmap* source, int x, int y)
{
  if (OnDragDrop) {
    OnDragDrop(this, source, x, y);
  }
}
void TOxaBitmap::Enter()
{
  if (OnEnter) {
    OnEnter(this);
  }
}
void TOxaBitmap::Exit()
{
  if (OnExit) {
    OnExit(this);
  }
}
void TOxaBitmap::KeyDown(WORD& key, TShiftState shift)
{
  if (OnKeyDown) {
    OnKeyDown(this, key, shift);
  }
}
void TOxaBitmap::KeyUp(WORD& key, TShiftState shift)
{
  if (OnKeyUp) {
    OnKeyUp(this, key, shift);
  }
}
void TOxaBitmap::KeyPress(char32_t& key)
{
  if (OnKeyPress) {
    OnKeyPress(this, key);
  }
}
