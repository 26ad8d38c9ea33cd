#include "scan/KnownFiles.h"

#include <algorithm>

#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/Utf8.h"

namespace {

void PutUInt64(std::byte* target, std::uint64_t value) noexcept
{
  for (int k = 0; k < 8; ++k) {
    target[k] = static_cast<std::byte>(value >> (8 * k));
  }
}

std::uint64_t GetUInt64(const std::byte* source) noexcept
{
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) {
    value = (value << 8) | static_cast<std::uint64_t>(source[k]);
  }
  return value;
}

std::uint64_t FileTimeValue(const FILETIME& time) noexcept
{
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(std::uint64_t value) noexcept
{
  FILETIME time{};
  time.dwLowDateTime = static_cast<DWORD>(value);
  time.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return time;
}

}  // namespace

TFileAttributes ItemAttributes(const TMusicFileItem& item) noexcept
{
  TFileAttributes attributes{};
  PutUInt64(attributes.data(), FileTimeValue(item.LastWriteTime));
  PutUInt64(attributes.data() + 8, FileTimeValue(item.CreationTime));
  PutUInt64(attributes.data() + 16, item.Size);
  PutUInt64(attributes.data() + 24, FileTimeValue(item.LastAccessTime));
  return attributes;
}

bool SameCompareAttributes(const TFileAttributes& a, const TFileAttributes& b) noexcept
{
  return std::equal(a.begin(), a.begin() + CompareAttributesSize, b.begin());
}

void SetItemAttributes(TMusicFileItem& item, const TFileAttributes& attributes) noexcept
{
  item.LastWriteTime = FileTimeOf(GetUInt64(attributes.data()));
  item.CreationTime = FileTimeOf(GetUInt64(attributes.data() + 8));
  item.Size = GetUInt64(attributes.data() + 16);
}

bool PathIsUnder(std::string_view path, const TFolderList& folders)
{
  return std::any_of(folders.begin(), folders.end(), [path](const std::string& folder) {
    // The path is cut after as many characters as the folder has, not bytes: a letter and its
    // other case may differ in length (the Kelvin sign takes three bytes, k one).
    std::size_t folderEnd = 0;
    std::size_t pathEnd = 0;
    while (folderEnd < folder.size()) {
      if (pathEnd >= path.size()) {
        return false;
      }
      NextCodePoint(folder, folderEnd);
      NextCodePoint(path, pathEnd);
    }
    return CompareTextFolded(path.substr(0, pathEnd), folder) == 0;
  });
}

std::string DriveOfPath(std::string_view path)
{
  const std::string drive = ExtractFileDrive(path);
  if (drive.size() == 2 && drive[1] == ':') {
    return drive + '\\';
  }
  // A UNC root needs both a server and a share name.
  if (drive.size() < 2 || drive[0] != '\\') {
    return {};
  }
  const std::size_t serverEnd = drive.find('\\', 2);
  if (serverEnd == std::string::npos || serverEnd == 2 || serverEnd + 1 >= drive.size()) {
    return {};
  }
  return drive + '\\';
}

namespace {

// Sorts the positions by the folded paths, made once each, and then moves each record once:
// the records are large (several strings each), and a merge sort would move them and fold
// their paths many times over. Byte order of the folded paths is the order of ComparePaths.
template <class T, class Path>
void SortByPath(std::vector<T>& records, Path path)
{
  std::vector<std::string> keys;
  keys.reserve(records.size());
  for (const T& record : records) {
    keys.push_back(FoldCase(path(record)));
  }
  std::vector<std::uint32_t> order(records.size());
  for (std::uint32_t k = 0; k < order.size(); ++k) {
    order[k] = k;
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
  std::vector<T> sorted;
  sorted.reserve(records.size());
  for (const std::uint32_t k : order) {
    sorted.push_back(std::move(records[k]));
  }
  records = std::move(sorted);
}

}  // namespace

void SortKnownFiles(TKnownFiles& known)
{
  SortByPath(known, [](const TKnownFile& file) -> const std::string& { return file.FilePath; });
}

void SortFileItems(TMusicFileItems& items)
{
  SortByPath(items, [](const TMusicFileItem& item) -> const std::string& { return item.FileName; });
}

TFolderSet::TFolderSet(const TFolderList& folders)
{
  FFolded.reserve(folders.size());
  for (const std::string& folder : folders) {
    FFolded.push_back(FoldCase(IncludeTrailingBackslash(folder)));
  }
  std::sort(FFolded.begin(), FFolded.end());
}

bool TFolderSet::Contains(std::string_view path) const
{
  if (FFolded.empty()) {
    return false;
  }
  const std::string folded = FoldCase(path);
  for (std::size_t end = folded.find('\\'); end != std::string::npos; end = folded.find('\\', end + 1)) {
    if (std::binary_search(FFolded.begin(), FFolded.end(), std::string_view(folded).substr(0, end + 1))) {
      return true;
    }
  }
  return false;
}
