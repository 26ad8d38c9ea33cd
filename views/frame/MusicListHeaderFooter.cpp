// The header, the footer, the view selector, the busy indicator and the framed list panel.
#include "views/frame/MusicListHeaderFooter.h"

#include <algorithm>

#include "graphics/OxaImage.h"
#include "platform/windows/Region.h"
#include "rtl/AnsiText.h"
#include "rtl/Format.h"

namespace {

std::uint64_t Now(const TMusicClock& clock)
{
  return clock ? clock() : GetTickCount64();
}

// A copy of picture's pixels in node (an empty surface without a picture).
void CopyPicture(TOxaBitmap& node, const TOxaBitmap* picture)
{
  if (picture == nullptr) {
    node.ChangeImageSize(0, 0, opf24Bit);
    node.ContentChanged();
    return;
  }
  const int width = picture->ImageWidth();
  const int height = picture->ImageHeight();
  node.ChangeImageSize(width, height, opf24Bit);
  if (width > 0 && height > 0) {
    const_cast<TOxaBitmap*>(picture)->Draw(node, 0, 0, RECT{0, 0, width, height});
  }
  node.ContentChanged();
}

}  // namespace

std::string_view MusicViewName(TMusicListViewItemKinds kind) noexcept
{
  switch (kind) {
    case TMusicListViewItemKinds::mlkFavorite:
      return "Favorite";
    case TMusicListViewItemKinds::mlkAlbum:
      return "Album";
    case TMusicListViewItemKinds::mlkGenre:
      return "Genre";
    case TMusicListViewItemKinds::mlkArtist:
      return "Artist";
    case TMusicListViewItemKinds::mlkFolder:
      return "Folder";
    case TMusicListViewItemKinds::mlkTrack:
    case TMusicListViewItemKinds::mlkTitle:
    default:
      return "Title";
  }
}

// --- TMusicSearchProgress ---

TMusicSearchProgress::TMusicSearchProgress(TOxaObjects* parentList) : TOxaBitmap(parentList)
{
  SetColor(MakeColor(240, 0, 0, 0));
  // Drawn over what lies below it, and never in the mouse's way.
  SetTransparent(true);
}

void TMusicSearchProgress::SetRunning(bool value)
{
  FRunning = value;
  FStep = value ? -10 : 0;
  FPosition = value ? Width() : 0;
  ContentChanged();
}

void TMusicSearchProgress::Tick()
{
  if (!FRunning) {
    return;
  }
  FPosition += FStep;
  if (FPosition + BlockWidth <= 0) {
    FPosition = Width();
  }
  ContentChanged();
}

void TMusicSearchProgress::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  const RECT area = IntersectRects(IntersectRects({x, y, x + Width(), y + Height()}, clip),
                                   {0, 0, target.ImageWidth(), target.ImageHeight()});
  if (area.right <= area.left || area.bottom <= area.top) {
    return;
  }
  target.FillSurface(area, Color());
  if (FRunning) {
    target.FillSurface(IntersectRects(area, {x + FPosition, y, x + FPosition + BlockWidth, y + Height()}),
                       BlockColor);
  }
}

// --- TMusicSelectViewItem ---

TMusicSelectViewItem::TMusicSelectViewItem(TOxaObjects* parentList)
    : TOxaBitmap(parentList), FIcon(new TOxaBitmap(&Objects())), FLabel(new TOxaLabel(&Objects()))
{
  ++FBusy;
  SetHeight(ItemHeight);
  SetHorzAlign(oaStretch);
  SetVertAlign(oaStackFar);
  SetMargins({4, 4, 0, 4});
  FIcon->SetIgnoreMouse(true);
  FIcon->SetWidth(ItemHeight);
  FIcon->SetHorzAlign(oaStackNear);
  FIcon->SetVertAlign(oaStretch);
  FIcon->SetParent(this);
  FLabel->SetIgnoreMouse(true);
  FLabel->SetHorzAlign(oaStretch);
  FLabel->SetVertAlign(oaStretch);
  FLabel->SetMargins({4, 0, 0, 0});
  FLabel->SetMaxTextWidth(kOxaLabelNodeSize);
  FLabel->SetMaxTextHeight(kOxaLabelNodeSize);
  FLabel->SetParent(this);
  --FBusy;
}

