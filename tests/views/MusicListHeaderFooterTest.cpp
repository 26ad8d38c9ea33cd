#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/AnsiText.h"
#include "skin/OxaSkin.h"
#include "views/MusicAssets.h"
#include "views/frame/MusicListHeaderFooter.h"

namespace {

using K = TMusicListViewItemKinds;

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

std::string Text(const RECT& r)
{
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

bool SamePixels(TOxaBitmap& a, const TOxaBitmap& b)
{
  auto& other = const_cast<TOxaBitmap&>(b);
  if (a.ImageWidth() != other.ImageWidth() || a.ImageHeight() != other.ImageHeight()) {
    return false;
  }
  for (int y = 0; y < a.ImageHeight(); ++y) {
    for (int x = 0; x < a.ImageWidth(); ++x) {
      if (a.GetPixel(x, y) != other.GetPixel(x, y)) {
        return false;
      }
    }
  }
  return true;
}

// A clock that moves on by a fixed step each time it is read.
struct TStepClock {
  std::uint64_t Now = 1000;
  std::uint64_t Step = 50;
  std::function<void()> OnRead;
  TMusicClock Clock()
  {
    return [this] {
      if (OnRead) {
        OnRead();
      }
      return Now += Step;
    };
  }
};

struct TEvents {
  std::vector<std::string> Log;
  void ViewChanged(TOxaBitmap*) { Log.push_back("changed"); }
  void Button(TOxaBitmap*, TOxaButton* button) { Log.push_back(button->Name()); }
  void Enter(TOxaBitmap* sender)
  {
    Log.push_back("enter " + static_cast<TMusicSelectViewItem*>(sender)->Caption());
  }
  void Leave(TOxaBitmap* sender)
  {
    Log.push_back("leave " + static_cast<TMusicSelectViewItem*>(sender)->Caption());
  }
  void Changed(TObject*) { Log.push_back("set"); }
  void Gone(TObject*) {}
};

class TPanelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    Image.reset(new TOxaImage(nullptr));
    Image->SetBounds(0, 0, 640, 500);
    Image->Show();
    Panel = new TMusicListViewEx(&Root->Objects(), Assets.DisplayFonts, Assets.Icons);
    Root->SetBounds(0, 0, 640, 500);
    Panel->SetBounds(0, 0, 640, 500);
    Panel->SetParent(Root.get());
    Image->SetBitmap(Root.get());
    Header()->SetClock(Clock.Clock());
    Header()->SetViews({K::mlkAlbum, K::mlkArtist, K::mlkGenre}, {"Albums", "Artists", "Genres"});
    Header()->SetCurrentView(K::mlkAlbum);
  }
  void TearDown() override
  {
    Image->SetBitmap(nullptr);
    Root.reset();
    Image.reset();
  }
  TMusicListHeader* Header() const { return Panel->Header(); }
  // A point of the view icon in the control's coordinates.
  POINT IconPoint() const
  {
    TMusicViewIcon* icon = Header()->ViewIcon();
    return {Panel->Left() + Header()->Left() + icon->Left() + 10,
            Panel->Top() + Header()->Top() + icon->Top() + 10};
  }
  // The middle of a select item in the control's coordinates.
  POINT ItemPoint(int index) const
  {
    TMusicSelectView* selector = Header()->Selector();
    TMusicSelectViewItem* item = selector->Items(index);
    return {Panel->Left() + selector->Left() + item->Left() + 50,
            Panel->Top() + selector->Top() + item->Top() + item->Height() / 2};
  }

  TMusicAssetsForm Assets{nullptr, &OxaSkinStore};
  TOwnedObject<TOxaImage> Image;
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};
  TMusicListViewEx* Panel = nullptr;
  TStepClock Clock;
  TEvents Events;
};

