// Pictures of the list panel's frame as the display shows them, against reviewed references.
// OXA_SCREENS_X11=1 takes them from a private X server instead of the memory screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "skin/OxaSkin.h"
#include "tests/support/MessagePump.h"
#include "tests/support/ScreenShots.h"
#include "tests/support/XvfbServer.h"
#include "views/MusicAssets.h"
#include "views/frame/MusicListHeaderFooter.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"

namespace {

using K = TMusicListViewItemKinds;

class TScreensTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { Server = UseScreenshotDisplay(); }
  static void TearDownTestSuite() { Server.reset(); }
  void SetUp() override
  {
    Image.reset(new TOxaImage(nullptr));
    Image->SetColor(0x303030);
  }
  void TearDown() override
  {
    Image->SetBitmap(nullptr);
    Root.reset();
    Image.reset();
  }
  TMusicListViewEx* NewPanel(int width, int height)
  {
    Root->SetBounds(0, 0, width, height);
    auto* panel = new TMusicListViewEx(&Root->Objects(), Assets.DisplayFonts, Assets.Icons);
    panel->SetBounds(0, 0, width, height);
    panel->SetParent(Root.get());
    panel->Header()->SetViews({K::mlkAlbum, K::mlkArtist, K::mlkGenre, K::mlkTitle},
                              {"Albums", "Artists", "Genres", "Titles"});
    panel->Header()->SetCurrentView(K::mlkAlbum);
    return panel;
  }
  // The tree as the window shows it.
  TScreenPicture Shot()
  {
    Image->SetBounds(0, 0, Root->Width(), Root->Height());
    Image->SetBitmap(Root.get());
    Image->Show();
    const int before = Image->PaintCount();
    Image->Invalidate();
    PumpUntil([&] { return Image->PaintCount() > before; }, 5000);
    return Screen();
  }
  // The window's part of the screen as it is now.
  TScreenPicture Screen()
  {
    const int width = Root->Width();
    const int height = Root->Height();
    std::vector<std::uint32_t> screen;
    SIZE size{};
    TScreenPicture picture;
    if (!ReadScreen(screen, size)) {
      ADD_FAILURE() << "the screen cannot be read";
      return picture;
    }
    picture.Width = width;
    picture.Height = height;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        picture.Pixels.push_back(screen[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)]);
      }
    }
    return picture;
  }

  static inline std::unique_ptr<TXvfbServer> Server;
  TMusicAssetsForm Assets{nullptr, &OxaSkinStore};
  TOwnedObject<TOxaImage> Image;
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
};

TEST_F(TScreensTest, PanelActive)
{
  NewPanel(640, 240);
  EXPECT_TRUE(MatchesScreen("panel-active", Shot()));
}

TEST_F(TScreensTest, PanelDimmed)
{
  NewPanel(640, 240)->SetActive(false);
  EXPECT_TRUE(MatchesScreen("panel-dimmed", Shot()));
}

TEST_F(TScreensTest, SelectorMidFade)
{
  TMusicListViewEx* panel = NewPanel(640, 240);
  auto* selector = new TMusicSelectView(&panel->Objects());
  selector->SetParent(panel);
  selector->SetViews({K::mlkArtist, K::mlkGenre, K::mlkTitle}, {"Artist", "Genre", "Title"},
                     {"Artists", "Genres", "Titles"});
  selector->SetHead("ViewAlbumN", "Albums");
  selector->SetBounds(8, 57, TMusicSelectView::ViewWidth, selector->Height());
  selector->Items(1)->MouseEnter();
  selector->SetOpacity(128);
  EXPECT_TRUE(MatchesScreen("selector-mid-fade", Shot()));
  // A step of a fade repaints only the selector's rectangle, blended over what lies below it.
  selector->SetOpacity(255);
  selector->Repaint();
  selector->SetOpacity(128);
  selector->Repaint();
  EXPECT_TRUE(MatchesScreen("selector-mid-fade", Screen()));
}

TEST_F(TScreensTest, TurnAtThreeSteps)
{
  Root->SetBounds(0, 0, 3 * 80 + 8, 62);
  TOwnedObject<TOxaRotateBitmap> turn{new TOxaRotateBitmap(nullptr)};
  turn->Add(Assets.Icons->Find("VIEWALBUMN"));
  turn->Add(Assets.Icons->Find("VIEWGENREN"));
  for (int i = 0; i < 3; ++i) {
    auto* frame = new TOxaBitmap(&Root->Objects());
    frame->SetBounds(8 + i * 80, 8, 72, 46);
    frame->SetParent(Root.get());
    turn->Render(*frame, 3 * (i + 1), 12);
  }
  EXPECT_TRUE(MatchesScreen("turn-three-steps", Shot()));
}

}  // namespace

