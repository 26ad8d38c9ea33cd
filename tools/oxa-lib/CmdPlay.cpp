// oxa-lib play: one file, or one library item, played through the music player to its end with
// a live position line and every state change. OXA_AUDIO=null plays silently (in real time).

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <utility>

#include "library/MusicDatabase.h"
#include "platform/files/Files.h"
#include "platform/windows/Messages.h"
#include "playback/OxaMusicPlayer.h"
#include "rtl/Exception.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"
#include "tools/oxa-lib/LibraryAccess.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib play FILE | play VIEW GROUP FILE   [--seek SECONDS] [--dir LIB] [--json]\n";

bool ParseId(const std::string& text, std::int32_t& value)
{
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Seconds as given ("12", "1.5"), in tenths; nothing for a negative or unreadable value.
std::optional<std::int32_t> ParseSeek(const std::string& text)
{
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !(seconds >= 0) || seconds > 1e8) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(std::lround(seconds * 10));
}

std::string Clock(std::int32_t tenths)
{
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d.%d", tenths / 600, tenths / 10 % 60, tenths % 10);
  return text;
}

// Follows the player's events until the track ends or fails.
class TPlayWatcher : public TObject {
 public:
  TPlayWatcher(TOxaMusicPlayer& player, std::ostream& out, bool json, std::optional<std::int32_t> seek)
      : FPlayer(player), FOut(out), FJson(json), FSeek(seek)
  {
    player.OnStateChange = MakeMethod<&TPlayWatcher::StateChange>(this);
    player.OnPosition = MakeMethod<&TPlayWatcher::Position>(this);
    player.OnTrackComplete = MakeMethod<&TPlayWatcher::Complete>(this);
    player.OnTrackFailed = MakeMethod<&TPlayWatcher::TrackFailed>(this);
  }

  bool Done = false;
  bool Failed = false;
  std::int32_t LastPosition = 0;

 private:
  void EndLine()
  {
    if (FLineOpen) {
      FOut << '\n';
      FLineOpen = false;
    }
  }
  void StateChange(TObject*, BYTE state)
  {
    if (FJson) {
      TJsonWriter json(FOut);
      json.BeginObject().Key("state").String(AudioStateName(state)).EndObject();
    } else {
      EndLine();
      FOut << AudioStateName(state) << '\n';
    }
    FOut.flush();
    if (state == OxaAudPlaying && FSeek) {
      FPlayer.Seek(*std::exchange(FSeek, std::nullopt));
    }
  }
  void Position(TObject*, std::int32_t position)
  {
    LastPosition = position;
    if (FJson) {
      return;
    }
    FOut << '\r' << Clock(position) << ' ';
    FOut.flush();
    FLineOpen = true;
  }
  void Complete(TObject*)
  {
    EndLine();
    Done = true;
  }
  void TrackFailed(TObject*)
  {
    EndLine();
    Failed = true;
    Done = true;
  }

  TOxaMusicPlayer& FPlayer;
  std::ostream& FOut;
  bool FJson;
  std::optional<std::int32_t> FSeek;
  bool FLineOpen = false;
};

}  // namespace

int RunPlay(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"dir", "seek"});
  const std::vector<std::string>& words = arguments.Positional();
  if (!arguments.Error().empty() || (words.size() != 1 && words.size() != 3)) {
    err << Usage;
    return ExitUsage;
  }
  std::optional<std::int32_t> seek;
  if (const auto text = arguments.Option("seek")) {
    seek = ParseSeek(*text);
    if (!seek) {
      err << "--seek takes seconds, 0 or more\n" << Usage;
      return ExitUsage;
    }
  }
  TDbId item;
  if (words.size() == 3) {
    item.ViewId = 0;
    if (!ParseId(words[0], item.ViewId) || !ParseId(words[1], item.GroupId) ||
        !ParseId(words[2], item.FileId) || item.ViewId < ViewFolders || item.ViewId > ViewPlaylists) {
      err << "a library item is named by its view (1 to 7), group and file numbers\n" << Usage;
      return ExitUsage;
    }
  }
  try {
    TOxaMusicPlayer player;
    if (!player.Audio().HasComponent()) {
      err << "the audio component " << OxaAudModuleName << " cannot be loaded\n";
      return ExitFailure;
    }
    std::string file;
    if (words.size() == 1) {
      file = WindowsPath(words[0]);
      if (file.empty()) {
        err << "no Windows name for " << words[0] << '\n';
        return ExitFailure;
      }
      item.ViewId = ViewLooseFile;
      item.GroupId = 0;
      item.FileId = 0;
      item.Caption = file;
    } else {
      // The library is only read, so one the program has open stays as it is.
      if (!UseLibraryDirectory(player.Database(), arguments.Option("dir"), err) ||
          !OpenForReading(player.Database(), err)) {
        return ExitFailure;
      }
      TDbIdList listed;
      TDbId group = item;
      group.FileId = -1;
      if (!player.Database().GetItems(group, listed) || listed.IndexOfItem(item) < 0) {
        err << "nothing at file " << words[2] << " of group " << words[1] << " of view "
            << TMusicDatabase::ViewName(item.ViewId) << '\n';
        return ExitFailure;
      }
      item = listed.Get(listed.IndexOfItem(item));
    }
    TPlayWatcher watcher(player, out, arguments.Has("json"), seek);
    if (!player.PlayItem(item, false)) {
      if (player.CurrentFile().FileName.empty()) {
        err << "nothing to play at that item\n";
        return ExitFailure;
      }
      // A file that is not there fails at once, with no report to wait for.
      watcher.Failed = true;
      watcher.Done = true;
    }
    file = player.CurrentFile().FileName;
    MSG message{};
    while (!watcher.Done && GetMessageA(&message, nullptr, 0, 0) > 0) {
      DispatchMessageA(&message);
    }
    if (arguments.Has("json")) {
      TJsonWriter json(out);
      json.BeginObject()
          .Key("file")
          .String(file)
          .Key("result")
          .String(watcher.Failed ? "failed" : "complete")
          .Key("position")
          .Number(watcher.LastPosition)
          .EndObject();
    }
    if (watcher.Failed) {
      const DWORD attributes = GetFileAttributesA(file.c_str());
      err << "cannot play " << file << ": "
          << (attributes == INVALID_FILE_ATTRIBUTES ? "no such file" : "not music that can be decoded")
          << '\n';
      return ExitFailure;
    }
    return ExitSuccess;
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
