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
// - The shown track's cover is asked of the cover loader; when it arrives, a message to the
//   view's own message window puts it in the panel, if the track is still the one shown.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "framework/OxaMessageWindow.h"
#include "graphics/OxaBitmap.h"
#include "library/CoverLoader.h"
#include "library/DbId.h"
#include "playback/OxaMusicPlayer.h"
#include "views/info/MusicViewSlider.h"
#include "views/info/MusicViewTags.h"
#include "views/info/OxaMusicInfo.h"

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

  // The loader of covers for the panel and the lists, made on first use with its cache in the
  // player's library folder; null without a player or when its message window cannot be had.
  std::shared_ptr<TCoverLoader> Covers();
  // Covers arrived, after the panel took its own: the lists' turn.
  std::function<void()> OnCoversArrived;
  // The message the loader posts to the view's window when a cover is ready.
  static constexpr UINT CoverReadyMessage = WM_APP + 0x148;

 protected:
  void Resized() override;

 private:
  void RequirePlayer() const;
  void PlaceParts();
  void DragStarted(TOxaMusicInfoTrackBar* sender, std::int32_t value);
  void Released(TOxaMusicInfoTrackBar* sender, std::int32_t value);
  void FieldEdited(TOxaMusicInfoItem* sender, TOxaMusicInfoItemKind kind, const std::string& text);
  // Puts the shown file's cover in the panel when the loader has it, and asks for it otherwise.
  void ShowCover();
  void CoverMessage(TObject* sender, TMessage& message, bool& handled);

  TOxaMusicPlayer* FPlayer = nullptr;
  TOxaBitmap* FBrowser;
  TOxaMusicInfo* FInfo;
  TMusicViewSlider FSlider;
  TClock FClock;
  std::int32_t FFileId = -1;
  std::string FCoverFile;
  bool FCoverWindowFailed = false;
  TOxaMessageWindow FCoverWindow;
  // Shared with the lists; its thread posts to FCoverWindow, a post to a window gone is lost.
  std::shared_ptr<TCoverLoader> FCovers;
};

// The program's main node: the container start-up puts the music view in, filling it.
class TMusicViewPanel : public TOxaBitmap {
 public:
  explicit TMusicViewPanel(TOxaObjects* parentList = nullptr);
  TMusicView* View() const noexcept { return FView; }

 private:
  TMusicView* FView;
};