void TMusicSelectViewItem::SetViewName(const std::string& value)
{
  FViewName = value;
  ShowPicture();
}

TOxaBitmap* TMusicSelectViewItem::Picture() const noexcept
{
  if (Bitmaps() == nullptr || FViewName.empty()) {
    return nullptr;
  }
  return Bitmaps()->Find(FHovered ? Format("Show%sNA", FViewName) : Format("Show%sN", FViewName));
}

void TMusicSelectViewItem::ShowPicture()
{
  ++FBusy;
  const TOxaBitmap* picture = Picture();
  FShown = picture;
  CopyPicture(*FIcon, picture);
  // The picture is scaled into the square at the item's left.
  FIcon->SetImageRect(0, 0, FIcon->Width(), FIcon->Height());
  --FBusy;
}

void TMusicSelectViewItem::ContentChanged()
{
  TOxaBitmap::ContentChanged();
  if (FBusy == 0 && !BeingDestroyed() && Picture() != FShown) {
    ShowPicture();
  }
}

void TMusicSelectViewItem::MouseEnter()
{
  FHovered = true;
  ShowPicture();
  TOxaBitmap::MouseEnter();
}

void TMusicSelectViewItem::MouseLeave()
{
  FHovered = false;
  ShowPicture();
  TOxaBitmap::MouseLeave();
}

// --- TMusicSelectView ---

TMusicSelectView::TMusicSelectView(TOxaObjects* parentList)
    : TOxaBitmap(parentList),
      FBackground(new TOxaBitmap(&Objects())),
      FIcon(new TOxaBitmap(&Objects())),
      FCaption(new TOxaLabel(&Objects()))
{
  SetBuffered(true);
  SetSizeMode(2);
  FBackground->SetColor(0x202020);
  FBackground->SetHorzAlign(oaPinNear);
  FBackground->SetVertAlign(oaPinNear);
  FBackground->SetIgnoreMouse(true);
  FBackground->SetParent(this);
  FIcon->SetIgnoreMouse(true);
  FIcon->SetBounds(0, 0, TMusicViewIcon::IconWidth, HeadHeight);
  FIcon->SetParent(this);
  FCaption->SetIgnoreMouse(true);
  FCaption->SetBounds(TMusicViewIcon::IconWidth + 8, 0, ViewWidth - TMusicViewIcon::IconWidth - 8,
                      HeadHeight);
  FCaption->SetMaxTextWidth(kOxaLabelNodeSize);
  FCaption->SetMaxTextHeight(kOxaLabelNodeSize);
  FCaption->SetParent(this);
  SetBounds(0, 0, ViewWidth, HeadHeight + 10);
}

void TMusicSelectView::SetViews(const std::vector<TMusicListViewItemKinds>& kinds,
                                const std::vector<std::string>& images,
                                const std::vector<std::string>& captions)
{
  if (kinds.size() != captions.size() || images.size() != captions.size()) {
    Fatal("SetViews: Length(AViews) <> Length(ACaptions)");
  }
  if (FHovered != nullptr) {
    FHovered->MouseLeave();
    FHovered = nullptr;
    FHoveredIndex = -1;
  }
  SetAutoRealign(false);
  while (FItems.size() < kinds.size()) {
    auto* item = new TMusicSelectViewItem(&Objects());
    item->SetParent(this);
    FItems.push_back(item);
  }
  while (FItems.size() > kinds.size()) {
    TMusicSelectViewItem* item = FItems.back();
    FItems.pop_back();
    FreeObject(item);
  }
  int height = HeadHeight + 10;
  for (std::size_t i = FItems.size(); i-- > 0;) {
    TMusicSelectViewItem& item = *FItems[i];
    item.SetKind(kinds[i]);
    item.SetViewName(images[i]);
    item.SetCaption(AnsiUpperCase(captions[i]));
    // Stacked from the bottom in child order, so the first view ends up at the top.
    item.BringToFront();
    height += item.Height() + item.Margins().Bottom;
  }
  SetAutoRealign(true);
  SetHeight(height);
  FBackground->SetBounds(0, 0, Width(), Height());
  Realign();
}

