// Commands from outside the bus: the media keys of the keyboard and of remotes seen as one, the
// infrared daemon's keys and the session bus's media-player interface, all handed to the same
// handlers as the host's remote keys.

#include <algorithm>
#include <cstdint>
#include <string>
#include <system_error>

#include "Music/control/MusicRemoteCommands.h"
#include "Music/form/Music.h"
#include "framework/OxaUtils.h"
#include "platform/core/LastError.h"
#include "platform/windows/HotKeys.h"
#include "rtl/Registry.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "views/info/MusicViewTags.h"

namespace {

// The remote settings: "Keys", the user's key mapping (docs/keys.md); "LircSocket", the
// infrared daemon's socket when it is not the usual one.
const std::string RemoteRegistryKey = std::string(PlayerRegistryKey) + "\\Remote";
// The player counts in tenths of a second, the session bus in microseconds.
constexpr std::int64_t MicrosPerTenth = 100000;

struct TRemoteSettings {
  std::string Keys;
  std::string LircSocket;
};

TRemoteSettings ReadRemoteSettings()
{
  TRemoteSettings settings;
  TRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly(RemoteRegistryKey)) {
    return settings;
  }
  try {
    settings.Keys = registry.ReadString("Keys");
    settings.LircSocket = registry.ReadString("LircSocket");
  } catch (const ERegistryException& e) {
    Trace("Remote settings unusable (%s); the defaults serve", e.Message());
  }
  return settings;
}

TMprisTrack::TStatus StatusOf(BYTE state) noexcept
{
  switch (state) {
    case OxaAudPlaying:
      return TMprisTrack::TStatus::Playing;
    case OxaAudPaused:
      return TMprisTrack::TStatus::Paused;
    default:
      return TMprisTrack::TStatus::Stopped;
  }
}

}  // namespace

void TMusicForm::StartOutside()
{
  const TRemoteSettings settings = ReadRemoteSettings();
  FOutsideKeys = TOutsideKeyMap::Defaults();
  if (const std::size_t rejected = FOutsideKeys.Apply(settings.Keys); rejected != 0) {
    Trace("Remote: %d entries of the key setting left out", static_cast<int>(rejected));
  }
  // Without a thread for it the daemon is not followed; everything else works as before.
  try {
    FLirc = std::make_unique<TMusicLircReader>(
        settings.LircSocket.empty() ? std::string(TMusicLircReader::DefaultSocket) : settings.LircSocket,
        FOutsideKeys, Handle());
  } catch (const std::system_error& e) {
    Trace("Lirc: not followed (%s)", std::string(e.what()));
  }
  FMpris = TMusicMpris::Start(Handle());
  GrabOutsideKeys(FPresentation.DisplayMode == HiddenMode);
  PublishOutside();
}

void TMusicForm::StopOutside() noexcept
{
  GrabOutsideKeys(false);
  FOutsideKeys = TOutsideKeyMap();
  FLirc.reset();
  FMpris.reset();
}

void TMusicForm::GrabOutsideKeys(bool hidden)
{
  // Nothing is bound before the remotes start and after they stop.
  if (FOutsideKeys.Bindings().empty() || hidden == FOutsideKeysGrabbed || !HandleAllocated()) {
    return;
  }
  FOutsideKeysGrabbed = hidden;
  std::string refused;
  for (const UINT key : FOutsideKeys.BoundVirtualKeys()) {
    // One hot key per key: its id is its virtual key.
    const int id = static_cast<int>(key);
    if (!hidden) {
      UnregisterHotKey(Handle(), id);
    } else if (!RegisterHotKey(Handle(), id, 0, key)) {
      refused += " " + std::to_string(key) + "/" + std::to_string(GetLastError());
    }
  }
  // Keys another program holds, or this keyboard lacks, act only while the browser shows.
  if (!refused.empty()) {
    Trace("Remote: keys not taken while the browser hides (key/error):%s", refused);
  }
}

