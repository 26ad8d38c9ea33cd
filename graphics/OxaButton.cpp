// Labels and buttons.
#include "graphics/OxaButton.h"

#include <algorithm>
#include <array>

#include "graphics/OxaImage.h"
#include "graphics/OxaInkBlend.h"

namespace {

constexpr const char* kEllipsis = "...";

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

TOwnedObject<TOxaBitmap> Scratch(int width, int height, int pixelFormat)
{
  TOwnedObject<TOxaBitmap> surface(new TOxaBitmap(nullptr));
  surface->ChangeImageSize(width, height, pixelFormat);
  return surface;
}

// key as a 24-bit copy of a surface of pixelFormat holds it.
TOxaColor Key24(int pixelFormat, TOxaColor key)
{
  if (pixelFormat == opf24Bit) {
    return key;
  }
  TOwnedObject<TOxaBitmap> probe = Scratch(1, 1, pixelFormat);
  probe->FillSurface(RECT{0, 0, 1, 1}, key);
  TOwnedObject<TOxaBitmap> probe24 = Scratch(1, 1, opf24Bit);
  probe->Draw(*probe24, 0, 0, RECT{0, 0, 1, 1});
  return probe24->GetPixel(0, 0) & 0xFFFFFF;
}

// Whether the pixel operations reach the surface's memory directly.
bool Direct(TOxaBitmap& surface)
{
  return surface.PixelFormat() == opf24Bit && surface.BltTable() != nullptr && surface.ScanLine(0) != nullptr;
}

// The rectangle from of source (text on key) laid over target at (x, y) by each pixel's share
// of ink.
void DrawInk(TOxaBitmap& source, TOxaBitmap& target, int x, int y, const RECT& from, TOxaColor key, int reach)
{
  const int width = from.right - from.left;
  const int height = from.bottom - from.top;
  if (width <= 0 || height <= 0 || reach <= 0) {
    return;
  }
  if (source.PixelFormat() == opf24Bit && source.ScanLineRead(0) != nullptr && Direct(target)) {
    OxaInkBlend(target.Desc(), source.Desc(), x, y, from.left, from.top, width, height, key, reach);
    return;
  }
  // Formats without pixel operations: both sides and the key go through 24-bit copies, converted
  // alike, and the result goes back.
  TOwnedObject<TOxaBitmap> below = Scratch(width, height, opf24Bit);
  target.Draw(*below, 0, 0, RECT{x, y, x + width, y + height});
  TOwnedObject<TOxaBitmap> above = Scratch(width, height, opf24Bit);
  source.Draw(*above, 0, 0, from);
  below->ScanLine(0);
  above->ScanLineRead(0);
  OxaInkBlend(below->Desc(), above->Desc(), 0, 0, 0, 0, width, height, Key24(source.PixelFormat(), key),
              reach);
  below->Draw(target, x, y, RECT{0, 0, width, height});
}

// The picture of source copied into image (nothing without a source).
void CopyPicture(TOxaBitmap& image, TOxaBitmap* source)
{
  if (source == nullptr) {
    image.ChangeImageSize(0, 0, image.PixelFormat());
    return;
  }
  const int width = source->ImageWidth();
  const int height = source->ImageHeight();
  image.ChangeImageSize(width, height, opf24Bit);
  if (width > 0 && height > 0) {
    source->Draw(image, 0, 0, RECT{0, 0, width, height});
  }
}

}  // namespace

void OxaRepaintFromRoot(TOxaBitmap& node)
{
  TOxaImage* control = node.Control();
  if (!node.Visible() || node.BeingDestroyed() || control == nullptr || !control->Showing()) {
    return;
  }
  TOxaBitmap* root = &node;
  while (root->Parent() != nullptr) {
    if (!root->Visible()) {
      return;
    }
    root = root->Parent();
  }
  if (!root->Visible()) {
    return;
  }
  const POINT at = node.PointToControl(POINT{0, 0});
  const RECT area{at.x, at.y, at.x + node.Width(), at.y + node.Height()};
  const HWND window = control->Handle();
  HDC dc = GetDC(window);
  root->BitBltToDC(dc, root->Left(), root->Top(), area);
  ReleaseDC(window, dc);
}

