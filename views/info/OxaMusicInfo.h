#pragma once
// The track info panel: the body with the track's fields, the position slider under it and the
// footer with its "CLOSE INFO" button.
//
// Decisions of this implementation:
// - The slider is 24 high across the panel: a 2-pixel line and the "Head" knob centred on the
//   value's place; pressing anywhere on it starts a drag that follows the pointer, releasing
//   reports the value (OnRelease). Dragging is the owner's to honour (TMusicView).

#include <cstdint>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaButton.h"
#include "rtl/Method.h"
#include "views/info/OxaMusicInfoBody.h"

class TOxaMusicInfoTrackBar;
using TOxaTrackBarEvent = TMethod<void(TOxaMusicInfoTrackBar* sender, std::int32_t value)>;

class TOxaMusicInfoTrackBar : public TOxaBitmap {
 public:
  static constexpr std::int32_t MaxValue = 999;
  static constexpr int BarHeight = 24;
  static constexpr TOxaColor LineColor = 0x969696;
  static constexpr TOxaColor PlayedColor = 0x0032FF;

  explicit TOxaMusicInfoTrackBar(TOxaObjects* parentList = nullptr);

  std::int32_t Value() const noexcept { return FValue; }
  // Moves the knob; 0..999.
  void SetValue(std::int32_t value);
  bool Dragging() const noexcept { return FDragging; }
  TOxaBitmap* Knob() const noexcept { return FKnob; }
  // The value at x (node coordinates) for a bar of width with a knob of knobWidth.
  static std::int32_t ValueAt(int x, int width, int knobWidth) noexcept;
  // The knob's left edge for a value.
  static int KnobLeft(std::int32_t value, int width, int knobWidth) noexcept;

  void ContentChanged() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void CaptureLost() override;

  TOxaTrackBarEvent OnDragStart;
  TOxaTrackBarEvent OnDragMove;
  TOxaTrackBarEvent OnRelease;

 protected:
  void Resized() override;

 private:
  void Compose();
  TOxaBitmap* FKnob;
  std::int32_t FValue = 0;
  bool FDragging = false;
  bool FComposing = false;
};

class TOxaMusicInfoFooter : public TOxaDarkenBitmap {
 public:
  static constexpr int FooterHeight = 68;
  explicit TOxaMusicInfoFooter(TOxaObjects* parentList = nullptr);
  TOxaButton* HideButton() const noexcept { return FHide; }

 private:
  TOxaButton* FHide;
};

class TOxaMusicInfoAssetsForm;
class TMusicAssetsForm;

class TOxaMusicInfo : public TOxaBitmap {
 public:
  explicit TOxaMusicInfo(TOxaObjects* parentList = nullptr);

  // The info container's store and text font for the body and slider; the music container's
  // store, font and sets for the footer and the track label.
  void SetAssets(TOxaMusicInfoAssetsForm& info, TMusicAssetsForm& music);

  TOxaMusicInfoBody* Body() const noexcept { return FBody; }
  TOxaMusicInfoTrackBar* TrackBar() const noexcept { return FTrackBar; }
  TOxaMusicInfoFooter* Footer() const noexcept { return FFooter; }

  // The footer's "CLOSE INFO".
  TOxaNodeEvent OnHide;

 private:
  void HideClicked(TOxaBitmap* sender);
  TOxaMusicInfoBody* FBody;
  TOxaMusicInfoTrackBar* FTrackBar;
  TOxaMusicInfoFooter* FFooter;
};
