#pragma once
// The frame around a music list: the header that names the current view and opens the view
// selector, the footer with the browser's command buttons, the busy indicator, and
// TMusicListViewEx, which stacks them around the list and dims the whole panel.
//
// Decisions of this implementation:
// - A select item is 20 pixels high and as wide as the selector less its margins; its view
//   image is scaled into a 20 x 20 square before the caption.
// - The chosen view is the hovered item's own kind.
// - The header's view icon turns like a prism from the picture it shows to the new view's
//   image when the current view changes: 12 steps over 360 ms, forwards when the new view comes
//   later in the stored order, else backwards. The steps follow the clock linearly; the turn's
//   own easing (the curve of OxaAccelerate) makes it start and end slowly.
// - Captions are shown in capitals: the skin's glyph fonts carry capitals, digits and a few
//   signs only.
// - The busy indicator darkens its node with its colour and, while running, draws a light block
//   40 pixels wide at its position; each Tick moves it by the step and wraps it round.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/MusicRotate.h"
#include "graphics/OxaBitmap.h"
#include "graphics/OxaButton.h"
#include "views/list/MusicListView.h"

class TMusicListHeader;
class TMusicSelectView;

// The view name of a row kind: "Title", "Favorite", "Album", "Genre", "Artist", "Folder", "Title".
std::string_view MusicViewName(TMusicListViewItemKinds kind) noexcept;

using TMusicClock = std::function<std::uint64_t()>;

class TMusicSearchProgress : public TOxaBitmap {
 public:
  explicit TMusicSearchProgress(TOxaObjects* parentList = nullptr);
  static constexpr int BlockWidth = 40;
  static constexpr TOxaColor BlockColor = 0x969696;

  bool Running() const noexcept { return FRunning; }
  // Running: step -10 from the surface's right end; stopped: both 0.
  void SetRunning(bool value);
  int Step() const noexcept { return FStep; }
  int Position() const noexcept { return FPosition; }
  // Moves the block one step (running only).
  void Tick();
  // The darkening and the block, drawn over what lies below.
  void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip) override;

 private:
  bool FRunning = false;
  int FStep = 0;
  int FPosition = 0;
};

// One view in the selector: its picture and its caption.
class TMusicSelectViewItem : public TOxaBitmap {
 public:
  explicit TMusicSelectViewItem(TOxaObjects* parentList = nullptr);
  static constexpr int ItemHeight = 20;

  TMusicListViewItemKinds Kind() const noexcept { return FKind; }
  void SetKind(TMusicListViewItemKinds value) { FKind = value; }
  // The view name; the pictures are "Show%sN" and "Show%sNA" of it.
  const std::string& ViewName() const noexcept { return FViewName; }
  void SetViewName(const std::string& value);
  const std::string& Caption() const noexcept { return FLabel->Caption(); }
  void SetCaption(const std::string& value) { FLabel->SetCaption(value); }
  bool Hovered() const noexcept { return FHovered; }
  // The picture shown (hovered: the "NA" one), null when the store has none.
  TOxaBitmap* Picture() const noexcept;
  TOxaLabel* Label() const noexcept { return FLabel; }

  void MouseEnter() override;
  void MouseLeave() override;
  void ContentChanged() override;

 private:
  void ShowPicture();
  TMusicListViewItemKinds FKind = TMusicListViewItemKinds::mlkTrack;
  std::string FViewName;
  bool FHovered = false;
  TOxaBitmap* FIcon;
  TOxaLabel* FLabel;
  const TOxaBitmap* FShown = nullptr;
  int FBusy = 0;
};

// The pop-up list of views under the header; it fades in and out.
class TMusicSelectView : public TOxaBitmap {
 public:
  explicit TMusicSelectView(TOxaObjects* parentList = nullptr);
  static constexpr int ViewWidth = 200;
  static constexpr int HeadHeight = 46;  // the icon and caption at the top
  static constexpr int ItemMargin = 4;   // below each item
  static constexpr int FadeMs = 400;

  // Raises "%s.SetViews: Length(AViews) <> Length(ACaptions)" unless all three match.
  void SetViews(const std::vector<TMusicListViewItemKinds>& kinds, const std::vector<std::string>& images,
                const std::vector<std::string>& captions);
  int ItemCount() const noexcept { return int(FItems.size()); }
  // In stored order.
  TMusicSelectViewItem* Items(int index) const;
  // The icon and caption of the view shown now.
  void SetHead(const std::string& imageName, const std::string& caption);
  TOxaBitmap* Icon() const noexcept { return FIcon; }
  TOxaLabel* Caption() const noexcept { return FCaption; }

  // The item under p (selector coordinates) becomes the hovered one: the old one gets its
  // leave, the new one its enter.
  void HoverAt(POINT p);
  TMusicSelectViewItem* HoveredItem() const noexcept { return FHovered; }
  int HoveredIndex() const noexcept { return FHoveredIndex; }

