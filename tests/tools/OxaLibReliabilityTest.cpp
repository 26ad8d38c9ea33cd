// What the library's writers leave behind when they meet each other, a full disk or a kill: two
// writers at once, each writer on a size-limited file system of its own (a private mount
// namespace; skipped where the test cannot make one), and kill -9 loops, each checked for the
// old state or the new and a library that still opens.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "rtl/Registry.h"
#include "scan/OxaSearchEngineWrapper.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tags/TagFiles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"
#include "tests/support/Mp3Builder.h"
#include "tests/support/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* LibraryDir = "C:\\Lib";

class OxaLibReliabilityTest : public ::testing::Test {
 protected:
  OxaLibReliabilityTest()
  {
    TRegistry registry;
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    registry.CloseKey();
    registry.OpenKey(std::string(PlayerRegistryKey), true);
    registry.WriteInteger(std::string(ScanPauseValueName), 0);
    ResetSettingsFileName();
  }
  ~OxaLibReliabilityTest() override { ResetSettingsFileName(); }

  void PutAlbums(const std::string& folder, int count) const
  {
    mp3::TBytes bytes = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Song")});
    mp3::Append(bytes, mp3::Audio(mp3::TFrameRecipe{}, 6000));
    for (int i = 0; i < count; ++i) {
      const fs::path path = Machine.DriveFolder('C') / folder / ("Album" + std::to_string(i / 10)) /
                            ("t" + std::to_string(i) + ".mp3");
      fs::create_directories(path.parent_path());
      // Bytes of its own make each file other music, with a fingerprint of its own.
      mp3::TBytes own = bytes;
      mp3::Append(own, mp3::BusyBytes(4096, static_cast<std::uint32_t>(i + 1)));
      std::ofstream(path, std::ios::binary)
          .write(reinterpret_cast<const char*>(own.data()), static_cast<std::streamsize>(own.size()));
    }
  }
  static TProgramRun OxaLib(const std::vector<std::string>& arguments)
  {
    return RunProgram(OXA_LIB_PROGRAM, arguments);
  }
  // Runs a shell script, its errors mixed into its output.
  static TProgramRun Shell(const std::string& script) { return RunProgram("/bin/sh", {"-c", script}); }
  // How many music files the library in dir lists.
  static int FileCount(const std::string& dir)
  {
    const TProgramRun files = OxaLib({"db", "files", "--dir", dir});
    if (files.ExitCode != 0) {
      return -1;
    }
    int count = 0;
    for (std::size_t at = files.Output.find(".mp3"); at != std::string::npos;
         at = files.Output.find(".mp3", at + 1)) {
      ++count;
    }
    return count;
  }
  std::string Stamp(const std::string& folder) const
  {
    std::ifstream in(Machine.DriveFolder('C') / folder / "OxaMediaDatabase.oxa", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Whether this test may mount a file system of its own (root in a private mount namespace).
  static bool CanMountPrivately() { return Shell("unshare -m true 2>/dev/null").ExitCode == 0; }
  // A script that puts a size-limited file system over C:\Lib, copies the library prepared in
  // C:\Prep into it, fills it up to freeKiB left, and runs body there ($OXA is oxa-lib).
  std::string OnFullDisk(int freeKiB, const std::string& body) const
  {
    const std::string lib = (Machine.DriveFolder('C') / "Lib").string();
    const std::string prep = (Machine.DriveFolder('C') / "Prep").string();
    return "unshare -m sh -c '"
           "OXA=" +
           std::string(OXA_LIB_PROGRAM) + "; L=" + lib +
           "; mkdir -p $L && mount -t tmpfs -o size=4m tmpfs $L || exit 99; " + "cp -a " + prep +
           "/. $L/ && cat /dev/zero > $L/fill 2>/dev/null; truncate -s -" + std::to_string(freeKiB) +
           "k $L/fill; " + body + "' 2>&1";
  }

  // A tagged music file of about a megabyte: an ID3v2 tag with room to spare and an ID3v1 tag.
  fs::path PutTaggedFile(const std::string& folder, const std::string& name) const
  {
    mp3::TBytes bytes = mp3::Id3Tag({mp3::Id3TextFrame("TIT2", "Old title")}, 64);
    mp3::Append(bytes, mp3::Audio(mp3::TFrameRecipe{}, 1 << 20));
    mp3::Append(bytes, mp3::Id3v1Tag("Old title", "", "", "", "", 0, 255));
    const fs::path path = Machine.DriveFolder('C') / folder / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static std::string FileBytes(const fs::path& path)
  {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  TDeclaredMachine Machine{{TDrive{'C', "", DRIVE_FIXED, "System", TDeclaredMachine::kTenGiB, "", "NTFS"}}};
};

TEST_F(OxaLibReliabilityTest, TwoWritersAtOnceTakeTurnsAndTheLibraryStaysWhole)
{
  constexpr int Files = 300;
  PutAlbums("Music", Files);
  ASSERT_EQ(OxaLib({"scan", "full", "--dir", LibraryDir, "--json"}).ExitCode, 0);
  ASSERT_EQ(FileCount(LibraryDir), Files);
  const std::vector<std::vector<std::string>> second{
      {"scan", "update", "--dir", LibraryDir, "--json"},
      {"fav", "new", "List", "--dir", LibraryDir},
      {"scan", "drop", "C:\\Music\\Album3", "--dir", LibraryDir, "--json"},
  };
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    TChildProcess first(OXA_LIB_PROGRAM, {"scan", "update", "--dir", LibraryDir, "--json"});
    TChildProcess other(OXA_LIB_PROGRAM, second[static_cast<std::size_t>(trial) % second.size()]);
    // The later one waits for the earlier to let go of the library, then does its work.
    EXPECT_EQ(first.Wait(std::chrono::seconds(60)), 0);
    EXPECT_EQ(other.Wait(std::chrono::seconds(60)), 0);
    EXPECT_EQ(Stamp("Lib"), "OxaMediaDatabase-2.4-DBISAM");
    EXPECT_EQ(OxaLib({"db", "check", "--dir", LibraryDir}).ExitCode, 0);
    EXPECT_EQ(FileCount(LibraryDir), Files);
  }
}

TEST_F(OxaLibReliabilityTest, AWriterThatMeetsAHolderPastItsWaitRefusesAndTouchesNothing)
{
  PutAlbums("Music", 20);
  ASSERT_EQ(OxaLib({"scan", "full", "--dir", LibraryDir, "--json"}).ExitCode, 0);
  // A slow scan holds the library far longer than a writer waits for it.
  TRegistry registry;
  registry.OpenKey(std::string(PlayerRegistryKey), true);
  registry.WriteInteger(std::string(ScanPauseValueName), 1000);
  PutAlbums("Music", 40);
  TChildProcess holder(OXA_LIB_PROGRAM, {"scan", "update", "--dir", LibraryDir, "--json"});
  for (int i = 0; i < 200 && Stamp("Lib") != "OxaMediaDatabase-2.4-DBISAM-Open"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(Stamp("Lib"), "OxaMediaDatabase-2.4-DBISAM-Open");
  const TProgramRun refused = Shell(std::string(OXA_LIB_PROGRAM) + " db create --force --dir 'C:\\Lib' 2>&1");
  EXPECT_EQ(refused.ExitCode, 1);
  EXPECT_NE(refused.Output.find("in use by another process"), std::string::npos) << refused.Output;
  EXPECT_EQ(Stamp("Lib"), "OxaMediaDatabase-2.4-DBISAM-Open");
  holder.Kill();
  // The holder died with the library open: nobody holds it now, so it reads as a crash's.
  const TProgramRun crashed = Shell(std::string(OXA_LIB_PROGRAM) + " scan update --dir 'C:\\Lib' 2>&1");
  EXPECT_EQ(crashed.ExitCode, 1);
  EXPECT_NE(crashed.Output.find("db recover"), std::string::npos) << crashed.Output;
  const TProgramRun recovered = OxaLib({"db", "recover", "--dir", LibraryDir});
  EXPECT_EQ(recovered.ExitCode, 0) << recovered.Output;
  EXPECT_EQ(Stamp("Lib"), "OxaMediaDatabase-2.4-DBISAM");
  EXPECT_EQ(FileCount(LibraryDir), 20);
}

TEST_F(OxaLibReliabilityTest, AHealthyLibraryOnAFullDiskIsLeftAsItIs)
{
  if (!CanMountPrivately()) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  PutAlbums("Music", 50);
  ASSERT_EQ(OxaLib({"scan", "full", "--dir", "C:\\Prep", "--json"}).ExitCode, 0);
  for (const char* command : {"scan update", "fav new Full", "db hide C:\\\\Music\\\\Album0\\\\t0.mp3"}) {
    SCOPED_TRACE(command);
    const TProgramRun run =
        Shell(OnFullDisk(0, std::string("$OXA ") + command +
                                " --dir C:\\\\Lib; echo rc=$?; rm -f $L/fill; cat $L/OxaMediaDatabase.oxa; "
                                "echo; $OXA db files --dir C:\\\\Lib | grep -c mp3"));
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("rc=1\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("left as it is"), std::string::npos) << run.Output;
    EXPECT_TRUE(run.Output.ends_with("OxaMediaDatabase-2.4-DBISAM\n50\n")) << run.Output;
  }
}

TEST_F(OxaLibReliabilityTest, AWriterThatFillsTheDiskClosesTheLibraryAsItNowStands)
{
  if (!CanMountPrivately()) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  PutAlbums("Music", 10);
  ASSERT_EQ(OxaLib({"scan", "full", "--dir", "C:\\Prep", "--json"}).ExitCode, 0);
  PutAlbums("Music", 1500);
  for (const int freeKiB : {64, 120, 200}) {
    SCOPED_TRACE(freeKiB);
    const TProgramRun run = Shell(OnFullDisk(
        freeKiB,
        "$OXA scan full --dir C:\\\\Lib --json; echo rc=$?; rm -f $L/fill; cat $L/OxaMediaDatabase.oxa; "
        "echo; $OXA db check --dir C:\\\\Lib; echo check=$?; $OXA db files --dir C:\\\\Lib | grep -c mp3"));
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_NE(run.Output.find("rc=1\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("committed before the failure are kept"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("\nOxaMediaDatabase-2.4-DBISAM\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("check=0\n"), std::string::npos) << run.Output;
    // The batches that made it are there (10 known files, plus whole batches of 1024).
    EXPECT_TRUE(run.Output.ends_with("\n10\n") || run.Output.ends_with("\n1034\n")) << run.Output;
  }
}

TEST_F(OxaLibReliabilityTest, KilledWritersLeaveTheOldStateOrTheNewAndALibraryThatRecovers)
{
  PutAlbums("Music", 40);
  ASSERT_EQ(OxaLib({"scan", "full", "--dir", LibraryDir, "--json"}).ExitCode, 0);
  PutAlbums("Music", 120);
  const std::vector<std::vector<std::string>> writers{
      {"scan", "full", "--dir", LibraryDir, "--json"},
      {"fav", "new", "Killed", "--dir", LibraryDir},
  };
  for (int trial = 0; trial < 10; ++trial) {
    SCOPED_TRACE(trial);
    {
      TChildProcess writer(OXA_LIB_PROGRAM, writers[static_cast<std::size_t>(trial) % writers.size()]);
      std::this_thread::sleep_for(std::chrono::milliseconds(30 + 40 * trial));
      writer.Kill();
    }
    if (Stamp("Lib") == "OxaMediaDatabase-2.4-DBISAM-Open") {
      EXPECT_EQ(OxaLib({"db", "recover", "--dir", LibraryDir}).ExitCode, 0);
    }
    EXPECT_EQ(OxaLib({"db", "check", "--dir", LibraryDir}).ExitCode, 0);
    const int count = FileCount(LibraryDir);
    EXPECT_TRUE(count == 40 || count == 120) << count;
  }
}

// A full disk needs no room for a tag that fits its old one's space; one that does not fit
// fails whole, saying why, and leaves the file byte for byte.
TEST_F(OxaLibReliabilityTest, ATagWriteOnAFullDiskIsAllOrNothingAndSaysWhy)
{
  if (!CanMountPrivately()) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  const fs::path prepared = PutTaggedFile("Prep", "a.mp3");
  const std::string longTitle(300, 'L');
  const TProgramRun run = Shell(OnFullDisk(
      0, "$OXA tags --set title=" + longTitle +
             " C:\\\\Lib\\\\a.mp3; echo grows=$?; ls $L | grep -c oxatmp; cmp -s $L/a.mp3 " +
             prepared.string() +
             " && echo unchanged; $OXA tags --set title=Tune C:\\\\Lib\\\\a.mp3 >/dev/null; echo fits=$?; "
             "$OXA id3v1 C:\\\\Lib\\\\a.mp3 | grep -c Tune"));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("grows=1\n0\nunchanged\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("the disk is full; the file is as it was"), std::string::npos) << run.Output;
  EXPECT_TRUE(run.Output.ends_with("fits=0\n1\n")) << run.Output;
  EXPECT_TRUE(fs::exists(prepared));
}

// A tag write killed at any moment leaves the old file or the new one, both tags alike; what
// it was composing goes with the next scan of the folder.
TEST_F(OxaLibReliabilityTest, KilledTagWritesLeaveTheOldFileOrTheNewAndTheNextScanClearsTheirLeftovers)
{
  const fs::path file = PutTaggedFile("Music", "a.mp3");
  const std::string oldBytes = FileBytes(file);
  const std::string longTitle(300, 'N');
  const std::vector<std::string> write{"tags", "--set", "title=" + longTitle, "C:\\Music\\a.mp3"};
  // The kills are spread over the time a whole write takes here.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(OxaLib(write).ExitCode, 0);
  const auto whole = std::chrono::steady_clock::now() - started;
  constexpr int Trials = 12;
  int oldState = 0;
  int newState = 0;
  int leftovers = 0;
  for (int trial = 0; trial < Trials; ++trial) {
    SCOPED_TRACE(trial);
    std::ofstream(file, std::ios::binary)
        .write(oldBytes.data(), static_cast<std::streamsize>(oldBytes.size()));
    {
      TChildProcess writer(OXA_LIB_PROGRAM, write);
      std::this_thread::sleep_for(whole * (trial + 1) / (Trials + 1));
      writer.Kill();
    }
    const std::string bytes = FileBytes(file);
    if (bytes == oldBytes) {
      ++oldState;
    } else {
      ++newState;
      const TProgramRun v1 = OxaLib({"id3v1", "C:\\Music\\a.mp3"});
      EXPECT_NE(v1.Output.find(longTitle.substr(0, 30)), std::string::npos) << v1.Output;
      const TProgramRun tags = OxaLib({"tags", "C:\\Music\\a.mp3"});
      EXPECT_NE(tags.Output.find("title: " + longTitle), std::string::npos) << tags.Output;
    }
    const fs::path leftover = TReplacementFile::TemporaryName(file.string());
    if (fs::exists(leftover)) {
      ++leftovers;
      ASSERT_EQ(OxaLib({"scan", "drop", "C:\\Music", "--dir", LibraryDir, "--json"}).ExitCode, 0);
      EXPECT_FALSE(fs::exists(leftover));
    }
  }
  std::cout << "killed tag writes: " << oldState << " old, " << newState << " new, " << leftovers
            << " leftovers removed\n";
  EXPECT_EQ(oldState + newState, Trials);
}

// A settings write the disk refuses is an error, the file as it was.
TEST_F(OxaLibReliabilityTest, SettingsSetOnAFullDiskFailsWithAMessage)
{
  if (!CanMountPrivately()) {
    GTEST_SKIP() << "no private mount namespace here";
  }
  const fs::path prepared = Machine.DriveFolder('C') / "Prep" / "SearchInfomation.oxa";
  fs::create_directories(prepared.parent_path());
  ASSERT_EQ(OxaLib({"settings", "set", "Roots", "C:\\Old\\", "--file", prepared.string()}).ExitCode, 0);
  const TProgramRun run = Shell(OnFullDisk(0, "$OXA settings set Roots C:\\\\" + std::string(6000, 'x') +
                                                  " --file $L/SearchInfomation.oxa; echo rc=$?; $OXA "
                                                  "settings get Roots --file $L/SearchInfomation.oxa"));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("cannot write"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("rc=1\n"), std::string::npos) << run.Output;
  EXPECT_TRUE(run.Output.ends_with("C:\\Old\\\n")) << run.Output;
}

// A root folder that cannot be read for a while keeps its place and its tracks: they are
// there again when it reads again, and a favorite on one of them is not moved to another copy
// of its music. Runs as another user where the test is root, whom no permission stops.
TEST_F(OxaLibReliabilityTest, AnUnreadableRootKeepsItsPlaceItsTracksAndItsFavorites)
{
  const std::string asUser = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  if (!asUser.empty() && Shell("command -v setpriv >/dev/null").ExitCode != 0) {
    GTEST_SKIP() << "no setpriv to run as another user";
  }
  PutAlbums("Music", 20);
  const fs::path album = Machine.DriveFolder('C') / "Music" / "Album0";
  // Another file of the same audio, under another name in another folder.
  fs::copy_file(album / "t0.mp3", Machine.DriveFolder('C') / "Music" / "Album1" / "copy.mp3");
  const fs::path top = Machine.Folder().parent_path();
  ASSERT_EQ(Shell("chmod -R a+rwX '" + top.string() + "'").ExitCode, 0);
  const auto run = [&](const std::string& arguments) {
    return Shell(asUser + OXA_LIB_PROGRAM + " " + arguments + " 2>&1");
  };
  const auto count = [&] {
    const TProgramRun files = run("db files --dir 'C:\\Lib'");
    return static_cast<int>(std::count(files.Output.begin(), files.Output.end(), '\n'));
  };
  ASSERT_EQ(run("scan full --dir 'C:\\Lib' --json").ExitCode, 0);
  const int known = count();
  ASSERT_GE(known, 21);
  ASSERT_EQ(run("fav new Kept --dir 'C:\\Lib'").ExitCode, 0);
  ASSERT_EQ(run("fav add 1 'C:\\Music\\Album0\\t0.mp3' --dir 'C:\\Lib'").ExitCode, 0);
  const std::string roots = run("settings get Roots").Output;

  fs::permissions(album, fs::perms::none);
  for (const char* scan : {"scan full", "scan update"}) {
    SCOPED_TRACE(scan);
    const TProgramRun walked = run(std::string(scan) + " --dir 'C:\\Lib' --json");
    EXPECT_EQ(walked.ExitCode, 0) << walked.Output;
    EXPECT_NE(walked.Output.find("\"removed\":0"), std::string::npos) << walked.Output;
    EXPECT_EQ(run("settings get Roots").Output, roots);
    EXPECT_EQ(count(), known);
    const TProgramRun list = run("fav show 1 --dir 'C:\\Lib'");
    EXPECT_NE(list.Output.find("Album0\\t0.mp3"), std::string::npos) << list.Output;
    EXPECT_EQ(list.Output.find("copy.mp3"), std::string::npos) << list.Output;
  }
  fs::permissions(album, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
  ASSERT_EQ(run("scan update --dir 'C:\\Lib' --json").ExitCode, 0);
  EXPECT_EQ(count(), known);
  EXPECT_EQ(run("settings get Roots").Output, roots);
}

TEST_F(OxaLibReliabilityTest, NamedPipesCalledMusicFilesNeverHoldACommand)
{
  PutAlbums("Music", 2);
  const fs::path pipe = Machine.DriveFolder('C') / "Music" / "Album0" / "f.mp3";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const std::string file = "C:\\Music\\Album0\\f.mp3";
  const std::vector<std::vector<std::string>> commands{
      {"tags", file},
      {"fingerprint", file},
      {"mpeg", file},
      {"id3v2", file},
      {"id3v1", file},
      {"play", file},
      {"tags", "--set", "title=X", file},
      {"scan", "drop", file, "--dir", LibraryDir},
      {"scan", "drop", "C:\\Music\\Album0", "--dir", LibraryDir, "--json"},
  };
  for (const auto& command : commands) {
    SCOPED_TRACE(command[0] + " " + command[1]);
    TChildProcess run(OXA_LIB_PROGRAM, command);
    const int status = run.Wait(std::chrono::seconds(15));
    EXPECT_NE(status, -1) << "still waiting for the pipe";
    EXPECT_LT(status, 128) << "ended by a signal";
  }
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(FileCount(LibraryDir), 2) << "the pipe is no track";
}

}  // namespace