namespace {

TEST_F(TScreensTest, AButtonRepaintsItsCaptionOverThePanel)
{
  TMusicListViewEx* panel = NewPanel(640, 240);
  Shot();
  TOxaButton* button = panel->Footer()->Button("ShowList");
  button->SetCaption("HALT");
  button->PaintToControl();
  const TScreenPicture quick = Screen();
  const TScreenPicture full = Shot();
  ASSERT_EQ(quick.Pixels.size(), full.Pixels.size());
  int differing = 0;
  for (std::size_t i = 0; i < full.Pixels.size(); ++i) {
    differing += quick.Pixels[i] != full.Pixels[i] ? 1 : 0;
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace

namespace {

// The rectangle of a label's text surface in the window.
RECT TextRect(const TOxaLabel& label)
{
  const RECT image = label.ImageRect();
  const POINT at = label.PointToControl(POINT{image.left, image.top});
  return {at.x, at.y, at.x + image.right - image.left, at.y + image.bottom - image.top};
}

TEST_F(TScreensTest, CaptionsOnTheDimmedPanelHaveNoDarkFringes)
{
  // The glyphs are anti-aliased against black; on the grey panel no pixel of a caption may be
  // darker than the panel (letters eaten by black outlines), and the ink must show.
  TMusicListViewEx* panel = NewPanel(640, 240);
  panel->SetActive(false);
  const TScreenPicture picture = Shot();
  std::vector<const TOxaLabel*> labels{panel->Header()->CaptionLabel()};
  for (int i = 0; i < panel->Footer()->ButtonCount(); ++i) {
    labels.push_back(panel->Footer()->Buttons(i));
  }
  int checked = 0;
  for (const TOxaLabel* label : labels) {
    if (!label->Visible() || label->Caption().empty()) {
      continue;
    }
    SCOPED_TRACE(label->Caption());
    const RECT area = TextRect(*label);
    ASSERT_LT(area.left, area.right);
    int lighter = 0;
    for (LONG y = std::max(area.top, LONG(0)); y < std::min(area.bottom, LONG(picture.Height)); ++y) {
      for (LONG x = std::max(area.left, LONG(0)); x < std::min(area.right, LONG(picture.Width)); ++x) {
        const std::uint32_t pixel =
            picture.Pixels[std::size_t(y) * std::size_t(picture.Width) + std::size_t(x)];
        for (const int shift : {0, 8, 16}) {
          ASSERT_GE(int((pixel >> shift) & 0xFF), 0x46) << x << "," << y << ": " << std::hex << pixel;
        }
        lighter += (pixel & 0xFF) > 0x50 ? 1 : 0;
      }
    }
    EXPECT_GT(lighter, 0);
    ++checked;
  }
  EXPECT_GE(checked, 5);
}

}  // namespace

namespace {

// What differs between two pictures inside a rectangle.
int Differing(const TScreenPicture& a, const TScreenPicture& b, RECT r)
{
  int n = 0;
  for (LONG y = r.top; y < r.bottom; ++y) {
    for (LONG x = r.left; x < r.right; ++x) {
      const std::size_t at = std::size_t(y) * std::size_t(a.Width) + std::size_t(x);
      n += a.Pixels[at] != b.Pixels[at] ? 1 : 0;
    }
  }
  return n;
}

TEST_F(TScreensTest, RowsChangingBehindTheStripsLeaveTheStripsAlone)
{
  // Twelve rows in a panel that shows about four: the later ones lie under the footer or below
  // the list, the first under the list's header strip once it scrolls.
  TMusicListViewEx* panel = NewPanel(640, 420);
  TMusicListView* list = panel->List();
  const int width = list->Width() - TMusicListViewScrollBar::BarWidth;
  auto* group = new TOxaBitmap(&list->Panel()->Objects());
  group->SetParent(list->Panel());
  std::vector<TMusicListViewItem*> rows;
  for (int i = 0; i < 12; ++i) {
    auto* row = new TMusicListViewItem(&group->Objects(), list, K::mlkTrack);
    row->SetRecordIndex(i);
    row->SetNumber(i + 1);
    row->SetCaption("Track " + std::to_string(i + 1));
    row->SetBounds(0, i * kMusicRowHeight, width, kMusicRowHeight);
    row->SetParent(group);
    rows.push_back(row);
  }
  group->SetBounds(0, 0, width, 12 * kMusicRowHeight);
  list->Panel()->SetBounds(0, list->Panel()->Top(), width, 12 * kMusicRowHeight);
  list->ScrollTo(kMusicRowHeight / 2, false);
  const TScreenPicture before = Shot();
  const POINT listAt = list->PointToControl(POINT{0, 0});
  const RECT footer{0, panel->Footer()->Top(), 640, 420};
  const RECT header{0, 0, 640, LONG(listAt.y + list->HeaderHeight())};

  // Ctrl+A: every row changes its look; each repaints itself from the queue.
  list->Select(rows[1]);
  list->SelectGroup();
  ASSERT_EQ(list->SelectedCount(), 12);
  PumpUntil([&] { return Image->QueuedCallbacks() == 0; }, 5000);
  const TScreenPicture quick = Screen();
  // What a whole repaint shows: the strips over the rows.
  const TScreenPicture full = Shot();
  EXPECT_EQ(Differing(quick, full, footer), 0) << "no row painted over the footer";
  EXPECT_EQ(Differing(quick, full, header), 0) << "no row painted over the header";
  EXPECT_EQ(Differing(quick, full, {0, 0, 640, 420}), 0);
  EXPECT_GT(Differing(before, full, {0, header.bottom, 640, footer.top}), 0) << "the rows in view did change";
}

}  // namespace