TEST_F(TPanelTest, TheListSitsBetweenHeaderAndFooter)
{
  EXPECT_EQ(Text(Header()->BoundsRect()), "0,0,639,68");
  EXPECT_EQ(Text(Panel->Footer()->BoundsRect()), "0,432,639,500");
  EXPECT_EQ(Text(Panel->List()->BoundsRect()), "0,68,639,432");
  EXPECT_EQ(Text(Panel->Divider()->BoundsRect()), "639,0,640,500");
}

TEST_F(TPanelTest, ViewsNeedACaptionEach)
{
  EXPECT_EQ(FatalText([&] {
              Header()->SetViews({K::mlkAlbum, K::mlkArtist, K::mlkGenre}, {"A", "B"});
            }),
            "TMusicListHeader.SetViews: Length(AKinds) <> Lenght(ACaptions)");
  EXPECT_EQ(Header()->ViewCount(), 3);
  TOwnedObject<TMusicSelectView> selector{new TMusicSelectView(nullptr)};
  const std::string message = "TMusicSelectView.SetViews: Length(AViews) <> Length(ACaptions)";
  EXPECT_EQ(FatalText([&] { selector->SetViews({K::mlkAlbum}, {"Album", "Genre"}, {"A"}); }), message);
  EXPECT_EQ(FatalText([&] { selector->SetViews({K::mlkAlbum, K::mlkGenre}, {"Album"}, {"A"}); }), message);
  EXPECT_EQ(selector->ItemCount(), 0);
}

TEST_F(TPanelTest, TheCurrentViewShowsItsSkinImage)
{
  const std::vector<K> all = {K::mlkTrack,  K::mlkFavorite, K::mlkAlbum, K::mlkGenre,
                              K::mlkArtist, K::mlkFolder,   K::mlkTitle};
  const char* images[] = {"VIEWTITLEN",  "VIEWFAVORITEN", "VIEWALBUMN", "VIEWGENREN",
                          "VIEWARTISTN", "VIEWFOLDERN",   "VIEWTITLEN"};
  Header()->SetViews(all, std::vector<std::string>(all.size(), "x"));
  for (std::size_t i = 0; i < all.size(); ++i) {
    Header()->SetCurrentView(all[i]);
    EXPECT_EQ(AnsiUpperCase(Header()->ImageName()), images[i]);
    const TOxaBitmap* picture = Assets.Icons->Find(images[i]);
    ASSERT_NE(picture, nullptr) << images[i];
    EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *picture)) << images[i];
  }
}

TEST_F(TPanelTest, AKindNotGivenLeavesTheImage)
{
  const std::string before = Header()->ImageName();
  Header()->SetCurrentView(K::mlkFolder);
  EXPECT_EQ(Header()->ImageName(), before);
  EXPECT_EQ(Header()->CurrentView(), K::mlkAlbum);
  EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *Assets.Icons->Find("VIEWALBUMN")));
}

TEST_F(TPanelTest, AnimationFramesRunToTheFirstGapAndAtMost64)
{
  EXPECT_EQ(Header()->AnimationFrameCount(), 12);
  struct TCase {
    int Present, Gap, Frames;
  };
  for (const TCase c :
       {TCase{64, 0, 64}, TCase{65, 0, 64}, TCase{63, 0, 63}, TCase{10, 3, 2}, TCase{0, 0, 0}}) {
    TOwnedObject<TOxaBitmaps> store{new TOxaBitmaps(nullptr)};
    TOwnedObject<TOxaBitmap> frame{new TOxaBitmap(nullptr)};
    frame->ChangeImageSize(2, 2, opf24Bit);
    for (int i = 1; i <= c.Present; ++i) {
      if (i != c.Gap) {
        store->Add("ViewAnimation" + std::to_string(i) + "N", *frame);
      }
    }
    Header()->SetBitmaps(store.get());
    EXPECT_EQ(Header()->AnimationFrameCount(), c.Frames) << c.Present << " " << c.Gap;
    Header()->SetBitmaps(nullptr);
  }
}

