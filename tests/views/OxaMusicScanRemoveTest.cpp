// "Remove files" and "Show previously removed" against real scans: removed tracks stay out of
// the library through later update scans, and come back when shown again.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files/Paths.h"
#include "playback/OxaMusicPlayer.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "tools/make-test-media/TestMedia.h"
#include "views/scan/OxaMusicScanChoice.h"

namespace fs = std::filesystem;

namespace {

struct TScanOwner : TObject {
  TOxaMusicPlayer* Player = nullptr;
  int Updates = 0;
  void Update(TObject*)
  {
    Player->UpdateDatabase();
    ++Updates;
  }
};

class OxaMusicScanRemoveTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    ResetSettingsFileName();
    testmedia::TMp3Recipe recipe;
    // Long enough to be read as music by the scan.
    recipe.Audio.Milliseconds = 2000;
    recipe.Id3v2 = testmedia::TId3v2Fields{"Song", "Band"};
    Track = Machine.Home() / "Music" / "song.mp3";
    fs::create_directories(Track.parent_path());
    testmedia::WriteMp3(Track, recipe);
    Player = std::make_unique<TOxaMusicPlayer>("no-such-audio-component");
    ASSERT_TRUE(Player->OpenLibrary());
    Owner.Player = Player.get();
    Player->OnUpdateDatabase = MakeMethod<&TScanOwner::Update>(&Owner);
  }
  void TearDown() override
  {
    Player.reset();
    ResetSettingsFileName();
  }

  void Scan(bool full)
  {
    const int before = Owner.Updates;
    ASSERT_TRUE(full ? Player->StartFullScan() : Player->StartUpdateScan());
    ASSERT_TRUE(PumpUntil([&] { return Owner.Updates > before; }, 60000));
  }
  bool Known() { return !Player->Database().FindFileByPath(WindowsPathOf(Track.string()), 1).Empty(); }

  TTempMachine Machine;
  fs::path Track;
  std::unique_ptr<TOxaMusicPlayer> Player;
  TScanOwner Owner;
};

TEST_F(OxaMusicScanRemoveTest, RemovedTracksStayOutUntilShownAgain)
{
  ASSERT_EQ(OxaApplyScanStart({"C:\\"}, TOxaScanOption::None).Event, TOxaScanEvent::Start);
  Scan(true);
  ASSERT_TRUE(Known());

  // The remove event: the player drops the tracks under the stored folders.
  ASSERT_EQ(OxaApplyScanStart({"C:\\"}, TOxaScanOption::DontShow).Event, TOxaScanEvent::Remove);
  Player->RemoveDeletedFolders();
  EXPECT_FALSE(Known());
  Scan(false);
  EXPECT_FALSE(Known());

  // The unhide event: hidden records go and an update scan finds the files again.
  ASSERT_EQ(OxaApplyScanStart({"C:\\"}, TOxaScanOption::ShowRemoved).Event, TOxaScanEvent::Unhide);
  Player->UnhideFolders();
  Scan(false);
  EXPECT_TRUE(Known());
}

}  // namespace
