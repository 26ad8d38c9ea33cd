#include "playback/OxaMusic2.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "components/oxaaud/AudioOutput.h"
#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "tests/playback/PlaybackMedia.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// What the wrapper's events told, in order.
struct TEventLog : public TObject {
  std::vector<BYTE> States;
  std::vector<BYTE> Errors;
  std::vector<std::int32_t> Positions;
  int Completions = 0;
  bool InsideCall = false;
  bool RanInsideCall = false;
  std::optional<BYTE> StateAtComplete;
  TOxaMusic2* Music = nullptr;

  void StateChange(TObject*, BYTE state)
  {
    RanInsideCall |= InsideCall;
    States.push_back(state);
  }
  void Complete(TObject*)
  {
    RanInsideCall |= InsideCall;
    ++Completions;
    StateAtComplete = Music->State();
  }
  void Position(TObject*, std::int32_t position) { Positions.push_back(position); }
  void Error(TObject*, BYTE reason)
  {
    RanInsideCall |= InsideCall;
    Errors.push_back(reason);
  }

  void Attach(TOxaMusic2& music)
  {
    Music = &music;
    music.OnStateChange = MakeMethod<&TEventLog::StateChange>(this);
    music.OnComplete = MakeMethod<&TEventLog::Complete>(this);
    music.OnPosition = MakeMethod<&TEventLog::Position>(this);
    music.OnError = MakeMethod<&TEventLog::Error>(this);
  }
  bool Ended() const { return Completions > 0 || !Errors.empty(); }
};

class TOxaMusic2Test : public ::testing::Test {
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
    Music = std::make_unique<TOxaMusic2>(OXA_OXAAUD_FILE);
    ASSERT_TRUE(Music->HasComponent());
    Log.Attach(*Music);
  }

  void PlayToEnd(const fs::path& file)
  {
    Log.InsideCall = true;
    ASSERT_TRUE(Music->Open(WindowsName(file)));
    Log.InsideCall = false;
    ASSERT_TRUE(PumpUntil([this] { return Log.Ended(); }));
    // Anything still posted after the end arrives too.
    PumpUntil([] { return false; }, 100);
  }

  static bool OpensExclusively(const fs::path& file)
  {
    const HANDLE handle = CreateFileA(WindowsName(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      return false;
    }
    CloseHandle(handle);
    return true;
  }

  static TTempFolder* Folder;
  static TPlaybackMedia* Media;
  TTempMachine Machine;
  TEventLog Log;
  std::unique_ptr<TOxaMusic2> Music;
};

TTempFolder* TOxaMusic2Test::Folder = nullptr;
TPlaybackMedia* TOxaMusic2Test::Media = nullptr;

TEST_F(TOxaMusic2Test, EachFormatPlaysToItsEndAndCompletesOnce)
{
  std::vector<fs::path> files = {Media->Mp3, Media->Wav, Media->Wma};
  files.insert(files.end(), Media->Modern.begin(), Media->Modern.end());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    Log = TEventLog();
    Log.Attach(*Music);
    PlayToEnd(file);
    EXPECT_EQ(Log.Completions, 1);
    EXPECT_TRUE(Log.Errors.empty());
    EXPECT_FALSE(Log.RanInsideCall);
    EXPECT_EQ(Log.States, (std::vector<BYTE>{OxaAudOpened, OxaAudPlaying, OxaAudStopped}));
    EXPECT_EQ(Music->State(), OxaAudStopped);
    // Positions come in tenths of a second and reach the end of the track.
    ASSERT_FALSE(Log.Positions.empty());
    EXPECT_GE(Log.Positions.back(), TrackTenths - 1);
    EXPECT_LE(Log.Positions.back(), TrackTenths + 1);
    EXPECT_EQ(Music->LastPosition(), Log.Positions.back());
    EXPECT_EQ(Music->FileName(), WindowsName(file));
  }
}

