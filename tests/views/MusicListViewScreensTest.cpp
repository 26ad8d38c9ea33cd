// Pictures of the music list as the display shows it, against reviewed references: rows in each
// look, an open group, and a drag with its gap and box.
// OXA_SCREENS_X11=1 takes them from a private X server instead of the memory screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Windows.h"
#include "skin/OxaSkin.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/XvfbServer.h"
#include "views/MusicAssets.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"
#include "views/list/MusicListViewStates.h"

namespace {

using K = TMusicListViewItemKinds;

class TListScreensTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Server = UseScreenshotDisplay(); }
  static void TearDownTestSuite() { Server.reset(); }
  void SetUp() override
  {
    Root->SetBounds(0, 0, 480, 8 * kMusicRowHeight);
    List = new TMusicListView(&Root->Objects());
    List->SetBitmaps(Assets.Icons);
    List->SetFont(Assets.Verdana10N);
    List->SetBounds(0, 0, 480, 8 * kMusicRowHeight);
    List->SetParent(Root.get());
    TOxaBitmap* panel = List->Panel();
    panel->SetBounds(0, 0, 480 - TMusicListViewScrollBar::BarWidth, 10 * kMusicRowHeight);
    const int width = panel->Width();
    Album = Add(panel, K::mlkAlbum, 0, "Quiet Harbour Sessions", -1);
    Group = new TOxaBitmap(&panel->Objects());
    Group->SetBounds(0, kMusicRowHeight, width, 6 * kMusicRowHeight);
    Group->SetParent(panel);
    const char* titles[] = {"Morning Tide",  "Salt And Cedar", "Lanterns",
                            "The Long Pier", "Gulls At Noon",  "Slow Return"};
    for (int i = 0; i < 6; ++i) {
      Tracks.push_back(Add(Group, K::mlkTrack, i * kMusicRowHeight, titles[i], i));
      Tracks.back()->SetNumber(i + 1);
    }
    Add(panel, K::mlkAlbum, 7 * kMusicRowHeight, "Northern Lights Live", -1);
    Add(panel, K::mlkArtist, 8 * kMusicRowHeight, "The Harbour Band", -1);
    Add(panel, K::mlkFavorite, 9 * kMusicRowHeight, "Evening Favourites", -1);
    List->ScrollTo(0, false);
    Image.reset(new TOxaImage(nullptr));
    Image->SetColor(0x303030);
  }
  void TearDown() override
  {
    Image->SetBitmap(nullptr);
    Root.reset();
    Image.reset();
  }
  TMusicListViewItem* Add(TOxaBitmap* parent, K kind, int top, const char* caption, int record)
  {
    auto* row = new TMusicListViewItem(&parent->Objects(), List, kind);
    row->SetRecordIndex(record);
    row->SetCaption(caption);
    row->SetBounds(0, top, parent->Width(), kMusicRowHeight);
    if (parent == Group)
      row->SetVertAlign(oaStackNear);  // a row growing a gap pushes the rows below it down
    row->SetParent(parent);
    return row;
  }
  // Every look: normal, selected, active (with its group's row), pressed, marked, playing.
  void SetLooks()
  {
    List->Select(Tracks[1]);
    List->SetActiveRow(Tracks[2]);
    Album->SetState(Album->State() | kRowActive);
    Tracks[3]->SetPressed(true);
    List->SetMarked(Tracks[4], true);
    Tracks[5]->SetState(Tracks[5]->State() | kRowPlaying);
  }
  TScreenPicture Shot()
  {
    const int width = Root->Width();
    const int height = Root->Height();
    Image->SetBounds(0, 0, width, height);
    Image->SetBitmap(Root.get());
    Image->Show();
    const int before = Image->PaintCount();
    Image->Invalidate();
    PumpUntil([&] { return Image->PaintCount() > before; }, 5000);
    std::vector<std::uint32_t> screen;
    SIZE size{};
    TScreenPicture picture;
    if (!ReadScreen(screen, size)) {
      ADD_FAILURE() << "the screen cannot be read";
      return picture;
    }
    picture.Width = width;
    picture.Height = height;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        picture.Pixels.push_back(screen[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)]);
    return picture;
  }

  static inline std::unique_ptr<TXvfbServer> Server;
  TMusicAssetsForm Assets{nullptr, &OxaSkinStore};
  TOwnedObject<TOxaImage> Image;
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TMusicListView* List = nullptr;
  TMusicListViewItem* Album = nullptr;
  TOxaBitmap* Group = nullptr;
  std::vector<TMusicListViewItem*> Tracks;
};

TEST_F(TListScreensTest, RowsInEveryLookAndAnOpenGroup)
{
  SetLooks();
  EXPECT_TRUE(MatchesScreen("list-rows", Shot()));
}

TEST_F(TListScreensTest, ADragWithItsGapAndBox)
{
  SetLooks();
  Tracks[3]->SetPressed(false);
  Shot();  // shown, so the drag has a host
  POINT origin{0, 0};
  ClientToScreen(Image->Handle(), &origin);
  POINT pointer{};
  std::uint64_t now = 0;
  List->SetClock([&] { return now += 50; });
  List->SetPointerSource(
      [&](POINT& p) {
        p = pointer;
        return true;
      },
      [] { return false; });
  const auto move = [&](int x, int y) {
    pointer = {origin.x + x, origin.y + y};
    Image->DoMouseMove(ssLeft, x, y);
  };
  Image->DoMouseDown(TMouseButton::mbLeft, 0, 200, 2 * kMusicRowHeight + 20);  // the selected track
  move(200, 2 * kMusicRowHeight + 30);
  move(240, 4 * kMusicRowHeight + 12);  // the upper half of the fourth track
  ASSERT_NE(List->DragBox(), nullptr);
  EXPECT_TRUE(MatchesScreen("list-drag-gap", Shot()));
  Image->DoMouseUp(TMouseButton::mbLeft, 0, 470, 5);
}

}  // namespace
