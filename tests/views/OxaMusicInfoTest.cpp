// The info panel's nodes on the compiled skin: what a track shows, editing in place, the genre
// keys, the duration item's kind, the slider bar and the music view's seeks and traces.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "framework/OxaUtils.h"
#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Input.h"
#include "platform/windows/InputEvents.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "skin/OxaSkin.h"
#include "tests/support/TraceCapture.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/info/MusicView.h"
#include "views/info/OxaMusicInfo.h"

namespace {

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

TMusicFileItem Track(std::int32_t number, std::int32_t bitrate, std::int32_t duration)
{
  TMusicFileItem track;
  track.FileName = "C:\\Music\\Band\\song.mp3";
  track.Title = "Song";
  track.Artist = "Band";
  track.Album = "Disc";
  track.Genre = "Rock";
  track.Track = number;
  track.Bitrate = bitrate;
  track.Duration = duration;
  return track;
}

struct TEdits {
  std::vector<std::pair<TOxaMusicInfoItemKind, std::string>> Seen;
  void Edited(TOxaMusicInfoItem*, TOxaMusicInfoItemKind kind, const std::string& text)
  {
    Seen.push_back({kind, text});
  }
};

class OxaMusicInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    Body->SetBitmaps(Assets->InfoIcons);
    Body->SetFont(Assets->InfoTextFonts);
    Body->SetBounds(0, 0, 400, 300);
  }

  std::unique_ptr<TOxaMusicInfoAssetsForm> Assets{new TOxaMusicInfoAssetsForm(nullptr, &OxaSkinStore)};
  TOwnedObject<TOxaMusicInfoBody> Body{new TOxaMusicInfoBody(nullptr)};
};

TEST_F(OxaMusicInfoTest, ATrackFillsTheItemsInOrder)
{
  struct TCase {
    std::int32_t Number;
    std::int32_t Bitrate;
    std::int32_t Duration;
    const char* TrackText;
    const char* Quality;
    const char* DurationText;
  };
  const TCase cases[] = {
      {-1, -1, 3725, "TRACK ___", "Variable", "1:02:05 min"},
      {0, 128, 65, "TRACK ---", "128 kbps", "1:05 min"},
      {12, 320, 0, "TRACK 012", "320 kbps", "-"},
  };
  for (const TCase& c : cases) {
    Body->SetTrack(Track(c.Number, c.Bitrate, c.Duration), 2);
    EXPECT_EQ(Body->TrackLabel()->Caption(), c.TrackText);
    EXPECT_EQ(Body->Items(ikQuality)->Value(), c.Quality);
    EXPECT_EQ(Body->Items(ikDuration)->Value(), c.DurationText);
    EXPECT_EQ(Body->Items(ikTitle)->Value(), "Song");
    EXPECT_EQ(Body->Items(ikArtist)->Value(), "Band");
    EXPECT_EQ(Body->Items(ikGenre)->Value(), "Rock");
    EXPECT_EQ(Body->Items(ikAlbum)->Value(), "Disc");
    EXPECT_EQ(Body->Items(ikLocation)->Value(), "C:\\Music\\Band\\song.mp3");
  }
  EXPECT_EQ(Body->Length(), 0);
  EXPECT_EQ(Body->TrackNumber(), 12);
  for (int i = 0; i < kOxaInfoItemCount; ++i) {
    EXPECT_EQ(Body->Items(i)->Kind(), i);
  }
  EXPECT_EQ(FatalText([&] { Body->Items(7); }), "TOxaMusicInfoBody.Items[7]: Index out of bounds");
  EXPECT_EQ(FatalText([&] { Body->Items(-1); }), "TOxaMusicInfoBody.Items[-1]: Index out of bounds");
}