TMusicSelectViewItem* TMusicSelectView::Items(int index) const
{
  if (index < 0 || index >= int(FItems.size())) {
    throw EOxaFatal(Format("%s.Items[%d]: Index out of bounds", ClassName(), index));
  }
  return FItems[std::size_t(index)];
}

void TMusicSelectView::SetHead(const std::string& imageName, const std::string& caption)
{
  FIconName = imageName;
  CopyPicture(*FIcon, Bitmaps() != nullptr ? Bitmaps()->Find(imageName) : nullptr);
  FCaption->SetCaption(AnsiUpperCase(caption));
}

void TMusicSelectView::HoverAt(POINT p)
{
  TMusicSelectViewItem* hit = nullptr;
  int index = -1;
  for (std::size_t i = 0; i < FItems.size(); ++i) {
    TMusicSelectViewItem* item = FItems[i];
    const POINT local = PointToChild(item, p);
    if (item->Visible() && item->PtInNode(local)) {
      hit = item;
      index = int(i);
      break;
    }
  }
  if (hit == FHovered) {
    return;
  }
  TMusicSelectViewItem* old = FHovered;
  FHovered = hit;
  FHoveredIndex = index;
  if (old != nullptr) {
    old->MouseLeave();
  }
  if (hit != nullptr) {
    hit->MouseEnter();
  }
  Repaint();
}

void TMusicSelectView::Repaint()
{
  OxaRepaintFromRoot(*this);
}

void TMusicSelectView::SetOpacity(std::uint8_t value)
{
  if (value != FOpacity) {
    FOpacity = value;
    if (Parent() != nullptr && Visible()) {
      Parent()->ChildChanged(this);
    }
  }
}

void TMusicSelectView::Fade(bool in)
{
  FFadeSteps = 0;
  const std::uint64_t begin = Now(FClock);
  for (std::uint64_t t = 0; t < FadeMs; t = Now(FClock) - begin) {
    const std::uint64_t left = in ? t : FadeMs - t;
    SetOpacity(std::uint8_t(left * 255 / FadeMs));
    Repaint();
    ++FFadeSteps;
  }
  SetOpacity(in ? 255 : 0);
  Repaint();
  ++FFadeSteps;
}

void TMusicSelectView::DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip)
{
  if (FOpacity == 255 || BltTable() == nullptr || target.BltTable() == nullptr) {
    TOxaBitmap::DrawImageTo(target, x, y, clip);
    return;
  }
  if (FOpacity == 0) {
    return;
  }
  const RECT shown = IntersectRects(IntersectRects({x, y, x + ImageWidth(), y + ImageHeight()}, clip),
                                    {0, 0, target.ImageWidth(), target.ImageHeight()});
  if (shown.right <= shown.left || shown.bottom <= shown.top) {
    return;
  }
  ScanLineRead(0);
  target.ScanLine(0);
  target.BltTable()->AlphaCopy(target.Desc(), Desc(), shown.left, shown.top, shown.left - x, shown.top - y,
                               shown.right - shown.left, shown.bottom - shown.top, FOpacity);
}

// --- TMusicViewIcon ---

TMusicViewIcon::TMusicViewIcon(TOxaObjects* parentList, TMusicListHeader* header)
    : TOxaBitmap(parentList), FHeader(header)
{
}

void TMusicViewIcon::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
  FHeader->IconMouseDown(button, x, y);
  TOxaBitmap::MouseDown(button, shift, x, y);
}

