#include "playback/OxaMusicPlayer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/Files.h"
#include "platform/files/Paths.h"
#include "rtl/Exception.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tags/OxaMusicTag.h"
#include "tests/playback/PlaybackMedia.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TraceCapture.h"

namespace fs = std::filesystem;

namespace {

int Occurrences(const std::string& text, const std::string& part)
{
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class TOxaMusicPlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    UseFastNullOutput();
    Folder = new TTempFolder();
    Media = new TPlaybackMedia(Folder->Path());
  }
  static void TearDownTestSuite()
  {
    delete Media;
    Media = nullptr;
    delete Folder;
    Folder = nullptr;
  }

  void SetUp() override
  {
    ResetSettingsFileName();
    InstallAudioComponent();
    Player = std::make_unique<TOxaMusicPlayer>();
    ASSERT_TRUE(Player->Audio().HasComponent());
    ASSERT_TRUE(Player->OpenLibrary());
    Player->OnTrackComplete = MakeMethod<&TOxaMusicPlayerTest::TrackComplete>(this);
    Player->OnTrackFailed = MakeMethod<&TOxaMusicPlayerTest::TrackFailed>(this);
    Player->OnBeforePlay = MakeMethod<&TOxaMusicPlayerTest::BeforePlay>(this);
  }
  void TearDown() override
  {
    Player.reset();
    ResetSettingsFileName();
  }

  // A copy of the suite's MP3 on C: in the library, as a track of its album.
  TDbId AddTrack(const std::string& name, const std::string& album, const fs::path& source = fs::path())
  {
    const fs::path file = Machine.Home() / "Music" / name;
    fs::create_directories(file.parent_path());
    fs::copy_file(source.empty() ? Media->Mp3 : source, file, fs::copy_options::overwrite_existing);
    TMusicFileItem item;
    item.FileName = WindowsName(file);
    item.Title = name;
    item.Artist = "Artist";
    item.Album = album;
    item.Genre = "Rock";
    item.Year = 2001;
    item.Track = 1;
    item.Checksum[0] = static_cast<std::uint8_t>(++FChecksum);
    const std::int32_t fileId = Player->Database().AddFile(item);
    TDbId id;
    EXPECT_TRUE(Player->Database().MakeItem(ViewAlbums, fileId, id));
    return id;
  }
  std::string FileOf(const std::string& name) const { return WindowsName(Machine.Home() / "Music" / name); }
  fs::path HostFileOf(const std::string& name) const { return Machine.Home() / "Music" / name; }

  void TrackComplete(TObject*)
  {
    ++Completions;
    StateAtComplete = Player->State();
    if (!Next.Empty()) {
      const TDbId next = std::exchange(Next, TDbId());
      Player->PlayItem(next, false);
    }
  }
  void TrackFailed(TObject*) { ++Failures; }
  void BeforePlay(TObject*) { ++BeforePlays; }

  static TTempFolder* Folder;
  static TPlaybackMedia* Media;
  TTempMachine Machine;
  std::unique_ptr<TOxaMusicPlayer> Player;
  int Completions = 0;
  int Failures = 0;
  int BeforePlays = 0;
  BYTE StateAtComplete = 0xFF;
  TDbId Next;

 private:
  int FChecksum = 0;
};

TTempFolder* TOxaMusicPlayerTest::Folder = nullptr;
TPlaybackMedia* TOxaMusicPlayerTest::Media = nullptr;

TEST_F(TOxaMusicPlayerTest, ATrackPlaysToItsEndAndCompletesOnce)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(track, false));
  EXPECT_EQ(Player->CurrentFile().FileName, FileOf("a.mp3"));
  EXPECT_TRUE(Player->CurrentItem().SameItem(track));
  ASSERT_TRUE(PumpUntil([this] { return Completions > 0; }));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(Completions, 1);
  EXPECT_EQ(Failures, 0);
  EXPECT_EQ(BeforePlays, 1);
}

TEST_F(TOxaMusicPlayerTest, AGarbageFileRaisesTrackFailed)
{
  const TDbId garbage = AddTrack("garbage.mp3", "Album B");
  std::ofstream(HostFileOf("garbage.mp3"), std::ios::binary | std::ios::trunc) << std::string(4096, '\x33');
  ASSERT_TRUE(Player->PlayItem(garbage, false));
  ASSERT_TRUE(PumpUntil([this] { return Failures > 0; }));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(Failures, 1);
  EXPECT_EQ(Completions, 0);
}