// A cover takes the top right corner: the label and the four items beside it end before it, the
// three below keep the width; the pixels are the picture's inside a frame of the line grey.
TEST_F(OxaMusicInfoTest, ACoverSitsBesideTheFirstFields)
{
  DWORD error = 0;
  const auto picture = TSurface::Create(120, 80, 24, true, error);
  ASSERT_NE(picture, nullptr);
  picture->Fill({0, 0, 120, 80}, RGB(200, 40, 10));
  picture->Set(0, 0, RGB(1, 2, 3));
  Body->SetTrack(Track(1, 128, 60), 2);
  EXPECT_FALSE(Body->Cover()->Visible());
  const int fullWidth = Body->Items(ikTitle)->Width();
  EXPECT_EQ(fullWidth, 400);

  Body->SetCover(picture.get());
  TOxaMusicInfoCover* cover = Body->Cover();
  ASSERT_TRUE(cover->Visible());
  constexpr int Side = TOxaMusicInfoCover::Side;
  constexpr int Frame = TOxaMusicInfoCover::FrameWidth;
  EXPECT_EQ(cover->Width(), 120 + 2 * Frame);
  EXPECT_EQ(cover->Height(), 80 + 2 * Frame);
  EXPECT_EQ(cover->Left(), 400 - 10 - Side);
  EXPECT_EQ(cover->Top(), 10 + (Side - cover->Height()) / 2);
  const int beside = 400 - 10 - Side - 10;
  for (const TOxaMusicInfoItemKind kind : {ikTitle, ikArtist, ikGenre, ikAlbum}) {
    EXPECT_EQ(Body->Items(kind)->Width(), beside) << kind;
  }
  for (const TOxaMusicInfoItemKind kind : {ikLocation, ikQuality, ikDuration}) {
    EXPECT_EQ(Body->Items(kind)->Width(), fullWidth) << kind;
  }
  EXPECT_LE(Body->TrackLabel()->Left() + Body->TrackLabel()->Width(), beside);
  EXPECT_EQ(cover->GetPixel(0, 0), TOxaMusicInfoCover::FrameColor);
  EXPECT_EQ(cover->GetPixel(Frame - 1, Frame + 10), TOxaMusicInfoCover::FrameColor);
  EXPECT_NE(cover->GetPixel(Frame, Frame), cover->GetPixel(Frame + 5, Frame + 5))
      << "the picture's own corner";
  EXPECT_EQ(cover->GetPixel(Frame + 119, Frame + 79), cover->GetPixel(Frame + 5, Frame + 5));

  // Another track forgets the cover, and everything spans the body again.
  Body->SetTrack(Track(2, 128, 60), 2);
  EXPECT_FALSE(Body->Cover()->Visible());
  EXPECT_EQ(Body->Items(ikTitle)->Width(), fullWidth);
  Body->SetCover(picture.get());
  Body->SetCover(nullptr);
  EXPECT_FALSE(Body->Cover()->Visible());
  EXPECT_EQ(Body->Items(ikAlbum)->Width(), fullWidth);
}

TEST_F(OxaMusicInfoTest, ImagesComeFromTheInfoStore)
{
  struct TCase {
    std::int32_t View;
    const char* Icon;
  };
  const TCase cases[] = {{1, "fol-info"}, {2, "alb-info"}, {3, "art-info"}, {4, "gen-info"},
                         {5, "tit-info"}, {7, "tit-info"}, {8, "tit-info"}};
  for (const TCase& c : cases) {
    EXPECT_EQ(OxaInfoIconName(c.View), c.Icon);
    Body->SetTrack(Track(1, 128, 60), c.View);
    EXPECT_EQ(Body->Icon()->Width(), 38) << c.View;
    EXPECT_EQ(Body->Icon()->GetPixel(19, 19), Assets->InfoIcons->Find(c.Icon)->GetPixel(19, 19)) << c.View;
  }
  for (int i = 0; i < kOxaInfoItemCount; ++i) {
    const TOxaBitmap* caption = Body->Items(i)->CaptionImage();
    EXPECT_EQ(caption->Height(), 12) << i;
    EXPECT_GT(caption->Width(), 0) << i;
  }
}

