// The string list's files: the safe save, the lock file shared between processes, and the
// options store that merges keys written by several processes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <thread>

#include "framework/OxaUtils.h"
#include "platform/core/FaultInjection.h"
#include "platform/files/Drives.h"
#include "platform/files/Files.h"
#include "rtl/Exception.h"
#include "settings/MusicStringList.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

// A throw-away machine whose C: is a scratch folder.
class MusicStringFileTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    TDrive drive;
    drive.Letter = 'C';
    drive.Folder = FMachine.Scratch().string();
    drive.Type = DRIVE_FIXED;
    drive.TotalSize = 10ULL << 30;
    ASSERT_EQ(DeclareDriveTable({drive}), 0);
  }

  std::filesystem::path Host(const std::string& relative) const { return FMachine.Scratch() / relative; }
  static std::string Windows(const std::string& relative) { return "C:\\" + relative; }
  // Four processes store their own key into file 15 times each; every key must survive.
  void StoreConcurrently(const std::string& file, int delay);

  TTempMachine FMachine;
};

TMusicStringList& ListWith(TMusicStringList& list, std::initializer_list<const char*> lines)
{
  for (const char* line : lines) {
    list.Add(line);
  }
  return list;
}

}  // namespace

TEST_F(MusicStringFileTest, SafeSaveCreatesFoldersAndReplacesTheFile)
{
  const std::string file = Windows("Library\\Sub\\SearchInfomation.oxa");
  TMusicStringList first;
  ListWith(first, {"one"}).SaveToFile(file);
  TMusicStringList second;
  ListWith(second, {"two", "three"}).SaveToFile(file);

  TMusicStringList loaded;
  loaded.LoadFromFile(file);
  EXPECT_EQ(loaded.Count(), 2);
  EXPECT_FALSE(std::filesystem::exists(Host("Library/Sub/SearchInfomation.oxa.tmp")));
}

TEST_F(MusicStringFileTest, FailedSaveLeavesTheOldFile)
{
  const std::string file = Windows("settings.oxa");
  TMusicStringList old;
  ListWith(old, {"kept"}).SaveToFile(file);
  // A folder where the temporary file should go makes the write fail.
  std::filesystem::create_directories(Host("settings.oxa.tmp"));
  TMusicStringList next;
  EXPECT_ANY_THROW(ListWith(next, {"lost"}).SaveToFile(file));
  TMusicStringList loaded;
  loaded.LoadFromFile(file);
  ASSERT_EQ(loaded.Count(), 1);
  EXPECT_EQ(loaded[0], "kept");
}

TEST_F(MusicStringFileTest, AFileUpToTheLargestSizeLoadsAndALargerOneIsRefused)
{
  // A list of one entry, then zeros (sparse, so the sizes cost no disk).
  TMusicStringList one;
  ListWith(one, {"entry"}).SaveToFile(Windows("at.oxa"));
  std::filesystem::copy_file(Host("at.oxa"), Host("over.oxa"));
  std::filesystem::resize_file(Host("at.oxa"), static_cast<std::uintmax_t>(MaxMusicStringFileSize));
  std::filesystem::resize_file(Host("over.oxa"), static_cast<std::uintmax_t>(MaxMusicStringFileSize) + 1);

  TMusicStringList loaded;
  loaded.LoadFromFile(Windows("at.oxa"));
  ASSERT_EQ(loaded.Count(), 1);
  EXPECT_EQ(loaded[0], "entry");
  EXPECT_THROW(loaded.LoadFromFile(Windows("over.oxa")), EReadError);
  EXPECT_EQ(loaded.Count(), 0);
}

