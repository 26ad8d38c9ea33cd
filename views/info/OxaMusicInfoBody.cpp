// The info panel's content.
#include "views/info/OxaMusicInfoBody.h"

#include <algorithm>

#include "framework/OxaUtils.h"
#include "graphics/OxaImage.h"
#include "platform/windows/Input.h"
#include "rtl/Format.h"
#include "views/OxaViewImages.h"

std::string_view OxaInfoItemCaption(TOxaMusicInfoItemKind kind) noexcept
{
  static constexpr std::string_view kCaptions[kOxaInfoItemCount] = {"TITLE",    "ARTIST",  "GENRE",   "ALBUM",
                                                                    "LOCATION", "QUALITY", "DURATION"};
  return kind < kOxaInfoItemCount ? kCaptions[kind] : std::string_view();
}

std::string_view OxaInfoIconName(std::int32_t view) noexcept
{
  switch (view) {
    case 1:
      return "fol-info";
    case 2:
      return "alb-info";
    case 3:
      return "art-info";
    case 4:
      return "gen-info";
    default:
      return "tit-info";
  }
}

// --- TOxaMusicInfoEditor ---

namespace {

void AppendUtf8(std::string& text, char32_t c)
{
  if (c < 0x80) {
    text += char(c);
  } else if (c < 0x800) {
    text += char(0xC0 | (c >> 6));
    text += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    text += char(0xE0 | (c >> 12));
    text += char(0x80 | ((c >> 6) & 0x3F));
    text += char(0x80 | (c & 0x3F));
  } else if (c < 0x110000) {
    text += char(0xF0 | (c >> 18));
    text += char(0x80 | ((c >> 12) & 0x3F));
    text += char(0x80 | ((c >> 6) & 0x3F));
    text += char(0x80 | (c & 0x3F));
  }
}

// The value labels and the editor can hold at most this many bytes of text.
constexpr std::size_t kMaxEditBytes = 1000;

}  // namespace

void TOxaMusicInfoEditor::Type(char32_t key)
{
  if (key < 0x20 || key == 0x7F || (key >= 0xD800 && key < 0xE000)) {
    return;
  }
  std::string text = Caption();
  AppendUtf8(text, key);
  if (text.size() <= kMaxEditBytes) {
    SetCaption(text);
  }
}

void TOxaMusicInfoEditor::Backspace()
{
  std::string text = Caption();
  if (text.empty()) {
    return;
  }
  std::size_t at = text.size() - 1;
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
    --at;
  }
  text.erase(at);
  SetCaption(text);
}

// --- TOxaMusicInfoItem ---

TOxaMusicInfoItem::TOxaMusicInfoItem(TOxaObjects* parentList, TOxaMusicInfoItemKind kind)
    : TOxaBitmap(parentList),
      FKind(kind),
      FCaptionImage(new TOxaBitmap(&Objects())),
      FValueLabel(new TOxaLabel(&Objects()))
{
  FCaptionImage->SetParent(this);
  FCaptionImage->SetIgnoreMouse(true);
  FValueLabel->SetParent(this);
  FValueLabel->SetIgnoreMouse(true);
  FValueLabel->SetTransparent(true);
  SetBounds(0, 0, 300, ItemHeight);
}

void TOxaMusicInfoItem::SetKind(TOxaMusicInfoItemKind value)
{
  if (value == FKind) {
    return;
  }
  FKind = value;
  LoadImages();
}

void TOxaMusicInfoItem::ContentChanged()
{
  TOxaBitmap::ContentChanged();
  if (!FLoading) {
    LoadImages();
  }
}

void TOxaMusicInfoItem::Resized()
{
  TOxaBitmap::Resized();
  PlaceParts();
}

void TOxaMusicInfoItem::LoadImages()
{
  FLoading = true;
  OxaShowStoreImage(*FCaptionImage, CaptionName());
  PlaceParts();
  FLoading = false;
}

void TOxaMusicInfoItem::PlaceParts()
{
  const bool loading = FLoading;
  FLoading = true;
  FCaptionImage->SetBounds(Margin, std::max(0, (Height() - FCaptionImage->Height()) / 2),
                           FCaptionImage->Width(), FCaptionImage->Height());
  const int valueWidth = std::max(0, Width() - ValueLeft - Margin);
  FValueLabel->SetMaxTextWidth(valueWidth);
  FValueLabel->SetMaxTextHeight(Height());
  FValueLabel->SetBounds(ValueLeft, 0, valueWidth, Height());
  FLoading = loading;
}