void TMusicViewIcon::MouseMove(TShiftState shift, int x, int y)
{
  FHeader->IconMouseMove(x, y);
  TOxaBitmap::MouseMove(shift, x, y);
}

void TMusicViewIcon::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
  FHeader->IconMouseUp(button);
  TOxaBitmap::MouseUp(button, shift, x, y);
}

void TMusicViewIcon::CaptureLost()
{
  FHeader->IconCaptureLost();
  TOxaBitmap::CaptureLost();
}

void TMusicViewIcon::ShowPicture(const TOxaBitmap* picture)
{
  CopyPicture(*this, picture);
}

// --- TMusicListHeader ---

TMusicListHeader::TMusicListHeader(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList),
      FNext(new TOxaButton(&Objects())),
      FIcon(new TMusicViewIcon(&Objects(), this)),
      FCaption(new TOxaLabel(&Objects())),
      FProgress(new TMusicSearchProgress(&Objects())),
      FTurn(new TOxaRotateBitmap(&Objects()))
{
  FRebuilding = true;
  SetAutoRealign(false);
  SetHeight(HeaderHeight);
  FNext->SetName("ViewNext");
  FNext->SetWidth(NextWidth);
  FNext->SetHorzAlign(oaStackFar);
  FNext->SetVertAlign(oaStretch);
  FNext->OnClick = MakeMethod<&TMusicListHeader::NextClicked>(this);
  FNext->SetParent(this);
  FIcon->SetBounds(0, 0, TMusicViewIcon::IconWidth, TMusicViewIcon::IconHeight);
  FIcon->SetHorzAlign(oaStackNear);
  FIcon->SetVertAlign(oaCenter);
  FIcon->SetMargins({IconLeft, 0, 0, 0});
  FIcon->SetParent(this);
  FCaption->SetHorzAlign(oaStretch);
  FCaption->SetVertAlign(oaStretch);
  FCaption->SetMargins({8, 4, 0, 0});
  FCaption->SetMaxTextWidth(kOxaLabelNodeSize);
  FCaption->SetMaxTextHeight(kOxaLabelNodeSize);
  FCaption->SetIgnoreMouse(true);
  FCaption->SetParent(this);
  FProgress->SetVisible(false);
  FProgress->SetHorzAlign(oaStretch);
  FProgress->SetVertAlign(oaStretch);
  FProgress->SetParent(this);
  SetAutoRealign(true);
  FRebuilding = false;
  Realign();
}

int TMusicListHeader::IndexOfKind(TMusicListViewItemKinds kind) const noexcept
{
  const auto at = std::find(FKinds.begin(), FKinds.end(), kind);
  return at == FKinds.end() ? -1 : int(at - FKinds.begin());
}

void TMusicListHeader::SetViews(const std::vector<TMusicListViewItemKinds>& kinds,
                                const std::vector<std::string>& captions)
{
  if (kinds.size() != captions.size()) {
    Fatal("SetViews: Length(AKinds) <> Lenght(ACaptions)");
  }
  FKinds = kinds;
  FCaptions = captions;
  FNames.clear();
  for (const TMusicListViewItemKinds kind : kinds) {
    FNames.emplace_back(MusicViewName(kind));
  }
}

void TMusicListHeader::SetCurrentView(TMusicListViewItemKinds kind)
{
  const int index = IndexOfKind(kind);
  if (index < 0) {
    return;
  }
  const int old = FHasCurrent ? IndexOfKind(FCurrent) : -1;
  FCurrent = kind;
  FHasCurrent = true;
  FImageName = "View" + FNames[std::size_t(index)] + "N";
  FCaption->SetCaption(AnsiUpperCase(FCaptions[std::size_t(index)]));
  TOxaBitmap* picture = Bitmaps() != nullptr ? Bitmaps()->Find(FImageName) : nullptr;
  if (picture != nullptr && FIcon->ImageWidth() > 0 && Control() != nullptr && Control()->Showing()) {
    TurnTo(picture, old < 0 || index >= old);
  }
  FShownSource = picture;
  FIcon->ShowPicture(picture);
}