TEST_F(MusicStringFileTest, UnreadableFileLeavesTheListEmpty)
{
  TMusicStringList list;
  list.Add("stale");
  EXPECT_ANY_THROW(list.LoadFromFile(Windows("missing.oxa")));
  EXPECT_EQ(list.Count(), 0);
  {
    std::ofstream corrupt(Host("corrupt.oxa"), std::ios::binary);
    corrupt << "\x01\x00\x00\x00Q";
  }
  list.Add("stale");
  EXPECT_THROW(list.LoadFromFile(Windows("corrupt.oxa")), EReadError);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(MusicStringFileTest, LockMisuseIsAProgrammingError)
{
  TMusicStringList list;
  try {
    list.UnLockFile();
    FAIL() << "expected EOxaFatal";
  } catch (const EOxaFatal& e) {
    EXPECT_EQ(e.Message(), "TMusicStringList.UnLockFile: No file is locked");
  }
  ASSERT_TRUE(list.LockFile(Windows("a.oxa")));
  try {
    list.LockFile(Windows("b.oxa"));
    FAIL() << "expected EOxaFatal";
  } catch (const EOxaFatal& e) {
    EXPECT_EQ(e.Message(), "TMusicStringList.LockFile: A file is already locked");
  }
  EXPECT_TRUE(std::filesystem::exists(Host("a.oxa.lck")));
  list.UnLockFile();
  EXPECT_FALSE(std::filesystem::exists(Host("a.oxa.lck")));
}

TEST_F(MusicStringFileTest, AnotherListWaitsUntilTheLockIsReleased)
{
  const std::string file = Windows("shared.oxa");
  TMusicStringList holder;
  ASSERT_TRUE(holder.LockFile(file));
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    TMusicStringList other;
    taken = other.LockFile(file);
    other.UnLockFile();
  });
  // The waiter retries after 50, 100, 150 ms...; release once it has surely tried once.
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_FALSE(taken.load());
  holder.UnLockFile();
  waiter.join();
  EXPECT_TRUE(taken.load());
}