TEST_F(TPanelTest, SelectItemsListTheViewsInOrder)
{
  TMusicSelectView* selector = new TMusicSelectView(&Panel->Objects());
  selector->SetParent(Panel);
  selector->SetViews({K::mlkAlbum, K::mlkGenre, K::mlkFolder}, {"Album", "Genre", "Folder"},
                     {"Albums", "Genres", "Folders"});
  ASSERT_EQ(selector->ItemCount(), 3);
  EXPECT_EQ(selector->Height(), 46 + 10 + 3 * (20 + 4));
  const char* captions[] = {"ALBUMS", "GENRES", "FOLDERS"};
  for (int i = 0; i < 3; ++i) {
    TMusicSelectViewItem* item = selector->Items(i);
    EXPECT_EQ(item->Caption(), captions[i]);
    EXPECT_EQ(item->Height(), 20);
    EXPECT_EQ(item->Width(), 200 - 8);
    EXPECT_EQ(item->Top(), 46 + 10 + i * 24);
  }
  EXPECT_NE(selector->Items(0)->Picture(), nullptr);
  EXPECT_EQ(selector->Items(0)->Picture(), Assets.Icons->Find("SHOWALBUMN"));
  selector->SetViews({K::mlkTitle}, {"Title"}, {"Titles"});
  EXPECT_EQ(selector->ItemCount(), 1);
  EXPECT_EQ(selector->Height(), 46 + 10 + 24);
  EXPECT_EQ(FatalText([&] { selector->Items(1); }), "TMusicSelectView.Items[1]: Index out of bounds");
}

TEST_F(TPanelTest, MovingBetweenItemsLeavesOnceAndEntersOnce)
{
  TMusicSelectView* selector = new TMusicSelectView(&Panel->Objects());
  selector->SetParent(Panel);
  selector->SetViews({K::mlkAlbum, K::mlkGenre}, {"Album", "Genre"}, {"a", "g"});
  for (int i = 0; i < 2; ++i) {
    selector->Items(i)->OnMouseEnter = MakeMethod<&TEvents::Enter>(&Events);
    selector->Items(i)->OnMouseLeave = MakeMethod<&TEvents::Leave>(&Events);
  }
  const auto at = [&](int index, int dy) {
    TMusicSelectViewItem* item = selector->Items(index);
    return POINT{item->Left() + 5, item->Top() + dy};
  };
  struct TCase {
    POINT Where;
    int Index;
    std::vector<std::string> Log;
  };
  const TCase cases[] = {
      {at(0, 0), 0, {"enter A"}},   {at(0, 19), 0, {}}, {at(1, 0), 1, {"leave A", "enter G"}},
      {at(1, 20), -1, {"leave G"}},  // the margin under the last item
      {POINT{5, 5}, -1, {}},         // the head
      {at(1, 10), 1, {"enter G"}},
  };
  for (const TCase& c : cases) {
    Events.Log.clear();
    selector->HoverAt(c.Where);
    EXPECT_EQ(Events.Log, c.Log) << c.Where.x << "," << c.Where.y;
    EXPECT_EQ(selector->HoveredIndex(), c.Index);
  }
  // Hovered, an item shows its "NA" picture.
  EXPECT_EQ(selector->Items(1)->Picture(), Assets.Icons->Find("SHOWGENRENA"));
}

TEST_F(TPanelTest, FadesEndExactly)
{
  TMusicSelectView* selector = new TMusicSelectView(&Panel->Objects());
  selector->SetParent(Panel);
  std::vector<int> seen;
  TStepClock clock;
  clock.Step = 30;
  clock.OnRead = [&] { seen.push_back(selector->Opacity()); };
  selector->SetClock(clock.Clock());
  selector->FadeIn();
  EXPECT_EQ(selector->Opacity(), 255);
  EXPECT_EQ(selector->FadeSteps(), 400 / 30 + 2);
  // Read first before the fade begins, then after each step.
  EXPECT_EQ(seen.size(), std::size_t(400 / 30 + 2));
  EXPECT_EQ(seen[0], 255);
  EXPECT_EQ(seen[1], 0);
  EXPECT_TRUE(std::is_sorted(seen.begin() + 1, seen.end()));
  EXPECT_EQ(seen.back(), 390 * 255 / 400);
  seen.clear();
  selector->FadeOut();
  EXPECT_EQ(selector->Opacity(), 0);
  EXPECT_TRUE(std::is_sorted(seen.rbegin(), seen.rend()));
  EXPECT_EQ(seen.back(), 10 * 255 / 400);
}