TEST_F(TOxaMusic2Test, NamesThatAreNotUtf8PlayToTheirEnd)
{
  // Host names written under another locale: the component must open these very bytes.
  const char* names[] = {
      "caf\xC3\xA9.mp3",     // UTF-8, for comparison
      "caf\xE9.mp3",         // Latin-1
      "x\xED\xB2\x80y.mp3",  // a surrogate written as UTF-8
      "\x80\xFF.mp3",        // the first and the last byte outside ASCII
      "cut\xC3.mp3",         // a sequence cut short
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const fs::path file = Folder->Path() / name;
    fs::copy_file(Media->Mp3, file, fs::copy_options::overwrite_existing);
    Log = TEventLog();
    Log.Attach(*Music);
    PlayToEnd(file);
    EXPECT_EQ(Log.Completions, 1);
    EXPECT_TRUE(Log.Errors.empty());
    EXPECT_EQ(Music->FileName(), WindowsName(file));
  }
}

TEST_F(TOxaMusic2Test, StateIsStoredBeforeCompletionIsRaised)
{
  PlayToEnd(Media->Mp3);
  ASSERT_TRUE(Log.StateAtComplete.has_value());
  EXPECT_EQ(*Log.StateAtComplete, OxaAudStopped);
}

TEST_F(TOxaMusic2Test, FilesThatCannotPlayRaiseAnErrorNeverACompletion)
{
  const fs::path garbage = Folder->Path() / "garbage.mp3";
  std::ofstream(garbage, std::ios::binary) << std::string(5000, '\x5A');
  const fs::path empty = Folder->Path() / "empty.wma";
  std::ofstream(empty, std::ios::binary).flush();
  const fs::path truncated = Folder->Path() / "truncated.wav";
  std::ofstream(truncated, std::ios::binary) << "RIFF\x10\x00\x00\x00WAVEfmt ";

  const struct {
    fs::path File;
    BYTE Reason;
  } cases[] = {
      {Folder->Path() / "missing.mp3", OxaAudReasonCannotOpen},
      {garbage, OxaAudReasonCannotDecode},
      {empty, OxaAudReasonCannotDecode},
      {truncated, OxaAudReasonCannotDecode},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File.filename().string());
    Log = TEventLog();
    Log.Attach(*Music);
    PlayToEnd(c.File);
    EXPECT_EQ(Log.Completions, 0);
    EXPECT_EQ(Log.Errors, std::vector<BYTE>{c.Reason});
    EXPECT_FALSE(Log.RanInsideCall);
    EXPECT_EQ(Music->State(), OxaAudClosed);
  }
}