// --- TOxaLabel ---

TOxaLabel::TOxaLabel(TOxaObjects* parentList) : TOxaBitmap(parentList) {}

TOxaLabel::~TOxaLabel()
{
  if (FCaptionColors != nullptr) {
    FCaptionColors->RemoveObserver(MakeMethod<&TOxaLabel::ColorsDestroyed>(this),
                                   MakeMethod<&TOxaLabel::ColorsChanged>(this));
    FCaptionColors = nullptr;
  }
}

void TOxaLabel::Assign(const TPersistent& source)
{
  const auto* label = dynamic_cast<const TOxaLabel*>(&source);
  if (label == nullptr) {
    TOxaBitmap::Assign(source);
    return;
  }
  FFrameWidth = label->FFrameWidth;
  FHorzMargin = label->FHorzMargin;
  FVertMargin = label->FVertMargin;
  SetCaptionColors(label->FCaptionColors);
  FAlignment = label->FAlignment;
  FCaption = label->FCaption;
  TextChanged();
}

void TOxaLabel::SetCaption(const std::string& value)
{
  if (value != FCaption) {
    FCaption = value;
    TextChanged();
  }
}

void TOxaLabel::SetAlignment(int value)
{
  if (value != FAlignment) {
    FAlignment = std::uint8_t(value);
    TextChanged();
  }
}

void TOxaLabel::SetFrameWidth(int value)
{
  if (value != FFrameWidth) {
    FFrameWidth = value;
    TextChanged();
  }
}

void TOxaLabel::SetHorzMargin(int value)
{
  if (value != FHorzMargin) {
    FHorzMargin = value;
    TextChanged();
  }
}

void TOxaLabel::SetVertMargin(int value)
{
  if (value != FVertMargin) {
    FVertMargin = value;
    TextChanged();
  }
}

void TOxaLabel::SetFrameColor(TOxaColor value)
{
  if (value != FFrameColor) {
    FFrameColor = value;
    TextChanged();
  }
}

void TOxaLabel::SetCaptionColors(TOxaColors* value)
{
  if (value == FCaptionColors) {
    return;
  }
  const TNotifyEvent onDestroy = MakeMethod<&TOxaLabel::ColorsDestroyed>(this);
  const TNotifyEvent onChange = MakeMethod<&TOxaLabel::ColorsChanged>(this);
  if (FCaptionColors != nullptr) {
    FCaptionColors->RemoveObserver(onDestroy, onChange);
  }
  FCaptionColors = nullptr;
  if (value != nullptr) {
    value->Objects().Add(onDestroy, onChange);
  }
  FCaptionColors = value;
  TextChanged();
}

void TOxaLabel::ColorsDestroyed(TObject* /*sender*/)
{
  FCaptionColors = nullptr;
  TextChanged();
}

void TOxaLabel::ColorsChanged(TObject* /*sender*/)
{
  TextChanged();
}

void TOxaLabel::SetMaxTextWidth(std::int32_t value)
{
  if (value != FMaxTextWidth) {
    FMaxTextWidth = value;
    TextChanged();
  }
}

void TOxaLabel::SetMaxTextHeight(std::int32_t value)
{
  if (value != FMaxTextHeight) {
    FMaxTextHeight = value;
    TextChanged();
  }
}

void TOxaLabel::TextChanged()
{
  FTextChanged = true;
  TOxaBitmap::ContentChanged();
}

void TOxaLabel::ContentChanged()
{
  // Whatever changed (font, store, size, colours) may change the text's look; drawing the text
  // itself reports changes that must not start another layout.
  if (FTextUpdating == 0) {
    FTextChanged = true;
  }
  TOxaBitmap::ContentChanged();
}

void TOxaLabel::Update()
{
  if (FTextChanged && !BeingDestroyed()) {
    UpdateText();
  }
  TOxaBitmap::Update();
}

