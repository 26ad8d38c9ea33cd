#pragma once
// Where a track's cover comes from: the front cover embedded in the file, else the first folder
// image beside it (Folder.jpg, cover.jpg, front.jpg, AlbumArtSmall.jpg, in that order, names
// compared without regard to case), else none. Only the picture's bytes are found here; what
// they decode to is the cover cache's business.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::array<std::string_view, 4> CoverFolderImageNames = {"Folder.jpg", "cover.jpg",
                                                                          "front.jpg", "AlbumArtSmall.jpg"};

enum class TCoverSource : std::uint8_t { None, Embedded, FolderImage };

struct TTrackCover {
  TCoverSource Source = TCoverSource::None;
  std::vector<std::uint8_t> Bytes;
  // The folder image's path; empty for the other sources.
  std::string FileName;
};

// The folder image of a folder (a Windows path, with or without the final backslash) as its
// full path; empty when the folder has none or cannot be listed.
std::string FindFolderImage(const std::string& folder);

// The cover of the music file (a Windows path). A folder image larger than an embedded picture
// may be, or one that cannot be read, counts as missing.
TTrackCover FindTrackCover(const std::string& fileName);