TEST_F(TPanelTest, ReleasingOnAnItemChoosesItsView)
{
  Header()->OnViewChanged = MakeMethod<&TEvents::ViewChanged>(&Events);
  const POINT icon = IconPoint();
  Image->DoMouseMove(0, icon.x, icon.y);
  Image->DoMouseDown(TMouseButton::mbLeft, 0, icon.x, icon.y);
  TMusicSelectView* selector = Header()->Selector();
  ASSERT_NE(selector, nullptr);
  EXPECT_EQ(selector->Opacity(), 255);
  EXPECT_EQ(selector->Left(), Header()->Left() + 8);
  EXPECT_EQ(selector->Top(), Header()->ViewIcon()->Top() + Header()->ViewIcon()->Height());
  // Every view but the current one, in stored order.
  ASSERT_EQ(selector->ItemCount(), 2);
  EXPECT_EQ(selector->Items(0)->Kind(), K::mlkArtist);
  EXPECT_EQ(selector->Items(1)->Kind(), K::mlkGenre);
  const POINT genre = ItemPoint(1);
  Image->DoMouseMove(0, ItemPoint(0).x, ItemPoint(0).y);
  Image->DoMouseMove(0, genre.x, genre.y);
  EXPECT_EQ(selector->HoveredItem(), selector->Items(1));
  Image->DoMouseUp(TMouseButton::mbLeft, 0, genre.x, genre.y);
  EXPECT_EQ(Header()->Selector(), nullptr);
  EXPECT_EQ(Header()->ChosenView(), K::mlkGenre);
  EXPECT_EQ(Events.Log, std::vector<std::string>{"changed"});
  EXPECT_EQ(Header()->CaptionLabel()->Caption(), "");
  EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *Header()->AnimationFrame(0)));
  EXPECT_EQ(Panel->ChildCount(), 4);
}

TEST_F(TPanelTest, ReleasingElsewhereOrLockedChoosesNothing)
{
  Header()->OnViewChanged = MakeMethod<&TEvents::ViewChanged>(&Events);
  const POINT icon = IconPoint();
  Image->DoMouseMove(0, icon.x, icon.y);
  Image->DoMouseDown(TMouseButton::mbLeft, 0, icon.x, icon.y);
  ASSERT_NE(Header()->Selector(), nullptr);
  Image->DoMouseMove(0, 630, 490);
  Image->DoMouseUp(TMouseButton::mbLeft, 0, 630, 490);
  EXPECT_EQ(Header()->Selector(), nullptr);
  // Capture lost with the selector open.
  Image->DoMouseMove(0, icon.x, icon.y);
  Image->DoMouseDown(TMouseButton::mbLeft, 0, icon.x, icon.y);
  ASSERT_NE(Header()->Selector(), nullptr);
  Image->SetCaptured(nullptr);
  EXPECT_EQ(Header()->Selector(), nullptr);
  Header()->SetLocked(true);
  Image->DoMouseDown(TMouseButton::mbLeft, 0, icon.x, icon.y);
  EXPECT_EQ(Header()->Selector(), nullptr);
  Image->DoMouseUp(TMouseButton::mbLeft, 0, icon.x, icon.y);
  EXPECT_TRUE(Events.Log.empty());
  EXPECT_EQ(Header()->CaptionLabel()->Caption(), "ALBUMS");
}