void TOxaLabel::UpdateText()
{
  ++FTextUpdating;
  try {
    const int padX = FFrameWidth + FHorzMargin;
    const int padY = FFrameWidth + FVertMargin;
    const int maxWidth = FMaxTextWidth == kOxaLabelNodeSize ? Width() - 2 * padX : FMaxTextWidth;
    const int maxHeight = FMaxTextHeight == kOxaLabelNodeSize ? Height() - 2 * padY : FMaxTextHeight;
    TOxaFont* font = Font();
    if (font != nullptr) {
      font->Layout(FCaption, FAlignment, FBlock, maxHeight, maxWidth, kEllipsis, kOxaWrapWord);
    } else {
      FBlock.Clear();
    }
    const bool text = font != nullptr && FBlock.Count > 0 && FBlock.Width > 0 && FBlock.Height > 0;
    const int width = std::max((text ? FBlock.Width : 0) + 2 * padX, 0);
    const int height = std::max((text ? FBlock.Height : 0) + 2 * padY, 0);
    ChangeImageSize(width, height, PixelFormat());
    // Text sits on a key colour that is no part of the look: the glyph store's, or the platform
    // font's background. The label's own background (or the parent's) shows around the text.
    FKeyed = font != nullptr;
    FSurfaceKey = 0;
    if (width > 0 && height > 0) {
      const RECT whole{0, 0, width, height};
      FillSurface(whole, font != nullptr ? FBlock.KeyColor : Color());
      // Read back, so a format that cannot hold the colour exactly compares what it holds.
      FSurfaceKey = GetPixel(0, 0) & 0xFFFFFF;
      if (text) {
        font->Draw(*this, FBlock, padX, padY);
      }
      if (FFrameWidth > 0) {
        FrameRect(whole, FFrameColor, FFrameWidth, FFrameWidth);
      }
    }
    FTextChanged = false;
    ++FTextUpdates;
    PlaceText();
    TextUpdated();
    // After TextUpdated, which may recolour the surface and its key.
    FInkReach = FKeyed ? MeasureInk() : 0;
  } catch (...) {
    --FTextUpdating;
    throw;
  }
  --FTextUpdating;
}

int TOxaLabel::MeasureInk()
{
  // Inside the frame only: the frame is copied whole, it is not ink.
  const int width = ImageWidth() - 2 * FFrameWidth;
  const int height = ImageHeight() - 2 * FFrameWidth;
  if (width <= 0 || height <= 0) {
    return 0;
  }
  if (PixelFormat() == opf24Bit && ScanLineRead(0) != nullptr) {
    return OxaInkReach(Desc(), FFrameWidth, FFrameWidth, width, height, FSurfaceKey);
  }
  TOwnedObject<TOxaBitmap> copy = Scratch(width, height, opf24Bit);
  Draw(*copy, 0, 0, RECT{FFrameWidth, FFrameWidth, FFrameWidth + width, FFrameWidth + height});
  copy->ScanLineRead(0);
  return OxaInkReach(copy->Desc(), 0, 0, width, height, Key24(PixelFormat(), FSurfaceKey));
}

