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

// The folded paths of a list, in one buffer: one allocation for all of them, not one each.
class TFoldedPaths {
 public:
  explicit TFoldedPaths(std::size_t count) { FEnds.reserve(count); }
  std::string_view Add(std::string_view path)
  {
    const std::size_t start = FText.size();
    AppendFoldCase(FText, path);
    FEnds.push_back(FText.size());
    return std::string_view(FText).substr(start);
  }
  std::string_view operator[](std::size_t k) const noexcept
  {
    const std::size_t start = k == 0 ? 0 : FEnds[k - 1];
    return std::string_view(FText).substr(start, FEnds[k] - start);
  }

 private:
  std::string FText;
  std::vector<std::size_t> FEnds;
};

// Sorts the records by their folded paths, made once each; byte order of the folded paths is
// the order of ComparePaths. Records are large (several strings each): each is moved at most
// once, in place, and not at all when the list is in order already, as the library hands over
// the files a scan added in order.
template <class T, class Path, class Keep>
void SortByPath(std::vector<T>& records, Path path, Keep keep)
{
  const std::size_t count = records.size();
  TFoldedPaths keys(count);
  std::vector<std::uint32_t> order;
  order.reserve(count);
  std::vector<bool> kept(count, false);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::string& name = path(records[k]);
    if (keep(name, keys.Add(name))) {
      order.push_back(k);
      kept[k] = true;
    }
  }
  const auto less = [&keys](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; };
  if (!std::is_sorted(order.begin(), order.end(), less)) {
    std::stable_sort(order.begin(), order.end(), less);
  }
  // The records dropped go first, the rest moving up in their order; order follows them.
  std::vector<std::uint32_t> moved(count, 0);
  std::uint32_t size = 0;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (kept[k]) {
      if (size != k) {
        records[size] = std::move(records[k]);
      }
      moved[k] = size++;
    }
  }
  records.erase(records.begin() + size, records.end());
  for (std::uint32_t& k : order) {
    k = moved[k];
  }
  // Place i takes record order[i]: each cycle of that permutation is followed once.
  for (std::uint32_t i = 0; i < size; ++i) {
    if (order[i] == i) {
      continue;
    }
    T first = std::move(records[i]);
    std::uint32_t j = i;
    while (order[j] != i) {
      const std::uint32_t next = order[j];
      records[j] = std::move(records[next]);
      order[j] = j;
      j = next;
    }
    records[j] = std::move(first);
    order[j] = j;
  }
}

}  // namespace

void SortKnownFiles(TKnownFiles& known)
{
  KeepSortedKnownFiles(known, [](const std::string&, std::string_view) { return true; });
}

void KeepSortedKnownFiles(TKnownFiles& known,
                          const std::function<bool(const std::string& path, std::string_view folded)>& keep)
{
  SortByPath(
      known, [](const TKnownFile& file) -> const std::string& { return file.FilePath; }, keep);
}

void SortFileItems(TMusicFileItems& items)
{
  SortByPath(
      items, [](const TMusicFileItem& item) -> const std::string& { return item.FileName; },
      [](const std::string&, std::string_view) { return true; });
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
  return !FFolded.empty() && ContainsFolded(FoldCase(path));
}

bool TFolderSet::ContainsFolded(std::string_view folded) const
{
  if (FFolded.empty()) {
    return false;
  }
  for (std::size_t end = folded.find('\\'); end != std::string::npos; end = folded.find('\\', end + 1)) {
    if (std::binary_search(FFolded.begin(), FFolded.end(), folded.substr(0, end + 1))) {
      return true;
    }
  }
  return false;
}
