#pragma once
// The track info panel's content: the icon of the view the track came from, the track-number
// label, and the seven field items (title, artist, genre, album, location, quality, duration),
// each a caption image of the info store with a value label. Title, artist, genre and album
// are edited in place when the owner allows it; the duration item shows the length, the
// elapsed or the remaining time.
//
// Decisions of this implementation:
// - Layout: the 38 × 38 icon at (Margin, Margin); the track label right of it; the items from
//   ItemsTop down, ItemHeight apart; captions at Margin, the edit triangle at TriangleLeft,
//   values at ValueLeft.
// - Title, artist and album are edited in the platform's in-place edit window (the list's
//   TDisplayListViewEdit) over the value when the panel is shown in a host control; Return or
//   the focus leaving ends the edit and reports it, Escape drops it. The genre field, and any
//   field of a panel without a host control, uses a node of ours instead (a label taking typed
//   text), since the genre keys choose from the list rather than type. Either editor's font is
//   the item's font (InfoTextFonts inherited from the panel); its height is that of one "M"
//   line, at least the value label's. An editable item takes the keyboard focus when clicked.
// - The genre item offers its list while edited: printable keys pick a genre, Up/Left and
//   Down/Right step, Ctrl+Shift+G switches between the standard and our second list.
// - A click on the duration item turns its mode 1 → 2 → 3 → 1.
// - The track's cover, when it has one, is centred in a Side x Side square in the top right
//   corner; the track label and the items beside the square end before it, the items below it
//   (location, quality, duration) keep the whole width. Without a cover nothing moves.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaButton.h"
#include "rtl/Method.h"
#include "tags/OxaMusicTag.h"
#include "views/info/OxaMusicInfoCover.h"
#include "views/info/OxaMusicInfoText.h"
#include "views/list/DisplayListViewEdit.h"

enum TOxaMusicInfoItemKind : std::uint8_t {
  ikTitle = 0,
  ikArtist = 1,
  ikGenre = 2,
  ikAlbum = 3,
  ikLocation = 4,
  ikQuality = 5,
  ikDuration = 6,
};
constexpr int kOxaInfoItemCount = 7;

// "TITLE", "ARTIST", "GENRE", "ALBUM", "LOCATION", "QUALITY", "DURATION".
std::string_view OxaInfoItemCaption(TOxaMusicInfoItemKind kind) noexcept;
// The info icon for a library view number: "fol-info" (1), "alb-info" (2), "art-info" (3),
// "gen-info" (4), "tit-info" for the others.
std::string_view OxaInfoIconName(std::int32_t view) noexcept;

class TOxaMusicInfoItem;
using TOxaMusicInfoEditEvent =
    TMethod<void(TOxaMusicInfoItem* sender, TOxaMusicInfoItemKind kind, const std::string& text)>;

// The in-place editor: shows the text being typed.
class TOxaMusicInfoEditor : public TOxaLabel {
 public:
  using TOxaLabel::TOxaLabel;
  // Appends one character (UTF-8), or takes the last one away.
  void Type(char32_t key);
  void Backspace();
};

class TOxaMusicInfoItem : public TOxaBitmap {
 public:
  static constexpr int Margin = 10;
  static constexpr int TriangleLeft = 96;
  static constexpr int ValueLeft = 108;
  static constexpr int ItemHeight = 22;

  TOxaMusicInfoItem(TOxaObjects* parentList, TOxaMusicInfoItemKind kind);

  TOxaMusicInfoItemKind Kind() const noexcept { return FKind; }
  virtual void SetKind(TOxaMusicInfoItemKind value);
  const std::string& Value() const noexcept { return FValueLabel->Caption(); }
  void SetValue(const std::string& value) { FValueLabel->SetCaption(value); }
  TOxaLabel* ValueLabel() const noexcept { return FValueLabel; }
  TOxaBitmap* CaptionImage() const noexcept { return FCaptionImage; }
  // The caption image's name in the info store.
  virtual std::string_view CaptionName() const { return OxaInfoItemCaption(FKind); }

  void ContentChanged() override;
  // The whole row takes the mouse: the item draws nothing of its own (its parts and the body's
  // darkening show through), yet a click anywhere on a field is the field's.
  bool PtInImage(POINT p) const noexcept override { return PtInNode(p); }

 protected:
  void Resized() override;
  // Finds the images again (the store changed) and places the parts.
  virtual void LoadImages();
  void PlaceParts();

 private:
  TOxaMusicInfoItemKind FKind;
  TOxaBitmap* FCaptionImage;
  TOxaLabel* FValueLabel;
  bool FLoading = false;
};

class TOxaMusicInfoEditItem : public TOxaMusicInfoItem {
 public:
  TOxaMusicInfoEditItem(TOxaObjects* parentList, TOxaMusicInfoItemKind kind);

  bool Editable() const noexcept { return FEditable; }
  void SetEditable(bool value);
  bool Editing() const noexcept { return FEditor != nullptr || FPlatformEditing; }
  // The node editor while it is open (null for the platform editor).
  TOxaMusicInfoEditor* Editor() const noexcept { return FEditor; }
  // The platform editor while it is open.
  TDisplayListViewEdit* PlatformEditor() const noexcept
  {
    return FPlatformEditing ? FPlatform.get() : nullptr;
  }
  TOxaBitmap* Triangle() const noexcept { return FTriangle; }

