#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "rtl/Format.h"
#include "scan/KnownFiles.h"

namespace {

// The order the merge needs, made the plain way: a stable sort by ComparePaths.
std::vector<int> ReferenceOrder(const std::vector<std::string>& paths, const std::vector<bool>& keep)
{
  std::vector<int> order;
  for (int k = 0; k < static_cast<int>(paths.size()); ++k) {
    if (keep[static_cast<std::size_t>(k)]) {
      order.push_back(k);
    }
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    return ComparePaths(paths[static_cast<std::size_t>(a)], paths[static_cast<std::size_t>(b)]) < 0;
  });
  return order;
}

std::vector<std::string> ShuffledPaths(int count, unsigned seed)
{
  std::vector<std::string> paths;
  for (int k = 0; k < count; ++k) {
    paths.push_back(Format("C:\\Music\\%s %d\\Track %.2d.mp3", k % 3 == 0 ? "ABBA" : "abba", k % 7, k));
  }
  std::shuffle(paths.begin(), paths.end(), std::mt19937(seed));
  return paths;
}

// The order a folder walk gives: each folder's files in no order, its subfolders walked where
// they come among them, a folder now and then in another spelling of its name.
void WalkLike(std::mt19937& random, const std::string& folder, int depth, std::vector<std::string>& paths)
{
  static const char* const names[] = {"01 Intro.mp3",
                                      "02 intro.mp3",
                                      "Track 0001 a.mp3",
                                      "TRACK 0001 B.mp3",
                                      "track 0001.mp3",
                                      "a.mp3",
                                      "A.MP3",
                                      "\u00c4rger.mp3",
                                      "\u00e4rger.mp3",
                                      "z.mp3",
                                      "b",
                                      "Bb.mp3"};
  static const char* const folders[] = {"B", "b", "Ba", "\u00c4", "Track 0001 a.mp3", "Sub"};
  std::vector<std::string> entries;
  for (const char* name : names) {
    if (random() % 3 != 0) {
      entries.push_back(folder + name);
    }
  }
  if (depth < 3) {
    for (const char* sub : folders) {
      if (random() % 3 == 0) {
        entries.push_back(folder + sub + "\\");
      }
    }
  }
  std::shuffle(entries.begin(), entries.end(), random);
  for (const std::string& entry : entries) {
    if (entry.ends_with('\\')) {
      WalkLike(random, entry, depth + 1, paths);
    } else {
      paths.push_back(entry);
    }
  }
}

std::vector<std::string> WalkLikePaths(unsigned seed)
{
  std::mt19937 random(seed);
  std::vector<std::string> paths;
  WalkLike(random, "C:\\Music\\", 0, paths);
  WalkLike(random, "c:\\MUSIC\\", 1, paths);
  return paths;
}

struct TSortCase {
  const char* Name;
  std::vector<std::string> Paths;
};