TEST_F(TOxaMusic2Test, APlayingFileIsSharedForReadingOnlyUntilStoppedOrEnded)
{
  ASSERT_TRUE(Music->Open(WindowsName(Media->Wav)));
  EXPECT_FALSE(OpensExclusively(Media->Wav));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // Readers are still welcome.
  const HANDLE reader = CreateFileA(WindowsName(Media->Wav).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  Log.InsideCall = true;
  ASSERT_TRUE(Music->Stop());
  Log.InsideCall = false;
  EXPECT_TRUE(OpensExclusively(Media->Wav));
  ASSERT_TRUE(PumpUntil([this] { return Music->State() == OxaAudStopped; }));
  EXPECT_FALSE(Log.RanInsideCall);
  EXPECT_EQ(Log.Completions, 0);

  PlayToEnd(Media->Wav);
  EXPECT_TRUE(OpensExclusively(Media->Wav));
}

TEST_F(TOxaMusic2Test, PauseHoldsThePositionAndToggles)
{
  ASSERT_TRUE(Music->Open(WindowsName(Media->Mp3)));
  ASSERT_TRUE(PumpUntil([this] { return Music->Position() >= 3; }));
  ASSERT_TRUE(Music->Pause());
  ASSERT_TRUE(PumpUntil([this] { return Music->State() == OxaAudPaused; }));
  const std::int32_t held = Music->Position();
  PumpUntil([] { return false; }, 150);
  EXPECT_EQ(Music->Position(), held);
  ASSERT_TRUE(Music->Pause());
  ASSERT_TRUE(PumpUntil([this] { return Log.Completions == 1; }));
}

TEST_F(TOxaMusic2Test, SeekClampsToTheLength)
{
  const struct {
    std::int32_t Requested;
    std::int32_t Expected;
  } cases[] = {
      {-50, 0}, {-1, 0}, {0, 0}, {1, 1}, {TrackTenths / 2, TrackTenths / 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Requested);
    ASSERT_TRUE(Music->Open(WindowsName(Media->Wav)));
    // Paused, the position stays where the seek put it; the seek resumes first.
    ASSERT_TRUE(Music->Pause());
    ASSERT_TRUE(PumpUntil([this] { return Music->State() == OxaAudPaused; }));
    ASSERT_TRUE(Music->Seek(c.Requested));
    const std::int32_t position = Music->Position();
    EXPECT_GE(position, c.Expected);
    EXPECT_LE(position, c.Expected + 1);
    ASSERT_TRUE(PumpUntil([this] { return Music->State() == OxaAudPlaying; }));
    Music->Stop();
  }
}

TEST_F(TOxaMusic2Test, SeekAtOrPastTheLengthGoesToTheLastTenthAndEnds)
{
  for (const std::int32_t requested : {TrackTenths - 1, TrackTenths, TrackTenths + 1, 100000}) {
    SCOPED_TRACE(requested);
    Log = TEventLog();
    Log.Attach(*Music);
    ASSERT_TRUE(Music->Open(WindowsName(Media->Wav)));
    ASSERT_TRUE(Music->Seek(requested));
    ASSERT_TRUE(PumpUntil([this] { return Log.Ended(); }));
    EXPECT_EQ(Log.Completions, 1);
    // Nothing before the last tenth was played again.
    ASSERT_FALSE(Log.Positions.empty());
    EXPECT_GE(Log.Positions.back(), TrackTenths - 1);
  }
}

TEST_F(TOxaMusic2Test, TodaysFormatsSeekToTheMiddle)
{
  for (const fs::path& file : Media->Modern) {
    SCOPED_TRACE(file.filename().string());
    Log = TEventLog();
    Log.Attach(*Music);
    ASSERT_TRUE(Music->Open(WindowsName(file)));
    ASSERT_TRUE(Music->Pause());
    ASSERT_TRUE(PumpUntil([this] { return Music->State() == OxaAudPaused; }));
    ASSERT_TRUE(Music->Seek(TrackTenths / 2));
    EXPECT_GE(Music->Position(), TrackTenths / 2 - 1);
    EXPECT_LE(Music->Position(), TrackTenths / 2 + 1);
    ASSERT_TRUE(PumpUntil([this] { return Log.Ended(); }));
    EXPECT_EQ(Log.Completions, 1);
    EXPECT_TRUE(Log.Errors.empty());
  }
}

TEST_F(TOxaMusic2Test, SeekWithoutALengthDoesNothing)
{
  // Nothing open: the component knows no length.
  EXPECT_FALSE(Music->Seek(0));
  EXPECT_FALSE(Music->Seek(10));
  EXPECT_EQ(Music->Position(), 0);
}

TEST(TOxaMusic2WithoutComponent, EverythingIsFalseOrZero)
{
  const TTempMachine machine;
  for (const char* module : {"OxaAud.dll", "/nonexistent/liboxaaud.so"}) {
    TOxaMusic2 music(module);
    EXPECT_FALSE(music.HasComponent());
    EXPECT_FALSE(music.Open("C:\\a.mp3"));
    EXPECT_FALSE(music.Pause());
    EXPECT_FALSE(music.Stop());
    EXPECT_FALSE(music.Seek(1));
    EXPECT_EQ(music.Position(), 0);
    EXPECT_EQ(music.State(), 0);
  }
}

TEST(TOxaMusic2States, NamesAndTheirEnd)
{
  const struct {
    BYTE State;
    const char* Name;
  } cases[] = {{0, "Opened"},    {1, "Closed"},   {2, "Playing"},    {3, "Stopped"}, {4, "Paused"},
               {5, "Buffering"}, {6, "Locating"}, {7, "Connecting"}, {8, "Unknown"}, {255, "Unknown"}};
  for (const auto& c : cases) {
    EXPECT_EQ(AudioStateName(c.State), c.Name);
  }
}

// The reports as the component makes them, straight to the wrapper.
TEST(TOxaMusic2Reports, StateAndReasonPickTheEvent)
{
  const TTempMachine machine;
  const struct {
    BYTE Before;
    BYTE State;
    BYTE Reason;
    int Completions;
    int Errors;
    int StateChanges;
  } cases[] = {
      {OxaAudStopped, OxaAudPlaying, 0, 0, 0, 1}, {OxaAudStopped, OxaAudPlaying, 3, 0, 1, 1},
      {OxaAudStopped, OxaAudOpened, 4, 0, 1, 1},  {OxaAudPlaying, OxaAudStopped, 2, 1, 0, 1},
      {OxaAudPlaying, OxaAudClosed, 2, 1, 0, 1},  {OxaAudPlaying, OxaAudClosed, 3, 0, 1, 1},
      {OxaAudPlaying, OxaAudStopped, 0, 0, 0, 1}, {OxaAudStopped, OxaAudStopped, 2, 1, 0, 0},
      {OxaAudPlaying, OxaAudPaused, 2, 0, 0, 1},  {OxaAudPlaying, OxaAudPlaying, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.Before) << "->" << int(c.State) << " reason " << int(c.Reason));
    TOxaMusic2 music(OXA_OXAAUD_FILE);
    TEventLog log;
    log.Attach(music);
    music.StateChanged(c.Before, 0);
    log = TEventLog();
    log.Attach(music);
    music.StateChanged(c.State, c.Reason);
    EXPECT_EQ(log.Completions, c.Completions);
    EXPECT_EQ(static_cast<int>(log.Errors.size()), c.Errors);
    EXPECT_EQ(static_cast<int>(log.States.size()), c.StateChanges);
    EXPECT_EQ(music.State(), c.State);
  }
}

