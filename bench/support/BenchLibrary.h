#pragma once
// A machine of a benchmark's own with its library filled with made-up tracks: what the benchmarks
// of the whole program start from.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "library/MusicDatabase.h"
#include "platform/files/Paths.h"
#include "rtl/StringList.h"
#include "settings/OxaMusicPlayerTypes.h"

namespace benchlibrary {

// The library of the whole-program benchmarks: 20,000 tracks in 1,000 album folders.
constexpr int TrackCount = 20000;
constexpr int FolderCount = 1000;

// Track i's file below top ("C:\\Music\\"): "Artist a\\Album b\\i.mp3", in one of folders.
inline std::string TrackFile(const std::string& top, int i, int folders = FolderCount)
{
  const int album = i % folders;
  return top + "Artist " + std::to_string(album % 400) + "\\Album " + std::to_string(album) + "\\" +
         std::to_string(i) + ".mp3";
}

// The library's tracks, the same every run, their files below top; a larger library (count)
// keeps the twenty tracks to a folder.
inline TMusicFileItems Tracks(std::int32_t bitrate, const std::string& top, int count = TrackCount)
{
  std::mt19937 random(11);
  const int folders = count / (TrackCount / FolderCount);
  TMusicFileItems items(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    TMusicFileItem& item = items[static_cast<std::size_t>(i)];
    const int album = i % folders;
    item.Title = "Song of the night " + std::to_string(random() % 10000);
    item.Album = "Album " + std::to_string(album);
    item.Artist = "Artist " + std::to_string(album % 400);
    item.FileName = TrackFile(top, i, folders);
    item.Genre = "Genre " + std::to_string(album % 40);
    item.Year = 1950 + album % 70;
    item.Track = static_cast<std::int32_t>(random() % 30);
    item.Bitrate = bitrate;
    item.Duration = 200;
    item.Size = 3000000 + static_cast<std::uint64_t>(i);
    for (auto& b : item.Checksum) {
      b = static_cast<std::uint8_t>(random());
    }
  }
  TMusicDatabase::SortFileItems(items);
  return items;
}

// Points this process at a machine and a home folder (drive C:) of its own below folder, with
// the silent audio component, fills the library with items and stores root as its one root.
inline void MakeMachine(const std::filesystem::path& folder, const TMusicFileItems& items,
                        const std::string& root)
{
  const std::string home = (folder / "home").string();
  // The home folder is drive C:, and the library goes in its data folder: both must exist
  // before the first look at the library's place, or that look settles on another folder.
  std::filesystem::create_directories(folder / "home" / ".local");
  setenv("OXA_MACHINE", (folder / "machine").c_str(), 1);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (home + "/.local").c_str(), 1);
  setenv("OXA_AUDIO", "null", 1);
  ResetSettingsFileName();
  TMusicDatabase database(nullptr);
  database.SetDirectory(GetDatabasePath());
  if (!OpenLibrary(database) || !database.ApplyScanResults({}, items)) {
    throw std::runtime_error("cannot fill the library");
  }
  database.SetConnected(false);
  TStringList roots;
  roots.Add(root);
  WriteOption(TMusicOption::Roots, roots);
}

}  // namespace benchlibrary
