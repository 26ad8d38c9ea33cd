#pragma once
// What the scan and the library exchange about files: the library's record of a file it knows
// (path and stored times and size), the found items of a scan, the folder filters both sides
// use, and the one order in which the two are matched.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/AnsiText.h"
#include "tags/OxaMusicTag.h"

// A file's last-write time, creation time, size and last-access time, 8 bytes each, little-endian
// (a FILETIME is its low word first): the "Attributes" of a file record. A scan that finds the
// first 24 bytes unchanged leaves the file alone.
using TFileAttributes = std::array<std::byte, 32>;
inline constexpr std::size_t CompareAttributesSize = 24;
TFileAttributes ItemAttributes(const TMusicFileItem& item) noexcept;
// The first CompareAttributesSize bytes are equal: the file has not changed since it was read.
bool SameCompareAttributes(const TFileAttributes& a, const TFileAttributes& b) noexcept;
// The same between an item's times and size and stored attributes, without making the item's.
bool SameCompareAttributes(const TMusicFileItem& item, const TFileAttributes& stored) noexcept;
// Puts the times and size of attributes into item (the last-access time is left alone).
void SetItemAttributes(TMusicFileItem& item, const TFileAttributes& attributes) noexcept;

// The library's view of one file, handed to the scan so that it reads only new or changed files.
struct TKnownFile {
  std::int32_t FileId = -1;
  std::string FilePath;
  TFileAttributes Attributes{};
};
using TKnownFiles = std::vector<TKnownFile>;
using TMusicFileItems = std::vector<TMusicFileItem>;

// Folder entries end with a backslash; a path is under one when it starts with it, compared
// without regard to case (as AnsiCompareText compares for equality). A null list is no filter.
using TFolderList = std::vector<std::string>;
bool PathIsUnder(std::string_view path, const TFolderList& folders);

// The drive a path lies on, with a trailing backslash: "C:\" for "c:\Music\a.mp3" (the letter
// as given), "\\server\share\" for a UNC path; empty when the path names no drive.
std::string DriveOfPath(std::string_view path);

// The one order in which found and known files are matched: by path, without regard to case
// (CompareTextFolded: equal exactly where AnsiCompareText is, and cheap, for the order is never
// shown). Both sorts use it, equal paths kept in their order, and the merge of a scan walks the
// two lists in it.
inline int ComparePaths(std::string_view a, std::string_view b) noexcept
{
  return CompareTextFolded(a, b);
}

// The folded paths (FoldCase) of a list, in one buffer. Their byte order is the order of
// ComparePaths, so once made they are compared with memcmp. A sort hands them back in the
// order of its records (operator[]); Key gives them in the order they were added.
class TPathKeys {
 public:
  TPathKeys() = default;
  TPathKeys(std::size_t count, std::size_t bytes);
  // Folds path and adds it; the view lasts until the next Add.
  std::string_view Add(std::string_view path);
  std::string_view Key(std::size_t added) const noexcept
  {
    const std::size_t start = added == 0 ? 0 : FEnds[added - 1];
    return std::string_view(FText).substr(start, FEnds[added] - start);
  }
  std::size_t Size() const noexcept { return FReordered ? FOrder.size() : FEnds.size(); }
  std::string_view operator[](std::size_t record) const noexcept
  {
    return Key(FReordered ? FOrder[record] : record);
  }
  // Record k takes Key(order[k]) from now on.
  void Reorder(std::vector<std::uint32_t> order);

 private:
  std::string FText;
  std::vector<std::size_t> FEnds;
  std::vector<std::uint32_t> FOrder;
  bool FReordered = false;  // otherwise records are in the order added
};

// Sorts order (indices of keys) by key, equal keys keeping their order: a stable sort, made
// cheap for a list in order already and for the order a folder walk gives.
void SortPathOrder(const TPathKeys& keys, std::vector<std::uint32_t>& order);

// The sorts hand back the folded paths of the sorted records.
TPathKeys SortKnownFiles(TKnownFiles& known);
TPathKeys SortFileItems(TMusicFileItems& items);
// Keeps only the files keep accepts (given the path and its FoldCase form) and sorts them as
// SortKnownFiles does, folding each path once.
TPathKeys KeepSortedKnownFiles(
    TKnownFiles& known, const std::function<bool(const std::string& path, std::string_view folded)>& keep);

// Whether paths lie under folders, for many paths against many folders: each folder is looked
// up by the path's own folders, so the cost does not grow with the number of folders.
class TFolderSet {
 public:
  explicit TFolderSet(const TFolderList& folders);
  bool Contains(std::string_view path) const;
  // The same for a path already case-folded (FoldCase).
  bool ContainsFolded(std::string_view folded) const;
  bool Empty() const noexcept { return FFolded.empty(); }

 private:
  std::vector<std::string> FFolded;  // sorted, folded, each with its trailing backslash
};