TEST_F(TPanelTest, TheIconTurnsToTheNewView)
{
  const TOxaBitmap* album = Assets.Icons->Find("VIEWALBUMN");
  const TOxaBitmap* genre = Assets.Icons->Find("VIEWGENREN");
  int between = 0;
  TStepClock clock;
  clock.Step = 30;
  clock.OnRead = [&] {
    TOxaBitmap& icon = *Header()->ViewIcon();
    between += !SamePixels(icon, *album) && !SamePixels(icon, *genre) ? 1 : 0;
  };
  Header()->SetClock(clock.Clock());
  Header()->SetCurrentView(K::mlkGenre);
  EXPECT_GE(between, TMusicListHeader::TurnSteps - 2);
  EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *genre));
  EXPECT_EQ(Header()->Turn()->FaceCount(), 0);
}

TEST_F(TPanelTest, TheFooterHoldsItsButtonsInOrder)
{
  TMusicListFooter* footer = Panel->Footer();
  ASSERT_EQ(footer->ButtonCount(), 11);
  for (int i = 0; i < 11; ++i) {
    const TMusicFooterButtonSpec& spec = kMusicFooterButtons[i];
    TOxaButton* button = footer->Buttons(i);
    SCOPED_TRACE(spec.Name);
    EXPECT_EQ(button->Name(), spec.Name);
    EXPECT_EQ(button->Caption(), spec.Caption);
    if (spec.Placement != oaCenter) {
      EXPECT_EQ(button->Width(), spec.Width);
    }
    EXPECT_EQ(button->Visible(), spec.Shown);
    EXPECT_EQ(button->Top(), 2);
    EXPECT_EQ(button->Height(), 64);
  }
  // Stacked from both ends in creation order; hidden buttons take no room.
  EXPECT_EQ(footer->Button("ShowList")->Left(), 639 - 60);
  EXPECT_EQ(footer->Button("HideList")->Left(), 639 - 120);
  EXPECT_EQ(footer->Button("Delete")->Left(), 639 - 200);
  EXPECT_EQ(footer->Button("ShowEdit")->Left(), 0);
  EXPECT_EQ(footer->Button("HideEdit")->Left(), 130);
  EXPECT_EQ(footer->Button("ShowInfo")->Left(), 190);
  // With every button shown the two centred ones (170 + 80) do not fit the 189 pixels between
  // the stacks: they shrink to fill them side by side.
  const TOxaButton* added = footer->Button("New");
  const TOxaButton* remove = footer->Button("Hide");
  EXPECT_EQ(added->Left(), 250);
  EXPECT_EQ(added->Left() + added->Width(), remove->Left());
  EXPECT_EQ(remove->Left() + remove->Width(), 639 - 200);
  EXPECT_GT(added->Width(), remove->Width());
  EXPECT_FALSE(footer->Progress()->Visible());
  EXPECT_EQ(footer->Button("ShowList")->StateSource(2), Assets.Icons->Find("SHOWLISTR"));
}

TEST_F(TPanelTest, AFooterClickReachesThePanelOwner)
{
  Panel->OnButtonClick = MakeMethod<&TEvents::Button>(&Events);
  TOxaButton* info = Panel->Footer()->Button("ShowInfo");
  // The skin has no normal picture for it: away from the mouse only its caption is hit, and
  // the caption is laid out when it is first painted.
  EXPECT_EQ(info->StateSource(0), nullptr);
  TOwnedObject<TOxaBitmap> screen{new TOxaBitmap(nullptr)};
  screen->ChangeImageSize(640, 500, opf24Bit);
  Root->BitBlt(*screen, 0, 0, {0, 0, 640, 500});
  const RECT caption = info->ImageRect();
  ASSERT_GT(caption.right - caption.left, 10);
  const int x = Panel->Footer()->Left() + info->Left() + caption.left + 5;
  const int y = Panel->Footer()->Top() + info->Top() + caption.top + 2;
  Image->DoMouseMove(0, x, y);
  Image->DoMouseDown(TMouseButton::mbLeft, 0, x, y);
  Image->DoMouseUp(TMouseButton::mbLeft, 0, x, y);
  EXPECT_EQ(Events.Log, std::vector<std::string>{"ShowInfo"});
}

