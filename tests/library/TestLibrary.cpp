#include "tests/library/TestLibrary.h"

#include "platform/files/Paths.h"

TTestLibrary::TTestLibrary()
{
  FDirectory = WindowsPathOf((FFolder.Path() / "Library").string()) + "\\";
  FDatabase.SetDirectory(FDirectory);
  FOpened = OpenLibrary(FDatabase);
}

TTestLibrary::~TTestLibrary()
{
  FDatabase.FreeEditors();
  FDatabase.SetConnected(false);
}

std::filesystem::path TTestLibrary::HostPath(const std::string& relative) const
{
  std::string path = relative;
  for (char& c : path) {
    if (c == '\\') {
      c = '/';
    }
  }
  return FFolder.Path() / "Library" / path;
}

TMusicFileItem TTestLibrary::Item(const TTestTrack& track)
{
  TMusicFileItem item;
  item.FileName = track.Path;
  item.Title = track.Title;
  item.Artist = track.Artist;
  item.Album = track.Album;
  item.Genre = "Rock";
  item.Year = track.Year;
  item.Track = track.Track;
  item.Bitrate = 192;
  item.Duration = 200;
  item.Size = 4000000;
  for (int k = 0; k < 4; ++k) {
    item.Checksum[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(track.Fingerprint >> (8 * k));
  }
  item.Checksum[35] = 0xA5;  // never all zero, as the padding of a short fingerprint is
  return item;
}

std::int32_t TTestLibrary::Add(const TTestTrack& track)
{
  return FDatabase.AddFile(Item(track));
}

void TTestLibrary::Crash()
{
  FDatabase.FreeEditors();
  FDatabase.FavoritesThread().Flush();
  FDatabase.Disconnect();
}

void TTestLibrary::Reopen()
{
  FDatabase.FreeEditors();
  FDatabase.SetConnected(false);
  FOpened = OpenLibrary(FDatabase);
}