TEST_F(OxaMusicInfoTest, EditModeShowsTheTriangleOnTheFourEditableFields)
{
  Body->SetEditMode(true);
  for (TOxaMusicInfoItemKind kind : {ikTitle, ikArtist, ikGenre, ikAlbum}) {
    ASSERT_NE(Body->EditItem(kind), nullptr);
    EXPECT_TRUE(Body->EditItem(kind)->Triangle()->Visible());
    EXPECT_EQ(Body->EditItem(kind)->Triangle()->Width(), 7);
  }
  for (TOxaMusicInfoItemKind kind : {ikLocation, ikQuality, ikDuration}) {
    EXPECT_EQ(Body->EditItem(kind), nullptr);
  }
  Body->SetEditMode(false);
  EXPECT_FALSE(Body->EditItem(ikTitle)->Triangle()->Visible());
  EXPECT_FALSE(Body->EditItem(ikTitle)->BeginEdit());
}

TEST_F(OxaMusicInfoTest, EditingEndsWithReturnOrEscape)
{
  TEdits edits;
  Body->OnEdited = MakeMethod<&TEdits::Edited>(&edits);
  Body->SetTrack(Track(1, 128, 60));
  Body->SetEditMode(true);
  TOxaMusicInfoEditItem* title = Body->EditItem(ikTitle);
  ASSERT_TRUE(title->BeginEdit());
  ASSERT_NE(title->Editor(), nullptr);
  EXPECT_EQ(title->Editor()->Font(), Assets->InfoTextFonts);
  TOxaTextBlock line;
  Assets->InfoTextFonts->Layout("M", 0, line, kOxaLabelNoLimit, kOxaLabelNoLimit);
  EXPECT_GE(title->Editor()->Height(), line.Height);
  EXPECT_GE(title->Editor()->Height(), title->ValueLabel()->Height());
  EXPECT_EQ(title->Editor()->Caption(), "Song");
  for (char32_t c : {U'!', U'\u00E9'}) {
    char32_t key = c;
    Body->KeyPress(key);
  }
  WORD back = VK_BACK;
  Body->KeyDown(back, 0);
  EXPECT_EQ(title->Editor()->Caption(), "Song!");
  WORD enter = VK_RETURN;
  Body->KeyDown(enter, 0);
  EXPECT_FALSE(title->Editing());
  ASSERT_EQ(edits.Seen.size(), 1u);
  EXPECT_EQ(edits.Seen[0].first, ikTitle);
  EXPECT_EQ(edits.Seen[0].second, "Song!");
  EXPECT_EQ(title->Value(), "Song!");

  ASSERT_TRUE(Body->EditItem(ikArtist)->BeginEdit());
  char32_t x = U'x';
  Body->KeyPress(x);
  WORD escape = VK_ESCAPE;
  Body->KeyDown(escape, 0);
  EXPECT_EQ(Body->EditItem(ikArtist)->Value(), "Band");
  // Returning an unchanged text reports nothing.
  ASSERT_TRUE(Body->EditItem(ikAlbum)->BeginEdit());
  enter = VK_RETURN;
  Body->KeyDown(enter, 0);
  EXPECT_EQ(edits.Seen.size(), 1u);
}

TEST_F(OxaMusicInfoTest, LosingTheFocusCommitsTheEdit)
{
  TEdits edits;
  Body->OnEdited = MakeMethod<&TEdits::Edited>(&edits);
  Body->SetTrack(Track(1, 128, 60));
  Body->SetEditMode(true);
  TOxaMusicInfoEditItem* album = Body->EditItem(ikAlbum);
  EXPECT_TRUE(album->WantsFocus());
  album->Click();
  ASSERT_TRUE(album->Editing());
  char32_t key = U'2';
  album->KeyPress(key);
  album->Exit();
  EXPECT_FALSE(album->Editing());
  ASSERT_EQ(edits.Seen.size(), 1u);
  EXPECT_EQ(edits.Seen[0].second, "Disc2");
  // Turning edit mode off drops an open edit.
  album->Click();
  album->KeyPress(key);
  Body->SetEditMode(false);
  EXPECT_FALSE(album->Editing());
  EXPECT_EQ(edits.Seen.size(), 1u);
}