void TOxaLabel::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (!FKeyed) {
    TOxaBitmap::DrawImageTo(target, x, y, clip);
    return;
  }
  const int surfaceWidth = ImageWidth();
  const int surfaceHeight = ImageHeight();
  const RECT image = Offset(ImageRect(), x, y);
  const int imageWidth = image.right - image.left;
  const int imageHeight = image.bottom - image.top;
  if (surfaceWidth <= 0 || surfaceHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) {
    return;
  }
  const RECT shown = Intersect(Intersect(Intersect(image, clip), {x, y, x + Width(), y + Height()}),
                               {0, 0, target.ImageWidth(), target.ImageHeight()});
  if (Empty(shown)) {
    return;
  }
  TOxaBitmap* source = this;
  TOwnedObject<TOxaBitmap> stretched;
  if (imageWidth != surfaceWidth || imageHeight != surfaceHeight) {
    stretched = Scratch(imageWidth, imageHeight, PixelFormat());
    StretchDraw(*stretched, RECT{0, 0, imageWidth, imageHeight});
    source = stretched.get();
  }
  const RECT from = Offset(shown, -image.left, -image.top);
  DrawInk(*source, target, shown.left, shown.top, from, FSurfaceKey, FInkReach);
  if (FFrameWidth <= 0) {
    return;
  }
  // The frame is copied whole over what the key let through (it may be of the key colour).
  const int bandX = std::min((FFrameWidth * imageWidth + surfaceWidth - 1) / surfaceWidth, imageWidth);
  const int bandY = std::min((FFrameWidth * imageHeight + surfaceHeight - 1) / surfaceHeight, imageHeight);
  const std::array<RECT, 4> bands{
      RECT{0, 0, imageWidth, bandY}, RECT{0, imageHeight - bandY, imageWidth, imageHeight},
      RECT{0, 0, bandX, imageHeight}, RECT{imageWidth - bandX, 0, imageWidth, imageHeight}};
  for (const RECT& band : bands) {
    const RECT part = Intersect(band, from);
    if (!Empty(part)) {
      source->Draw(target, image.left + part.left, image.top + part.top, part);
    }
  }
}

void TOxaLabel::PlaceText()
{
  const int width = ImageWidth();
  const int height = ImageHeight();
  int x = 0;
  if (FAlignment == kOxaAlignRight) {
    x = Width() - width;
  } else if (FAlignment == kOxaAlignCenter) {
    x = (Width() - width) / 2;
  }
  const int y = std::max((Height() - height) / 2, 0);
  const RECT now = ImageRect();
  if (now.left != x || now.top != y || now.right - now.left != width || now.bottom - now.top != height) {
    SetImageRect(x, y, width, height);
  }
}

void TOxaLabel::ParentResize()
{
  TOxaBitmap::ParentResize();
  if (FMaxTextWidth == kOxaLabelNodeSize || FMaxTextHeight == kOxaLabelNodeSize) {
    TextChanged();
  }
}

void TOxaLabel::Resized()
{
  TOxaBitmap::Resized();
  if (FMaxTextWidth == kOxaLabelNodeSize || FMaxTextHeight == kOxaLabelNodeSize) {
    TextChanged();
  } else {
    PlaceText();
  }
}

// --- TOxaDarkenLabel ---

void TOxaDarkenLabel::SetDarken(std::uint8_t value)
{
  if (value != FDarken) {
    FDarken = value;
    FDarkenPending = true;
    // Drawn again from the text, so a lighter value never stacks on an earlier darkening.
    TextChanged();
  }
}

void TOxaDarkenLabel::TextUpdated()
{
  // Every fresh text surface is darkened while Darken is set, not only the first after a
  // change: a caption changed later would otherwise show undarkened.
  if (FDarkenPending || FDarken != 0) {
    if (FDarken != 0 && ImageWidth() > 0 && ImageHeight() > 0) {
      const TOxaColor shade = TOxaColor(255 - FDarken) << 24;
      FillSurface(RECT{0, 0, ImageWidth(), ImageHeight()}, shade);
      if (KeyedSurface()) {
        // The key darkens with the rest; what it becomes still lets the background show.
        TOwnedObject<TOxaBitmap> probe = Scratch(1, 1, PixelFormat());
        probe->FillSurface(RECT{0, 0, 1, 1}, SurfaceKey());
        probe->FillSurface(RECT{0, 0, 1, 1}, shade);
        SetSurfaceKey(probe->GetPixel(0, 0) & 0xFFFFFF);
      }
    }
    FDarkenPending = false;
  }
}

// --- TOxaButton ---

TOxaButton::TOxaButton(TOxaObjects* parentList) : TOxaLabel(parentList)
{
  ++FRebuilding;
  SetTransparent(true);
  for (TOxaBitmap*& image : FImages) {
    image = new TOxaBitmap(&Objects());
    image->SetBuffered(true);
    // A buffered image that is transparent keeps its picture: no background is painted into it.
    image->SetTransparent(true);
    image->SetVisible(false);
    image->SetIgnoreMouse(true);
    image->SetParent(this);
  }
  --FRebuilding;
  RebuildImages();
}

