#pragma once
// TDbId: the name of one node of the library tree the browser sees (the root, a view, a group
// of a view, a track of a group). A value record: copying copies its texts. -1 marks a field as
// unset; which fields are set gives the level.

#include <cstdint>
#include <string>

// The views of the library, by number.
inline constexpr std::int32_t ViewFolders = 1;
inline constexpr std::int32_t ViewAlbums = 2;
inline constexpr std::int32_t ViewArtists = 3;
inline constexpr std::int32_t ViewGenre = 4;
inline constexpr std::int32_t ViewTitles = 5;
inline constexpr std::int32_t ViewYears = 6;
inline constexpr std::int32_t ViewPlaylists = 7;

enum class TDbIdLevel { Root, View, Group, Item };

struct TDbId {
  std::int32_t ViewId = -1;
  // Id of the group record in the view's group table; 0 stands before the first group.
  std::int32_t GroupId = -1;
  // FileId of the file (in the Playlists view the DetailId of the favorite entry); 0 stands
  // before the first file.
  std::int32_t FileId = -1;
  std::string Caption;
  std::string Extra;  // sort key of the Albums view's tracks, else empty
  std::int32_t Order = 0;

  // Root: nothing set; View: ViewId; Group: ViewId and GroupId; Item: all three.
  TDbIdLevel Level() const noexcept;
  // An item, or a view or group (FileId unset, ViewId set).
  bool Valid() const noexcept;
  bool Empty() const noexcept { return Level() == TDbIdLevel::Root; }

  bool SameView(const TDbId& other) const noexcept { return ViewId == other.ViewId; }
  bool SameGroup(const TDbId& other) const noexcept
  {
    return ViewId == other.ViewId && GroupId == other.GroupId;
  }
  // The same file in the same view, under whatever group.
  bool SameItem(const TDbId& other) const noexcept
  {
    return ViewId == other.ViewId && FileId == other.FileId;
  }
};

// The position before the first child of id: a copy with Order 0 and the first unset level
// field set to 0. Raises Exception "BeforeFirst: Root not allowed" for the root and
// "BeforeFirst: File not allowed" for an item.
TDbId BeforeFirst(const TDbId& id);
// Whether id stands before the first entry of its level. Raises Exception
// "IsBeforeFirst: ViewId = 0" for a view id with ViewId 0 and "IsBeforeFirst: Illegal DbId" for
// the root.
bool IsBeforeFirst(const TDbId& id);