void TMusicListHeader::TurnTo(const TOxaBitmap* picture, bool forwards)
{
  // The turn starts from whatever the icon shows now.
  TOwnedObject<TOxaBitmap> from(new TOxaBitmap(nullptr));
  CopyPicture(*from, FIcon);
  TOwnedObject<TOxaBitmap> to(new TOxaBitmap(nullptr));
  CopyPicture(*to, picture);
  FTurn->Clear();
  FTurn->Add(from.get());
  FTurn->Add(to.get());
  FTurn->SetDirection(forwards ? 0 : 1);
  const std::uint64_t begin = Now(FClock);
  int shown = -1;
  for (std::uint64_t t = 0; t < std::uint64_t(TurnMs); t = Now(FClock) - begin) {
    const int step = int(t * TurnSteps / TurnMs);
    if (step != shown) {
      FTurn->Render(*FIcon, step, TurnSteps);
      FIcon->PaintToControl();
      shown = step;
    }
  }
  FTurn->Clear();
}

void TMusicListHeader::RebuildImages()
{
  FRebuilding = true;
  const TOxaBitmaps* store = Bitmaps();
  FFrames.clear();
  for (int i = 1; store != nullptr && i <= MaxAnimationFrames; ++i) {
    TOxaBitmap* frame = store->Find(Format("ViewAnimation%dN", i));
    if (frame == nullptr) {
      break;
    }
    FFrames.push_back(frame);
  }
  FFrameStore = store;
  if (FHasCurrent && FShownSource != nullptr) {
    TOxaBitmap* picture = store != nullptr ? store->Find(FImageName) : nullptr;
    if (picture != FShownSource) {
      FShownSource = picture;
      FIcon->ShowPicture(picture);
    }
  }
  FRebuilding = false;
}

void TMusicListHeader::ContentChanged()
{
  TOxaDarkenBitmap::ContentChanged();
  if (FRebuilding || BeingDestroyed()) {
    return;
  }
  const TOxaBitmaps* store = Bitmaps();
  const bool framesStale =
      store != FFrameStore ||
      (store != nullptr && (FFrames.empty() ? store->Find("ViewAnimation1N") != nullptr
                                            : store->Find("ViewAnimation1N") != FFrames[0]));
  const bool pictureStale =
      FHasCurrent && FShownSource != nullptr && (store == nullptr || store->Find(FImageName) != FShownSource);
  if (framesStale || pictureStale) {
    RebuildImages();
  }
}

void TMusicListHeader::NextClicked(TOxaBitmap* /*sender*/)
{
  if (OnButtonClick) {
    OnButtonClick(this, FNext);
  }
}

void TMusicListHeader::IconMouseDown(TMouseButton button, int /*x*/, int /*y*/)
{
  if (button != TMouseButton::mbLeft || FLocked || FSelector != nullptr) {
    return;
  }
  TOxaBitmap* host = Parent() != nullptr ? Parent() : this;
  std::vector<TMusicListViewItemKinds> kinds;
  std::vector<std::string> images;
  std::vector<std::string> captions;
  std::string caption;
  for (std::size_t i = 0; i < FKinds.size(); ++i) {
    if (FHasCurrent && FKinds[i] == FCurrent) {
      caption = FCaptions[i];
      continue;
    }
    kinds.push_back(FKinds[i]);
    images.push_back(FNames[i]);
    captions.push_back(FCaptions[i]);
  }
  auto* selector = new TMusicSelectView(&host->Objects());
  FSelector = selector;
  selector->SetClock(FClock);
  selector->SetOpacity(0);
  selector->SetParent(host);
  selector->SetViews(kinds, images, captions);
  selector->SetHead(FImageName, caption);
  // Below the icon, 8 pixels in from the header's left edge.
  POINT at{IconLeft, FIcon->Top() + FIcon->Height()};
  if (host != this) {
    at = host->PointToParent(this, at);
  }
  selector->SetBounds(at.x, at.y, TMusicSelectView::ViewWidth, selector->Height());
  selector->FadeIn();
}

