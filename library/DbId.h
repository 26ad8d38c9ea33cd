#pragma once
// TDbId: the name of one node of the library tree the browser sees (the root, a view, a group
// of a view, a track of a group). A value record: copying copies its texts. -1 marks a field as
// unset; which fields are set gives the level.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The order of SortByCaption: an empty caption after every other; otherwise by the first
// character's rank (letters, and every code point from 192 up, first; then the digits; then
// the other characters by code), equal ranks by the whole texts without regard to case.
// Negative, 0 or positive.
int CompareCaptions(std::string_view a, std::string_view b);

// The ordered list a listing fills. Grows geometrically while its length is below
// DbIdListLinearGrowth, and by that many entries from then on, so large libraries do not
// reallocate for every track.
inline constexpr int DbIdListLinearGrowth = 10000;
inline constexpr int DbIdListGrowthStep = 20000;

class TDbIdList {
 public:
  // Appends a copy, growing the list when it is full.
  void Add(TDbId id);
  void AddValues(std::int32_t view, std::int32_t group, std::int32_t order, std::string extra,
                 std::string caption, std::int32_t file);
  // Count and capacity 0.
  void Clear() noexcept;
  // The count is cut to capacity when larger.
  void SetCapacity(int capacity);
  int Capacity() const noexcept { return FCapacity; }
  int Count() const noexcept { return static_cast<int>(FItems.size()); }
  // Raises EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  const TDbId& Get(int index) const;
  std::span<const TDbId> Items() const noexcept { return FItems; }

  // The first index, or -1. IndexOfItem: the same view and file, under any group.
  int IndexOfItem(const TDbId& id) const noexcept;
  int IndexOfFile(std::int32_t fileId) const noexcept;
  int IndexOfGroup(std::int32_t groupId) const noexcept;
  int IndexOfView(std::int32_t viewId) const noexcept;

  // By Caption (CompareCaptions), by Extra (AnsiCompareText), by Order ascending. Entries that
  // compare equal keep their order.
  void SortByCaption();
  void SortByExtra();
  void SortByOrder();

 private:
  template <class Less>
  void SortBy(Less less);

  std::vector<TDbId> FItems;
  int FCapacity = 0;
};