// --- TOxaMusicInfoEditItem ---

TOxaMusicInfoEditItem::TOxaMusicInfoEditItem(TOxaObjects* parentList, TOxaMusicInfoItemKind kind)
    : TOxaMusicInfoItem(parentList, kind), FTriangle(new TOxaBitmap(&Objects()))
{
  FTriangle->SetParent(this);
  FTriangle->SetIgnoreMouse(true);
  FTriangle->SetVisible(false);
  SetWantsFocus(true);
}

void TOxaMusicInfoEditItem::SetEditable(bool value)
{
  if (value == FEditable) {
    return;
  }
  FEditable = value;
  if (!value && Editing()) {
    EndEdit(false);
  }
  FTriangle->SetVisible(value);
}

void TOxaMusicInfoEditItem::LoadImages()
{
  TOxaMusicInfoItem::LoadImages();
  OxaShowStoreImage(*FTriangle, "EditTriangle");
  FTriangle->SetBounds(TriangleLeft, std::max(0, (Height() - FTriangle->Height()) / 2), FTriangle->Width(),
                       FTriangle->Height());
}

bool TOxaMusicInfoEditItem::BeginEdit()
{
  if (Editing()) {
    return true;
  }
  TOxaFont* font = Font();
  if (!FEditable || font == nullptr) {
    return false;
  }
  TOxaTextBlock line;
  font->Layout("M", kOxaAlignLeft, line, kOxaLabelNoLimit, kOxaLabelNoLimit);
  const int height = std::max(line.Height, ValueLabel()->Height());
  const int left = ValueLeft - 3;
  const int top = std::max(0, (Height() - height) / 2);
  const int width = std::max(0, Width() - ValueLeft - Margin + 3);
  if (TOxaImage* control = Control(); control != nullptr && TypesText()) {
    if (!FPlatform) {
      FPlatform = std::make_unique<TDisplayListViewEdit>(nullptr);
      FPlatform->OnDone = MakeMethod<&TOxaMusicInfoEditItem::PlatformDone>(this);
    }
    const POINT at = PointToControl({left, top});
    FPlatformEditing = true;
    FPlatform->Open(control->Handle(), {at.x, at.y, at.x + width, at.y + height}, font->GdiFont(),
                    EditText());
    ValueLabel()->SetVisible(false);
    EditorOpened();
    return true;
  }
  FEditor = new TOxaMusicInfoEditor(&Objects());
  FEditor->SetParent(this);
  FEditor->SetParentFont(false);
  FEditor->SetFont(font);
  FEditor->SetFrameWidth(1);
  FEditor->SetFrameColor(0x969696);
  FEditor->SetHorzMargin(2);
  FEditor->SetMaxTextWidth(std::max(0, width - 9));
  FEditor->SetBounds(left, top, width, height);
  FEditor->SetCaption(EditText());
  ValueLabel()->SetVisible(false);
  EditorOpened();
  return true;
}

void TOxaMusicInfoEditItem::EndEdit(bool commit)
{
  if (!Editing()) {
    return;
  }
  std::string text;
  if (FPlatformEditing) {
    text = FPlatform->Text();
    FPlatformEditing = false;
    // Freeing the focused window would tell a commit: it is told nothing any more.
    FPlatform->OnDone = nullptr;
    FPlatform.reset();
  } else {
    text = FEditor->Caption();
    TOxaMusicInfoEditor* editor = FEditor;
    FEditor = nullptr;
    FreeObject(editor);
  }
  ValueLabel()->SetVisible(true);
  if (commit && text != Value()) {
    SetValue(text);
    if (OnEdited) {
      OnEdited(this, Kind(), text);
    }
  }
}

void TOxaMusicInfoEditItem::PlatformDone(TDisplayListViewEdit*, bool commit)
{
  // Told from inside the edit window: the window is freed after its handling has returned.
  if (TOxaImage* control = Control()) {
    control->QueueCallback(this, commit ? MakeMethod<&TOxaMusicInfoEditItem::CommitCallback>(this)
                                        : MakeMethod<&TOxaMusicInfoEditItem::CancelCallback>(this));
  }
}

