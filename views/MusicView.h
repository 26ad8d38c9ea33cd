#pragma once
// The music view: the browser panels beside the track info panel, and the glue between the
// info panel and the player: the slider follows the player's position, a released knob seeks,
// and edited fields go back to the file (through the player) and to the library.
//
// Decisions of this implementation:
// - The browser panels sit in Browser(), a node that fills what the info panel leaves; the
//   info panel is InfoWidth wide at the right and hidden until ShowInfo.
// - After an edit the library record follows at once (its groups and title move); OnTrackEdited
//   tells the owner, whose lists reload their captions.

#include <cstdint>
#include <functional>

#include "graphics/OxaBitmap.h"
#include "library/DbId.h"
#include "playback/OxaMusicPlayer.h"
#include "views/MusicViewSlider.h"
#include "views/MusicViewTags.h"
#include "views/OxaMusicInfo.h"

class TMusicView;
using TMusicViewEditEvent = TMethod<void(TMusicView* sender, std::int32_t fileId, const TOxaTrackEdit& edit)>;

class TMusicView : public TOxaBitmap {
 public:
  static constexpr int InfoWidth = 420;
  using TClock = std::function<std::uint64_t()>;

  explicit TMusicView(TOxaObjects* parentList = nullptr);

  TOxaMusicPlayer* Player() const noexcept { return FPlayer; }
  void SetPlayer(TOxaMusicPlayer* value) { FPlayer = value; }
  TOxaBitmap* Browser() const noexcept { return FBrowser; }
  TOxaMusicInfo* Info() const noexcept { return FInfo; }
  const TMusicViewSlider& Slider() const noexcept { return FSlider; }
  void SetClock(TClock clock) { FClock = std::move(clock); }

  bool InfoShown() const noexcept { return FInfo->Visible(); }
  void ShowInfo(bool value);

  // The track display: the library's record of item goes to the info panel, editable when the
  // player can write the file's tag. Without a player it raises EOxaFatal
  // "FPlayer is nil - needs some displaying (MusicView)" and changes nothing.
  void DisplayTrack(const TDbId& item);
  // The same for a record at hand (fileId -1: a file the library does not hold).
  void DisplayFile(const TMusicFileItem& track, std::int32_t view, std::int32_t fileId);
  std::int32_t FileId() const noexcept { return FFileId; }
  // The player's position in tenths of a second.
  void SetPlayPosition(std::int32_t tenths);
  // The track shown played to its end: the slider and the elapsed time show its whole length
  // (the player's last position comes a little before the end).
  void MarkFinished();

  TMusicViewEditEvent OnTrackEdited;

 protected:
  void Resized() override;

 private:
  void RequirePlayer() const;
  void PlaceParts();
  void DragStarted(TOxaMusicInfoTrackBar* sender, std::int32_t value);
  void Released(TOxaMusicInfoTrackBar* sender, std::int32_t value);
  void FieldEdited(TOxaMusicInfoItem* sender, TOxaMusicInfoItemKind kind, const std::string& text);

  TOxaMusicPlayer* FPlayer = nullptr;
  TOxaBitmap* FBrowser;
  TOxaMusicInfo* FInfo;
  TMusicViewSlider FSlider;
  TClock FClock;
  std::int32_t FFileId = -1;
};

// The program's main node: the container start-up puts the music view in, filling it.
class TMusicViewPanel : public TOxaBitmap {
 public:
  explicit TMusicViewPanel(TOxaObjects* parentList = nullptr);
  TMusicView* View() const noexcept { return FView; }

 private:
  TMusicView* FView;
};