  std::uint8_t Opacity() const noexcept { return FOpacity; }
  void SetOpacity(std::uint8_t value);
  // Shows the selector's rectangle in the window now, composed from the whole tree: translucent,
  // it cannot be drawn on its own.
  void Repaint();
  // 0 to 255 (in) or 255 to 0 (out) over 400 ms, repainting after each step; exact at the end.
  void FadeIn() { Fade(true); }
  void FadeOut() { Fade(false); }
  void SetClock(TMusicClock clock) { FClock = std::move(clock); }
  // Steps a fade ran (the end included).
  int FadeSteps() const noexcept { return FFadeSteps; }

  void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip) override;

 private:
  void Fade(bool in);
  std::vector<TMusicSelectViewItem*> FItems;
  TOxaBitmap* FBackground;
  TOxaBitmap* FIcon;
  TOxaLabel* FCaption;
  std::string FIconName;
  TMusicSelectViewItem* FHovered = nullptr;
  int FHoveredIndex = -1;
  std::uint8_t FOpacity = 255;
  int FFadeSteps = 0;
  TMusicClock FClock;
};

// The view icon in the header; its mouse goes to the header.
class TMusicViewIcon : public TOxaBitmap {
 public:
  TMusicViewIcon(TOxaObjects* parentList, TMusicListHeader* header);
  static constexpr int IconWidth = 72;
  static constexpr int IconHeight = 46;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CaptureLost() override;
  // Shows a picture (a copy of it), or nothing.
  void ShowPicture(const TOxaBitmap* picture);

 private:
  TMusicListHeader* FHeader;
};

using TMusicButtonClickEvent = TMethod<void(TOxaBitmap* sender, TOxaButton* button)>;

class TMusicListHeader : public TOxaDarkenBitmap {
 public:
  explicit TMusicListHeader(TOxaObjects* parentList = nullptr);
  static constexpr int HeaderHeight = 68;
  static constexpr int NextWidth = 12;
  static constexpr int IconLeft = 8;
  static constexpr int TurnSteps = 12;
  static constexpr int TurnMs = 360;
  static constexpr int MaxAnimationFrames = 64;

  // Raises "%s.SetViews: Length(AKinds) <> Lenght(ACaptions)" when the lengths differ.
  void SetViews(const std::vector<TMusicListViewItemKinds>& kinds, const std::vector<std::string>& captions);
  int ViewCount() const noexcept { return int(FKinds.size()); }
  TMusicListViewItemKinds ViewKind(int index) const { return FKinds.at(std::size_t(index)); }
  const std::string& ViewCaption(int index) const { return FCaptions.at(std::size_t(index)); }
  // A stored kind becomes the current view (its image "View" + name + "N"); others are ignored.
  // Shown, the icon turns to the new image.
  void SetCurrentView(TMusicListViewItemKinds kind);
  TMusicListViewItemKinds CurrentView() const noexcept { return FCurrent; }
  bool HasCurrentView() const noexcept { return FHasCurrent; }
  const std::string& ImageName() const noexcept { return FImageName; }
  // The view picked in the selector.
  TMusicListViewItemKinds ChosenView() const noexcept { return FChosen; }
  // Picks the stored view after the current one (the first after the last, the first with no
  // current view) the way the selector does, view-changed event included. Nothing while locked,
  // while the selector is open, or when there is no other view.
  void ChooseNextView();

  // The animation frames "ViewAnimation%dN" of the store, 1 up to the first missing.
  int AnimationFrameCount() const noexcept { return int(FFrames.size()); }
  TOxaBitmap* AnimationFrame(int index) const { return FFrames.at(std::size_t(index)); }

  bool Locked() const noexcept { return FLocked; }
  void SetLocked(bool value) { FLocked = value; }
  void SetClock(TMusicClock clock) { FClock = std::move(clock); }

  TOxaButton* NextButton() const noexcept { return FNext; }
  TMusicViewIcon* ViewIcon() const noexcept { return FIcon; }
  TOxaLabel* CaptionLabel() const noexcept { return FCaption; }
  TMusicSearchProgress* Progress() const noexcept { return FProgress; }
  TMusicSelectView* Selector() const noexcept { return FSelector; }
  TOxaRotateBitmap* Turn() const noexcept { return FTurn; }

  // The icon's mouse (icon coordinates).
  void IconMouseDown(TMouseButton button, int x, int y);
  void IconMouseMove(int x, int y);
  void IconMouseUp(TMouseButton button);
  void IconCaptureLost();

  void ContentChanged() override;

  TOxaNodeEvent OnViewChanged;
  TMusicButtonClickEvent OnButtonClick;

 private:
  void RebuildImages();
  void CloseSelector();
  // The chosen kind, the caption cleared and the icon on its first animation frame, as a view
  // is being changed.
  void MarkChosen(TMusicListViewItemKinds kind);
  void TurnTo(const TOxaBitmap* picture, bool forwards);
  void NextClicked(TOxaBitmap* sender);
  int IndexOfKind(TMusicListViewItemKinds kind) const noexcept;

