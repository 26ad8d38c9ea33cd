#include "Music/mpris/MusicMpris.h"

#include <sdbus-c++/sdbus-c++.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "Music/control/MusicOutsideKeys.h"
#include "framework/OxaUtils.h"
#include "platform/objects/DescriptorWait.h"
#include "platform/windows/Messages.h"

namespace {

const std::string ObjectPath = "/org/mpris/MediaPlayer2";
const std::string RootInterface = "org.mpris.MediaPlayer2";
const std::string PlayerInterface = "org.mpris.MediaPlayer2.Player";
// The track id of "no track", as the interface defines it.
const std::string NoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

const char* StatusName(TMprisTrack::TStatus status) noexcept
{
  switch (status) {
    case TMprisTrack::TStatus::Playing:
      return "Playing";
    case TMprisTrack::TStatus::Paused:
      return "Paused";
    case TMprisTrack::TStatus::Stopped:
      break;
  }
  return "Stopped";
}

// A track id is an object path: letters, digits and "_" only in its elements.
std::string TrackPath(const std::string& id)
{
  if (id.empty()) {
    return NoTrack;
  }
  std::string path = "/org/oxanetmusic/track/t";
  for (const char c : id) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    path += plain ? c : '_';
  }
  return path;
}

}  // namespace

struct TMusicMpris::TServer {
  TServer(HWND window, std::unique_ptr<sdbus::IConnection> connection)
      : Window(window),
        Connection(std::move(connection)),
        Object(sdbus::createObject(*Connection, ObjectPath))
  {
    Register();
    Thread = std::thread([this] { Run(); });
  }

  ~TServer()
  {
    Stopping = true;
    Wake.Wake();
    Thread.join();
  }

  void Post(TOutsideCommand command, std::int64_t value = 0) const
  {
    PostMessageA(Window, WM_OUTSIDECOMMAND, static_cast<WPARAM>(command), static_cast<LPARAM>(value));
  }

  TMprisTrack Track() const
  {
    const std::lock_guard guard(Lock);
    return Shown;
  }

  std::map<std::string, sdbus::Variant> Metadata() const
  {
    const TMprisTrack track = Track();
    std::map<std::string, sdbus::Variant> metadata;
    metadata["mpris:trackid"] = sdbus::Variant(sdbus::ObjectPath(TrackPath(track.Id)));
    if (track.Id.empty()) {
      return metadata;
    }
    metadata["mpris:length"] = sdbus::Variant(track.LengthMicros);
    metadata["xesam:title"] = sdbus::Variant(track.Title);
    if (!track.Artist.empty()) {
      metadata["xesam:artist"] = sdbus::Variant(std::vector<std::string>{track.Artist});
    }
    if (!track.Album.empty()) {
      metadata["xesam:album"] = sdbus::Variant(track.Album);
    }
    if (track.TrackNumber > 0) {
      metadata["xesam:trackNumber"] = sdbus::Variant(track.TrackNumber);
    }
    return metadata;
  }

  void Register()
  {
    const auto method = [this](const char* name, TOutsideCommand command) {
      Object->registerMethod(name).onInterface(PlayerInterface).implementedAs([this, command] {
        Post(command);
      });
    };
    Object->registerMethod("Raise").onInterface(RootInterface).implementedAs([this] {
      Post(TOutsideCommand::Raise);
    });
    Object->registerMethod("Quit").onInterface(RootInterface).implementedAs([this] {
      Post(TOutsideCommand::Quit);
    });
    const auto constant = [this](const std::string& interface, const char* name, auto value) {
      Object->registerProperty(name).onInterface(interface).withGetter([value] { return value; });
    };
    constant(RootInterface, "CanQuit", true);
    constant(RootInterface, "CanRaise", true);
    constant(RootInterface, "HasTrackList", false);
    constant(RootInterface, "Identity", std::string("OxaNetMusic"));
    constant(RootInterface, "DesktopEntry", std::string("oxanetmusic"));
    constant(RootInterface, "SupportedUriSchemes", std::vector<std::string>{});
    constant(RootInterface, "SupportedMimeTypes", std::vector<std::string>{});

    method("Next", TOutsideCommand::StepUp);
    method("Previous", TOutsideCommand::StepDown);
    method("Pause", TOutsideCommand::Pause);
    method("PlayPause", TOutsideCommand::PlayPause);
    method("Stop", TOutsideCommand::Stop);
    method("Play", TOutsideCommand::Play);
    Object->registerMethod("Seek")
        .onInterface(PlayerInterface)
        .withInputParamNames("Offset")
        .implementedAs([this](std::int64_t offset) { Post(TOutsideCommand::SeekBy, offset); });
    Object->registerMethod("SetPosition")
        .onInterface(PlayerInterface)
        .withInputParamNames("TrackId", "Position")
        .implementedAs([this](const sdbus::ObjectPath& track, std::int64_t position) {
          // A position for a track that no longer plays is ignored, as the interface asks.
          if (track == TrackPath(Track().Id) && position >= 0) {
            Post(TOutsideCommand::SeekTo, position);
          }
        });
    Object->registerMethod("OpenUri")
        .onInterface(PlayerInterface)
        .withInputParamNames("Uri")
        .implementedAs([](const std::string&) {});
    Object->registerSignal("Seeked").onInterface(PlayerInterface).withParameters<std::int64_t>("Position");

    Object->registerProperty("PlaybackStatus").onInterface(PlayerInterface).withGetter([this] {
      return std::string(StatusName(Track().Status));
    });
    Object->registerProperty("LoopStatus").onInterface(PlayerInterface).withGetter([] {
      return std::string("Playlist");
    });
    Object->registerProperty("Shuffle")
        .onInterface(PlayerInterface)
        .withGetter([this] { return Track().Shuffle; })
        .withSetter([this](const bool& on) { Post(TOutsideCommand::SetShuffle, on ? 1 : 0); });
    Object->registerProperty("Metadata").onInterface(PlayerInterface).withGetter([this] {
      return Metadata();
    });
    Object->registerProperty("Position").onInterface(PlayerInterface).withGetter([this] {
      return PositionMicros.load();
    });
    constant(PlayerInterface, "Rate", 1.0);
    constant(PlayerInterface, "MinimumRate", 1.0);
    constant(PlayerInterface, "MaximumRate", 1.0);
    constant(PlayerInterface, "Volume", 1.0);
    for (const char* name : {"CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek", "CanControl"}) {
      constant(PlayerInterface, name, true);
    }
    Object->finishRegistration();
  }