TEST_F(TPanelTest, DimmingAndUndimmingRestoresFontsAndImages)
{
  TMusicListFooter* footer = Panel->Footer();
  TOxaButton* list = footer->Button("ShowList");
  TOwnedObject<TOxaBitmap> before{new TOxaBitmap(nullptr)};
  before->Assign(*list->StateImage(2));
  std::vector<TOxaFont*> fonts;
  for (int state : {0, 1, 2, 3, 26}) {
    fonts.push_back(Panel->Fonts()->Items(state));
  }
  Panel->OwnFonts()->Objects().Add(MakeMethod<&TEvents::Gone>(&Events),
                                   MakeMethod<&TEvents::Changed>(&Events));

  Panel->SetActive(false);
  EXPECT_EQ(Events.Log, std::vector<std::string>{"set"});
  struct TCase {
    int State, From;
  };
  for (const TCase c : {TCase{0, 17}, TCase{1, 18}, TCase{2, 17}, TCase{3, 18}, TCase{26, 27}}) {
    EXPECT_EQ(Panel->Fonts()->Items(c.State), Assets.DisplayFonts->Items(c.From)) << c.State;
  }
  EXPECT_EQ(Panel->Color(), 0x464646U);
  EXPECT_TRUE(SamePixels(*list->StateImage(2), *Assets.Icons->Find("SHOWLISTGR")));
  EXPECT_TRUE(SamePixels(*Panel->Bitmaps()->Find("DELETEN"), *Assets.Icons->Find("DELETEGN")));
  EXPECT_TRUE(SamePixels(*Panel->Bitmaps()->Find("DELETENA"), *Assets.Icons->Find("DELETEGNA")));
  EXPECT_TRUE(SamePixels(*Panel->Bitmaps()->Find("DELETED"), *Assets.Icons->Find("DELETEGD")));
  EXPECT_EQ(list->Font(), Assets.DisplayFonts->Items(17));
  EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *Assets.Icons->Find("VIEWALBUMGN")));

  Events.Log.clear();
  Panel->SetActive(true);
  EXPECT_EQ(Events.Log, std::vector<std::string>{"set"});
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    EXPECT_EQ(Panel->Fonts()->Items(std::vector<int>{0, 1, 2, 3, 26}[i]), fonts[i]);
  }
  EXPECT_EQ(Panel->OwnStore()->Count(), 0);
  EXPECT_EQ(Panel->Color(), 0U);
  EXPECT_TRUE(SamePixels(*list->StateImage(2), *before));
  EXPECT_EQ(list->StateSource(2), Assets.Icons->Find("SHOWLISTR"));
  EXPECT_TRUE(SamePixels(*Header()->ViewIcon(), *Assets.Icons->Find("VIEWALBUMN")));
  Panel->OwnFonts()->Objects().Remove(MakeMethod<&TEvents::Gone>(&Events),
                                      MakeMethod<&TEvents::Changed>(&Events));
}

TEST(TSearchProgressTest, RunsLeftAndWrapsRound)
{
  UseHeadlessDisplay();
  TOwnedObject<TMusicSearchProgress> progress{new TMusicSearchProgress(nullptr)};
  progress->SetBounds(0, 0, 100, 10);
  EXPECT_EQ(progress->Color(), MakeColor(240, 0, 0, 0));
  progress->SetRunning(true);
  EXPECT_EQ(progress->Step(), -10);
  EXPECT_EQ(progress->Position(), 100);
  // The block leaves the left end after 14 ticks (100 + 40 = 140 pixels) and starts again.
  for (int i = 0; i < 13; ++i) {
    progress->Tick();
  }
  EXPECT_EQ(progress->Position(), -30);
  progress->Tick();
  EXPECT_EQ(progress->Position(), 100);
  progress->SetRunning(false);
  EXPECT_EQ(progress->Step(), 0);
  EXPECT_EQ(progress->Position(), 0);
  progress->Tick();
  EXPECT_EQ(progress->Position(), 0);
}

}  // namespace