void TMusicListHeader::IconMouseMove(int x, int y)
{
  if (FSelector == nullptr) {
    return;
  }
  POINT p = PointToParent(FIcon, POINT{x, y});
  if (Parent() != nullptr && FSelector->Parent() == Parent()) {
    p = Parent()->PointToParent(this, p);
    p = Parent()->PointToChild(FSelector, p);
  } else {
    p = PointToChild(FSelector, p);
  }
  FSelector->HoverAt(p);
}

void TMusicListHeader::IconMouseUp(TMouseButton button)
{
  if (button != TMouseButton::mbLeft || FSelector == nullptr) {
    return;
  }
  if (const TMusicSelectViewItem* item = FSelector->HoveredItem(); item != nullptr) {
    MarkChosen(item->Kind());
    CloseSelector();
    if (OnViewChanged) {
      OnViewChanged(this);
    }
    return;
  }
  CloseSelector();
}

void TMusicListHeader::MarkChosen(TMusicListViewItemKinds kind)
{
  FChosen = kind;
  FCaption->SetCaption("");
  FShownSource = nullptr;
  FIcon->ShowPicture(FFrames.empty() ? nullptr : FFrames.front());
}

void TMusicListHeader::ChooseNextView()
{
  if (FLocked || FSelector != nullptr || FKinds.empty()) {
    return;
  }
  const int at = FHasCurrent ? IndexOfKind(FCurrent) : -1;
  const TMusicListViewItemKinds next = FKinds[std::size_t(at + 1) % FKinds.size()];
  if (FHasCurrent && next == FCurrent) {
    return;
  }
  MarkChosen(next);
  if (OnViewChanged) {
    OnViewChanged(this);
  }
}

void TMusicListHeader::IconCaptureLost()
{
  if (FSelector != nullptr) {
    CloseSelector();
  }
}

void TMusicListHeader::CloseSelector()
{
  TMusicSelectView* selector = FSelector;
  if (selector == nullptr) {
    return;
  }
  selector->FadeOut();
  FSelector = nullptr;
  FreeObject(selector);
}

// --- TMusicListFooter ---

const TMusicFooterButtonSpec kMusicFooterButtons[kMusicFooterButtonCount] = {
    {"ShowList", "HOLD", 60, oaStackFar, true},
    {"HideList", "HIDE", 60, oaStackFar, true},
    {"ShowEdit", "EDIT PLAYLISTS", 130, oaStackNear, true},
    {"HideEdit", "DONE", 60, oaStackNear, true},
    {"ShowInfo", "INFO", 60, oaStackNear, true},
    {"HideInfo", "HIDE", 60, oaStackNear, false},
    {"New", "NEW PLAYLIST", 170, oaCenter, true},
    {"Delete", "", 80, oaStackFar, true},
    {"Hide", "REMOVE", 80, oaCenter, true},
    {"Undo", "UNDO", 60, oaStackNear, false},
    {"Redo", "REDO", 60, oaStackNear, false},
};

TMusicListFooter::TMusicListFooter(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList), FProgress(new TMusicSearchProgress(&Objects()))
{
  SetAutoRealign(false);
  SetHeight(FooterHeight);
  for (const TMusicFooterButtonSpec& spec : kMusicFooterButtons) {
    auto* button = new TOxaButton(&Objects());
    button->SetName(spec.Name);
    button->SetCaption(spec.Caption);
    button->SetAlignment(kOxaAlignCenter);
    button->SetWidth(spec.Width);
    button->SetHorzAlign(spec.Placement);
    button->SetVertAlign(oaStretch);
    button->SetMargins({0, 0, ButtonMargin, ButtonMargin});
    button->SetVisible(spec.Shown);
    button->OnClick = MakeMethod<&TMusicListFooter::Clicked>(this);
    button->SetParent(this);
    FButtons.push_back(button);
  }
  FProgress->SetVisible(false);
  FProgress->SetHorzAlign(oaStretch);
  FProgress->SetVertAlign(oaStretch);
  FProgress->SetParent(this);
  SetAutoRealign(true);
  Realign();
}