void TOxaButton::SetName(const std::string& value)
{
  if (value != FName) {
    FName = value;
    FImagesDirty = true;
    RebuildImages();
  }
}

void TOxaButton::SetStateFont(int state, int number)
{
  if (FStateFonts.at(std::size_t(state)) != number) {
    FStateFonts[std::size_t(state)] = number;
    RebuildImages();
  }
}

void TOxaButton::SetStateColor(int state, int number)
{
  if (FStateColors.at(std::size_t(state)) != number) {
    FStateColors[std::size_t(state)] = number;
    RebuildImages();
  }
}

void TOxaButton::SetActive(bool value)
{
  if (value != FActive) {
    FActive = value;
    ApplyState();
  }
}

void TOxaButton::SetDisabled(bool value)
{
  if (value != FDisabled) {
    FDisabled = value;
    if (value) {
      FPressed = false;
    }
    ApplyState();
  }
}

bool TOxaButton::Hovered() const noexcept
{
  return Control() != nullptr && Control()->Hovered() == this;
}

namespace {

// The store image of a state after the fallbacks.
TOxaBitmap* LookUp(const TOxaBitmaps* store, const std::string& name, int state)
{
  if (store == nullptr || name.empty()) {
    return nullptr;
  }
  for (;;) {
    if (TOxaBitmap* found = store->Find(name + kOxaButtonSuffixes[std::size_t(state)]); found != nullptr) {
      return found;
    }
    const int fallback = kOxaButtonFallbacks[std::size_t(state)];
    if (fallback == state) {
      return nullptr;
    }
    state = fallback;
  }
}

}  // namespace

bool TOxaButton::ImagesStale() const noexcept
{
  if (FImagesDirty) {
    return true;
  }
  // Each lookup builds a name and searches the chain: only a changed chain can answer anew.
  const bool storesChanged = TOxaStoreStamp(Bitmaps()) != FSourcesStamp;
  for (int s = 0; s < kOxaButtonStates; ++s) {
    const std::size_t i = std::size_t(s);
    if (storesChanged && LookUp(Bitmaps(), FName, s) != FSources[i]) {
      return true;
    }
    const TOxaFont* font = Fonts() != nullptr ? Fonts()->Items(FStateFonts[i]) : nullptr;
    if (font != FFontsUsed[i]) {
      return true;
    }
    if (Colors() != nullptr && Colors()->Color(FStateColors[i]) != FImages[i]->Color()) {
      return true;
    }
  }
  return false;
}

void TOxaButton::RebuildImages()
{
  if (FRebuilding != 0 || BeingDestroyed()) {
    return;
  }
  ++FRebuilding;
  try {
    for (int s = 0; s < kOxaButtonStates; ++s) {
      const std::size_t i = std::size_t(s);
      TOxaBitmap& image = *FImages[i];
      TOxaBitmap* source = LookUp(Bitmaps(), FName, s);
      if (source != FSources[i] || FImagesDirty) {
        CopyPicture(image, source);
        FSources[i] = source;
      }
      TOxaFont* font = Fonts() != nullptr ? Fonts()->Items(FStateFonts[i]) : nullptr;
      if (font != FFontsUsed[i] || image.Font() != font) {
        image.SetFont(font);
        FFontsUsed[i] = font;
      }
      if (Colors() != nullptr) {
        image.SetColor(Colors()->Color(FStateColors[i]));
      }
    }
    FImagesDirty = false;
    FSourcesStamp = TOxaStoreStamp(Bitmaps());
    ApplyState();
  } catch (...) {
    --FRebuilding;
    throw;
  }
  --FRebuilding;
}