std::vector<TSortCase> SortCases()
{
  std::vector<std::string> grown;
  for (int k = 0; k < 30; ++k) {
    grown.push_back(Format("C:\\Music\\%.2d.mp3", k));
  }
  // A library that took files in order, then a later scan's additions at its end.
  grown.insert(grown.end(), {"C:\\Music\\05a.mp3", "C:\\Aardvark.mp3", "C:\\Music\\17a.mp3"});
  return {
      {"empty", {}},
      {"one", {"C:\\a.mp3"}},
      {"in order", {"C:\\A\\1.mp3", "c:\\a\\2.mp3", "C:\\B\\1.mp3", "C:\\B\\Sub\\1.mp3"}},
      {"reversed", {"C:\\C.mp3", "C:\\b.mp3", "C:\\A.mp3"}},
      {"in order, then additions", grown},
      {"spellings of one path keep their order",
       {"c:\\b.mp3", "C:\\A.mp3", "C:\\a.mp3", "C:\\B.MP3", "c:\\A.MP3"}},
      {"folded letters beyond ASCII",
       {"C:\\z.mp3", "C:\\\u00c4\\x.mp3", "C:\\\u212a.mp3", "C:\\\u00e4.mp3", "C:\\k.mp3", "C:\\K.mp3"}},
      {"a shuffle (cycles of every length)", ShuffledPaths(64, 7)},
      {"a folder's files on both sides of its subfolders, walked",
       {"C:\\A\\c.mp3", "C:\\A\\B\\y.mp3", "C:\\A\\B\\x.mp3", "C:\\A\\a.mp3", "C:\\A\\b.mp3", "C:\\A\\B.mp3",
        "C:\\A\\Ba\\x.mp3", "C:\\A\\[.mp3"}},
      {"one folder met twice, and in two spellings",
       {"C:\\A\\b.mp3", "C:\\A\\a.mp3", "C:\\A\\Sub\\x.mp3", "C:\\A\\c.mp3", "C:\\A\\A.mp3", "c:\\a\\B.MP3",
        "c:\\a\\a.mp3", "C:\\A\\a.mp3"}},
      {"names alike in their first eight bytes, and shorter",
       {"C:\\F\\Track 0001 b.mp3", "C:\\F\\Track 0001 a.mp3", "C:\\F\\Track 0001", "C:\\F\\Track 00",
        "C:\\F\\Track 0001 A.mp3", "C:\\F\\", "C:\\F\\Track 0001 a.mp3", "C:\\F\\T"}},
      {"names of one folder alike but for their ends",
       {"C:\\G\\Track 10002.mp3", "C:\\G\\Track 10001.mp3", "C:\\G\\Track 1000", "C:\\G\\track 10001.MP3x",
        "C:\\G\\TRACK 10002.MP3", "C:\\G\\Track 10001.mp3", "C:\\G\\Track 100010.mp3"}},
      {"paths without a folder", {"b.mp3", "C:\\a.mp3", "a.mp3", "B.mp3", ""}},
      {"a walk", WalkLikePaths(1)},
      {"another walk", WalkLikePaths(2)},
  };
}

TEST(SortByPath, KnownFilesAndFoundItemsTakeTheMergeOrderWithTheirRecords)
{
  for (const TSortCase& c : SortCases()) {
    SCOPED_TRACE(c.Name);
    const std::vector<int> expected = ReferenceOrder(c.Paths, std::vector<bool>(c.Paths.size(), true));
    TKnownFiles known;
    TMusicFileItems items;
    for (std::size_t k = 0; k < c.Paths.size(); ++k) {
      known.push_back({static_cast<std::int32_t>(k), c.Paths[k], {}});
      known.back().Attributes[0] = static_cast<std::byte>(k);
      TMusicFileItem& item = items.emplace_back();
      item.FileName = c.Paths[k];
      item.Track = static_cast<std::int32_t>(k);
    }
    const TPathKeys knownKeys = SortKnownFiles(known);
    const TPathKeys itemKeys = SortFileItems(items);
    ASSERT_EQ(known.size(), expected.size());
    ASSERT_EQ(items.size(), expected.size());
    ASSERT_EQ(knownKeys.Size(), expected.size());
    ASSERT_EQ(itemKeys.Size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto k = static_cast<std::size_t>(expected[i]);
      EXPECT_EQ(knownKeys[i], FoldCase(c.Paths[k]));
      EXPECT_EQ(itemKeys[i], FoldCase(c.Paths[k]));
      EXPECT_EQ(known[i].FileId, expected[i]);
      EXPECT_EQ(known[i].FilePath, c.Paths[k]);
      EXPECT_EQ(known[i].Attributes[0], static_cast<std::byte>(k));
      EXPECT_EQ(items[i].Track, expected[i]);
      EXPECT_EQ(items[i].FileName, c.Paths[k]);
    }
  }
}