void TOxaMusicInfoEditItem::CommitCallback(TOxaImage*, TOxaBitmap*)
{
  EndEdit(true);
}

void TOxaMusicInfoEditItem::CancelCallback(TOxaImage*, TOxaBitmap*)
{
  EndEdit(false);
}

void TOxaMusicInfoEditItem::Click()
{
  if (!Editing()) {
    BeginEdit();
  }
  TOxaMusicInfoItem::Click();
}

void TOxaMusicInfoEditItem::KeyDown(WORD& key, TShiftState shift)
{
  if (FEditor != nullptr) {
    if (key == VK_RETURN) {
      EndEdit(true);
      key = 0;
      return;
    }
    if (key == VK_ESCAPE) {
      EndEdit(false);
      key = 0;
      return;
    }
    if (key == VK_BACK) {
      FEditor->Backspace();
      key = 0;
      return;
    }
  }
  TOxaMusicInfoItem::KeyDown(key, shift);
}

void TOxaMusicInfoEditItem::Exit()
{
  // The platform editor holds the focus itself and tells its own end.
  if (FEditor != nullptr) {
    EndEdit(true);
  }
  TOxaMusicInfoItem::Exit();
}

void TOxaMusicInfoEditItem::KeyPress(char32_t& key)
{
  if (FEditor != nullptr && key >= 0x20) {
    FEditor->Type(key);
    key = 0;
    return;
  }
  TOxaMusicInfoItem::KeyPress(key);
}

// --- TOxaMusicInfoGenreItem ---

TOxaMusicInfoGenreItem::TOxaMusicInfoGenreItem(TOxaObjects* parentList)
    : TOxaMusicInfoEditItem(parentList, ikGenre), FGenres(&OxaStandardGenres())
{
}

void TOxaMusicInfoGenreItem::SetHiddenList(bool value)
{
  if (value == FHidden) {
    return;
  }
  FHidden = value;
  FGenres = value ? &OxaHiddenGenres() : &OxaStandardGenres();
  FIndex = Editing() ? FGenres->IndexOf(Editor()->Caption()) : -1;
}

void TOxaMusicInfoGenreItem::EditorOpened()
{
  FIndex = FGenres->IndexOf(Value());
}

void TOxaMusicInfoGenreItem::Choose(int index)
{
  if (index < 0) {
    return;
  }
  FIndex = index;
  Editor()->SetCaption(FGenres->Names(index));
}

void TOxaMusicInfoGenreItem::KeyDown(WORD& key, TShiftState shift)
{
  if (Editing()) {
    const bool ctrlShift = (shift & (ssCtrl | ssShift | ssAlt)) == (ssCtrl | ssShift);
    if (ctrlShift && key == 'G') {
      SetHiddenList(!FHidden);
      key = 0;
      return;
    }
    if (key == VK_UP || key == VK_LEFT || key == VK_DOWN || key == VK_RIGHT) {
      Choose(FGenres->Step(FIndex, key == VK_UP || key == VK_LEFT ? -1 : 1));
      key = 0;
      return;
    }
    if (key == VK_BACK) {
      key = 0;
      return;
    }
  }
  TOxaMusicInfoEditItem::KeyDown(key, shift);
}

void TOxaMusicInfoGenreItem::KeyPress(char32_t& key)
{
  if (Editing()) {
    Choose(FGenres->IndexForKey(key));
    key = 0;
    return;
  }
  TOxaMusicInfoEditItem::KeyPress(key);
}

// --- TOxaMusicInfoDurationItem ---

TOxaMusicInfoDurationItem::TOxaMusicInfoDurationItem(TOxaObjects* parentList)
    : TOxaMusicInfoItem(parentList, ikDuration)
{
  ShowState();
}

void TOxaMusicInfoDurationItem::SetKind(TOxaMusicInfoItemKind value)
{
  if (value != ikDuration) {
    throw EOxaFatal(Format("%s.Kind: This propery must be a ikDuration", ClassName()));
  }
  TOxaMusicInfoItem::SetKind(value);
}