TEST_F(TOxaMusicPlayerTest, AMissingFileFailsAtOnceAndStopsWhatPlayed)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  const TDbId missing = AddTrack("missing.mp3", "Album A");
  fs::remove(HostFileOf("missing.mp3"));
  TDbId looseMissing;
  looseMissing.ViewId = ViewLooseFile;
  looseMissing.GroupId = 0;
  looseMissing.FileId = 0;
  looseMissing.Caption = FileOf("missing.mp3");
  for (const TDbId& item : {missing, looseMissing}) {
    ASSERT_TRUE(Player->PlayItem(track, false));
    ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
    EXPECT_FALSE(Player->PlayItem(item, false));
    EXPECT_TRUE(Player->CurrentItem().Empty());
    // The component was not asked to open it, and what played before has stopped.
    EXPECT_TRUE(Player->Audio().FileName().empty());
    ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudStopped; }));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Failures, 0);
    // The stopped file is no longer taken for the loaded one: keeping it plays it again.
    ASSERT_TRUE(Player->PlayItem(track, true));
    ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  }
  EXPECT_EQ(Completions, 0);
}

TEST_F(TOxaMusicPlayerTest, FailuresOfAnotherFileAreIgnored)
{
  const TDbId garbage = AddTrack("garbage.mp3", "Album A");
  std::ofstream(HostFileOf("garbage.mp3"), std::ios::binary | std::ios::trunc) << std::string(4096, '\x33');
  const TDbId track = AddTrack("b.mp3", "Album B");
  ASSERT_TRUE(Player->PlayItem(garbage, false));
  // The failure arrives after another item became current.
  ASSERT_TRUE(Player->PlayItem(track, false));
  ASSERT_TRUE(PumpUntil([this] { return Completions > 0; }));
  EXPECT_EQ(Failures, 0);
}

TEST_F(TOxaMusicPlayerTest, KeepIfSameDoesNotRestartTheLoadedFile)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(track, false));
  ASSERT_TRUE(PumpUntil([this] { return Player->Position() >= 10; }));
  // The same file under another name case is the same file.
  TDbId again = track;
  ASSERT_TRUE(Player->PlayItem(again, true));
  EXPECT_GE(Player->Position(), 10);
  EXPECT_EQ(BeforePlays, 1);
  ASSERT_TRUE(PumpUntil([this] { return Completions > 0; }));

  ASSERT_TRUE(Player->PlayItem(track, true));
  EXPECT_EQ(BeforePlays, 1);
  ASSERT_TRUE(Player->PlayItem(track, false));
  EXPECT_EQ(BeforePlays, 2);
  EXPECT_LT(Player->Position(), 10);
}

TEST_F(TOxaMusicPlayerTest, AStoppedFileIsNoLongerLoadedSoPlayingItAgainStartsIt)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(track, false));
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  ASSERT_TRUE(Player->Stop());
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudStopped; }));

  ASSERT_TRUE(Player->PlayItem(track, true));
  EXPECT_EQ(BeforePlays, 2);
  EXPECT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  EXPECT_EQ(Failures, 0);
}

TEST_F(TOxaMusicPlayerTest, StateIsStoredBeforeTheCompletionStartsTheNextTrack)
{
  const TDbId first = AddTrack("a.mp3", "Album A");
  Next = AddTrack("b.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(first, false));
  ASSERT_TRUE(PumpUntil([this] { return Completions >= 2; }));
  EXPECT_EQ(StateAtComplete, OxaAudStopped);
  EXPECT_EQ(Player->CurrentFile().FileName, FileOf("b.mp3"));
  EXPECT_EQ(Failures, 0);
}

TEST_F(TOxaMusicPlayerTest, PauseResumeAndToggleFollowTheState)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  EXPECT_FALSE(Player->Resume());
  ASSERT_TRUE(Player->PlayItem(track, false));
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  EXPECT_FALSE(Player->Resume());
  ASSERT_TRUE(Player->Pause());
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPaused; }));
  EXPECT_FALSE(Player->Pause());
  ASSERT_TRUE(Player->Resume());
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  ASSERT_TRUE(Player->TogglePause());
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPaused; }));
  ASSERT_TRUE(Player->Stop());
  EXPECT_TRUE(Player->CurrentItem().Empty());
}

TEST_F(TOxaMusicPlayerTest, ALooseFilePlaysItsCaptionAsAPath)
{
  const TDbId track = AddTrack("loose.mp3", "Album A");
  TDbId loose;
  loose.ViewId = ViewLooseFile;
  loose.GroupId = 0;
  loose.FileId = 0;
  loose.Caption = FileOf("loose.mp3");
  ASSERT_TRUE(Player->PlayItem(loose, false));
  EXPECT_EQ(Player->Audio().FileName(), loose.Caption);
  ASSERT_TRUE(PumpUntil([this] { return Completions > 0; }));
  (void)track;
}