TEST(SortByPath, KeptKnownFilesAreTheOnesTheFilterTakesInMergeOrder)
{
  // The filter sees each path as given and folded; it drops files here and there, first and
  // last included.
  const auto keep = [](const std::string& path, std::string_view folded) {
    return !folded.ends_with("1.mp3") && !folded.ends_with("0.mp3") && path.find("Drop") == std::string::npos;
  };
  for (TSortCase c : SortCases()) {
    SCOPED_TRACE(c.Name);
    c.Paths.push_back("C:\\Drop\\x.mp3");
    std::vector<bool> kept;
    for (const std::string& path : c.Paths) {
      kept.push_back(keep(path, FoldCase(path)));
    }
    const std::vector<int> expected = ReferenceOrder(c.Paths, kept);
    TKnownFiles known;
    for (std::size_t k = 0; k < c.Paths.size(); ++k) {
      known.push_back({static_cast<std::int32_t>(k), c.Paths[k], {}});
    }
    std::vector<std::string> folded;
    const TPathKeys keys = KeepSortedKnownFiles(known, [&](const std::string& path, std::string_view f) {
      folded.emplace_back(f);
      EXPECT_EQ(FoldCase(path), f);
      return keep(path, f);
    });
    EXPECT_EQ(folded.size(), c.Paths.size());
    std::vector<int> ids;
    for (const TKnownFile& file : known) {
      ids.push_back(file.FileId);
      EXPECT_EQ(file.FilePath, c.Paths[static_cast<std::size_t>(file.FileId)]);
    }
    EXPECT_EQ(ids, expected);
    ASSERT_EQ(keys.Size(), known.size());
    for (std::size_t i = 0; i < known.size(); ++i) {
      EXPECT_EQ(keys[i], FoldCase(known[i].FilePath));
    }
  }
}

TEST(SortByPath, OrderOfKeysIsTheStableSortWhateverTheWalk)
{
  // Many walks, with a part of the indices only and with each index's key added in any order:
  // the sort must give what the plain stable sort gives.
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    const std::vector<std::string> paths = WalkLikePaths(seed);
    TPathKeys keys;
    for (const std::string& path : paths) {
      keys.Add(path);
    }
    std::vector<bool> kept;
    std::vector<std::uint32_t> order;
    for (std::uint32_t k = 0; k < paths.size(); ++k) {
      kept.push_back(seed % 2 == 0 || k % 5 != 2);
      if (kept.back()) {
        order.push_back(k);
      }
    }
    SortPathOrder(keys, order);
    const std::vector<int> expected = ReferenceOrder(paths, kept);
    EXPECT_EQ(std::vector<int>(order.begin(), order.end()), expected);
  }
  TPathKeys none;
  std::vector<std::uint32_t> empty;
  SortPathOrder(none, empty);
  EXPECT_TRUE(empty.empty());
}

TEST(KnownFiles, AnItemIsUnchangedExactlyWhenItsStoredTimesAndSizeAreEqual)
{
  // Against the attributes made from the item: each of the compared 8-byte values off in its
  // lowest and highest byte, and the last-access time, which is not compared.
  TMusicFileItem item;
  item.LastWriteTime = {0x89ABCDEF, 0x01234567};
  item.CreationTime = {0x11223344, 0x55667788};
  item.Size = 0x0102030405060708ULL;
  item.LastAccessTime = {1, 2};
  const TFileAttributes stored = ItemAttributes(item);
  std::vector<TMusicFileItem> cases(1, item);
  for (const int field : {0, 1, 2, 3}) {
    for (const std::uint64_t bit : {1ULL, 1ULL << 63}) {
      TMusicFileItem changed = item;
      FILETIME* const times[] = {&changed.LastWriteTime, &changed.CreationTime, nullptr,
                                 &changed.LastAccessTime};
      if (field == 2) {
        changed.Size ^= bit;
      } else {
        std::uint64_t value =
            (static_cast<std::uint64_t>(times[field]->dwHighDateTime) << 32) | times[field]->dwLowDateTime;
        value ^= bit;
        *times[field] = {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
      }
      cases.push_back(changed);
    }
  }
  for (std::size_t k = 0; k < cases.size(); ++k) {
    EXPECT_EQ(SameCompareAttributes(cases[k], stored),
              SameCompareAttributes(ItemAttributes(cases[k]), stored))
        << k;
  }
  EXPECT_TRUE(SameCompareAttributes(cases.back(), stored));  // the last-access time only
  EXPECT_FALSE(SameCompareAttributes(cases[1], stored));
}

}  // namespace