// A take whose open found the previous holder's file just as that holder let go gets a file
// that is no longer at the path. Right then a third list takes the lock with a new file. The
// failed take must leave that file alone, or a fourth taker would hold the lock beside the
// third.
TEST_F(MusicStringFileTest, AFailedTakeLeavesTheNextHoldersLockFileAlone)
{
  const std::string file = Windows("race.oxa");
  const std::string lockFile = Host("race.oxa.lck").string();
  TMusicStringList first;
  TMusicStringList third;
  ASSERT_TRUE(first.LockFile(file));

  const auto identity = [&] {
    struct stat st {};
    return ::stat(lockFile.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
  };
  std::atomic<std::thread::id> racer;
  int pauses = 0;  // of the racer, which alone counts them, not those of its own calls here
  bool insidePause = false;
  ino_t thirdsFile = 0;
  std::promise<void> secondAttemptOpened;
  PausePlatformCalls([&] {
    if (std::this_thread::get_id() != racer.load() || insidePause) {
      return;
    }
    ++pauses;
    if (pauses == 1) {
      // The racer holds the first file open but has not checked its sharing yet.
      insidePause = true;
      first.UnLockFile();
      EXPECT_TRUE(third.LockFile(file));
      thirdsFile = identity();
      insidePause = false;
    } else if (pauses == 3) {
      // The second attempt: the file at the path must still be the third list's.
      EXPECT_EQ(identity(), thirdsFile);
      secondAttemptOpened.set_value();
    }
  });
  std::atomic<bool> taken{false};
  TMusicStringList second;
  std::thread waiter([&] {
    racer = std::this_thread::get_id();
    taken = second.LockFile(file);
  });
  ASSERT_EQ(secondAttemptOpened.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_FALSE(taken.load());
  third.UnLockFile();
  waiter.join();
  PausePlatformCalls(nullptr);
  EXPECT_TRUE(taken.load());
  second.UnLockFile();
}

TEST_F(MusicStringFileTest, LockOfACrashedProcessIsTakenOverAtOnce)
{
  const std::string file = Windows("crash.oxa");
  TChildProcess child(SETTINGS_TEST_HELPER, {});
  ASSERT_EQ(child.Ask("lock " + file), "locked");
  child.Kill();
  ASSERT_TRUE(std::filesystem::exists(Host("crash.oxa.lck")));

  const auto start = std::chrono::steady_clock::now();
  TMusicStringList list;
  ASSERT_TRUE(list.LockFile(file));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  list.UnLockFile();
}

TEST_F(MusicStringFileTest, ALockFileThatCannotBeOpenedEndsTheLockAtOnce)
{
  // Only another holder is worth waiting for: a drive that is not there, or a lock file that
  // is a folder, fails on the first attempt instead of 128 times over seven minutes.
  std::filesystem::create_directories(Host("folder.oxa.lck"));
  for (const std::string& file : {std::string("Q:\\Music\\options.oxa"), Windows("folder.oxa")}) {
    FailNthPlatformCall(0);
    TMusicStringList list;
    EXPECT_FALSE(list.LockFile(file)) << file;
    EXPECT_LT(CountedPlatformCalls(), 10U) << file;
    EXPECT_TRUE(list.LockFileName().empty()) << file;
  }
}

TEST_F(MusicStringFileTest, LiveLockOfAnotherProcessIsRespected)
{
  const std::string file = Windows("live.oxa");
  TChildProcess child(SETTINGS_TEST_HELPER, {});
  ASSERT_EQ(child.Ask("lock " + file), "locked");
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    TMusicStringList list;
    taken = list.LockFile(file);
    list.UnLockFile();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_FALSE(taken.load());
  EXPECT_EQ(child.Ask("release"), "unlocked");
  waiter.join();
  EXPECT_TRUE(taken.load());
}

TEST_F(MusicStringFileTest, StoreKeepsKeysOtherProcessesWrote)
{
  const std::string file = Windows("SearchInfomation.oxa");
  {
    TMusicStringOptions other;
    other.Values("Roots").Add("C:\\Music\\");
    const std::string keys[] = {"Roots"};
    other.Store(file, keys);
  }
  TMusicStringOptions options;
  options.Values("masks").Add(".mp3");
  const std::string keys[] = {"MASKS"};
  options.Store(file, keys);

  TMusicStringOptions loaded;
  loaded.Load(file);
  ASSERT_EQ(loaded.Values("Roots").Count(), 1);
  EXPECT_EQ(loaded.Values("Roots")[0], "C:\\Music\\");
  ASSERT_EQ(loaded.Values("Masks").Count(), 1);
  EXPECT_EQ(loaded.Values("Masks")[0], ".mp3");
}

TEST_F(MusicStringFileTest, ConcurrentStoresOfDifferentKeysAllSurvive)
{
  // Without a delay the processes mostly meet at the lock; with one, each also sits between
  // opening the lock file and checking it is still the file at the path, where a failed take
  // once deleted the lock file of the process that held the lock.
  for (const int delay : {0, 5}) {
    SCOPED_TRACE(delay);
    StoreConcurrently(Windows("SearchInfomation" + std::to_string(delay) + ".oxa"), delay);
  }
}

void MusicStringFileTest::StoreConcurrently(const std::string& file, int delay)
{
  constexpr int Writers = 4;
  constexpr int Rounds = 15;
  std::vector<std::unique_ptr<TChildProcess>> children;
  for (int i = 0; i < Writers; ++i) {
    children.push_back(std::make_unique<TChildProcess>(SETTINGS_TEST_HELPER, std::vector<std::string>{}));
  }
  for (int i = 0; i < Writers; ++i) {
    children[static_cast<std::size_t>(i)]->WriteLine("store " + file + " Key" + std::to_string(i) + " " +
                                                     std::to_string(Rounds) + " " + std::to_string(delay));
  }
  for (auto& child : children) {
    EXPECT_EQ(child->ReadLine(std::chrono::seconds(120)).value_or("timeout"), "stored");
  }
  TMusicStringOptions loaded;
  loaded.Load(file);
  for (int i = 0; i < Writers; ++i) {
    const auto& values = loaded.Values("Key" + std::to_string(i));
    ASSERT_EQ(values.Count(), 1) << i;
    EXPECT_EQ(values[0], "Key" + std::to_string(i) + "-" + std::to_string(Rounds - 1));
  }
  EXPECT_FALSE(std::filesystem::exists(Host(file.substr(3) + ".lck")));
}

TEST_F(MusicStringFileTest, WriterKilledMidSaveLeavesAReadableFile)
{
  const std::string file = Windows("big.oxa");
  for (int round = 0; round < 5; ++round) {
    TChildProcess child(SETTINGS_TEST_HELPER, {});
    child.WriteLine("save-loop " + file);
    ASSERT_EQ(child.ReadLine().value_or("timeout"), "saving");
    std::this_thread::sleep_for(std::chrono::milliseconds(30 + 17 * round));
    child.Kill();
    if (!std::filesystem::exists(Host("big.oxa"))) {
      continue;  // killed before the first save finished: nothing was there to lose
    }
    TMusicStringList loaded;
    ASSERT_NO_THROW(loaded.LoadFromFile(file)) << "round " << round;
    EXPECT_EQ(loaded.Count(), 20000);
  }
}

TEST_F(MusicStringFileTest, AFailingFileCallDuringAStoreLosesNothing)
{
  const std::string file = Windows("SearchInfomation.oxa");
  {
    TMusicStringOptions first;
    first.Values("Roots").Add("C:\\Old\\");
    first.Values("Masks").Add(".mp3");
    const std::string keys[] = {"Roots", "Masks"};
    first.Store(file, keys);
  }
  // Fail the 1st, 2nd, ... file call of a store until a store makes fewer calls than that.
  for (std::uint32_t n = 1;; ++n) {
    TMusicStringOptions options;
    options.Values("Roots").Add("C:\\New\\");
    const std::string keys[] = {"Roots"};
    FailNthPlatformCall(n);
    const TMusicStringOptions::TStoreResult result = options.Store(file, keys);
    const std::uint32_t calls = CountedPlatformCalls();
    FailNthPlatformCall(0);

    TMusicStringOptions loaded;
    loaded.Load(file);
    ASSERT_EQ(loaded.Values("Roots").Count(), 1) << "failing call " << n;
    const std::string root = loaded.Values("Roots")[0];
    EXPECT_TRUE(root == "C:\\Old\\" || root == "C:\\New\\") << root;
    // A store that says it stored did, and one that did not says so.
    EXPECT_EQ(result == TMusicStringOptions::TStoreResult::Stored, root == "C:\\New\\")
        << "failing call " << n;
    EXPECT_EQ(result == TMusicStringOptions::TStoreResult::WriteFailed ||
                  result == TMusicStringOptions::TStoreResult::Unreadable,
              !options.StoreError().empty());
    ASSERT_EQ(loaded.Values("Masks").Count(), 1) << "failing call " << n;
    EXPECT_FALSE(std::filesystem::exists(Host("SearchInfomation.oxa.lck"))) << "failing call " << n;

    // Put the old value back for the next round.
    TMusicStringOptions reset;
    reset.Values("Roots").Add("C:\\Old\\");
    reset.Store(file, keys);
    if (calls < n) {
      break;
    }
  }
}

TEST_F(MusicStringFileTest, StoreReplacesACorruptFile)
{
  const std::string damaged("\x01\x00\x00\x00Q", 5);
  std::ofstream(Host("SearchInfomation.oxa"), std::ios::binary) << damaged;
  TMusicStringOptions options;
  options.Values("Masks").Add(".wma");
  const std::string keys[] = {"Masks"};
  EXPECT_EQ(options.Store(Windows("SearchInfomation.oxa"), keys), TMusicStringOptions::TStoreResult::Stored);
  TMusicStringOptions loaded;
  loaded.Load(Windows("SearchInfomation.oxa"));
  ASSERT_EQ(loaded.Values("Masks").Count(), 1);
  EXPECT_EQ(loaded.Values("Masks")[0], ".wma");
  EXPECT_TRUE(loaded.KeptDamagedFile().empty());
  // The damaged file is the user's only copy of what it held: it stays beside, as it was.
  EXPECT_EQ(options.KeptDamagedFile(), Windows("SearchInfomation.oxa.corrupt"));
  std::ifstream kept(Host("SearchInfomation.oxa.corrupt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
}

TEST_F(MusicStringFileTest, ALoadKeepsADamagedFileBesideAndReadsEmpty)
{
  const std::string damaged("\x01\x00\x00\x00Q", 5);
  std::ofstream(Host("SearchInfomation.oxa"), std::ios::binary) << damaged;
  TMusicStringOptions options;
  options.Load(Windows("SearchInfomation.oxa"));
  EXPECT_EQ(options.Values("Roots").Count(), 0);
  EXPECT_EQ(options.KeptDamagedFile(), Windows("SearchInfomation.oxa.corrupt"));
  EXPECT_FALSE(std::filesystem::exists(Host("SearchInfomation.oxa")));
  std::ifstream kept(Host("SearchInfomation.oxa.corrupt"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damaged);
  // A missing file is no damaged one.
  TMusicStringOptions again;
  again.Load(Windows("SearchInfomation.oxa"));
  EXPECT_TRUE(again.KeptDamagedFile().empty());
}
