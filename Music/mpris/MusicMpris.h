#pragma once
// TMusicMpris: the program as a media player on the desktop's session bus, for the desktop's
// media widgets, phone remotes and command-line clients. Its calls become WM_OUTSIDECOMMAND
// messages to the main window, so they take the same road as the host's remote keys; what it
// reports is what the main window last published.
//
// The bus is served on a thread of its own; the main window's thread only publishes.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/windows/Windows.h"

struct TMprisTrack {
  enum class TStatus : std::uint8_t { Stopped, Playing, Paused };
  TStatus Status = TStatus::Stopped;
  // Empty Id: no track.
  std::string Id;
  std::string Title;
  std::string Artist;
  std::string Album;
  std::int32_t TrackNumber = 0;
  std::int64_t LengthMicros = 0;
  bool Shuffle = false;
  bool operator==(const TMprisTrack&) const = default;
};

class TMusicMpris {
 public:
  static constexpr const char* BusName = "org.mpris.MediaPlayer2.oxanetmusic";

  // Serves the bus name for window; null when there is no session bus or another process holds
  // the name (why is in the trace).
  static std::unique_ptr<TMusicMpris> Start(HWND window);
  // Leaves the bus and joins the thread.
  ~TMusicMpris();
  TMusicMpris(const TMusicMpris&) = delete;
  TMusicMpris& operator=(const TMusicMpris&) = delete;

  // What plays now; the properties that changed are announced.
  void Publish(const TMprisTrack& track);
  // The position in the playing track, given when a client asks (positions are not announced).
  void SetPosition(std::int64_t micros) noexcept;
  // Play jumped to micros (a seek): clients are told, since they follow the position themselves.
  void Seeked(std::int64_t micros);

  struct TServer;
  // Start's; the server is running already.
  explicit TMusicMpris(std::unique_ptr<TServer> server) noexcept;

 private:
  std::unique_ptr<TServer> FServer;
};
