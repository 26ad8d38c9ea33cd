#pragma once
// TMusicLircReader: follows an infrared daemon's key broadcasts on its own thread and posts the
// commands the key map gives to the main window (WM_OUTSIDECOMMAND). With no daemon it waits
// for one quietly, looking again every RetryMs; a daemon that goes is looked for again.

#include <atomic>
#include <string>
#include <thread>

#include "Music/control/MusicOutsideKeys.h"
#include "platform/objects/DescriptorWait.h"
#include "platform/windows/Windows.h"

class TMusicLircReader {
 public:
  // The daemon's socket where no setting names another.
  static constexpr const char* DefaultSocket = "/var/run/lirc/lircd";
  static constexpr std::int64_t RetryMs = 3000;

  // Starts reading; throws std::system_error when the thread cannot be made.
  TMusicLircReader(std::string socketPath, TOutsideKeyMap keys, HWND window);
  // Stops and joins the thread.
  ~TMusicLircReader();
  TMusicLircReader(const TMusicLircReader&) = delete;
  TMusicLircReader& operator=(const TMusicLircReader&) = delete;

 private:
  void Run();
  void Take(const std::string& line) const;

  const std::string FSocketPath;
  const TOutsideKeyMap FKeys;
  const HWND FWindow;
  TDescriptorWait FStop;
  std::atomic<bool> FStopping{false};  // shared with the reader thread
  std::thread FThread;
};