TEST(TOxaAudCallback, AnswersOnlyItsOwnInterface)
{
  auto* callback = new TOxaAudCallback(nullptr);
  void* object = &object;
  EXPECT_EQ(callback->QueryInterface(IID_IOxaAudCallback, &object), S_OK);
  EXPECT_EQ(object, static_cast<IOxaAudCallback*>(callback));
  EXPECT_EQ(callback->Release(), 1U);
  EXPECT_EQ(callback->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(callback->Release(), 1U);
  EXPECT_EQ(callback->QueryInterface(IID_IOxaAud, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(callback->QueryInterface(IID_IOxaAud, nullptr), E_POINTER);
  // Reports without a window go nowhere.
  EXPECT_EQ(callback->StateChanged(2, 0), S_OK);
  EXPECT_EQ(callback->PositionChanged(7), S_OK);
  EXPECT_EQ(callback->TakePosition(), 7);
  EXPECT_EQ(callback->Release(), 0U);
}

TEST(TOutputChoice, ReadsTheSetting)
{
  const struct {
    const char* Setting;
    bool Null;
    double Speed;
  } cases[] = {
      {"", false, 1.0},
      {"null", true, 1.0},
      {"null:speed=8", true, 8.0},
      {"null:speed=2.5", true, 2.5},
      {"null:speed=0", true, 0.0},
      {"null:speed=-1", true, 1.0},
      {"null:speed=", true, 1.0},
      {"null:speed=4x", true, 1.0},
      {"null:fast", false, 1.0},
      {"nullx", false, 1.0},
      {"alsa", false, 1.0},
      {"NULL", false, 1.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Setting);
    const oxaaud::TOutputChoice choice = oxaaud::ParseOutputChoice(c.Setting);
    EXPECT_EQ(choice.Null, c.Null);
    EXPECT_EQ(choice.Speed, c.Speed);
  }
}

}  // namespace