std::vector<TFooterPlace> PlaceCentredButtons(int left, int right, const std::vector<int>& widths)
{
  std::vector<TFooterPlace> places;
  places.reserve(widths.size());
  long long total = 0;
  for (const int width : widths) {
    total += std::max(width, 0);
  }
  const int space = std::max(right - left, 0);
  if (total <= space) {
    int x = left + static_cast<int>((space - total) / 2);
    for (const int width : widths) {
      places.push_back({x, std::max(width, 0)});
      x += std::max(width, 0);
    }
    return places;
  }
  // Shrunk in proportion; the rounding goes to the last button so the row ends at right.
  int x = left;
  long long before = 0;
  for (const int width : widths) {
    before += std::max(width, 0);
    const int end = left + static_cast<int>(before * space / total);
    places.push_back({x, std::max(end - x, 1)});
    x = end;
  }
  return places;
}

void TMusicListFooter::Realign()
{
  TOxaDarkenBitmap::Realign();
  if (FButtons.size() != kMusicFooterButtonCount) {
    return;  // still being built
  }
  const RECT area = ClientRect();
  int nearEnd = area.left;
  int farStart = area.right;
  std::vector<TOxaButton*> centred;
  std::vector<int> widths;
  FPlacedVisible.assign(FButtons.size(), false);
  for (std::size_t i = 0; i < FButtons.size(); ++i) {
    TOxaButton* button = FButtons[i];
    FPlacedVisible[i] = button->Visible();
    if (!button->Visible()) {
      continue;
    }
    switch (kMusicFooterButtons[i].Placement) {
      case oaStackNear:
        nearEnd = std::max(nearEnd, button->Left() + button->Width());
        break;
      case oaStackFar:
        farStart = std::min(farStart, button->Left());
        break;
      case oaCenter:
        centred.push_back(button);
        widths.push_back(kMusicFooterButtons[i].Width);
        break;
      default:
        break;
    }
  }
  const std::vector<TFooterPlace> places = PlaceCentredButtons(nearEnd, farStart, widths);
  for (std::size_t i = 0; i < centred.size(); ++i) {
    TOxaButton* button = centred[i];
    button->SetBounds(places[i].Left, button->Top(), places[i].Width, button->Height());
  }
}

void TMusicListFooter::ChildChanged(TOxaBitmap* child)
{
  TOxaDarkenBitmap::ChildChanged(child);
  for (std::size_t i = 0; i < FButtons.size() && i < FPlacedVisible.size(); ++i) {
    if (FButtons[i] == child && kMusicFooterButtons[i].Placement == oaCenter &&
        child->Visible() != FPlacedVisible[i]) {
      Realign();
      return;
    }
  }
}

TOxaButton* TMusicListFooter::Button(std::string_view name) const noexcept
{
  for (TOxaButton* button : FButtons) {
    if (button->Name() == name) {
      return button;
    }
  }
  return nullptr;
}

void TMusicListFooter::Clicked(TOxaBitmap* sender)
{
  if (OnButtonClick) {
    OnButtonClick(this, static_cast<TOxaButton*>(sender));
  }
}

// --- TMusicListViewEx ---