// Typing through the input layer, as the user does.
void Press(unsigned long keysym, std::u32string text = {})
{
  for (const bool down : {true, false}) {
    TInputEvent event;
    event.Kind = TInputKind::Key;
    event.Keysym = keysym;
    event.Down = down;
    event.Text = down ? text : std::u32string{};
    DeliverInput(event);
  }
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

constexpr unsigned long KeyReturn = 0xFF0D;
constexpr unsigned long KeyEscape = 0xFF1B;

TEST_F(OxaMusicInfoTest, InAHostControlTextFieldsAreEditedInThePlatformEditor)
{
  TOwnedObject<TOxaImage> host(new TOxaImage(nullptr));
  host->SetBounds(0, 0, 400, 300);
  host->SetBitmap(Body.get());
  host->Show();
  TEdits edits;
  Body->OnEdited = MakeMethod<&TEdits::Edited>(&edits);
  Body->SetTrack(Track(1, 128, 60));
  Body->SetEditMode(true);
  TOxaMusicInfoEditItem* title = Body->EditItem(ikTitle);
  ASSERT_TRUE(title->BeginEdit());
  ASSERT_NE(title->PlatformEditor(), nullptr);
  EXPECT_EQ(title->Editor(), nullptr);
  EXPECT_EQ(title->PlatformEditor()->Text(), "Song");
  // The whole text is selected: typing replaces it.
  Press('N', U"N");
  Press('u', U"u");
  Press(KeyReturn);  // the end is queued and delivered after the editor's own handling
  host->RunCallbacks();
  EXPECT_FALSE(title->Editing());
  ASSERT_EQ(edits.Seen.size(), 1u);
  EXPECT_EQ(edits.Seen[0].second, "Nu");

  ASSERT_TRUE(Body->EditItem(ikArtist)->BeginEdit());
  Press('x', U"x");
  Press(KeyEscape);
  host->RunCallbacks();
  EXPECT_FALSE(Body->EditItem(ikArtist)->Editing());
  EXPECT_EQ(Body->EditItem(ikArtist)->Value(), "Band");
  EXPECT_EQ(edits.Seen.size(), 1u);

  // The genre field keeps choosing from its list in the node editor.
  ASSERT_TRUE(Body->GenreItem()->BeginEdit());
  EXPECT_EQ(Body->GenreItem()->PlatformEditor(), nullptr);
  EXPECT_NE(Body->GenreItem()->Editor(), nullptr);
  Body->GenreItem()->EndEdit(false);
  host->SetBitmap(nullptr);
}

TEST_F(OxaMusicInfoTest, NoFontNoEditor)
{
  TOwnedObject<TOxaMusicInfoBody> bare(new TOxaMusicInfoBody(nullptr));
  bare->SetEditMode(true);
  EXPECT_FALSE(bare->EditItem(ikTitle)->BeginEdit());
  EXPECT_EQ(bare->EditingItem(), nullptr);
}

TEST_F(OxaMusicInfoTest, GenreKeysChooseFromTheListAndTheHiddenKeySwitchesIt)
{
  Body->SetTrack(Track(1, 128, 60));
  Body->SetEditMode(true);
  TOxaMusicInfoGenreItem* genre = Body->GenreItem();
  ASSERT_TRUE(genre->BeginEdit());
  EXPECT_EQ(genre->GenreIndex(), OxaStandardGenres().IndexOf("Rock"));
  char32_t j = U'j';
  Body->KeyPress(j);
  EXPECT_EQ(genre->Editor()->Caption(), OxaStandardGenres().Names(OxaStandardGenres().IndexForKey(U'j')));
  EXPECT_EQ(genre->Editor()->Caption().substr(0, 1), "J");
  WORD down = VK_DOWN;
  Body->KeyDown(down, 0);
  EXPECT_EQ(genre->Editor()->Caption(), OxaStandardGenres().Names(OxaStandardGenres().IndexForKey(U'j') + 1));
  // Past 126 nothing is chosen: the text stays.
  char32_t past = 127;
  Body->KeyPress(past);
  EXPECT_EQ(genre->Editor()->Caption(), OxaStandardGenres().Names(OxaStandardGenres().IndexForKey(U'j') + 1));

  WORD g = 'G';
  Body->KeyDown(g, ssCtrl | ssShift);
  EXPECT_TRUE(genre->HiddenList());
  char32_t a = U'a';
  Body->KeyPress(a);
  EXPECT_EQ(genre->Editor()->Caption(), "Audiobook");
  g = 'G';
  Body->KeyDown(g, ssCtrl | ssShift);
  EXPECT_FALSE(genre->HiddenList());
}

TEST_F(OxaMusicInfoTest, TheDurationItemTakesOnlyItsOwnKind)
{
  TOxaMusicInfoDurationItem* duration = Body->DurationItem();
  EXPECT_EQ(FatalText([&] { duration->SetKind(ikTitle); }),
            "TOxaMusicInfoDurationItem.Kind: This propery must be a ikDuration");
  EXPECT_EQ(FatalText([&] { duration->SetKind(ikDuration); }), "");
  EXPECT_EQ(duration->Kind(), ikDuration);
}

TEST_F(OxaMusicInfoTest, TheDurationItemCyclesItsModesOnClick)
{
  Body->SetTrack(Track(1, 128, 200));
  Body->SetElapsed(260);
  TOxaMusicInfoDurationItem* duration = Body->DurationItem();
  struct TStep {
    TOxaDurationMode Mode;
    const char* Caption;
    const char* Value;
  };
  const TStep steps[] = {{TOxaDurationMode::Elapsed, "ELAPSED", "4:20 min"},
                         {TOxaDurationMode::Remaining, "REMAINING", "0:00 min"},
                         {TOxaDurationMode::Duration, "DURATION", "4:20 min"}};
  for (const TStep& s : steps) {
    duration->Click();
    EXPECT_EQ(duration->Mode(), s.Mode);
    EXPECT_EQ(duration->CaptionName(), s.Caption);
    EXPECT_EQ(duration->CaptionImage()->Width(), Assets->InfoIcons->Find(s.Caption)->ImageWidth());
    EXPECT_EQ(duration->Value(), s.Value);
  }
}

TEST(OxaMusicInfoTrackBar, ValuesAlongTheBar)
{
  // A 110-wide bar with a 10-wide knob: 100 pixels of travel.
  struct TCase {
    int X;
    std::int32_t Value;
  };
  const TCase cases[] = {{-20, 0}, {5, 0}, {6, 10}, {55, 500}, {104, 989}, {105, 999}, {200, 999}};
  for (const TCase& c : cases) {
    EXPECT_EQ(TOxaMusicInfoTrackBar::ValueAt(c.X, 110, 10), c.Value) << c.X;
  }
  EXPECT_EQ(TOxaMusicInfoTrackBar::ValueAt(50, 10, 10), 0);
  EXPECT_EQ(TOxaMusicInfoTrackBar::KnobLeft(0, 110, 10), 0);
  EXPECT_EQ(TOxaMusicInfoTrackBar::KnobLeft(999, 110, 10), 100);
  EXPECT_EQ(TOxaMusicInfoTrackBar::KnobLeft(5000, 110, 10), 100);
}

// The x at which the bar gives value (searched, so the test does not restate the mapping).
int AtValue(const TOxaMusicInfoTrackBar& bar, std::int32_t value)
{
  for (int x = 0; x < bar.Width(); ++x) {
    if (TOxaMusicInfoTrackBar::ValueAt(x, bar.Width(), bar.Knob()->Width()) >= value) {
      return x;
    }
  }
  return bar.Width();
}

class MusicViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    View->SetBitmaps(Assets->InfoIcons);
    View->SetFont(Assets->InfoTextFonts);
    View->SetClock([this] { return Now; });
    View->ShowInfo(true);
  }
  std::unique_ptr<TOxaMusicInfoAssetsForm> Assets{new TOxaMusicInfoAssetsForm(nullptr, &OxaSkinStore)};
  TOwnedObject<TMusicView> View{new TMusicView(nullptr)};
  std::uint64_t Now = 1000;
};

