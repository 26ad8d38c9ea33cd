#pragma once
// A library of the test's own in a throw-away folder, opened as the player opens it, and the
// music files put into it as a scan would.

#include <string>

#include "library/MusicDatabase.h"
#include "tests/support/TempFolder.h"

struct TTestTrack {
  std::string Path;
  std::string Title = "Unknown";
  std::string Album = "Album";
  std::string Artist = "Artist";
  std::int32_t Year = 2001;
  std::int32_t Track = 1;
  // The fingerprint's first bytes; tracks with the same one are the same music.
  std::uint32_t Fingerprint = 0;
};

class TTestLibrary {
 public:
  TTestLibrary();
  ~TTestLibrary();

  TMusicDatabase& Database() noexcept { return FDatabase; }
  const std::string& Directory() const noexcept { return FDirectory; }
  const std::filesystem::path& Folder() const noexcept { return FFolder.Path(); }
  // The host path of a file under the library directory ("Favorites\\1.oxa").
  std::filesystem::path HostPath(const std::string& relative) const;
  bool Opened() const noexcept { return FOpened; }

  // Adds the file as a scan adds it; returns its FileId.
  std::int32_t Add(const TTestTrack& track);
  static TMusicFileItem Item(const TTestTrack& track);
  // Closes the library as a crash would (the stamp stays "-Open"), so the next OpenLibrary
  // rebuilds it and restores the favorites.
  void Crash();
  // Closes properly (favorites written) and opens again.
  void Reopen();

 private:
  TTempFolder FFolder;
  std::string FDirectory;
  TMusicDatabase FDatabase{nullptr};
  bool FOpened = false;
};
