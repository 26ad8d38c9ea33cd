#pragma once
// Labels and buttons: TOxaLabel sets a caption in the node's font and sizes its surface to the
// text; TOxaDarkenLabel darkens that surface; TOxaButton adds six state images that follow the
// mouse, a press, a toggle and the disabled flag.
//
// Decisions of this implementation:
// - The text is laid out again inside Update whenever the label's content changed since the
//   last layout (caption, font, font set, colours, size, darkening), so an inherited font that
//   changes, or a glyph store that is reloaded, never leaves a stale caption.
// - A maximum of -1 follows the node's size less twice the frame and margin, so the surface of
//   such a label fits its node.
// - The text surface sits in the node by the alignment horizontally and centred vertically
//   (PlaceText); a button puts it under its state image.
// - The surface's margins take the background of the text (the glyph store's key colour or the
//   platform font's background); a label without font has frame and margins only.
// - A surface drawn with a font (glyphs or the platform's) is laid over the label's own
//   background (the parent's pixels when the label is transparent) by each pixel's share of ink
//   (OxaInkBlend): key pixels let the background show, anti-aliased edges mix with it instead of
//   carrying the key's colour along as a fringe. Only the frame is copied whole, so a frame of the
//   key colour still shows. A label without font is copied plainly.

#include <array>
#include <cstdint>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"

// A new label's text limits: no limit.
constexpr std::int32_t kOxaLabelNoLimit = 0x7FFFFFFF;
// A text limit that follows the node's size.
constexpr std::int32_t kOxaLabelNodeSize = -1;

constexpr int kOxaAlignLeft = 0;
constexpr int kOxaAlignRight = 1;
constexpr int kOxaAlignCenter = 2;

// Shows node's rectangle in its control's window now, composed from the root of its tree: for
// nodes through which what lies below shows (transparent, translucent), which cannot be drawn
// on their own. Nothing happens for a hidden or detached node or a window not showing.
void OxaRepaintFromRoot(TOxaBitmap& node);

class TOxaLabel : public TOxaBitmap {
 public:
  explicit TOxaLabel(TOxaObjects* parentList = nullptr);
  ~TOxaLabel() override;
  TOxaLabel(const TOxaLabel&) = delete;
  TOxaLabel& operator=(const TOxaLabel&) = delete;

  // Another label's frame, margins, colour set, alignment and caption; anything else goes to
  // the node.
  void Assign(const TPersistent& source) override;

  const std::string& Caption() const noexcept { return FCaption; }
  // Only a different text changes anything.
  void SetCaption(const std::string& value);
  int Alignment() const noexcept { return FAlignment; }
  void SetAlignment(int value);
  int FrameWidth() const noexcept { return FFrameWidth; }
  void SetFrameWidth(int value);
  int HorzMargin() const noexcept { return FHorzMargin; }
  void SetHorzMargin(int value);
  int VertMargin() const noexcept { return FVertMargin; }
  void SetVertMargin(int value);
  TOxaColor FrameColor() const noexcept { return FFrameColor; }
  void SetFrameColor(TOxaColor value);
  TOxaColors* CaptionColors() const noexcept { return FCaptionColors; }
  void SetCaptionColors(TOxaColors* value);
  std::int32_t MaxTextWidth() const noexcept { return FMaxTextWidth; }
  void SetMaxTextWidth(std::int32_t value);
  std::int32_t MaxTextHeight() const noexcept { return FMaxTextHeight; }
  void SetMaxTextHeight(std::int32_t value);
  bool IsTextChanged() const noexcept { return FTextChanged; }
  // The laid-out text of the last update.
  const TOxaTextBlock& TextBlock() const noexcept { return FBlock; }
  // How many times the text was laid out and drawn.
  int TextUpdates() const noexcept { return FTextUpdates; }

  // Marks the text for layout and repaints.
  virtual void TextChanged();
  void Update() override;
  void ContentChanged() override;
  void DrawImageTo(TOxaBitmap& target, int x, int y, const RECT& clip) override;

  // Whether the surface was drawn with a font, so its pixels of SurfaceKey let the background show.
  bool KeyedSurface() const noexcept { return FKeyed; }
  // The key colour as the surface holds it.
  TOxaColor SurfaceKey() const noexcept { return FSurfaceKey; }
  // The distance of the text's ink from the key (OxaInkReach), 0 when the surface shows no text.
  int InkReach() const noexcept { return FInkReach; }

 protected:
  // For a subclass that recolours the whole surface after the text is drawn.
  void SetSurfaceKey(TOxaColor value) noexcept { FSurfaceKey = value; }
  // Places the text surface (the image rectangle) inside the node.
  virtual void PlaceText();
  // Runs after each text update, with the surface drawn.
  virtual void TextUpdated() {}
  void ParentResize() override;
  void Resized() override;
  bool InTextUpdate() const noexcept { return FTextUpdating != 0; }