TEST_F(MusicViewTest, TheTrackDisplayWithoutAPlayerFailsAndChangesNothing)
{
  TDbId item;
  item.ViewId = 5;
  EXPECT_EQ(FatalText([&] { View->DisplayTrack(item); }),
            "FPlayer is nil - needs some displaying (MusicView)");
  EXPECT_EQ(FatalText([&] { View->DisplayFile(Track(3, 128, 100), 5, 1); }),
            "FPlayer is nil - needs some displaying (MusicView)");
  EXPECT_EQ(View->Info()->Body()->TrackLabel()->Caption(), "TRACK ___");
  EXPECT_EQ(View->FileId(), -1);
}

TEST_F(MusicViewTest, PositionsMoveTheKnobAndTheElapsedTime)
{
  TOxaMusicPlayer player("no-such-audio-component");
  View->SetPlayer(&player);
  View->DisplayFile(Track(3, 128, 100), 5, -1);
  View->Info()->Body()->DurationItem()->SetMode(TOxaDurationMode::Elapsed);
  View->SetPlayPosition(655);
  EXPECT_EQ(View->Slider().Value(), 654);
  EXPECT_EQ(View->Info()->TrackBar()->Value(), 654);
  EXPECT_EQ(View->Info()->Body()->DurationItem()->Value(), "1:05 min");
  // A file outside the library is never editable.
  EXPECT_FALSE(View->Info()->Body()->EditMode());
  View->SetPlayer(nullptr);
}