  std::vector<TMusicListViewItemKinds> FKinds;
  std::vector<std::string> FNames;
  std::vector<std::string> FCaptions;
  TMusicListViewItemKinds FCurrent = TMusicListViewItemKinds::mlkTrack;
  TMusicListViewItemKinds FChosen = TMusicListViewItemKinds::mlkTrack;
  bool FHasCurrent = false;
  std::string FImageName;
  std::vector<TOxaBitmap*> FFrames;
  const TOxaBitmaps* FFrameStore = nullptr;
  const TOxaBitmap* FShownSource = nullptr;
  bool FLocked = false;
  bool FRebuilding = false;
  TOxaButton* FNext;
  TMusicViewIcon* FIcon;
  TOxaLabel* FCaption;
  TMusicSearchProgress* FProgress;
  TMusicSelectView* FSelector = nullptr;
  TOxaRotateBitmap* FTurn;
  TMusicClock FClock;
};

// One footer button: name, caption, width, placement, shown at the start.
struct TMusicFooterButtonSpec {
  const char* Name;
  const char* Caption;
  int Width;
  TOxaAlign Placement;
  bool Shown;
};
inline constexpr std::size_t kMusicFooterButtonCount = 11;
extern const TMusicFooterButtonSpec kMusicFooterButtons[kMusicFooterButtonCount];

// Where the centred buttons of a footer go: one row, in order, centred between the end of the
// buttons stacked at the left (left) and the start of those stacked at the right (right). A row
// wider than that space shrinks its buttons in proportion to their widths so that it fills the
// space exactly (never below 1 pixel each). Each entry is a button's left edge and width.
struct TFooterPlace {
  int Left = 0;
  int Width = 0;
  friend bool operator==(const TFooterPlace&, const TFooterPlace&) = default;
};
std::vector<TFooterPlace> PlaceCentredButtons(int left, int right, const std::vector<int>& widths);

class TMusicListFooter : public TOxaDarkenBitmap {
 public:
  explicit TMusicListFooter(TOxaObjects* parentList = nullptr);
  static constexpr int FooterHeight = 68;
  static constexpr int ButtonMargin = 2;

  int ButtonCount() const noexcept { return int(FButtons.size()); }
  TOxaButton* Buttons(int index) const { return FButtons.at(std::size_t(index)); }
  // By name (exact), null when there is none.
  TOxaButton* Button(std::string_view name) const noexcept;
  TMusicSearchProgress* Progress() const noexcept { return FProgress; }

  TMusicButtonClickEvent OnButtonClick;

  // The stacked buttons as placed by alignment; the centred ones shown share the space between
  // them (PlaceCentredButtons), so two of them never lie on top of each other.
  void Realign() override;
  // A centred button shown or hidden places the row again.
  void ChildChanged(TOxaBitmap* child) override;

 private:
  void Clicked(TOxaBitmap* sender);
  std::vector<TOxaButton*> FButtons;
  // The visibility of each button at the last placing.
  std::vector<bool> FPlacedVisible;
  TMusicSearchProgress* FProgress;
};

// A music list with its header and footer; dims as a whole.
class TMusicListViewEx : public TOxaBitmap {
 public:
  // Its own font set and store lie over the asset sets.
  TMusicListViewEx(TOxaObjects* parentList, TOxaFonts* assetFonts, TOxaBitmaps* assetStore);
  ~TMusicListViewEx() override;
  static constexpr TOxaColor DimColor = 0x464646;
  static constexpr TOxaColor DividerColor = 0x464646;

  TMusicListHeader* Header() const noexcept { return FHeader; }
  TMusicListFooter* Footer() const noexcept { return FFooter; }
  TMusicListView* List() const noexcept { return FList; }
  TOxaBitmap* Divider() const noexcept { return FDivider; }
  TOxaFonts* OwnFonts() const noexcept { return FOwnFonts.get(); }
  TOxaBitmaps* OwnStore() const noexcept { return FOwnStore.get(); }

  // The list's transient state goes (TDisplayListView::DropTransientState) and an open view
  // selector closes.
  void DropTransientState();

  bool Active() const noexcept { return FActive; }
  // Inactive: the dimmed fonts and the "G" images stand in; active: the asset set's own.
  void SetActive(bool value);

  TMusicButtonClickEvent OnButtonClick;

 private:
  void ButtonClicked(TOxaBitmap* sender, TOxaButton* button);
  TOxaFonts* FAssetFonts;
  TOxaBitmaps* FAssetStore;
  TOwnedObject<TOxaFonts> FOwnFonts;
  TOwnedObject<TOxaBitmaps> FOwnStore;
  TOxaBitmap* FDivider;
  TMusicListHeader* FHeader;
  TMusicListFooter* FFooter;
  TMusicListView* FList;
  bool FActive = true;
};