TEST_F(TOxaMusicPlayerTest, AnItemWithoutAFileEmptiesTheCurrentItem)
{
  TDbId unknown;
  unknown.ViewId = ViewAlbums;
  unknown.GroupId = 1;
  unknown.FileId = 4711;
  EXPECT_FALSE(Player->PlayItem(unknown, false));
  EXPECT_TRUE(Player->CurrentItem().Empty());
  EXPECT_EQ(BeforePlays, 1);
}

TEST_F(TOxaMusicPlayerTest, PlayingStateFlagOpensNothing)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  Player->PlayingState = true;
  EXPECT_TRUE(Player->PlayItem(track, false));
  EXPECT_TRUE(Player->Audio().FileName().empty());
  EXPECT_TRUE(Player->CurrentItem().SameItem(track));
}

TEST_F(TOxaMusicPlayerTest, ATagForThePlayingFileIsWrittenOnceItIsReleasedAndTracedOnce)
{
  const TTraceCapture trace;
  const TDbId track = AddTrack("a.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(track, false));
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPlaying; }));
  TMusicFileItem tag;
  tag.FileName = FileOf("a.mp3");
  tag.Title = "Edited Title";
  Player->SetTag(tag);
  EXPECT_EQ(Player->PendingTagCount(), 1);
  ASSERT_TRUE(Player->Pause());
  ASSERT_TRUE(PumpUntil([this] { return Player->State() == OxaAudPaused; }));
  // Paused, the file is still the component's.
  EXPECT_EQ(Player->PendingTagCount(), 1);
  ASSERT_TRUE(Player->Stop());
  ASSERT_TRUE(PumpUntil([this] { return Player->PendingTagCount() == 0; }));
  PumpUntil([] { return false; }, 100);
  const std::string line = "Tag written to " + FileOf("a.mp3") + " @ state Stopped";
  EXPECT_EQ(Occurrences(trace.Log(), line), 1) << trace.Log();
  EXPECT_EQ(Occurrences(trace.Log(), "Tag written to"), 1);

  TOxaMusicTag reader;
  TMusicFileItem read;
  read.FileName = FileOf("a.mp3");
  ASSERT_TRUE(reader.ReadItem(read));
  EXPECT_EQ(read.Title, "Edited Title");
}

TEST_F(TOxaMusicPlayerTest, TwoFilesEditedBeforeEitherIsFreeAreBothWritten)
{
  const TDbId first = AddTrack("a.mp3", "Album A");
  AddTrack("b.mp3", "Album A");
  ASSERT_TRUE(Player->PlayItem(first, false));
  // Another program holds the second file.
  const HANDLE held = CreateFileA(FileOf("b.mp3").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const char* name : {"a.mp3", "b.mp3"}) {
    TMusicFileItem tag;
    tag.FileName = FileOf(name);
    tag.Title = std::string("First ") + name;
    Player->SetTag(tag);
  }
  // A later edit of the same file replaces the earlier one.
  TMusicFileItem again;
  again.FileName = FileOf("A.MP3");
  again.Title = "Second a";
  Player->SetTag(again);
  EXPECT_EQ(Player->PendingTagCount(), 2);
  CloseHandle(held);
  ASSERT_TRUE(PumpUntil([this] { return Completions > 0 && Player->PendingTagCount() == 0; }));

  TOxaMusicTag reader;
  for (const auto& [name, title] : {std::pair{"a.mp3", "Second a"}, std::pair{"b.mp3", "First b.mp3"}}) {
    TMusicFileItem read;
    read.FileName = FileOf(name);
    ASSERT_TRUE(reader.ReadItem(read));
    EXPECT_EQ(read.Title, title);
  }
}