TMusicListViewEx::TMusicListViewEx(TOxaObjects* parentList, TOxaFonts* assetFonts, TOxaBitmaps* assetStore)
    : TOxaBitmap(parentList),
      FAssetFonts(assetFonts),
      FAssetStore(assetStore),
      FOwnFonts(new TOxaFonts(nullptr)),
      FOwnStore(new TOxaBitmaps(nullptr)),
      FDivider(new TOxaBitmap(&Objects())),
      FHeader(new TMusicListHeader(&Objects())),
      FFooter(new TMusicListFooter(&Objects())),
      FList(new TMusicListView(&Objects()))
{
  // Hidden while it is put together: the list then leaves its image tables for its first draw
  // (the program hides its lists at once, and most starts show them much later).
  SetVisible(false);
  FOwnFonts->SetParent(assetFonts);
  FOwnStore->SetParent(assetStore);
  SetFonts(FOwnFonts.get());
  SetBitmaps(FOwnStore.get());
  SetFont(FOwnFonts->Items(osNormal));
  SetAutoRealign(false);
  FDivider->SetWidth(1);
  FDivider->SetColor(DividerColor);
  FDivider->SetHorzAlign(oaStackFar);
  FDivider->SetVertAlign(oaStretch);
  FDivider->SetParent(this);
  FHeader->SetHorzAlign(oaStretch);
  FHeader->SetVertAlign(oaStackNear);
  FHeader->OnButtonClick = MakeMethod<&TMusicListViewEx::ButtonClicked>(this);
  FHeader->SetParent(this);
  FFooter->SetHorzAlign(oaStretch);
  FFooter->SetVertAlign(oaStackFar);
  FFooter->OnButtonClick = MakeMethod<&TMusicListViewEx::ButtonClicked>(this);
  FFooter->SetParent(this);
  FList->SetHorzAlign(oaStretch);
  FList->SetVertAlign(oaStretch);
  FList->SetParent(this);
  SetAutoRealign(true);
  Realign();
  SetVisible(true);
}

TMusicListViewEx::~TMusicListViewEx()
{
  // The nodes let go of the own sets before the sets go.
  try {
    SetFont(nullptr);
    SetFonts(nullptr);
    SetBitmaps(nullptr);
  } catch (const std::exception& e) {
    TraceLine(e.what());
  }
}

void TMusicListViewEx::DropTransientState()
{
  FList->DropTransientState();
  if (FHeader->Selector() != nullptr) {
    FHeader->IconCaptureLost();
  }
}

void TMusicListViewEx::SetActive(bool value)
{
  FActive = value;
  constexpr int kStates[] = {0, 1, 2, 3, 26};
  FOwnFonts->BeginUpdate();
  FOwnStore->BeginUpdate();
  try {
    for (const int state : kStates) {
      FOwnFonts->SetItems(state, nullptr);
    }
    FOwnStore->Clear();
    if (FAssetFonts != nullptr) {
      for (const int state : kStates) {
        int from = state;
        if (!value) {
          from = state == 0 || state == 2 ? 17 : state == 1 || state == 3 ? 18 : 27;
        }
        FOwnFonts->SetItems(state, FAssetFonts->Items(from));
      }
    }
    if (!value && FAssetStore != nullptr) {
      constexpr std::string_view kSuffixes[] = {"GNA", "GRA", "GN", "GR", "GD"};
      for (int i = 0; i < FAssetStore->Count(); ++i) {
        const std::string& name = FAssetStore->Names(i);
        for (const std::string_view suffix : kSuffixes) {
          if (name.size() > suffix.size() &&
              OxaCompareNames(std::string_view(name).substr(name.size() - suffix.size()), suffix) == 0) {
            // Without the "G": "DELETEGN" answers as "DELETEN".
            const std::string plain =
                name.substr(0, name.size() - suffix.size()) + std::string(suffix.substr(1));
            FOwnStore->AddFrom(plain, *FAssetStore, i);
            break;
          }
        }
      }
    }
  } catch (...) {
    FOwnStore->EndUpdate();
    FOwnFonts->EndUpdate();
    throw;
  }
  FOwnStore->EndUpdate();
  FOwnFonts->EndUpdate();
  SetColor(value ? 0 : DimColor);
  SetFont(FOwnFonts->Items(osNormal));
}

void TMusicListViewEx::ButtonClicked(TOxaBitmap* /*sender*/, TOxaButton* button)
{
  if (OnButtonClick) {
    OnButtonClick(this, button);
  }
}
