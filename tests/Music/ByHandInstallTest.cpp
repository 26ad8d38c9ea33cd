// The program as a person gets it, on a private X server: built by the build, or installed by
// `cmake --install` into a throw-away folder, and started from a folder of its own (the current
// folder has nothing to do with where the run-time components are). A fresh home holds one WMA
// file; START scans it. The library then names the track by its title, its album and artist
// (the media-format runtime read its tags), the opened folder shows that title on the screen,
// and a click plays it (the audio component was found too): the program publishes the title.
//
// The screen is 1024 x 768: the browser's 800 x 600 drawn 1.28 times as large.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/Music/ByHand.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"
#include "tests/support/XvfbServer.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace byhand;

constexpr const char* Title = "Lanterns on the Water";
constexpr const char* Artist = "Harbour Band";
constexpr const char* Album = "Night Ferry";
// Where things are on the screen (the skin's places).
constexpr TSpot StartButton{70, 168};
constexpr int FirstListX = 250;
constexpr int FirstRowY = 116;
constexpr int RowPitch = 65;
constexpr TSpot RestingPlace{300, 40};

// Starts a program from another current folder and goes back: the child keeps the folder.
class TStartedElsewhere {
 public:
  TStartedElsewhere(const fs::path& program, const fs::path& folder)
  {
    const fs::path here = fs::current_path();
    fs::create_directories(folder);
    fs::current_path(folder);
    FProcess = std::make_unique<TChildProcess>(program.string(), std::vector<std::string>{"DEBUG"});
    fs::current_path(here);
  }
  TChildProcess& Process() { return *FProcess; }

 private:
  std::unique_ptr<TChildProcess> FProcess;
};

class TByHandInstall : public ::testing::Test {
 protected:
  void SetUp() override
  {
    setenv("OXA_AUDIO", "null:speed=0.02", 1);  // the two-second track plays for over a minute
    testmedia::TWmaRecipe wma;
    wma.Audio.Milliseconds = 2000;
    wma.Attributes = {{"Title", Title},
                      {"Author", Artist},
                      {"WM/AlbumTitle", Album},
                      {"WM/Genre", "Jazz"},
                      {"WM/Year", "2004"}};
    // The file name is not the title: a track listed by its file name shows "track01".
    const fs::path folder = Machine.Home() / "Music" / "Ferry";
    fs::create_directories(folder);
    testmedia::WriteWma(folder / "track01.wma", wma);
  }
  void TearDown() override { unsetenv("OXA_AUDIO"); }

  // Waits until the crop shows the same picture, not a blank one and not unlike, twice in a row.
  bool Painted(int left, int top, int width, int height, TScreenPicture& picture,
               const TScreenPicture* unlike = nullptr)
  {
    Hands->MoveTo(RestingPlace.X, RestingPlace.Y);
    TScreenPicture last;
    return WaitFor(
        [&] {
          std::this_thread::sleep_for(400ms);
          last = std::move(picture);
          picture = Hands->Shot(left, top, width, height);
          return !Blank(picture) && last.Pixels == picture.Pixels &&
                 (unlike == nullptr || unlike->Pixels != picture.Pixels);
        },
        60s);
  }
  std::string TraceTail() const { return Trace.Tail(); }

  // What a person does with the program at that path and what they should see.
  void ScanAndPlayTheWma(const fs::path& program)
  {
    ASSERT_TRUE(Hands->Open());
    TStartedElsewhere started(program, Machine.Scratch() / "elsewhere");
    ASSERT_TRUE(WaitFor([&] { return Trace.Contains("TMusicForm.Create: ImportRecorded"); }, 60s))
        << TraceTail();
    ASSERT_TRUE(ClickUntil(*Hands, StartButton, [&] {
      return Trace.Contains("TMusicForm.ToggleScanPanel: 0");
    })) << TraceTail();
    ASSERT_TRUE(WaitFor([&] { return Trace.Contains("TMusicForm.UpdatePlaying"); }, 60s))
        << "the scan ended" << TraceTail();

    // The library has the file's tags, not its name and "Unknown" fields.
    const std::vector<TListLine> folders = Listed({"1"});
    ASSERT_EQ(folders.size(), 1u) << ::testing::PrintToString(Captions(folders));
    EXPECT_EQ(Captions(Listed({"1", folders[0].Id})), std::vector<std::string>{Title});
    const auto listsOne = [](const std::vector<TListLine>& lines, const std::string& name) {
      return lines.size() == 1 && lines[0].Caption.rfind(name + " (", 0) == 0;
    };
    EXPECT_TRUE(listsOne(Listed({"Albums"}), Album))
        << ::testing::PrintToString(Captions(Listed({"Albums"})));
    EXPECT_TRUE(listsOne(Listed({"Artists"}), Artist))
        << ::testing::PrintToString(Captions(Listed({"Artists"})));

    // The opened folder shows the title on the screen.
    TScreenPicture closed;
    ASSERT_TRUE(Painted(0, 84, 1024, 200, closed)) << "the browser shows";
    TScreenPicture opened;
    bool open = false;
    for (int attempt = 0; attempt < 3 && !open; ++attempt) {
      Hands->Click(FirstListX, FirstRowY);
      open = Painted(0, 84, 1024, 200, opened, &closed);
    }
    ASSERT_TRUE(open) << "the folder opens" << TraceTail();
    EXPECT_TRUE(MatchesScreen("byhand-wma-title", opened));

    // A click on the track plays it: the audio component was found as well.
    EXPECT_TRUE(
        ClickUntil(*Hands, {FirstListX, FirstRowY + RowPitch}, [] { return PublishedTrack() == Title; }))
        << "published: \"" << PublishedTrack() << "\"" << TraceTail();
    started.Process().Kill();
  }

  TTempMachine Machine;
  TTraceCapture Trace;
  std::unique_ptr<TXvfbServer> Server = std::make_unique<TXvfbServer>("1024x768x24");
  std::unique_ptr<THands> Hands = std::make_unique<THands>(Server->Name());
};

TEST_F(TByHandInstall, TheProgramAsBuiltReadsAWmasTagsStartedFromAnotherFolder)
{
  ScanAndPlayTheWma(OXA_MUSIC_PROGRAM);
}

TEST_F(TByHandInstall, TheInstalledProgramReadsAWmasTagsStartedFromAnotherFolder)
{
  const fs::path root = Machine.Scratch() / "root";
  const TProgramRun install = RunProgram("/usr/bin/env", {"DESTDIR=" + root.string(), OXA_CMAKE, "--install",
                                                          OXA_BUILD_DIR, "--prefix", "/usr/local"});
  ASSERT_EQ(install.ExitCode, 0) << install.Output;
  ScanAndPlayTheWma(root / "usr" / "local" / "bin" / "oxanetmusic");
}

}  // namespace