TEST_F(TOxaMusicPlayerTest, CanWriteTagAsksWithoutChangingAnything)
{
  AddTrack("rw.mp3", "Album A");
  AddTrack("ro.mp3", "Album A");
  AddTrack("upper.MP3", "Album A");
  AddTrack("tone.wav", "Album A", Media->Wav);
  AddTrack("tone.wma", "Album A", Media->Wma);
  AddTrack("tone.asf", "Album A", Media->Wma);
  ASSERT_NE(SetFileAttributesA(FileOf("ro.mp3").c_str(), FILE_ATTRIBUTE_READONLY), FALSE);
  const struct {
    std::string File;
    bool Expected;
  } cases[] = {
      {FileOf("rw.mp3"), true},
      {FileOf("ro.mp3"), true},
      {FileOf("upper.MP3"), true},
      {FileOf("tone.wav"), false},
      // No WMA runtime in this machine: no WMA tag support.
      {FileOf("tone.wma"), Player->WmaTagSupport()},
      {FileOf("tone.asf"), Player->WmaTagSupport()},
      {FileOf("missing.mp3"), false},
      {FileOf("noextension"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    EXPECT_EQ(Player->CanWriteTag(c.File), c.Expected);
  }
  EXPECT_NE(GetFileAttributesA(FileOf("ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY, 0U);
  for (const fs::path& modern : Media->Modern) {
    const std::string name = modern.filename().string();
    AddTrack(name, "Album B", modern);
    EXPECT_TRUE(Player->CanWriteTag(FileOf(name))) << name;
    EXPECT_FALSE(Player->CanWriteTag(FileOf("missing" + modern.extension().string()))) << name;
  }

  // The write itself clears the mark.
  TMusicFileItem tag;
  tag.FileName = FileOf("ro.mp3");
  tag.Title = "Now Writable";
  Player->SetTag(tag);
  EXPECT_EQ(Player->PendingTagCount(), 0);
  EXPECT_EQ(GetFileAttributesA(FileOf("ro.mp3").c_str()) & FILE_ATTRIBUTE_READONLY, 0U);
}

TEST_F(TOxaMusicPlayerTest, AnEditOfTodaysFormatsReachesTheFile)
{
  for (const fs::path& modern : Media->Modern) {
    const std::string name = "edit" + modern.extension().string();
    AddTrack(name, "Album C", modern);
    TMusicFileItem tag;
    tag.FileName = FileOf(name);
    ASSERT_TRUE(TOxaMusicTag().ReadItem(tag)) << name;
    tag.Title = "Edited Tone";
    Player->SetTag(tag);
    EXPECT_EQ(Player->PendingTagCount(), 0) << name;
    TMusicFileItem reread;
    reread.FileName = FileOf(name);
    ASSERT_TRUE(TOxaMusicTag().ReadItem(reread)) << name;
    EXPECT_EQ(reread.Title, "Edited Tone") << name;
    EXPECT_EQ(reread.Track, 1) << name;
  }
}

TEST_F(TOxaMusicPlayerTest, RandomReadsWhatWasSet)
{
  EXPECT_FALSE(Player->Random());
  Player->SetRandom(true);
  EXPECT_TRUE(Player->Random());
  Player->SetRandom(false);
  EXPECT_FALSE(Player->Random());
}

TEST_F(TOxaMusicPlayerTest, LastPlayedNamingARemovedTrackReadsEmpty)
{
  const TDbId track = AddTrack("a.mp3", "Album A");
  const TDbId other = AddTrack("b.mp3", "Album A");
  Player->SaveLastPlayed(track);
  TDbId loaded;
  Player->LoadLastPlayed(loaded);
  EXPECT_TRUE(loaded.SameItem(track));
  EXPECT_EQ(loaded.GroupId, track.GroupId);
  EXPECT_EQ(loaded.Caption, track.Caption);

  Player->Database().RemoveFile(track.FileId);
  Player->LoadLastPlayed(loaded);
  EXPECT_TRUE(loaded.Empty());

  // A group item, the root and stored garbage read empty too.
  TDbId group = other;
  group.FileId = -1;
  for (const TDbId& stored : {group, TDbId()}) {
    Player->SaveLastPlayed(stored);
    Player->LoadLastPlayed(loaded);
    EXPECT_TRUE(loaded.Empty());
  }
  TStringList garbage;
  garbage.SetText("2\nx\n3\ncaption\n0\n");
  WriteOption(TMusicOption::LastPlayed, garbage);
  Player->LoadLastPlayed(loaded);
  EXPECT_TRUE(loaded.Empty());
}

TEST_F(TOxaMusicPlayerTest, NewPlaylistNamesTakeTheFirstFreeNumber)
{
  const struct {
    int Taken;  // "Unnamed playlist 1" .. this many exist
    std::vector<int> Gaps;
    std::string Expected;
  } cases[] = {
      {0, {}, "Unnamed playlist 1"},
      {4, {2}, "Unnamed playlist 2"},
      {998, {}, "Unnamed playlist 999"},
      {999, {}, "Unnamed playlist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Taken);
    TMusicFavoriteMastersEdit& masters = Player->Database().EditFavoriteMasters();
    while (masters.Count() > 0) {
      masters.Delete(0);
    }
    for (int n = 1; n <= c.Taken; ++n) {
      if (std::find(c.Gaps.begin(), c.Gaps.end(), n) == c.Gaps.end()) {
        masters.Add("Unnamed playlist " + std::to_string(n), -1);
      }
    }
    // Near misses take no number.
    masters.Add("unnamed playlist 1", -1);
    masters.Add("Unnamed playlist 0", -1);
    masters.Save();
    Player->Database().FreeEditors();
    EXPECT_EQ(Player->NewPlaylistName(), c.Expected);
    Player->Database().FreeEditors();
  }
}

TEST_F(TOxaMusicPlayerTest, CreatePlaylistAppendsANamedList)
{
  TDbId list;
  Player->CreatePlaylist(list);
  EXPECT_EQ(list.ViewId, ViewPlaylists);
  EXPECT_GT(list.GroupId, 0);
  EXPECT_EQ(list.Caption, "Unnamed playlist 1");
  TDbId second;
  Player->CreatePlaylist(second);
  EXPECT_EQ(second.Caption, "Unnamed playlist 2");
}

class TFavoritesTest : public TOxaMusicPlayerTest {
 protected:
  void SetUp() override
  {
    TOxaMusicPlayerTest::SetUp();
    A1 = AddTrack("a1.mp3", "Album A");
    A2 = AddTrack("a2.mp3", "Album A");
    B1 = AddTrack("b1.mp3", "Album B");
  }

  // The lists' names in order, and each list's entries as file names.
  std::vector<std::string> ListNames()
  {
    TDbIdList lists;
    TDbId view;
    view.ViewId = ViewPlaylists;
    Player->ListItems(view, lists);
    std::vector<std::string> names;
    for (const TDbId& list : lists.Items()) {
      names.push_back(Player->Database().GetCaption(list));
    }
    return names;
  }
  TDbId ListNamed(const std::string& name)
  {
    TDbIdList lists;
    TDbId view;
    view.ViewId = ViewPlaylists;
    Player->ListItems(view, lists);
    for (const TDbId& list : lists.Items()) {
      if (Player->Database().GetCaption(list) == name) {
        return list;
      }
    }
    return TDbId();
  }
  std::vector<std::int32_t> EntryFiles(const TDbId& list)
  {
    TDbIdList entries;
    Player->ListItems(list, entries);
    std::vector<std::int32_t> files;
    for (const TDbId& entry : entries.Items()) {
      std::int32_t file = -1;
      Player->Database().ResolveFileId(ViewPlaylists, entry.FileId, file);
      files.push_back(file);
    }
    return files;
  }
  TDbIdList ItemsOf(std::initializer_list<TDbId> ids)
  {
    TDbIdList list;
    for (const TDbId& id : ids) {
      list.Add(id);
    }
    return list;
  }
  static TDbId GroupOf(TDbId track)
  {
    track.FileId = -1;
    return track;
  }
  static TDbId BeforeFirstList()
  {
    TDbId id;
    id.ViewId = ViewPlaylists;
    id.GroupId = 0;
    return id;
  }

  TDbId A1;
  TDbId A2;
  TDbId B1;
};

TEST_F(TFavoritesTest, TracksOnTheBeforeFirstListMakeAListNamedAfterTheirGroup)
{
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({A2, A1, GroupOf(B1)}), BeforeFirstList()));
  // The group's name, not its caption with the track count.
  EXPECT_EQ(ListNames(), std::vector<std::string>{"Album A"});
  EXPECT_EQ(EntryFiles(ListNamed("Album A")), (std::vector<std::int32_t>{A2.FileId, A1.FileId}));
}

TEST_F(TFavoritesTest, TracksAreAppendedToAnExistingList)
{
  TDbId list;
  Player->CreatePlaylist(list);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({B1}), list));
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({A1}), list));
  EXPECT_EQ(EntryFiles(list), (std::vector<std::int32_t>{B1.FileId, A1.FileId}));
}