  // Opens the editor over the value; false when the item is not editable or has no font.
  bool BeginEdit();
  // Ends the edit: with commit the value takes the text and OnEdited hears of it when it
  // changed.
  void EndEdit(bool commit);

  void Click() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  // Losing the keyboard focus ends the edit as Return does.
  void Exit() override;

  TOxaMusicInfoEditEvent OnEdited;

 protected:
  void LoadImages() override;
  // What the editor starts with.
  virtual std::string EditText() const { return Value(); }
  virtual void EditorOpened() {}
  // Whether typing goes to the platform's edit window when there is a host control.
  virtual bool TypesText() const { return true; }

 private:
  void PlatformDone(TDisplayListViewEdit* sender, bool commit);
  void CommitCallback(TOxaImage* sender, TOxaBitmap* node);
  void CancelCallback(TOxaImage* sender, TOxaBitmap* node);

  TOxaBitmap* FTriangle;
  TOxaMusicInfoEditor* FEditor = nullptr;
  std::unique_ptr<TDisplayListViewEdit> FPlatform;
  bool FPlatformEditing = false;
  bool FEditable = false;
};

class TOxaMusicInfoGenreItem : public TOxaMusicInfoEditItem {
 public:
  explicit TOxaMusicInfoGenreItem(TOxaObjects* parentList);

  const TOxaGenreList& Genres() const noexcept { return *FGenres; }
  bool HiddenList() const noexcept { return FHidden; }
  void SetHiddenList(bool value);
  // The chosen genre's index in the list shown, -1 for none.
  int GenreIndex() const noexcept { return FIndex; }

  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;

 protected:
  void EditorOpened() override;
  bool TypesText() const override { return false; }

 private:
  void Choose(int index);
  const TOxaGenreList* FGenres;
  bool FHidden = false;
  int FIndex = -1;
};

class TOxaMusicInfoDurationItem : public TOxaMusicInfoItem {
 public:
  explicit TOxaMusicInfoDurationItem(TOxaObjects* parentList);

  // Only ikDuration: the duration operations mean nothing for another field.
  void SetKind(TOxaMusicInfoItemKind value) override;
  TOxaDurationMode Mode() const noexcept { return FState.Mode; }
  void SetMode(TOxaDurationMode value);
  std::int32_t Length() const noexcept { return FState.Length; }
  void SetLength(std::int32_t seconds);
  std::int32_t Position() const noexcept { return FState.Position; }
  void SetPosition(std::int32_t seconds);
  std::string_view CaptionName() const override { return OxaDurationCaption(FState.Mode); }

  void Click() override;

 private:
  void ShowState();
  TOxaDurationState FState;
};

class TOxaMusicInfoBody : public TOxaDarkenBitmap {
 public:
  static constexpr int Margin = 10;
  static constexpr int IconSize = 38;
  static constexpr int ItemsTop = 64;

  explicit TOxaMusicInfoBody(TOxaObjects* parentList = nullptr);

  TOxaBitmap* Icon() const noexcept { return FIcon; }
  TOxaLabel* TrackLabel() const noexcept { return FTrackLabel; }
  TOxaMusicInfoItem* Items(int index) const;
  TOxaMusicInfoEditItem* EditItem(TOxaMusicInfoItemKind kind) const;
  TOxaMusicInfoGenreItem* GenreItem() const noexcept { return FGenre; }
  TOxaMusicInfoDurationItem* DurationItem() const noexcept { return FDuration; }
  TOxaMusicInfoCover* Cover() const noexcept { return FCover; }
  // The shown track's cover (copied); null for none. SetTrack clears it.
  void SetCover(const TSurface* picture);
  // The item that is being edited, if any.
  TOxaMusicInfoEditItem* EditingItem() const;

  // Shows a track: the texts of the record, the icon of the view it was chosen in.
  void SetTrack(const TMusicFileItem& track, std::int32_t view = 5);
  const TMusicFileItem& Track() const noexcept { return FTrack; }
  std::int32_t Length() const noexcept { return FLength; }
  std::int32_t Bitrate() const noexcept { return FBitrate; }
  std::int32_t TrackNumber() const noexcept { return FTrackNumber; }
  void SetTrackNumber(std::int32_t value);
  // Replaces the quality line SetTrack made from the bit rate (a lossless stream says more).
  void SetQualityText(const std::string& text);
  // The play position in whole seconds.
  void SetElapsed(std::int32_t seconds);

  // Whether title, artist, genre and album can be edited.
  bool EditMode() const noexcept { return FEditMode; }
  void SetEditMode(bool value);

  void ContentChanged() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;

  TOxaMusicInfoEditEvent OnEdited;

 protected:
  void Resized() override;

 private:
  void ItemEdited(TOxaMusicInfoItem* sender, TOxaMusicInfoItemKind kind, const std::string& text);
  void PlaceParts();

  TOxaBitmap* FIcon;
  TOxaLabel* FTrackLabel;
  TOxaMusicInfoCover* FCover;
  std::array<TOxaMusicInfoItem*, kOxaInfoItemCount> FItems{};
  TOxaMusicInfoGenreItem* FGenre = nullptr;
  TOxaMusicInfoDurationItem* FDuration = nullptr;
  std::string FIconName = "tit-info";
  bool FEditMode = false;
  std::int32_t FLength = 0;
  std::int32_t FBitrate = 0;
  std::int32_t FTrackNumber = -1;
  TMusicFileItem FTrack;
  bool FLoading = false;
};