  void Publish(const TMprisTrack& track)
  {
    {
      const std::lock_guard guard(Lock);
      if (track == Shown) {
        return;
      }
      if (track.Status != Shown.Status) {
        Changed.insert("PlaybackStatus");
      }
      if (track.Shuffle != Shown.Shuffle) {
        Changed.insert("Shuffle");
      }
      TMprisTrack same = track;
      same.Status = Shown.Status;
      same.Shuffle = Shown.Shuffle;
      if (!(same == Shown)) {
        Changed.insert("Metadata");
      }
      Shown = track;
    }
    Wake.Wake();
  }

  // The bus's own loop, with the announcements made here too: the connection is not for two
  // threads at once.
  void Run()
  {
    while (!Stopping) {
      try {
        while (Connection->processPendingRequest()) {
        }
        Announce();
        const sdbus::IConnection::PollData poll = Connection->getEventLoopPollData();
        std::int64_t timeoutMs = -1;
        if (poll.timeout_usec != std::numeric_limits<std::uint64_t>::max()) {
          const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
          const auto left = static_cast<std::int64_t>(poll.timeout_usec) - now;
          timeoutMs = left <= 0 ? 0 : (left + 999) / 1000;
        }
        if (Wake.Wait(poll.fd, poll.events, timeoutMs) == TWaitOutcome::Failed) {
          Trace("Mpris: the wait for the session bus failed");
          return;
        }
      } catch (const sdbus::Error& error) {
        Trace("Mpris: %s; the session bus is left", error.getMessage());
        return;
      }
    }
  }

  void Seek(std::int64_t micros)
  {
    PositionMicros = micros;
    {
      const std::lock_guard guard(Lock);
      SeekedTo = micros;
    }
    Wake.Wake();
  }

  void Announce()
  {
    std::vector<std::string> names;
    std::optional<std::int64_t> seeked;
    {
      const std::lock_guard guard(Lock);
      names.assign(Changed.begin(), Changed.end());
      Changed.clear();
      seeked = std::exchange(SeekedTo, std::nullopt);
    }
    if (!names.empty()) {
      Object->emitPropertiesChangedSignal(PlayerInterface, names);
    }
    if (seeked) {
      Object->emitSignal("Seeked").onInterface(PlayerInterface).withArguments(*seeked);
    }
  }

  const HWND Window;
  std::unique_ptr<sdbus::IConnection> Connection;
  std::unique_ptr<sdbus::IObject> Object;
  TDescriptorWait Wake;
  std::atomic<bool> Stopping{false};            // shared with the bus thread
  std::atomic<std::int64_t> PositionMicros{0};  // shared with the bus thread
  mutable std::mutex Lock;                      // guards Shown, Changed and SeekedTo
  TMprisTrack Shown;
  std::set<std::string> Changed;
  std::optional<std::int64_t> SeekedTo;
  std::thread Thread;
};

std::unique_ptr<TMusicMpris> TMusicMpris::Start(HWND window)
{
  try {
    auto connection = sdbus::createSessionBusConnection(BusName);
    return std::make_unique<TMusicMpris>(std::make_unique<TServer>(window, std::move(connection)));
  } catch (const sdbus::Error& error) {
    Trace("Mpris: no media-player interface on the session bus (%s)", error.getMessage());
  } catch (const std::system_error& error) {
    Trace("Mpris: no thread for the session bus (%s)", std::string(error.what()));
  }
  return nullptr;
}

TMusicMpris::TMusicMpris(std::unique_ptr<TServer> server) noexcept : FServer(std::move(server)) {}

TMusicMpris::~TMusicMpris() = default;

void TMusicMpris::Publish(const TMprisTrack& track)
{
  FServer->Publish(track);
}

void TMusicMpris::Seeked(std::int64_t micros)
{
  FServer->Seek(micros);
}

void TMusicMpris::SetPosition(std::int64_t micros) noexcept
{
  FServer->PositionMicros = micros;
}