void TMusicForm::OutsideCommand(const TOutsideAction& action)
{
  if (!FActivity.Running) {
    return;
  }
  TraceObject(this, "OutsideCommand: %s", OutsideActionName(action));
  switch (action.Command) {
    case TOutsideCommand::None:
      break;
    case TOutsideCommand::StepUp:
      RemoteKey(TSourceKey::StepUp, 0);
      break;
    case TOutsideCommand::StepDown:
      RemoteKey(TSourceKey::StepDown, 0);
      break;
    case TOutsideCommand::Wind:
      RemoteKey(TSourceKey::Wind, 0);
      break;
    case TOutsideCommand::Rewind:
      RemoteKey(TSourceKey::Rewind, 0);
      break;
    case TOutsideCommand::Play:
      RemoteKey(TSourceKey::Play, 0);
      break;
    case TOutsideCommand::Stop:
      RemoteKey(TSourceKey::Stop, 0);
      break;
    case TOutsideCommand::Digit:
      RemoteKey(TSourceKey::Digit, static_cast<std::int32_t>(action.Value));
      break;
    case TOutsideCommand::Menu:
      RemoteKey(TSourceKey::Menu, 0);
      break;
    case TOutsideCommand::Random:
      RemoteKey(TSourceKey::Random, 0);
      break;
    case TOutsideCommand::ControlRed:
      RemoteKey(TSourceKey::ControlRed, 0);
      break;
    case TOutsideCommand::ControlGreen:
      RemoteKey(TSourceKey::ControlGreen, 0);
      break;
    case TOutsideCommand::ControlYellow:
      RemoteKey(TSourceKey::ControlYellow, 0);
      break;
    case TOutsideCommand::ControlBlue:
      RemoteKey(TSourceKey::ControlBlue, 0);
      break;
    case TOutsideCommand::Pause:
      NoteUserInput();
      FPlayer->Pause();
      break;
    case TOutsideCommand::PlayPause:
      if (FPlayer->State() == OxaAudPlaying) {
        NoteUserInput();
        FPlayer->Pause();
      } else {
        RemoteKey(TSourceKey::Play, 0);
      }
      break;
    case TOutsideCommand::Raise:
      // As a second start does: forward first, then the browser over the black main window.
      Application().Restore();
      if (FPresentation.DisplayMode == HiddenMode) {
        SetDisplayMode(2);
      }
      ArrangeWindows();
      break;
    case TOutsideCommand::Quit:
      NodeClose(nullptr);
      break;
    case TOutsideCommand::SeekBy:
    case TOutsideCommand::SeekTo: {
      if (FPlayer->CurrentItem().Empty()) {
        break;
      }
      const std::int64_t from = action.Command == TOutsideCommand::SeekBy ? FPlayer->Position() : 0;
      // Any offset a client sends stays a position the player can take.
      const std::int64_t to = std::clamp<std::int64_t>(from + action.Value / MicrosPerTenth, 0, INT32_MAX);
      const std::int64_t length = FMprisTrack.LengthMicros / MicrosPerTenth;
      // A seek past the end moves on to the next track; a position set past it is no position.
      if (length > 0 && to >= length) {
        if (action.Command == TOutsideCommand::SeekBy) {
          RemoteKey(TSourceKey::StepUp, 0);
        }
      } else if (FPlayer->Seek(static_cast<std::int32_t>(to)) && FMpris) {
        FMpris->Seeked(to * MicrosPerTenth);
      }
      break;
    }
    case TOutsideCommand::SetShuffle:
      if (FNavigator->Shuffle != (action.Value != 0)) {
        RemoteKey(TSourceKey::Random, 0);
      }
      break;
  }
}

void TMusicForm::PublishOutside()
{
  if (!FMpris || !FActivity.Running) {
    return;
  }
  const TDbId& item = FNavigator->CurrentItem;
  const bool track = item.Level() == TDbIdLevel::Item;
  const bool sameTrack = track ? !FMprisItem.Empty() && item.SameItem(FMprisItem) : FMprisItem.Empty();
  if (!sameTrack) {
    FMprisItem = track ? item : TDbId();
    FMprisTrack = TMprisTrack{};
    std::int32_t fileId = -1;
    TMusicFileItem record;
    if (track && FPlayer->Database().ResolveFileId(item.ViewId, item.FileId, fileId) &&
        OxaReadTrackRecord(FPlayer->Database(), fileId, record)) {
      FMprisTrack.Id = std::to_string(fileId);
      FMprisTrack.Title = record.Title;
      FMprisTrack.Artist = record.Artist == UnknownText ? std::string() : record.Artist;
      FMprisTrack.Album = record.Album == UnknownText ? std::string() : record.Album;
      FMprisTrack.LengthMicros = static_cast<std::int64_t>(record.Duration) * 1000000;
    } else if (track) {
      FMprisTrack.Id = std::to_string(item.ViewId) + "_" + std::to_string(item.FileId);
      FMprisTrack.Title = item.Caption;
    }
  }
  FMprisTrack.TrackNumber = track && FNavigator->TrackNumber > 0 ? FNavigator->TrackNumber : 0;
  FMprisTrack.Status = StatusOf(FPlayer->State());
  FMprisTrack.Shuffle = FNavigator->Shuffle;
  FMpris->Publish(FMprisTrack);
}
