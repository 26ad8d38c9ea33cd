// The directory walks on throw-away machines whose C: is a scratch folder: which files are
// reported, which folders the full walk chooses as roots and cuts, the update walk, cancelling,
// failures, and the drop's merge into stored roots and cuts.
#include "scan/OxaSearchEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/ShellFolders.h"
#include "rtl/FilePaths.h"
#include "rtl/FileStream.h"
#include "scan/OxaSearchUtils.h"
#include "tests/support/DeclaredDrives.h"

namespace {

using TPaths = std::vector<std::string>;

constexpr std::int64_t SongSize = 4000;

TPaths Sorted(TPaths paths)
{
  std::sort(paths.begin(), paths.end());
  return paths;
}

TPaths PathsOf(const TList<TNode>& nodes)
{
  TPaths paths;
  for (const TNode* node : nodes) {
    paths.push_back(node->Path);
  }
  return Sorted(paths);
}

TPaths Lines(const TStringList& list)
{
  TPaths lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return Sorted(lines);
}

void SetLines(TStringList& list, const TPaths& lines)
{
  list.Clear();
  for (const std::string& line : lines) {
    list.Add(line);
  }
}

// A machine whose C: holds the files a test puts there, named by their Windows paths below C:\.
class TDriveC : public TDeclaredMachine {
 public:
  TDriveC() : TDeclaredMachine({TDrive{'C', "", DRIVE_FIXED, "System", kTenGiB, "", "NTFS"}}) {}

  // A file of size bytes (sparse, so large ones cost nothing).
  void Put(const std::string& relative, std::int64_t size = SongSize) const
  {
    const std::filesystem::path path = HostPath(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).put('x');
    std::filesystem::resize_file(path, static_cast<std::uintmax_t>(size));
  }
  // count files name1.ext .. nameN.ext in folder.
  void PutMany(const std::string& folder, const std::string& name, const std::string& ext, int count) const
  {
    for (int i = 1; i <= count; ++i) {
      Put(folder + "\\" + name + std::to_string(i) + ext);
    }
  }
  void Folder(const std::string& relative) const { std::filesystem::create_directories(HostPath(relative)); }

 private:
  std::filesystem::path HostPath(const std::string& relative) const
  {
    std::string host = relative;
    std::replace(host.begin(), host.end(), '\\', '/');
    return DriveFolder('C') / host;
  }
};

// Records what a walk reports; a test may hook each file.
class TWalkLog {
 public:
  void File(TObject* sender, const std::string& folder, const TSearchRec& record)
  {
    Senders.push_back(sender);
    Files.push_back(folder + record.Name);
    if (AfterFile) {
      AfterFile(folder, record);
    }
  }
  void Directory(TNode* node, const std::string& path)
  {
    DirectoryNodes.push_back(node);
    Directories.push_back(path);
  }

  TPaths Files;
  std::vector<TObject*> Senders;
  TPaths Directories;
  std::vector<TNode*> DirectoryNodes;
  std::function<void(const std::string& folder, const TSearchRec& record)> AfterFile;
};

class SearchEngineTest : public ::testing::Test {
 protected:
  SearchEngineTest()
  {
    FMasks.Add(".mp3");
    FMasks.Add(".wav");
    FMasks.Add(".wma");
    // The machine's own Windows and common-files folders are not on this C:; tests that need
    // them name their own.
    FEngine.ExcludedFolders.Clear();
    FEngine.SpecialFolders.Clear();
    FEngine.Root = "C:\\";
    FEngine.Masks = &FMasks;
    FEngine.OnFile = MakeMethod<&TWalkLog::File>(&FLog);
    FEngine.OnDirectory = MakeMethod<&TWalkLog::Directory>(&FLog);
  }

  TDriveC FDrive;
  TStringList FMasks;
  TWalkLog FLog;
  TSearchEngine FEngine;
};

}  // namespace