TEST_F(MusicViewTest, AReleasedKnobSeeksAndWaitsForThePlayer)
{
  TOxaMusicPlayer player("no-such-audio-component");
  View->SetPlayer(&player);
  View->DisplayFile(Track(3, 128, 100), 5, -1);
  TTraceCapture trace;
  TOxaMusicInfoTrackBar* bar = View->Info()->TrackBar();
  const int knob = bar->Knob()->Width();
  ASSERT_EQ(knob, 10);
  const int at = AtValue(*bar, 500);
  bar->MouseDown(TMouseButton::mbLeft, 0, at, 5);
  EXPECT_TRUE(View->Slider().Dragging());
  const std::int32_t chosen = bar->Value();
  EXPECT_NEAR(chosen, 500, 3);
  View->SetPlayPosition(100);  // ignored while dragging
  EXPECT_EQ(bar->Value(), chosen);
  bar->MouseUp(TMouseButton::mbLeft, 0, at, 5);
  EXPECT_FALSE(View->Slider().Dragging());
  EXPECT_EQ(View->Slider().Requested(), chosen);
  EXPECT_TRUE(trace.Contains("MouseUp SetPos " + std::to_string(TMusicViewSlider::TenthsOf(chosen, 100))));
  // 11 below the request: still shown as requested; 10 below: the player's value from then on.
  View->SetPlayPosition(TMusicViewSlider::TenthsOf(chosen - 11, 100));
  EXPECT_EQ(bar->Value(), chosen);
  View->SetPlayPosition(TMusicViewSlider::TenthsOf(chosen - 10, 100));
  EXPECT_TRUE(trace.Contains("SetPos " + std::to_string(chosen) + ", Pos " + std::to_string(chosen - 10)));
  EXPECT_EQ(bar->Value(), chosen - 10);
  View->SetPlayer(nullptr);
}

TEST_F(MusicViewTest, ATrackChangeDropsThePendingSeek)
{
  TOxaMusicPlayer player("no-such-audio-component");
  View->SetPlayer(&player);
  View->DisplayFile(Track(3, 128, 100), 5, -1);
  TOxaMusicInfoTrackBar* bar = View->Info()->TrackBar();
  bar->MouseDown(TMouseButton::mbLeft, 0, AtValue(*bar, 900), 5);
  bar->MouseUp(TMouseButton::mbLeft, 0, AtValue(*bar, 900), 5);
  EXPECT_NEAR(View->Slider().Requested(), 900, 3);
  View->DisplayFile(Track(4, 128, 100), 5, -1);
  EXPECT_EQ(View->Slider().Requested(), -1);
  View->SetPlayPosition(100);
  EXPECT_EQ(bar->Value(), 100);
  View->SetPlayer(nullptr);
}

}  // namespace