TEST_F(TFavoritesTest, GroupsBecomeListsAfterTheTarget)
{
  TDbId first;
  Player->CreatePlaylist(first);
  TDbId last;
  Player->CreatePlaylist(last);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({GroupOf(B1), GroupOf(A1)}), first));
  EXPECT_EQ(ListNames(),
            (std::vector<std::string>{"Unnamed playlist 1", "Album B", "Album A", "Unnamed playlist 2"}));
  EXPECT_EQ(EntryFiles(ListNamed("Album A")).size(), 2U);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({GroupOf(B1)}), BeforeFirstList()));
  EXPECT_EQ(ListNames().front(), "Album B");
}

TEST_F(TFavoritesTest, ItemsGoRightAfterATargetEntryWithGroupsExpanded)
{
  TDbId list;
  Player->CreatePlaylist(list);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({B1, B1}), list));
  TDbIdList entries;
  Player->ListItems(list, entries);
  ASSERT_EQ(entries.Count(), 2);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({GroupOf(A1)}), entries.Get(0)));
  const std::vector<std::int32_t> files = EntryFiles(list);
  ASSERT_EQ(files.size(), 4U);
  EXPECT_EQ(files.front(), B1.FileId);
  EXPECT_EQ(files.back(), B1.FileId);
  // At the top for the before-first entry; a copy of an entry of view 7 stays the same file.
  TDbId top = list;
  top.FileId = 0;
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({entries.Get(1)}), top));
  EXPECT_EQ(EntryFiles(list).size(), 5U);
  EXPECT_EQ(EntryFiles(list).front(), B1.FileId);
}