 private:
  void UpdateText();
  int MeasureInk();
  void ColorsDestroyed(TObject* sender);
  void ColorsChanged(TObject* sender);

  std::string FCaption;
  std::uint8_t FAlignment = kOxaAlignLeft;
  bool FTextChanged = true;
  std::int32_t FFrameWidth = 0;
  std::int32_t FHorzMargin = 0;
  std::int32_t FVertMargin = 0;
  TOxaColor FFrameColor = 0;
  TOxaColors* FCaptionColors = nullptr;
  std::int32_t FMaxTextWidth = kOxaLabelNoLimit;
  std::int32_t FMaxTextHeight = kOxaLabelNoLimit;
  TOxaTextBlock FBlock;
  bool FKeyed = false;
  TOxaColor FSurfaceKey = 0;
  int FInkReach = 0;
  int FTextUpdating = 0;
  int FTextUpdates = 0;
};

// A label whose surface is darkened after its text is drawn.
class TOxaDarkenLabel : public TOxaLabel {
 public:
  using TOxaLabel::TOxaLabel;

  std::uint8_t Darken() const noexcept { return FDarken; }
  void SetDarken(std::uint8_t value);
  bool DarkenPending() const noexcept { return FDarkenPending; }

 protected:
  void TextUpdated() override;

 private:
  std::uint8_t FDarken = 0;
  bool FDarkenPending = false;
};

// The states of a button, matching the state sets.
constexpr int kOxaButtonStates = 6;
// The image name suffix of each state.
constexpr std::array<const char*, kOxaButtonStates> kOxaButtonSuffixes = {"N", "NA", "R", "RA", "RG", "D"};
// The state whose image stands in for a missing one (a state standing for itself has none).
constexpr std::array<int, kOxaButtonStates> kOxaButtonFallbacks = {0, 0, 0, 2, 2, 0};

class TOxaButton : public TOxaLabel {
 public:
  explicit TOxaButton(TOxaObjects* parentList = nullptr);
  TOxaButton(const TOxaButton&) = delete;
  TOxaButton& operator=(const TOxaButton&) = delete;

  // The images are found in the store under Name + suffix.
  const std::string& Name() const noexcept { return FName; }
  void SetName(const std::string& value);

  // The state shown: 5 disabled; 3 or 2 under the mouse; else 1 or 0.
  int State() const noexcept { return FState; }
  TOxaBitmap* StateImage(int state) const { return FImages.at(std::size_t(state)); }
  // The store image a state shows (after the fallbacks), null when none.
  TOxaBitmap* StateSource(int state) const { return FSources.at(std::size_t(state)); }
  // The numbers a state's colour and font are looked up under (the state itself by default).
  int StateFont(int state) const { return FStateFonts.at(std::size_t(state)); }
  void SetStateFont(int state, int number);
  int StateColor(int state) const { return FStateColors.at(std::size_t(state)); }
  void SetStateColor(int state, int number);

  bool Active() const noexcept { return FActive; }
  void SetActive(bool value);
  bool Pressed() const noexcept { return FPressed; }
  bool Toggle() const noexcept { return FToggle; }
  void SetToggle(bool value) { FToggle = value; }
  bool Disabled() const noexcept { return FDisabled; }
  void SetDisabled(bool value);
  // The caption colour of the state shown, from the caption colour set (0 without one).
  TOxaColor CaptionColor() const noexcept { return FCaptionColor; }

  // Looks the six images up again and shows the state's.
  void RebuildImages();
  void ContentChanged() override;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Click() override;
  void MouseEnter() override;
  void MouseLeave() override;
  void CaptureLost() override;
  // Hit where the caption is or where a visible child is.
  bool PtInImage(POINT p) const noexcept override;
  // A button has no background of its own: its rectangle is repainted from the whole tree.
  void PaintToControl() override;

 protected:
  void PlaceText() override;
  void Resized() override;

 private:
  bool Hovered() const noexcept;
  void ApplyState();
  void PlaceImages();
  // The store, font set and colour set the images were last built from differ from today's.
  bool ImagesStale() const noexcept;

  std::string FName;
  std::array<TOxaBitmap*, kOxaButtonStates> FImages{};
  std::array<TOxaBitmap*, kOxaButtonStates> FSources{};
  // The store chain FSources were looked up in.
  TOxaStoreStamp FSourcesStamp;
  std::array<TOxaFont*, kOxaButtonStates> FFontsUsed{};
  std::array<int, kOxaButtonStates> FStateFonts{0, 1, 2, 3, 4, 5};
  std::array<int, kOxaButtonStates> FStateColors{0, 1, 2, 3, 4, 5};
  int FState = 0;
  TOxaColor FCaptionColor = 0;
  bool FImagesDirty = true;
  bool FActive = false;
  bool FPressed = false;
  bool FToggle = false;
  bool FDisabled = false;
  // The font shown is a state image's, not the button's own.
  bool FFontTaken = false;
  int FRebuilding = 0;
};