void TOxaMusicInfoDurationItem::SetMode(TOxaDurationMode value)
{
  if (value == FState.Mode) {
    return;
  }
  FState.Mode = value;
  LoadImages();
  ShowState();
}

void TOxaMusicInfoDurationItem::SetLength(std::int32_t seconds)
{
  FState.Length = std::max<std::int32_t>(seconds, 0);
  FState.Position = 0;
  ShowState();
}

void TOxaMusicInfoDurationItem::SetPosition(std::int32_t seconds)
{
  FState.SetPosition(seconds);
  ShowState();
}

void TOxaMusicInfoDurationItem::Click()
{
  SetMode(OxaNextDurationMode(FState.Mode));
  TOxaMusicInfoItem::Click();
}

void TOxaMusicInfoDurationItem::ShowState()
{
  SetValue(FState.Text());
}

// --- TOxaMusicInfoBody ---

TOxaMusicInfoBody::TOxaMusicInfoBody(TOxaObjects* parentList)
    : TOxaDarkenBitmap(parentList),
      FIcon(new TOxaBitmap(&Objects())),
      FTrackLabel(new TOxaLabel(&Objects())),
      FCover(new TOxaMusicInfoCover(&Objects()))
{
  SetAutoRealign(false);
  FIcon->SetParent(this);
  FIcon->SetIgnoreMouse(true);
  FTrackLabel->SetParent(this);
  FTrackLabel->SetIgnoreMouse(true);
  FTrackLabel->SetTransparent(true);
  FTrackLabel->SetCaption(OxaTrackNumberText(FTrackNumber));
  FCover->SetParent(this);
  for (int i = 0; i < kOxaInfoItemCount; ++i) {
    const auto kind = static_cast<TOxaMusicInfoItemKind>(i);
    TOxaMusicInfoItem* item = nullptr;
    if (kind == ikGenre) {
      item = FGenre = new TOxaMusicInfoGenreItem(&Objects());
    } else if (kind == ikDuration) {
      item = FDuration = new TOxaMusicInfoDurationItem(&Objects());
    } else if (kind == ikTitle || kind == ikArtist || kind == ikAlbum) {
      item = new TOxaMusicInfoEditItem(&Objects(), kind);
    } else {
      item = new TOxaMusicInfoItem(&Objects(), kind);
    }
    item->SetParent(this);
    item->SetTransparent(true);
    if (auto* editItem = dynamic_cast<TOxaMusicInfoEditItem*>(item)) {
      editItem->OnEdited = MakeMethod<&TOxaMusicInfoBody::ItemEdited>(this);
    }
    FItems[std::size_t(i)] = item;
  }
  SetBounds(0, 0, 400, ItemsTop + kOxaInfoItemCount * TOxaMusicInfoItem::ItemHeight + Margin);
}

TOxaMusicInfoItem* TOxaMusicInfoBody::Items(int index) const
{
  if (index < 0 || index >= kOxaInfoItemCount) {
    throw EOxaFatal(Format("%s.Items[%d]: Index out of bounds", ClassName(), index));
  }
  return FItems[std::size_t(index)];
}

TOxaMusicInfoEditItem* TOxaMusicInfoBody::EditItem(TOxaMusicInfoItemKind kind) const
{
  return dynamic_cast<TOxaMusicInfoEditItem*>(Items(kind));
}

TOxaMusicInfoEditItem* TOxaMusicInfoBody::EditingItem() const
{
  for (TOxaMusicInfoItem* item : FItems) {
    auto* editItem = dynamic_cast<TOxaMusicInfoEditItem*>(item);
    if (editItem != nullptr && editItem->Editing()) {
      return editItem;
    }
  }
  return nullptr;
}

void TOxaMusicInfoBody::SetTrack(const TMusicFileItem& track, std::int32_t view)
{
  if (TOxaMusicInfoEditItem* editing = EditingItem()) {
    editing->EndEdit(false);
  }
  FTrack = track;
  FLength = track.Duration;
  FBitrate = track.Bitrate;
  FItems[ikTitle]->SetValue(track.Title);
  FItems[ikArtist]->SetValue(track.Artist);
  FItems[ikGenre]->SetValue(track.Genre);
  FItems[ikAlbum]->SetValue(track.Album);
  FItems[ikLocation]->SetValue(track.FileName);
  FItems[ikQuality]->SetValue(OxaQualityText(track.Bitrate));
  FDuration->SetLength(track.Duration);
  SetTrackNumber(track.Track);
  FIconName = std::string(OxaInfoIconName(view));
  OxaShowStoreImage(*FIcon, FIconName);
  SetCover(nullptr);
}