TEST_F(TFavoritesTest, MissingTargetsEndWithTheirTexts)
{
  TDbId gone;
  gone.ViewId = ViewPlaylists;
  gone.GroupId = 9999;
  try {
    Player->AddToFavorite(ItemsOf({A1}), gone);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Target favorite cannot be found");
  }
  try {
    Player->AddToFavorite(ItemsOf({GroupOf(A1)}), gone);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Can not find group in database");
  }
  TDbId goneEntry = gone;
  goneEntry.FileId = 12345;
  EXPECT_FALSE(Player->AddToFavorite(ItemsOf({A1}), goneEntry));
  TDbId list;
  Player->CreatePlaylist(list);
  TDbId missingEntry = list;
  missingEntry.FileId = 12345;
  EXPECT_FALSE(Player->AddToFavorite(ItemsOf({A1}), missingEntry));
  // Only a favorite with a list id is a target.
  EXPECT_FALSE(Player->AddToFavorite(ItemsOf({A1}), A2));
  TDbId view;
  view.ViewId = ViewPlaylists;
  EXPECT_FALSE(Player->AddToFavorite(ItemsOf({A1}), view));
  EXPECT_EQ(ListNames(), std::vector<std::string>{"Unnamed playlist 1"});
}

TEST_F(TFavoritesTest, RemoveMoveAndRename)
{
  TDbId first;
  Player->CreatePlaylist(first);
  TDbId second;
  Player->CreatePlaylist(second);
  ASSERT_TRUE(Player->AddToFavorite(ItemsOf({A1, A2}), first));
  TDbIdList entries;
  Player->ListItems(first, entries);
  ASSERT_EQ(entries.Count(), 2);
  ASSERT_TRUE(Player->MoveToFavorite(ItemsOf({entries.Get(0)}), second));
  EXPECT_EQ(EntryFiles(first), std::vector<std::int32_t>{A2.FileId});
  EXPECT_EQ(EntryFiles(second), std::vector<std::int32_t>{A1.FileId});

  TDbId renamed = second;
  renamed.Caption = "Favourites";
  ASSERT_TRUE(Player->RenamePlaylists(ItemsOf({renamed})));
  EXPECT_EQ(ListNames(), (std::vector<std::string>{"Unnamed playlist 1", "Favourites"}));
  ASSERT_TRUE(Player->RemoveFromFavorites(ItemsOf({first})));
  EXPECT_EQ(ListNames(), std::vector<std::string>{"Favourites"});
  EXPECT_FALSE(Player->RemoveFromFavorites(ItemsOf({A1})));
}

TEST_F(TOxaMusicPlayerTest, AddPathScansANewFileIntoTheLibrary)
{
  const fs::path file = Machine.Home() / "Drop" / "new.mp3";
  fs::create_directories(file.parent_path());
  fs::copy_file(Media->Mp3, file);
  TDbId item;
  ASSERT_TRUE(Player->AddPath(WindowsName(file), false, item));
  EXPECT_EQ(item.ViewId, ViewFolders);
  TDbId again;
  ASSERT_TRUE(Player->AddPath(WindowsName(file), false, again));
  EXPECT_EQ(again.FileId, item.FileId);
  EXPECT_FALSE(Player->AddPath(WindowsName(Machine.Home() / "Drop" / "none.mp3"), false, item));
  EXPECT_TRUE(item.Empty());
}

TEST_F(TOxaMusicPlayerTest, FreeingThePlayerMidScanIsClean)
{
  for (int i = 0; i < 40; ++i) {
    const fs::path file = Machine.Home() / "Scan" / ("f" + std::to_string(i) + ".mp3");
    fs::create_directories(file.parent_path());
    fs::copy_file(Media->Mp3, file);
  }
  TStringList white;
  white.Add("C:\\");
  WriteOption(TMusicOption::WhiteDrives, white);
  int ended = 0;
  struct TCounter : TObject {
    int* Count;
    void Ended(TObject*) { ++*Count; }
  } counter;
  counter.Count = &ended;
  Player->OnScanEnded = MakeMethod<&TCounter::Ended>(&counter);
  Player->OnScanStopped = MakeMethod<&TCounter::Ended>(&counter);
  ASSERT_TRUE(Player->StartFullScan());
  EXPECT_TRUE(Player->IsScanning());
  const TTraceCapture trace;
  EXPECT_FALSE(Player->UpdateDatabase());
  EXPECT_TRUE(trace.Contains("TOxaMusicPlayer.UpdateDatabase: Search thread running..."));
  Player.reset();
  EXPECT_EQ(ended, 0);
}