TEST_F(SearchEngineTest, ReportsMusicFilesByTheRuleAndEntersEveryFolder)
{
  FDrive.Put("Music\\song.mp3");
  FDrive.Put("Music\\.hidden.mp3");
  FDrive.Put("Music\\LOUD.MP3");
  FDrive.Put("Music\\stub.mp3", MinMusicFileSize - 1);
  FDrive.Put("Music\\short.wav", MinWaveFileSize - 1);
  FDrive.Put("Music\\long.wav", MinWaveFileSize);
  FDrive.Put("Music\\cover.jpg");
  FDrive.Put("Music\\Live\\encore.wma");
  FDrive.Folder("Empty");

  FEngine.Search();

  EXPECT_EQ(Sorted(FLog.Files),
            (TPaths{"C:\\Music\\.hidden.mp3", "C:\\Music\\LOUD.MP3", "C:\\Music\\Live\\encore.wma",
                    "C:\\Music\\long.wav", "C:\\Music\\song.mp3"}));
  EXPECT_EQ(Sorted(FLog.Directories), (TPaths{"C:\\Empty", "C:\\Music", "C:\\Music\\Live"}));
  for (std::size_t i = 0; i < FLog.Files.size(); ++i) {
    const auto* node = dynamic_cast<const TNode*>(FLog.Senders[i]);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->Path, ExtractFilePath(FLog.Files[i]));
  }
  EXPECT_EQ(FEngine.NodeCount(), 4);
}