void TOxaMusicInfoBody::SetCover(const TSurface* picture)
{
  const bool shown = FCover->HasPicture();
  FCover->SetPicture(picture);
  if (shown || FCover->HasPicture()) {
    PlaceParts();
  }
}

void TOxaMusicInfoBody::SetQualityText(const std::string& text)
{
  FItems[ikQuality]->SetValue(text);
}

void TOxaMusicInfoBody::SetTrackNumber(std::int32_t value)
{
  FTrackNumber = value;
  FTrackLabel->SetCaption(OxaTrackNumberText(value));
}

void TOxaMusicInfoBody::SetElapsed(std::int32_t seconds)
{
  FDuration->SetPosition(seconds);
}

void TOxaMusicInfoBody::SetEditMode(bool value)
{
  FEditMode = value;
  for (TOxaMusicInfoItemKind kind : {ikTitle, ikArtist, ikGenre, ikAlbum}) {
    EditItem(kind)->SetEditable(value);
  }
}

void TOxaMusicInfoBody::ContentChanged()
{
  TOxaDarkenBitmap::ContentChanged();
  if (!FLoading) {
    FLoading = true;
    OxaShowStoreImage(*FIcon, FIconName);
    PlaceParts();
    FLoading = false;
  }
}

void TOxaMusicInfoBody::Resized()
{
  TOxaDarkenBitmap::Resized();
  PlaceParts();
}

void TOxaMusicInfoBody::PlaceParts()
{
  const bool loading = FLoading;
  FLoading = true;
  FIcon->SetBounds(Margin, Margin, FIcon->Width(), FIcon->Height());
  const int labelLeft = Margin + IconSize + Margin;
  // The cover's square takes the top right corner; what lies beside it ends before it.
  int besideCover = Width();
  int coverBottom = 0;
  if (FCover->HasPicture()) {
    const int squareLeft = Width() - Margin - TOxaMusicInfoCover::Side;
    FCover->SetBounds(squareLeft + (TOxaMusicInfoCover::Side - FCover->Width()) / 2,
                      Margin + (TOxaMusicInfoCover::Side - FCover->Height()) / 2, FCover->Width(),
                      FCover->Height());
    besideCover = std::max(0, squareLeft - Margin);
    coverBottom = Margin + TOxaMusicInfoCover::Side;
  }
  FTrackLabel->SetBounds(labelLeft, Margin, std::max(0, std::min(Width() - Margin, besideCover) - labelLeft),
                         IconSize);
  for (int i = 0; i < kOxaInfoItemCount; ++i) {
    // Items are still being made while the first ones are added.
    if (FItems[std::size_t(i)] == nullptr) {
      continue;
    }
    const int top = ItemsTop + i * TOxaMusicInfoItem::ItemHeight;
    FItems[std::size_t(i)]->SetBounds(0, top, top < coverBottom ? besideCover : Width(),
                                      TOxaMusicInfoItem::ItemHeight);
  }
  FLoading = loading;
}

void TOxaMusicInfoBody::KeyDown(WORD& key, TShiftState shift)
{
  if (TOxaMusicInfoEditItem* editing = EditingItem()) {
    editing->KeyDown(key, shift);
    if (key == 0) {
      return;
    }
  }
  TOxaDarkenBitmap::KeyDown(key, shift);
}

void TOxaMusicInfoBody::KeyPress(char32_t& key)
{
  if (TOxaMusicInfoEditItem* editing = EditingItem()) {
    editing->KeyPress(key);
    if (key == 0) {
      return;
    }
  }
  TOxaDarkenBitmap::KeyPress(key);
}

void TOxaMusicInfoBody::ItemEdited(TOxaMusicInfoItem* sender, TOxaMusicInfoItemKind kind,
                                   const std::string& text)
{
  if (OnEdited) {
    OnEdited(sender, kind, text);
  }
}