TEST_F(TOxaMusicPlayerTest, AFullScanEndsAndUpdatesTheLibrary)
{
  for (int i = 0; i < 3; ++i) {
    const fs::path file = Machine.Home() / "Scan" / ("f" + std::to_string(i) + ".mp3");
    fs::create_directories(file.parent_path());
    fs::copy_file(Media->Mp3, file);
  }
  TStringList white;
  white.Add("C:\\");
  WriteOption(TMusicOption::WhiteDrives, white);
  struct TOwner : TObject {
    TOxaMusicPlayer* Player = nullptr;
    int Ended = 0;
    bool Updated = false;
    void ScanEnded(TObject*) { ++Ended; }
    void Update(TObject*) { Updated = Player->UpdateDatabase(); }
  } owner;
  owner.Player = Player.get();
  Player->OnScanEnded = MakeMethod<&TOwner::ScanEnded>(&owner);
  Player->OnUpdateDatabase = MakeMethod<&TOwner::Update>(&owner);
  ASSERT_TRUE(Player->StartFullScan());
  ASSERT_TRUE(PumpUntil([&owner] { return owner.Updated; }, 60000));
  EXPECT_EQ(owner.Ended, 1);
  EXPECT_FALSE(Player->IsScanning());
  EXPECT_FALSE(Player->Database()
                   .FindFileByPath(WindowsName(Machine.Home() / "Scan" / "f1.mp3"), ViewFolders)
                   .Empty());
}

TEST_F(TOxaMusicPlayerTest, AStoppedScanSavesTheSettingsAndTellsTheOwner)
{
  for (int i = 0; i < 40; ++i) {
    const fs::path file = Machine.Home() / "Scan" / ("f" + std::to_string(i) + ".mp3");
    fs::create_directories(file.parent_path());
    fs::copy_file(Media->Mp3, file);
  }
  TStringList white;
  white.Add("C:\\");
  WriteOption(TMusicOption::WhiteDrives, white);
  struct TOwner : TObject {
    std::vector<std::string> Events;
    void Ended(TObject*) { Events.push_back("ended"); }
    void Stopped(TObject*) { Events.push_back("stopped"); }
    void Update(TObject*) { Events.push_back("update"); }
  } owner;
  Player->OnScanEnded = MakeMethod<&TOwner::Ended>(&owner);
  Player->OnScanStopped = MakeMethod<&TOwner::Stopped>(&owner);
  Player->OnUpdateDatabase = MakeMethod<&TOwner::Update>(&owner);
  ASSERT_TRUE(Player->StartFullScan());
  Player->StopScan();
  EXPECT_EQ(owner.Events, (std::vector<std::string>{"ended", "stopped"}));
  EXPECT_FALSE(Player->IsScanning());
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(owner.Events.size(), 2U);
  // Nothing was merged.
  EXPECT_TRUE(Player->Database()
                  .FindFileByPath(WindowsName(Machine.Home() / "Scan" / "f1.mp3"), ViewFolders)
                  .Empty());
}

TEST_F(TOxaMusicPlayerTest, DeletedAndUnhiddenFoldersAreAppliedToTheLibrary)
{
  AddTrack("A/a.mp3", "Album A");
  AddTrack("B/b.mp3", "Album B");
  // Hidden files stay known with no group; unhiding deletes their records for the next scan.
  TDbIdList hide;
  hide.Add(Player->Database().FindFileByPath(FileOf("B/b.mp3"), ViewAlbums));
  Player->Database().HideItems(hide.Items());
  const std::string folderA = WindowsName(Machine.Home() / "Music" / "A") + "\\";
  const std::string folderB = WindowsName(Machine.Home() / "Music" / "B") + "\\";

  TStringList folders;
  folders.Add(folderA);
  WriteOption(TMusicOption::DeleteFiles, folders);
  Player->RemoveDeletedFolders();
  EXPECT_TRUE(Player->Database().FindFileByPath(FileOf("A/a.mp3"), ViewFolders).Empty());
  EXPECT_EQ(Player->Database().GetKnownFiles(nullptr, nullptr, nullptr).size(), 1U);

  folders.Clear();
  folders.Add(folderB);
  WriteOption(TMusicOption::UnhideFiles, folders);
  Player->UnhideFolders();
  EXPECT_TRUE(Player->Database().GetKnownFiles(nullptr, nullptr, nullptr).empty());
}

TEST_F(TOxaMusicPlayerTest, NothingRecordedImportsNothing)
{
  EXPECT_FALSE(Player->ImportRecorded());
  EXPECT_FALSE(Player->IsScanning());
}