TEST_F(SearchEngineTest, RootAndCutClassificationOfWholeDrives)
{
  struct TCase {
    const char* Name;
    std::function<void(const TDriveC&)> Build;
    TPaths Roots;
    TPaths Cuts;
  };
  const TCase cases[] = {
      // A folder whose subfolders all hold music (or nothing) becomes a root and leaves its
      // parent, taking its music with it: a leaf of music is the root, not the drive.
      {"music only in one leaf folder",
       [](const TDriveC& d) {
         d.PutMany("Music\\Album", "track", ".mp3", 3);
         d.PutMany("Docs", "letter", ".txt", 10);
       },
       {"C:\\Music\\Album\\"},
       {}},
      {"music only in one deep leaf folder",
       [](const TDriveC& d) { d.PutMany("A\\B\\Album", "track", ".mp3", 2); },
       {"C:\\A\\B\\Album\\"},
       {}},
      {"sibling leaves of music",
       [](const TDriveC& d) {
         d.PutMany("Music\\One", "track", ".mp3", 2);
         d.PutMany("Music\\Two", "track", ".mp3", 2);
       },
       {"C:\\Music\\One\\", "C:\\Music\\Two\\"},
       {}},
      {"a leaf of music beside folders without music",
       [](const TDriveC& d) {
         d.PutMany("Music\\Album", "track", ".mp3", 2);
         d.PutMany("Music\\Scans", "scan", ".jpg", 10);
         d.PutMany("Music\\Notes", "note", ".txt", 10);
       },
       {"C:\\Music\\Album\\"},
       {}},
      // Music of its own makes the parent a root again; the leaf below it is then no root.
      {"music directly in the parent of a leaf",
       [](const TDriveC& d) {
         d.Put("Music\\single.mp3");
         d.PutMany("Music\\Album", "track", ".mp3", 2);
         d.PutMany("Docs", "note", ".txt", 10);
       },
       {"C:\\Music\\"},
       {}},
      // Six files without music (a stub counts as a file) below a root make a cut; five do not.
      {"six files without music",
       [](const TDriveC& d) {
         d.PutMany("Music", "track", ".mp3", 3);
         d.PutMany("Music\\Covers", "scan", ".jpg", 5);
         d.Put("Music\\Covers\\stub.mp3", MinMusicFileSize - 1);
         d.PutMany("Other", "note", ".txt", 10);
       },
       {"C:\\Music\\"},
       {"C:\\Music\\Covers\\"}},
      {"five files without music",
       [](const TDriveC& d) {
         d.PutMany("Music", "track", ".mp3", 3);
         d.PutMany("Music\\Covers", "scan", ".jpg", 4);
         d.Put("Music\\Covers\\stub.mp3", MinMusicFileSize - 1);
         d.PutMany("Other", "note", ".txt", 10);
       },
       {"C:\\Music\\"},
       {}},
      // A folder with music among mostly music-less siblings stands alone.
      {"music among many folders without music",
       [](const TDriveC& d) {
         d.PutMany("A", "track", ".mp3", 1);
         d.PutMany("A\\Docs", "note", ".txt", 10);
         d.PutMany("X1", "note", ".txt", 10);
         d.PutMany("X2", "note", ".txt", 10);
         d.PutMany("X3", "note", ".txt", 10);
       },
       {"C:\\A\\"},
       {"C:\\A\\Docs\\"}},
      // Music spread over two folders keeps them together under the drive.
      {"music spread over two folders",
       [](const TDriveC& d) {
         d.PutMany("A", "track", ".mp3", 1);
         d.PutMany("A\\Docs", "note", ".txt", 10);
         d.PutMany("B", "track", ".mp3", 1);
         d.PutMany("B\\Docs", "note", ".txt", 10);
         d.PutMany("Other", "note", ".txt", 10);
       },
       {"C:\\"},
       {"C:\\Other\\"}},
      // A root below a cut is kept, and so is a cut below a root.
      {"root below a cut",
       [](const TDriveC& d) {
         d.Put("top.mp3");
         d.PutMany("Data", "note", ".txt", 10);
         d.PutMany("Data\\Music", "track", ".mp3", 3);
         d.PutMany("Data\\Music\\Covers", "scan", ".jpg", 6);
         d.PutMany("Data\\Misc1", "note", ".txt", 10);
         d.PutMany("Data\\Misc2", "note", ".txt", 10);
       },
       {"C:\\", "C:\\Data\\Music\\"},
       {"C:\\Data\\", "C:\\Data\\Music\\Covers\\"}},
      {"no music at all", [](const TDriveC& d) { d.PutMany("Docs", "note", ".txt", 10); }, {}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TDriveC drive;
    c.Build(drive);
    TSearchEngine engine;
    engine.ExcludedFolders.Clear();
    engine.SpecialFolders.Clear();
    engine.Root = "C:\\";
    engine.Masks = &FMasks;
    engine.Search();
    EXPECT_EQ(PathsOf(engine.RootNodes()), c.Roots);
    EXPECT_EQ(PathsOf(engine.CutNodes()), c.Cuts);
  }
}

TEST_F(SearchEngineTest, SearchingAgainStartsAfresh)
{
  FDrive.PutMany("Music", "track", ".mp3", 2);
  FEngine.Search();
  FEngine.Search();
  EXPECT_EQ(PathsOf(FEngine.RootNodes()), (TPaths{"C:\\Music\\"}));
  EXPECT_EQ(FEngine.NodeCount(), 2);
  EXPECT_EQ(FLog.Files.size(), 4u);
}

TEST_F(SearchEngineTest, WindowsFolderSkippedButADesktopInsideItWalked)
{
  FDrive.PutMany("Mixed", "track", ".mp3", 3);
  FDrive.PutMany("Mixed\\Docs", "note", ".txt", 10);
  FDrive.Put("Windows\\system.mp3");
  FDrive.Put("Windows\\Desktop\\dropped.mp3");
  FEngine.ExcludedFolders.Add("c:\\windows\\");
  FEngine.SpecialFolders.Add("C:\\Windows\\Desktop\\");
  FEngine.SpecialFolders.Add("D:\\Windows\\Desktop\\");  // another drive: not this walk's

  FEngine.Search();

  EXPECT_EQ(Sorted(FLog.Files), (TPaths{"C:\\Mixed\\track1.mp3", "C:\\Mixed\\track2.mp3",
                                        "C:\\Mixed\\track3.mp3", "C:\\Windows\\Desktop\\dropped.mp3"}));
  // The drive keeps its root beside the desktop's, so music directly below the drive's folders
  // is still walked by an update.
  EXPECT_EQ(PathsOf(FEngine.RootNodes()), (TPaths{"C:\\", "C:\\Windows\\Desktop\\"}));
  for (const TNode* node : FEngine.RootNodes()) {
    EXPECT_GE(node->MusicCount, 0) << node->Path;
    EXPECT_GE(node->FileCount, 0) << node->Path;
  }
}

TEST_F(SearchEngineTest, DesktopOutsideAnExcludedFolderIsWalkedOnce)
{
  FDrive.Put("Desktop\\song.mp3");
  FEngine.ExcludedFolders.Add("C:\\Windows\\");
  FEngine.SpecialFolders.Add("C:\\Desktop\\");
  FEngine.Search();
  EXPECT_EQ(FLog.Files, (TPaths{"C:\\Desktop\\song.mp3"}));
}

TEST_F(SearchEngineTest, CancelledWalkStopsAtTheNextEntry)
{
  for (const char* folder : {"A", "B", "C", "D"}) {
    FDrive.PutMany(folder, "track", ".mp3", 3);
  }
  FLog.AfterFile = [&](const std::string&, const TSearchRec&) { FEngine.Cancelled = true; };

  FEngine.Search();

  EXPECT_EQ(FLog.Files.size(), 1u);
  EXPECT_EQ(FLog.Directories.size(), 1u);
  EXPECT_EQ(FEngine.RootNodes().Count(), 0);
  EXPECT_EQ(FEngine.CutNodes().Count(), 0);

  TStringList roots;
  roots.Add("C:\\");
  const TStringList cuts;
  FEngine.SearchList(roots, cuts);
  EXPECT_EQ(FLog.Files.size(), 1u);
}

TEST_F(SearchEngineTest, FailureInOneFolderEndsOnlyThatFolderInTheFullWalk)
{
  FDrive.PutMany("Bad", "track", ".mp3", 3);
  FDrive.PutMany("Good", "track", ".mp3", 2);
  FDrive.PutMany("Good\\Inner", "track", ".mp3", 2);
  FLog.AfterFile = [](const std::string& folder, const TSearchRec&) {
    if (folder == "C:\\Bad\\") {
      throw std::runtime_error("collector failed");
    }
  };

  FEngine.Search();

  const auto fromBad = std::count_if(FLog.Files.begin(), FLog.Files.end(),
                                     [](const std::string& file) { return file.starts_with("C:\\Bad\\"); });
  EXPECT_EQ(fromBad, 1);
  EXPECT_EQ(FLog.Files.size(), 5u);

  TStringList roots;
  roots.Add("C:\\");
  const TStringList cuts;
  EXPECT_THROW(FEngine.SearchList(roots, cuts), std::runtime_error);
}

TEST_F(SearchEngineTest, UnreadableOrMissingFolderIsEmpty)
{
  FDrive.PutMany("Music", "track", ".mp3", 2);
  FEngine.Root = "C:\\Missing\\";
  FEngine.Search();
  EXPECT_TRUE(FLog.Files.empty());
  EXPECT_EQ(FEngine.RootNodes().Count(), 0);

  TStringList roots;
  roots.Add("C:\\Missing\\");
  roots.Add("Q:\\");
  roots.Add("C:\\Music\\");
  const TStringList cuts;
  FEngine.SearchList(roots, cuts);
  EXPECT_EQ(FLog.Files.size(), 2u);
}

TEST_F(SearchEngineTest, UpdateWalkSkipsCutsAndExcludedFoldersAndBuildsNoNodes)
{
  FDrive.Put("Music\\a.mp3");
  FDrive.Put("Music\\stub.mp3", MinMusicFileSize - 1);
  FDrive.Put("Music\\Sub\\b.mp3");
  FDrive.Put("Music\\Covers\\c.mp3");
  FDrive.Put("Music\\Covers\\Inner\\d.mp3");
  FDrive.Put("Music\\Sys\\s.mp3");
  FDrive.Put("Other\\o.mp3");
  FEngine.ExcludedFolders.Add("C:\\Music\\Sys\\");
  TStringList roots;
  roots.Add("C:\\Music\\");
  TStringList cuts;
  cuts.Add("c:\\music\\COVERS\\");

  FEngine.SearchList(roots, cuts);

  EXPECT_EQ(Sorted(FLog.Files), (TPaths{"C:\\Music\\Sub\\b.mp3", "C:\\Music\\a.mp3"}));
  for (const TObject* sender : FLog.Senders) {
    EXPECT_EQ(sender, &FEngine);
  }
  EXPECT_TRUE(FLog.Directories.empty());
  EXPECT_EQ(FEngine.NodeCount(), 0);
}

TEST_F(SearchEngineTest, UpdateWalkFindsNewMusicBelowTheParentsOfRootsAndListsEachFolderOnce)
{
  FDrive.Put("Music\\A\\Album1\\1.mp3");
  FDrive.Put("Music\\A\\Album1\\Scans\\s.mp3");  // a cut
  FDrive.Put("Music\\B\\Album2\\2.mp3");
  FDrive.Put("Music\\New Artist\\New Album\\n.mp3");
  FDrive.Put("Music\\Deep\\x\\y\\z\\d.mp3");
  FDrive.Put("Music\\loose.mp3");
  FDrive.PutMany("Music\\Docs", "note", ".txt", 8);
  FDrive.Put("Music\\Sys\\e.mp3");  // excluded
  FDrive.Put("Top\\t.mp3");         // below the drive's root only
  FDrive.Put("t.mp3");
  FEngine.ExcludedFolders.Add("C:\\Music\\Sys\\");
  TStringList roots;
  SetLines(roots, {"C:\\Music\\A\\Album1\\", "C:\\Music\\B\\Album2\\", "C:\\Music\\B\\Album2\\"});
  TStringList cuts;
  SetLines(cuts, {"C:\\Music\\A\\Album1\\Scans\\"});
  const TUpdateScope scope(roots, cuts, FEngine.ExcludedFolders);

  FEngine.SearchUpdate(scope);

  EXPECT_EQ(Sorted(FLog.Files), (TPaths{"C:\\Music\\A\\Album1\\1.mp3", "C:\\Music\\B\\Album2\\2.mp3",
                                        "C:\\Music\\Deep\\x\\y\\z\\d.mp3",
                                        "C:\\Music\\New Artist\\New Album\\n.mp3", "C:\\Music\\loose.mp3"}));
  EXPECT_TRUE(FLog.Directories.empty());
  EXPECT_EQ(FEngine.NodeCount(), 0);
}

TEST(UpdateScope, TheNearestRootCutExcludedFolderOrWalkedParentDecides)
{
  TStringList roots;
  SetLines(roots, {"C:\\Music\\A\\Album1\\", "C:\\Music\\B\\Album2\\", "c:\\music\\c\\deep\\album3\\",
                   "C:\\Data\\", "C:\\Data\\Big\\Sub\\Album\\", "C:\\Win\\Desk\\Album\\", "E:\\", "F:\\Top\\",
                   "\\\\server\\music\\Folk\\Album\\", "\\\\server\\music\\Jazz\\", "G:\\Cut\\Album\\"});
  TStringList cuts;
  SetLines(cuts, {"C:\\Music\\A\\Album1\\Scans\\", "C:\\Music\\B\\Album2\\", "C:\\Data\\Big\\", "G:\\Cut\\"});
  TStringList excluded;
  SetLines(excluded, {"C:\\Win\\"});
  const std::pair<const char*, TWalkScope> cases[] = {
      {"C:\\", TWalkScope::Outside},
      {"C:\\Other\\", TWalkScope::Outside},  // new, but beside the parents only
      {"C:\\Music\\", TWalkScope::Parent},
      {"C:\\Music\\A\\", TWalkScope::Parent},
      {"c:\\MUSIC\\new artist\\new album\\", TWalkScope::Parent},
      {"C:\\Music\\A\\Album1\\", TWalkScope::Root},
      {"C:\\Music\\A\\Album1\\CD1\\", TWalkScope::Root},
      {"C:\\Music\\A\\Album1\\Scans\\", TWalkScope::Outside},
      {"C:\\Music\\A\\Album1\\Scans\\Old\\", TWalkScope::Outside},
      {"C:\\Music\\B\\Album2\\", TWalkScope::Root},  // a root that is a cut too is walked
      {"C:\\Music\\B\\Album2\\Sub\\", TWalkScope::Root},
      {"C:\\Data\\x\\", TWalkScope::Root},
      {"C:\\Data\\Big\\", TWalkScope::Outside},
      {"C:\\Data\\Big\\Other\\", TWalkScope::Outside},
      {"C:\\Data\\Big\\Sub\\", TWalkScope::Parent},  // parent of a root below a cut
      {"C:\\Data\\Big\\Sub\\New\\", TWalkScope::Parent},
      {"C:\\Data\\Big\\Sub\\Album\\", TWalkScope::Root},
      {"C:\\Win\\", TWalkScope::Outside},
      {"C:\\Win\\Other\\", TWalkScope::Outside},
      {"C:\\Win\\Desk\\", TWalkScope::Parent},
      {"C:\\Win\\Desk\\Album\\", TWalkScope::Root},
      {"E:\\", TWalkScope::Root},
      {"E:\\Any\\", TWalkScope::Root},
      {"F:\\Top\\", TWalkScope::Root},
      {"F:\\Other\\", TWalkScope::Outside},
      {"G:\\", TWalkScope::Outside},
      {"G:\\Cut\\", TWalkScope::Outside},  // a parent that is a cut is not walked
      {"G:\\Cut\\New\\", TWalkScope::Outside},
      {"G:\\Cut\\Album\\", TWalkScope::Root},
      {"\\\\SERVER\\music\\folk\\", TWalkScope::Parent},
      {"\\\\server\\music\\Other\\", TWalkScope::Outside},
      {"\\\\server\\music\\", TWalkScope::Outside},
      {"H:\\Music\\", TWalkScope::Outside},
      {"", TWalkScope::Outside},
  };
  const TUpdateScope scope(roots, cuts, excluded);
  for (const auto& [folder, expected] : cases) {
    EXPECT_EQ(scope.ScopeOf(folder), expected) << folder;
  }
  EXPECT_EQ(Sorted(scope.Parents()),
            (TPaths{"C:\\Data\\Big\\Sub\\", "C:\\Music\\", "C:\\Win\\Desk\\", "\\\\server\\music\\Folk\\"}));
  EXPECT_EQ(scope.Roots().size(), static_cast<std::size_t>(roots.Count()));

  // The same parents whatever the order of the roots (written as the first root below each).
  TStringList reversed;
  for (int i = roots.Count() - 1; i >= 0; --i) {
    reversed.Add(roots[i]);
  }
  const auto folded = [](const TPaths& paths) {
    TPaths result;
    for (const std::string& path : paths) {
      result.push_back(FoldCase(path));
    }
    return Sorted(result);
  };
  EXPECT_EQ(folded(TUpdateScope(reversed, cuts, excluded).Parents()), folded(scope.Parents()));

  const std::pair<const char*, bool> entered[] = {
      {"C:\\Music\\New\\", true},          {"C:\\Music\\A\\Album1\\", false},
      {"c:\\data\\big\\", false},          {"C:\\Win\\", false},
      {"C:\\Data\\Big\\Sub\\New\\", true}, {"C:\\Music\\A\\Album1\\Scans\\", false},
  };
  for (const auto& [folder, expected] : entered) {
    EXPECT_EQ(scope.Enters(folder), expected) << folder;
  }
}

TEST(SearchEngine, ExcludesTheMachinesWindowsAndCommonFilesFolders)
{
  const TDeclaredMachine machine;
  const TSearchEngine engine;
  std::array<char, 1024> windows{};
  ASSERT_GT(GetWindowsDirectoryA(windows.data(), static_cast<UINT>(windows.size())), 0u);
  EXPECT_GE(engine.ExcludedFolders.IndexOf(IncludeTrailingBackslash(windows.data())), 0);
  EXPECT_EQ(engine.ExcludedFolders.Count(), 2);
  for (int i = 0; i < engine.ExcludedFolders.Count(); ++i) {
    EXPECT_TRUE(engine.ExcludedFolders[i].ends_with("\\")) << engine.ExcludedFolders[i];
  }
}

TEST(DropClassification, NearestStoredAncestorDecidesAndCutsWin)
{
  TStringList roots;
  TStringList cuts;
  TDragNDropSearchEngine engine;
  engine.Roots = &roots;
  engine.Cuts = &cuts;
  SetLines(roots, {"C:\\Music\\", "C:\\Music\\Covers\\Live\\", "\\\\server\\share\\Music\\"});
  SetLines(cuts, {"c:\\music\\covers\\", "C:\\Music\\Covers\\Scans\\"});
  const std::pair<const char*, TClassification> cases[] = {
      {"C:\\Music\\Rock\\Album\\", TClassification::Root},
      {"C:\\Music\\", TClassification::None},  // the path itself does not count
      {"C:\\", TClassification::None},
      {"", TClassification::None},
      {"D:\\Music\\Rock\\", TClassification::None},
      {"C:\\Music\\Covers\\", TClassification::Root},
      {"C:\\Music\\Covers\\Scans\\", TClassification::Cut},  // a cut below a cut
      {"C:\\Music\\Covers\\Live\\", TClassification::Cut},   // a root below a cut
      {"C:\\Music\\Covers\\Live\\Set\\", TClassification::Root},
      {"\\\\server\\share\\Music\\Live\\", TClassification::Root},
      {"\\\\server\\share\\", TClassification::None},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(engine.Classify(path), expected) << path;
  }
}

TEST(DragNDrop, MergesDroppedPlacesIntoRootsAndCuts)
{
  struct TCase {
    const char* Name;
    TPaths StoredRoots;
    TPaths StoredCuts;
    TPaths Files;
    TPaths Folders;
    TPaths Roots;
    TPaths Cuts;
    TPaths Reported;
  };
  const TCase cases[] = {
      {"a dropped folder becomes a root and its subfolders cuts",
       {},
       {},
       {},
       {"C:\\Music\\A"},
       {"C:\\Music\\A\\"},
       {"C:\\Music\\A\\X\\", "C:\\Music\\A\\Y\\"},
       {"C:\\Music\\A\\1.mp3", "C:\\Music\\A\\2.mp3", "C:\\Music\\A\\tiny.mp3"}},
      {"a dropped subfolder is no cut",
       {},
       {},
       {},
       {"C:\\Music\\A\\X", "C:\\Music\\A"},
       {"C:\\Music\\A\\"},
       {"C:\\Music\\A\\Y\\"},
       {"C:\\Music\\A\\1.mp3", "C:\\Music\\A\\2.mp3", "C:\\Music\\A\\X\\x.mp3", "C:\\Music\\A\\tiny.mp3"}},
      {"the folder of a dropped file becomes a root and leaves the cuts",
       {},
       {"C:\\Other\\"},
       {"C:\\Other\\s.mp3", "C:\\Other\\readme.txt"},
       {},
       {"C:\\Other\\"},
       {},
       {"C:\\Other\\s.mp3"}},
      {"dropped files in a folder with subfolders",
       {},
       {},
       {"C:\\Music\\A\\2.mp3", "C:\\Music\\A\\1.mp3"},
       {},
       {"C:\\Music\\A\\"},
       {"C:\\Music\\A\\X\\", "C:\\Music\\A\\Y\\"},
       {"C:\\Music\\A\\1.mp3", "C:\\Music\\A\\2.mp3"}},
      {"a dropped leaf below a stored root changes nothing",
       {"C:\\Music\\"},
       {},
       {},
       {"C:\\Music\\B"},
       {"C:\\Music\\"},
       {},
       {"C:\\Music\\B\\b.mp3"}},
      {"a dropped folder with subfolders below a stored root changes nothing",
       {"C:\\Music\\"},
       {},
       {},
       {"C:\\Music\\A"},
       {"C:\\Music\\"},
       {},
       {"C:\\Music\\A\\1.mp3", "C:\\Music\\A\\2.mp3", "C:\\Music\\A\\tiny.mp3"}},
      {"a dropped folder that was a cut below a stored root is walked again",
       {"C:\\Music\\"},
       {"C:\\Music\\B\\"},
       {},
       {"C:\\Music\\B"},
       {"C:\\Music\\"},
       {},
       {"C:\\Music\\B\\b.mp3"}},
      // A folder without music of its own is taken as a subfolder of its parent: the parent
      // becomes the root and the dropped folder a cut.
      {"a dropped folder without music of its own", {}, {}, {}, {"C:\\Empty"}, {"C:\\"}, {"C:\\Empty\\"}, {}},
      // Names are matched exactly, never as patterns.
      {"a host name holding a wildcard is dropped by its Windows name, U+F03F for \"?\", alone",
       {},
       {},
       {"C:\\Wild\\a\xEF\x80\xBF.mp3"},
       {},
       {"C:\\Wild\\"},
       {},
       {"C:\\Wild\\a\xEF\x80\xBF.mp3"}},
      {"a wildcard in a dropped name is no pattern",
       {},
       {},
       {"C:\\Wild\\a?.mp3"},
       {},
       {"C:\\Wild\\"},
       {},
       {}},
      {"a wildcard that names no file reports none",
       {},
       {},
       {"C:\\Wild\\b*.mp3"},
       {},
       {"C:\\Wild\\"},
       {},
       {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TDriveC drive;
    drive.Put("Music\\A\\1.mp3");
    drive.Put("Music\\A\\2.mp3");
    drive.Put("Music\\A\\tiny.mp3", 10);
    drive.Put("Music\\A\\X\\x.mp3");
    drive.Put("Music\\A\\Y\\y.txt");
    drive.Put("Music\\B\\b.mp3");
    drive.Put("Other\\s.mp3");
    drive.Put("Other\\readme.txt");
    drive.Put("Empty\\readme.txt");
    drive.Put("Empty\\Sub\\z.mp3");
    drive.Put("Wild\\ab.mp3");
    drive.Put("Wild\\a?.mp3");
    drive.Put("Wild\\bc.mp3");

    TStringList masks;
    masks.Add(".mp3");
    TStringList roots;
    roots.SetSorted(true);
    SetLines(roots, c.StoredRoots);
    TStringList cuts;
    cuts.SetSorted(true);
    SetLines(cuts, c.StoredCuts);
    TStringList files;
    SetLines(files, c.Files);
    TStringList folders;
    SetLines(folders, c.Folders);
    TWalkLog log;
    TDragNDropSearchEngine engine;
    engine.Roots = &roots;
    engine.Cuts = &cuts;
    engine.Masks = &masks;
    engine.OnFile = MakeMethod<&TWalkLog::File>(&log);

    engine.Add(c.Files.empty() ? nullptr : &files, c.Folders.empty() ? nullptr : &folders);

    EXPECT_EQ(Lines(roots), c.Roots);
    EXPECT_EQ(Lines(cuts), c.Cuts);
    EXPECT_EQ(Sorted(log.Files), c.Reported);
  }
}

TEST(DragNDrop, DoesNothingWithoutItsListsOrDrops)
{
  const TDriveC drive;
  drive.Put("Other\\s.mp3");
  TStringList masks;
  masks.Add(".mp3");
  TStringList roots;
  TStringList cuts;
  TStringList files;
  files.Add("C:\\Other\\s.mp3");
  TWalkLog log;
  TDragNDropSearchEngine engine;
  engine.Cuts = &cuts;
  engine.Masks = &masks;
  engine.OnFile = MakeMethod<&TWalkLog::File>(&log);

  engine.Add(&files, nullptr);  // no Roots
  engine.Roots = &roots;
  engine.Add(nullptr, nullptr);

  EXPECT_TRUE(log.Files.empty());
  EXPECT_EQ(roots.Count(), 0);
  EXPECT_EQ(cuts.Count(), 0);
}

// What a killed tag save left beside a music file goes with the next walk of its folder, full
// or update; a save still composing its file keeps it. Neither is music, nor counts as a file.
TEST_F(SearchEngineTest, WalksRemoveWhatKilledSavesLeftAndSparesOnesStillWriting)
{
  for (const bool full : {true, false}) {
    SCOPED_TRACE(full);
    FLog.Files.clear();
    FDrive.Put("Music\\a.mp3");
    FDrive.Put("Music\\a.mp3.oxatmp");
    FDrive.Put("Music\\Sub\\b.MP3.OXATMP");
    FDrive.Put("Music\\c.oxatmp.mp3");
    FDrive.Put("Music\\d.mp3.oxatmp");
    const TFileStream writing("C:\\Music\\d.mp3.oxatmp", fmCreate);
    if (full) {
      FEngine.Root = "C:\\Music\\";
      FEngine.Search();
    } else {
      TStringList roots;
      roots.Add("C:\\Music\\");
      FEngine.SearchList(roots, TStringList());
    }
    EXPECT_EQ(Sorted(FLog.Files), (TPaths{"C:\\Music\\a.mp3", "C:\\Music\\c.oxatmp.mp3"}));
    EXPECT_FALSE(std::filesystem::exists(FDrive.DriveFolder('C') / "Music" / "a.mp3.oxatmp"));
    EXPECT_FALSE(std::filesystem::exists(FDrive.DriveFolder('C') / "Music" / "Sub" / "b.MP3.OXATMP"));
    EXPECT_TRUE(std::filesystem::exists(FDrive.DriveFolder('C') / "Music" / "d.mp3.oxatmp"));
  }
}
