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

bool SameCompareAttributes(const TMusicFileItem& item, const TFileAttributes& stored) noexcept
{
  return GetUInt64(stored.data()) == FileTimeValue(item.LastWriteTime) &&
         GetUInt64(stored.data() + 8) == FileTimeValue(item.CreationTime) &&
         GetUInt64(stored.data() + 16) == item.Size;
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

TPathKeys::TPathKeys(std::size_t count, std::size_t bytes)
{
  FEnds.reserve(count);
  FText.reserve(bytes);
}

std::string_view TPathKeys::Add(std::string_view path)
{
  const std::size_t start = FText.size();
  AppendFoldCase(FText, path);
  FEnds.push_back(FText.size());
  return std::string_view(FText).substr(start);
}

void TPathKeys::Reorder(std::vector<std::uint32_t> order)
{
  FOrder = std::move(order);
  FReordered = true;
}

namespace {

// The first eight bytes of text from offset on, as a number that orders as the bytes do (a
// shorter text is padded with zero bytes): most comparisons of names end in these.
std::uint64_t HeadOf(std::string_view text, std::size_t offset) noexcept
{
  std::uint64_t head = 0;
  for (std::size_t k = 0; k < 8; ++k) {
    head <<= 8;
    if (offset + k < text.size()) {
      head |= static_cast<unsigned char>(text[offset + k]);
    }
  }
  return head;
}

// The bytes up to and with the last backslash: the folder of a folded path.
std::size_t FolderLength(std::string_view key) noexcept
{
  const std::size_t cut = key.rfind('\\');
  return cut == std::string_view::npos ? 0 : cut + 1;
}

}  // namespace

void SortPathOrder(const TPathKeys& keys, std::vector<std::uint32_t>& order)
{
  // Equal keys keep their order, so the order is that of (key, index): with the index every
  // key is different and any way to the sorted list gives the same one.
  const auto less = [&keys](std::uint32_t a, std::uint32_t b) {
    const int c = keys.Key(a).compare(keys.Key(b));
    return c < 0 || (c == 0 && a < b);
  };
  if (std::is_sorted(order.begin(), order.end(), less)) {
    return;  // the library hands over the files a scan added in this order
  }
  // A walk gives each folder's entries together but in no order, and the folders in none
  // either. Each stretch of one folder is sorted by name (all its keys share the folder's
  // bytes), the stretches by their first key, and what overlaps after that (a folder's files
  // on both sides of a subfolder, one folder met twice) is merged.
  struct TEntry {
    std::uint64_t Head;
    std::uint32_t Index;
  };
  std::vector<TEntry> entries;
  std::vector<std::pair<std::size_t, std::size_t>> stretches;  // [begin, end) in order
  for (std::size_t begin = 0; begin < order.size();) {
    const std::string_view first = keys.Key(order[begin]);
    const std::size_t folder = FolderLength(first);
    std::size_t end = begin + 1;
    while (end < order.size()) {
      const std::string_view key = keys.Key(order[end]);
      if (FolderLength(key) != folder || key.compare(0, folder, first, 0, folder) != 0) {
        break;
      }
      ++end;
    }
    // The names' common start says nothing about their order: the heads are taken after it
    // ("Track 1001", "Track 1002", ... differ only late).
    std::size_t common = first.size() - folder;
    for (std::size_t k = begin + 1; k < end && common > 0; ++k) {
      const std::string_view key = keys.Key(order[k]);
      std::size_t same = 0;
      const std::size_t limit = std::min(common, key.size() - folder);
      while (same < limit && key[folder + same] == first[folder + same]) {
        ++same;
      }
      common = same;
    }
    entries.clear();
    for (std::size_t k = begin; k < end; ++k) {
      entries.push_back({HeadOf(keys.Key(order[k]), folder + common), order[k]});
    }
    std::sort(entries.begin(), entries.end(), [&keys, folder](const TEntry& a, const TEntry& b) {
      if (a.Head != b.Head) {
        return a.Head < b.Head;
      }
      const int c = keys.Key(a.Index).substr(folder).compare(keys.Key(b.Index).substr(folder));
      return c < 0 || (c == 0 && a.Index < b.Index);
    });
    for (std::size_t k = begin; k < end; ++k) {
      order[k] = entries[k - begin].Index;
    }
    stretches.emplace_back(begin, end);
    begin = end;
  }
  std::sort(stretches.begin(), stretches.end(),
            [&](const auto& a, const auto& b) { return less(order[a.first], order[b.first]); });
  std::vector<std::uint32_t> merged;
  merged.reserve(order.size());
  for (const auto& [begin, end] : stretches) {
    merged.insert(merged.end(), order.begin() + static_cast<std::ptrdiff_t>(begin),
                  order.begin() + static_cast<std::ptrdiff_t>(end));
  }
  // The runs already in order are merged pairwise until one is left.
  std::vector<std::size_t> runs{0};
  for (std::size_t k = 1; k < merged.size(); ++k) {
    if (less(merged[k], merged[k - 1])) {
      runs.push_back(k);
    }
  }
  runs.push_back(merged.size());
  order.resize(merged.size());
  while (runs.size() > 2) {
    std::vector<std::size_t> joined{0};
    for (std::size_t r = 0; r + 1 < runs.size(); r += 2) {
      const auto at = [&merged](std::size_t k) { return merged.begin() + static_cast<std::ptrdiff_t>(k); };
      const std::size_t end = r + 2 < runs.size() ? runs[r + 2] : runs[r + 1];
      std::merge(at(runs[r]), at(runs[r + 1]), at(runs[r + 1]), at(end),
                 order.begin() + static_cast<std::ptrdiff_t>(runs[r]), less);
      joined.push_back(end);
    }
    runs = std::move(joined);
    merged.swap(order);
  }
  order.swap(merged);
}

namespace {

// Sorts the records by their folded paths, made once each, and hands the paths back in the
// records' new order. Records are large (several strings each): each is moved at most once, in
// place, and not at all when the list is in order already.
template <class T, class Path, class Keep>
TPathKeys SortByPath(std::vector<T>& records, Path path, Keep keep)
{
  const std::size_t count = records.size();
  std::size_t bytes = 0;
  for (const T& record : records) {
    bytes += path(record).size();
  }
  TPathKeys keys(count, bytes);
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
  SortPathOrder(keys, order);
  bool identity = order.size() == count;
  for (std::uint32_t k = 0; identity && k < order.size(); ++k) {
    identity = order[k] == k;
  }
  if (identity) {
    return keys;
  }
  keys.Reorder(order);
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
  return keys;
}

}  // namespace

TPathKeys SortKnownFiles(TKnownFiles& known)
{
  return KeepSortedKnownFiles(known, [](const std::string&, std::string_view) { return true; });
}

TPathKeys KeepSortedKnownFiles(
    TKnownFiles& known, const std::function<bool(const std::string& path, std::string_view folded)>& keep)
{
  return SortByPath(
      known, [](const TKnownFile& file) -> const std::string& { return file.FilePath; }, keep);
}

TPathKeys SortFileItems(TMusicFileItems& items)
{
  return SortByPath(
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