TEST(TOxaMusicPlayerWithoutComponent, PlayingIsFalseOrZero)
{
  const TTempMachine machine;
  ResetSettingsFileName();
  TOxaMusicPlayer player;
  ASSERT_TRUE(player.OpenLibrary());
  TDbId loose;
  loose.ViewId = ViewLooseFile;
  loose.GroupId = 0;
  loose.FileId = 0;
  loose.Caption = "C:\\a.mp3";
  EXPECT_FALSE(player.PlayItem(loose, false));
  EXPECT_TRUE(player.CurrentItem().Empty());
  EXPECT_FALSE(player.Pause());
  EXPECT_FALSE(player.TogglePause());
  EXPECT_FALSE(player.Resume());
  EXPECT_FALSE(player.Stop());
  EXPECT_FALSE(player.Seek(5));
  EXPECT_EQ(player.Position(), 0);
  EXPECT_EQ(player.State(), 0);
  ResetSettingsFileName();
}

}  // namespace

// A damaged page that the open does not touch shows when a scan reads what the library knows:
// the library is then made anew with the favorites from their files, the scan reads every file,
// and the user is told once.
TEST_F(TOxaMusicPlayerTest, ADamagedPageFoundByAScanRebuildsTheLibraryWithItsFavorites)
{
  const fs::path scanned = Machine.Home() / "Scan" / "kept.mp3";
  fs::create_directories(scanned.parent_path());
  fs::copy_file(Media->Mp3, scanned);
  TStringList roots;
  roots.Add(WindowsName(scanned.parent_path()) + "\\");
  WriteOption(TMusicOption::Roots, roots);
  TStringList masks;
  masks.Add(".mp3");
  WriteOption(TMusicOption::Masks, masks);
  TStringList grey;
  grey.Add("C:\\");
  WriteOption(TMusicOption::GreyDrives, grey);
  // Enough records that the files table spans many pages past the schema.
  TMusicDatabase& database = Player->Database();
  TTransaction filling(database);
  for (int i = 0; i < 3000; ++i) {
    TMusicFileItem item;
    item.FileName = "C:\\Gone\\" + std::string(120, 'x') + std::to_string(i) + ".mp3";
    item.Title = "Gone";
    item.Artist = "Artist";
    item.Album = "Album";
    item.Genre = "Rock";
    item.Checksum[0] = static_cast<std::uint8_t>(i);
    item.Checksum[1] = static_cast<std::uint8_t>(i >> 8);
    database.AddFile(item);
  }
  filling.Commit();
  TMusicFavoriteMastersEdit& lists = database.EditFavoriteMasters();
  lists.Add("Kept", -1);
  lists.Save();
  database.FreeEditors();
  std::string host;
  ASSERT_TRUE(HostPathOf(database.Directory() + "MUSIC.DAT", host));
  // Closed as at the end of a session: the stamp says all is well.
  database.SetConnected(false);
  Player.reset();

  // Pages in the second half, among the files table's records and its indexes, turned to noise.
  const auto size = fs::file_size(host);
  ASSERT_GT(size, 40U * 4096);
  {
    std::fstream file(host, std::ios::binary | std::ios::in | std::ios::out);
    const std::string noise(4096, '\x5A');
    for (auto page = size / 4096 / 2; page + 1 < size / 4096; page += 5) {
      file.seekp(static_cast<std::streamoff>(page * 4096));
      file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
    }
  }
  Player = std::make_unique<TOxaMusicPlayer>();
  ASSERT_TRUE(Player->OpenLibrary());
  // The open looks at the stamp and the tables, not at every page: the library opens as it was.
  EXPECT_FALSE(
      Player->Database().FindFileByPath("C:\\Gone\\" + std::string(120, 'x') + "1.mp3", ViewFolders).Empty());
  struct TOwner : TObject {
    TOxaMusicPlayer* Player = nullptr;
    bool Updated = false;
    void Update(TObject*) { Updated = Player->UpdateDatabase(); }
  } owner;
  owner.Player = Player.get();
  Player->OnUpdateDatabase = MakeMethod<&TOwner::Update>(&owner);
  const TTraceCapture trace;
  ASSERT_TRUE(Player->StartUpdateScan());
  ASSERT_TRUE(PumpUntil([&owner] { return owner.Updated; }, 60000)) << trace.Log();
  const std::string notice = Player->TakeLibraryNotice();
  EXPECT_NE(notice.find("made anew"), std::string::npos) << notice << trace.Log();
  EXPECT_TRUE(Player->TakeLibraryNotice().empty()) << "told once";
  EXPECT_FALSE(Player->Database().FindFileByPath(WindowsName(scanned), ViewFolders).Empty());
  EXPECT_TRUE(
      Player->Database().FindFileByPath("C:\\Gone\\" + std::string(120, 'x') + "1.mp3", ViewFolders).Empty());
  TMusicFavoriteMastersEdit& restored = Player->Database().EditFavoriteMasters();
  ASSERT_EQ(restored.Count(), 1);
  EXPECT_EQ(restored.Get(0).Name, "Kept");
  Player->Database().FreeEditors();
}