void TOxaButton::ApplyState()
{
  int state = 0;
  if (FDisabled) {
    state = osDisabled;
  } else if (Hovered()) {
    state = FPressed || FActive ? osRolloverActive : osRollover;
  } else {
    state = FActive ? osNormalActive : osNormal;
  }
  FState = state;
  ++FRebuilding;
  try {
    for (int s = 0; s < kOxaButtonStates; ++s) {
      FImages[std::size_t(s)]->SetVisible(s == state);
    }
    const TOxaBitmap& image = *FImages[std::size_t(state)];
    if (image.Font() != nullptr) {
      if (Font() != image.Font()) {
        SetFont(image.Font());
      }
      FFontTaken = true;
    } else if (FFontTaken) {
      // Without a state font the button shows its own (inherited) font again.
      FFontTaken = false;
      SetParentFont(true);
    }
    if (Colors() != nullptr && Color() != image.Color()) {
      SetColor(image.Color());
    }
    FCaptionColor = CaptionColors() != nullptr ? CaptionColors()->Color(state) : 0;
    PlaceImages();
    PlaceText();
  } catch (...) {
    --FRebuilding;
    throw;
  }
  --FRebuilding;
}

void TOxaButton::PlaceImages()
{
  // The picture and the caption under it are centred together.
  const int caption = ImageHeight();
  for (TOxaBitmap* image : FImages) {
    const int width = image->ImageWidth();
    const int height = image->ImageHeight();
    const int x = (Width() - width) / 2;
    const int y = std::max((Height() - height - caption) / 2, 0);
    image->SetBounds(x, y, width, height);
  }
}

void TOxaButton::PlaceText()
{
  const TOxaBitmap& image = *FImages[std::size_t(FState)];
  if (image.ImageHeight() == 0) {
    TOxaLabel::PlaceText();
    return;
  }
  PlaceImages();
  const int width = ImageWidth();
  const int height = ImageHeight();
  int x = 0;
  if (Alignment() == kOxaAlignRight) {
    x = Width() - width;
  } else if (Alignment() == kOxaAlignCenter) {
    x = (Width() - width) / 2;
  }
  const int y = image.Top() + image.Height();
  const RECT now = ImageRect();
  if (now.left != x || now.top != y || now.right - now.left != width || now.bottom - now.top != height) {
    SetImageRect(x, y, width, height);
  }
}

void TOxaButton::Resized()
{
  PlaceImages();
  TOxaLabel::Resized();
}

void TOxaButton::ContentChanged()
{
  TOxaLabel::ContentChanged();
  if (FRebuilding == 0 && !InTextUpdate() && !BeingDestroyed() && ImagesStale()) {
    RebuildImages();
  }
}

bool TOxaButton::PtInImage(POINT p) const noexcept
{
  if (TOxaBitmap::PtInImage(p)) {
    return true;
  }
  for (int i = 0; i < ChildCount(); ++i) {
    const TOxaBitmap* child = Children(i);
    if (child->Visible() && child->ImageWidth() > 0 && p.x >= child->Left() && p.y >= child->Top() &&
        p.x < child->Left() + child->Width() && p.y < child->Top() + child->Height()) {
      return true;
    }
  }
  return false;
}

void TOxaButton::PaintToControl()
{
  if (!Transparent()) {
    TOxaLabel::PaintToControl();
    return;
  }
  OxaRepaintFromRoot(*this);
}

void TOxaButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  if (FDisabled) {
    return;
  }
  if (button == TMouseButton::mbLeft) {
    FPressed = true;
    ApplyState();
  }
  TOxaLabel::MouseDown(button, shift, x, y);
}

void TOxaButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  if (button == TMouseButton::mbLeft) {
    FPressed = false;
    ApplyState();
  }
  TOxaLabel::MouseUp(button, shift, x, y);
}

void TOxaButton::Click()
{
  // A disabled button neither toggles nor tells its owner.
  if (FDisabled) {
    return;
  }
  if (FToggle) {
    FActive = !FActive;
    ApplyState();
  }
  TOxaLabel::Click();
}

void TOxaButton::MouseEnter()
{
  ApplyState();
  TOxaLabel::MouseEnter();
}

void TOxaButton::MouseLeave()
{
  ApplyState();
  TOxaLabel::MouseLeave();
}

void TOxaButton::CaptureLost()
{
  FPressed = false;
  ApplyState();
  TOxaLabel::CaptureLost();
}
