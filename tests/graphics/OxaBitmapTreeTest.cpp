#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Bitmap.h"
#include "graphics/OxaBitmap.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/Stream.h"

namespace {

class TTreeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  TOwnedObject<TOxaBitmap> Root{new TOxaBitmap(nullptr)};

  // A child owned (and freed) by its parent's dependants list.
  template <class T = TOxaBitmap>
  static T* Child(TOxaBitmap& parent, int left = 0, int top = 0, int width = 10, int height = 10)
  {
    auto* child = new T(&parent.Objects());
    child->SetBounds(left, top, width, height);
    child->SetParent(&parent);
    return child;
  }
};

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

TEST_F(TTreeTest, ParentCannotBeSelfOrDescendantAndTheTreeStays)
{
  TOxaBitmap* a = Child(*Root);
  TOxaBitmap* b = Child(*a);
  TOxaBitmap* c = Child(*b);
  for (TOxaBitmap* newParent : {a, b, c}) {
    EXPECT_EQ(FatalText([&] { a->SetParent(newParent); }),
              "TOxaBitmap.SetParent: Parent can not be a child or self");
    EXPECT_EQ(a->Parent(), Root.get());
    EXPECT_EQ(Root->ChildCount(), 1);
    EXPECT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(b->Parent(), a);
  }
  // Moving to a sibling's subtree is fine.
  TOxaBitmap* d = Child(*Root);
  c->SetParent(d);
  EXPECT_EQ(b->ChildCount(), 0);
  EXPECT_EQ(d->Children(0), c);
}

TEST_F(TTreeTest, ChildArrayGrowsByDoublingThenBy8192AndShrinksWhenHalfFull)
{
  struct {
    int Count, Capacity;
  } const cases[] = {{1, 1}, {2, 2}, {3, 4}, {5, 8}, {8192, 8192}, {8193, 16384}, {16385, 24576}};
  Root->SetAutoRealign(false);
  int added = 0;
  for (const auto& c : cases) {
    while (added < c.Count) {
      Child(*Root);
      ++added;
    }
    EXPECT_EQ(Root->ChildCapacity(), c.Capacity) << c.Count;
  }
  // 16385 in 24576: removing one leaves more than half in use; at half the array shrinks.
  FreeObject(Root->Children(0));
  EXPECT_EQ(Root->ChildCapacity(), 24576);
  while (Root->ChildCount() > 12288) {
    FreeObject(Root->Children(Root->ChildCount() - 1));
  }
  EXPECT_EQ(Root->ChildCapacity(), 12288);
}

TEST_F(TTreeTest, ChildrenIndexOutsideRaises)
{
  Child(*Root);
  Child(*Root);
  EXPECT_NO_THROW(Root->Children(0));
  EXPECT_NO_THROW(Root->Children(1));
  EXPECT_EQ(FatalText([&] { Root->Children(2); }), "TOxaBitmap.Children[2]: Index of out bounds");
  EXPECT_EQ(FatalText([&] { Root->Children(-1); }), "TOxaBitmap.Children[-1]: Index of out bounds");
}

TEST_F(TTreeTest, BringToFront)
{
  TOxaBitmap* one = Child(*Root);
  TOxaBitmap* two = Child(*Root);
  TOxaBitmap* three = Child(*Root);
  three->BringToFront();
  EXPECT_EQ(Root->Children(0), one);
  EXPECT_EQ(Root->Children(2), three);
  one->BringToFront();
  EXPECT_EQ(Root->Children(0), two);
  EXPECT_EQ(Root->Children(1), three);
  EXPECT_EQ(Root->Children(2), one);
  EXPECT_NO_THROW(Root->BringToFront());  // no parent: nothing
}

// A child that acts on the tree while its parent lays it out.
class TMeddler : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  std::function<void()> Action;
  std::string Message;
  void SetBounds(int left, int top, int width, int height) override
  {
    if (Action) {
      Message = FatalText(Action);
    }
    TOxaBitmap::SetBounds(left, top, width, height);
  }
};

TEST_F(TTreeTest, ChildrenAreLockedDuringRealign)
{
  auto* meddler = Child<TMeddler>(*Root);
  TOxaBitmap* other = Child(*Root);
  meddler->SetHorzAlign(oaStackNear);
  TOwnedObject<TOxaBitmap> stranger(new TOxaBitmap(nullptr));
  struct {
    std::function<void()> Action;
    const char* Message;
  } const cases[] = {
      {[&] { stranger->SetParent(Root.get()); }, "TOxaBitmap.AddChild: Children locked"},
      {[&] { other->SetParent(nullptr); }, "TOxaBitmap.RemoveChild: Children locked"},
      {[&] { other->BringToFront(); }, "&s.BringToFront: Parent's children locked"},
  };
  for (const auto& c : cases) {
    meddler->Action = c.Action;
    Root->Realign();
    EXPECT_EQ(meddler->Message, c.Message);
    EXPECT_EQ(Root->ChildCount(), 2);
    EXPECT_EQ(Root->Children(1), other);
    EXPECT_TRUE(other->ParentFont());  // a refused move keeps the flags
    EXPECT_TRUE(stranger->ParentFont());
    EXPECT_EQ(stranger->Parent(), nullptr);
  }
  meddler->Action = nullptr;
  EXPECT_FALSE(Root->ChildrenLocked());
  stranger->SetParent(Root.get());
  stranger->SetParent(nullptr);
}

TEST_F(TTreeTest, PathsOf254LevelsMapAnd255Raise)
{
  TOxaBitmap* node = Root.get();
  std::vector<TOxaBitmap*> chain;
  for (int level = 1; level <= 255; ++level) {
    node = Child(*node, 1, 2);
    chain.push_back(node);
  }
  const POINT p = Root->PointToChild(chain[253], {1000, 1000});
  EXPECT_EQ(p.x, 1000 - 254);
  EXPECT_EQ(p.y, 1000 - 2 * 254);
  const POINT back = Root->PointToParent(chain[253], p);
  EXPECT_EQ(back.x, 1000);
  EXPECT_EQ(FatalText([&] {
              Root->PointToChild(chain[254], {0, 0});
            }),
            "TOxaBitmap.PointToChild: Path to deep");
  EXPECT_EQ(FatalText([&] {
              Root->PointToParent(chain[254], {0, 0});
            }),
            "TOxaBitmap.PointToParent: Path to deep");
}

TEST_F(TTreeTest, CoordinateMisuseRaises)
{
  TOxaBitmap* a = Child(*Root, 5, 6);
  TOwnedObject<TOxaBitmap> stranger(new TOxaBitmap(nullptr));
  EXPECT_EQ(FatalText([&] {
              a->PointToChild(Root.get(), {0, 0});
            }),
            "TOxaBitmap.PointToChild: Bitmap is not a child");
  EXPECT_EQ(FatalText([&] {
              Root->PointToChild(stranger.get(), {0, 0});
            }),
            "TOxaBitmap.PointToChild: Bitmap is not a child");
  EXPECT_EQ(FatalText([&] {
              Root->PointToChild(Root.get(), {0, 0});
            }),
            "TOxaBitmap.PointToChild: TOxaBitmap is not a child of this object");
  EXPECT_EQ(FatalText([&] {
              Root->PointToParent(stranger.get(), {0, 0});
            }),
            "TOxaBitmap.PointToParent: TOxaBitmap is not a child of TOxaBitmap");
  for (const char* op : {"PointToControl", "ControlToPoint", "PointToScreen", "ScreenToPoint"}) {
    const std::string name(op);
    const std::string message = FatalText([&] {
      if (name == "PointToControl") {
        a->PointToControl({0, 0});
      } else if (name == "ControlToPoint") {
        a->ControlToPoint({0, 0});
      } else if (name == "PointToScreen") {
        a->PointToScreen({0, 0});
      } else {
        a->ScreenToPoint({0, 0});
      }
    });
    EXPECT_EQ(message, "TOxaBitmap." + name + ": Not attached to a control");
  }
}

TEST_F(TTreeTest, BufferedParentsMapThroughTheirImageOffset)
{
  Root->SetBuffered(true);
  Root->ChangeImageSize(50, 50, opf24Bit);
  Root->SetImageRect(3, 4, 50, 50);
  TOxaBitmap* a = Child(*Root, 10, 20);
  EXPECT_EQ(Root->PointToChild(a, {10, 20}).x, 3);
  EXPECT_EQ(Root->PointToChild(a, {10, 20}).y, 4);
  EXPECT_EQ(Root->PointToParent(a, {3, 4}).x, 10);
  EXPECT_EQ(Root->PointToParent(a, {3, 4}).y, 20);
}

TEST_F(TTreeTest, GetPixelOutsideTheSurfaceIsTheColour)
{
  Root->ChangeImageSize(4, 3, opf24Bit);
  Root->SetColor(0x123456);
  Root->FillRect({0, 0, 4, 3}, 0xABCDEF);
  struct {
    int X, Y;
    TOxaColor Expected;
  } const cases[] = {{-1, 0, 0x123456}, {0, -1, 0x123456}, {4, 0, 0x123456}, {0, 3, 0x123456},
                     {0, 0, 0xABCDEF},  {3, 2, 0xABCDEF},  {3, 0, 0xABCDEF}, {0, 2, 0xABCDEF}};
  for (const auto& c : cases) {
    EXPECT_EQ(Root->GetPixel(c.X, c.Y), c.Expected) << c.X << "," << c.Y;
  }
}

struct TAlignCase {
  const char* Name;
  std::uint8_t Horz, Vert;
  TOxaEdges Margins;
  bool Visible;
  RECT Expected;
};

TEST_F(TTreeTest, RealignRules)
{
  // Parent 101 × 51; child 20 × 10 starting at (7, 8); margins left 1, right 2, top 3, bottom 4.
  const TOxaEdges m{1, 2, 3, 4};
  const TAlignCase cases[] = {
      {"none", oaNone, oaNone, m, true, {7, 8, 27, 18}},
      {"stack near", oaStackNear, oaStackNear, m, true, {1, 3, 21, 13}},
      {"centre (odd, toward zero)",
       oaCenter,
       oaCenter,
       m,
       true,
       {1 + (101 - 1 - 2 - 20) / 2, 3 + (51 - 3 - 4 - 10) / 2, 0, 0}},
      {"stack far", oaStackFar, oaStackFar, m, true, {101 - 20 - 2, 51 - 10 - 4, 0, 0}},
      {"stretch", oaStretch, oaStretch, m, true, {1, 3, 101 - 2, 51 - 4}},
      {"pin near", oaPinNear, oaPinNear, m, true, {1, 3, 21, 13}},
      {"pin far", oaPinFar, oaPinFar, m, true, {79, 37, 99, 47}},
      {"centre negative room", oaCenter, oaNone, {0, 0, 0, 0}, true, {0, 8, 0, 0}},
  };
  for (const auto& c : cases) {
    TOwnedObject<TOxaBitmap> parent(new TOxaBitmap(nullptr));
    parent->SetBounds(0, 0, c.Name == std::string("centre negative room") ? 19 : 101, 51);
    TOxaBitmap* child = Child(*parent, 7, 8, 20, 10);
    child->SetMargins(c.Margins);
    child->SetHorzAlign(c.Horz);
    child->SetVertAlign(c.Vert);
    parent->Realign();
    EXPECT_EQ(child->Left(), c.Expected.left) << c.Name;
    EXPECT_EQ(child->Top(), c.Expected.top) << c.Name;
    if (c.Horz == oaStretch) {
      EXPECT_EQ(child->Width(), c.Expected.right - c.Expected.left) << c.Name;
      EXPECT_EQ(child->Height(), c.Expected.bottom - c.Expected.top) << c.Name;
    } else {
      EXPECT_EQ(child->Width(), 20) << c.Name;
    }
  }
}

TEST_F(TTreeTest, StackedChildrenConsumeSpaceUnlessHidden)
{
  Root->SetBounds(0, 0, 100, 20);
  TOxaBitmap* a = Child(*Root, 0, 0, 10, 5);
  TOxaBitmap* hidden = Child(*Root, 0, 0, 30, 5);
  TOxaBitmap* c = Child(*Root, 0, 0, 10, 5);
  TOxaBitmap* right = Child(*Root, 0, 0, 10, 5);
  TOxaBitmap* right2 = Child(*Root, 0, 0, 10, 5);
  hidden->SetVisible(false);
  for (TOxaBitmap* n : {a, hidden, c}) {
    n->SetMargins({2, 3, 0, 0});
    n->SetHorzAlign(oaStackNear);
  }
  right->SetHorzAlign(oaStackFar);
  right2->SetMargins({4, 0, 0, 0});
  right2->SetHorzAlign(oaStackFar);
  EXPECT_EQ(a->Left(), 2);
  EXPECT_EQ(hidden->Left(), 2 + 10 + 3 + 2);
  EXPECT_EQ(c->Left(), 2 + 10 + 3 + 2);  // the hidden one took no space
  EXPECT_EQ(right->Left(), 90);
  EXPECT_EQ(right2->Left(), 90 - 10);
  hidden->SetVisible(true);
  EXPECT_EQ(c->Left(), 17 + 30 + 3 + 2);
}

TEST_F(TTreeTest, ChangeImageSizeToTheSameSizeIsFalseAndPaintsNothing)
{
  EXPECT_TRUE(Root->ChangeImageSize(8, 6, opf24Bit));
  EXPECT_TRUE(Root->Dirty());
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(8, 6, opf24Bit);
  Root->SetBounds(0, 0, 8, 6);
  Root->BitBlt(*target, 0, 0, {0, 0, 8, 6});
  EXPECT_FALSE(Root->Dirty());
  EXPECT_FALSE(Root->ChangeImageSize(8, 6, opf24Bit));
  EXPECT_FALSE(Root->Dirty());
  EXPECT_TRUE(Root->ChangeImageSize(8, 7, opf24Bit));
}

TEST_F(TTreeTest, PixelFormatsAcceptedAndRefused)
{
  struct {
    int Format;
    bool Accepted;
    int BytesPerPixel;
  } const cases[] = {{0, true, 0}, {1, false, 0}, {2, false, 0}, {3, true, 1},  {4, false, 0},
                     {5, true, 2}, {6, true, 3},  {7, true, 4},  {8, false, 0}, {-1, false, 0}};
  for (const auto& c : cases) {
    TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
    const std::string message = FatalText([&] { node->ChangeImageSize(5, 5, c.Format); });
    if (c.Accepted) {
      EXPECT_EQ(message, "") << c.Format;
      EXPECT_EQ(node->PixelFormat(), c.Format);
      EXPECT_EQ(node->BytesPerPixel(), c.BytesPerPixel);
      EXPECT_EQ(node->BltTable() != nullptr, c.Format == opf24Bit);
    } else {
      EXPECT_EQ(message, "TOxaBitmap.ChangeImageSize: Unknown PixelFormat") << c.Format;
      EXPECT_EQ(node->PixelFormat(), opf24Bit);
    }
  }
}

TEST_F(TTreeTest, ChildrenFollowTheParentPixelFormatOnlyWhileSet)
{
  Root->ChangeImageSize(4, 4, opf24Bit);
  TOxaBitmap* following = Child(*Root);
  TOxaBitmap* keeping = Child(*Root);
  following->ChangeImageSize(3, 3, opf24Bit);
  keeping->ChangeImageSize(3, 3, opf24Bit);
  keeping->SetParentPixelFormat(false);
  Root->ChangeImageSize(4, 4, opf32Bit);
  EXPECT_EQ(following->PixelFormat(), opf32Bit);
  EXPECT_EQ(following->ImageWidth(), 3);
  EXPECT_EQ(keeping->PixelFormat(), opf24Bit);
  keeping->SetParentPixelFormat(true);
  EXPECT_EQ(keeping->PixelFormat(), opf32Bit);
}

TEST_F(TTreeTest, NewNodesShareTheEmptySurface)
{
  const int before = StockMemoryBitmap()->RefCount();
  {
    TOwnedObject<TOxaBitmap> a(new TOxaBitmap(nullptr));
    EXPECT_EQ(a->MemorySurface(), StockMemoryBitmap());
    EXPECT_EQ(a->PixelFormat(), opf24Bit);
    EXPECT_EQ(a->BytesPerPixel(), 3);
    EXPECT_TRUE(a->Visible());
    EXPECT_TRUE(a->ParentFont());
    EXPECT_TRUE(a->KeepPixelFormat());
    EXPECT_EQ(StockMemoryBitmap()->RefCount(), before + 1);
    a->ChangeImageSize(2, 2, opf24Bit);
    EXPECT_NE(a->MemorySurface(), StockMemoryBitmap());
    EXPECT_EQ(StockMemoryBitmap()->RefCount(), before);
  }
  EXPECT_EQ(StockMemoryBitmap()->RefCount(), before);
}

TEST_F(TTreeTest, InheritedSetsFollowTheParentAndDieCleanly)
{
  TOwnedObject<TOxaFont> font(new TOxaFont(nullptr));
  TOwnedObject<TOxaColors> colors(new TOxaColors(nullptr));
  TOxaBitmap* inheriting = Child(*Root);
  TOxaBitmap* own = Child(*Root);
  TOxaBitmap* grandchild = Child(*inheriting);
  own->SetParentFont(false);
  Root->SetFont(font.get());
  Root->SetColors(colors.get());
  Root->SetColor(0x445566);
  EXPECT_EQ(inheriting->Font(), font.get());
  EXPECT_EQ(grandchild->Font(), font.get());
  EXPECT_EQ(own->Font(), nullptr);
  EXPECT_EQ(grandchild->Colors(), colors.get());
  EXPECT_EQ(grandchild->Color(), 0x445566U);
  // Moving a node re-reads what it inherits from the new parent.
  grandchild->SetParent(own);
  EXPECT_EQ(grandchild->Font(), nullptr);
  EXPECT_EQ(grandchild->Colors(), colors.get());
  // A change of the set repaints its users; its death leaves them without it.
  Root->SetBuffered(true);
  Root->Update();
  colors->SetColor(osRollover, 0x10);
  EXPECT_TRUE(Root->Dirty());
  font.reset();
  EXPECT_EQ(Root->Font(), nullptr);
  EXPECT_EQ(inheriting->Font(), nullptr);
  colors.reset();
  EXPECT_EQ(grandchild->Colors(), nullptr);
}

TEST_F(TTreeTest, WantsFocusIsCountedIntoEveryAncestor)
{
  TOxaBitmap* a = Child(*Root);
  TOxaBitmap* b = Child(*a);
  TOxaBitmap* c = Child(*b);
  c->SetWantsFocus(true);
  b->SetWantsFocus(true);
  EXPECT_EQ(Root->FocusTakersBelow(), 2);
  EXPECT_EQ(a->FocusTakersBelow(), 2);
  EXPECT_EQ(b->FocusTakersBelow(), 1);
  b->SetParent(Root.get());
  EXPECT_EQ(a->FocusTakersBelow(), 0);
  EXPECT_EQ(Root->FocusTakersBelow(), 2);
  b->SetParent(nullptr);
  EXPECT_EQ(Root->FocusTakersBelow(), 0);
  EXPECT_EQ(b->FocusTakersBelow(), 1);
  EXPECT_TRUE(b->WantsFocus());
  b->SetParent(a);
  EXPECT_EQ(Root->FocusTakersBelow(), 2);
}

TEST_F(TTreeTest, HitTestingHonoursTransparentBufferedAndIgnoreMouse)
{
  Root->SetBounds(0, 0, 100, 100);
  TOxaBitmap* back = Child(*Root, 0, 0, 50, 50);
  TOxaBitmap* glass = Child(*Root, 0, 0, 50, 50);  // transparent, with an image in 10..20
  glass->ChangeImageSize(10, 10, opf24Bit);
  glass->SetImageRect(10, 10, 10, 10);
  glass->SetTransparent(true);
  TOxaBitmap* ghost = Child(*Root, 60, 60, 20, 20);
  ghost->SetIgnoreMouse(true);
  TOxaBitmap* buffered = Child(*Root, 60, 0, 30, 30);
  buffered->SetBuffered(true);
  buffered->ChangeImageSize(30, 30, opf24Bit);
  buffered->SetImageRect(5, 5, 30, 30);
  TOxaBitmap* inner = Child(*buffered, 8, 8, 4, 4);  // shows at 3..7 of the node
  struct {
    POINT At;
    TOxaBitmap* Expected;
    POINT Local;
  } const cases[] = {
      {{15, 15}, glass, {15, 15}},     {{9, 9}, back, {9, 9}},           {{20, 20}, back, {20, 20}},
      {{19, 19}, glass, {19, 19}},     {{65, 65}, Root.get(), {65, 65}}, {{60, 0}, buffered, {0, 0}},
      {{64, 4}, inner, {1, 1}},        {{62, 2}, buffered, {2, 2}},      {{67, 7}, buffered, {7, 7}},
      {{100, 10}, nullptr, {100, 10}}, {{-1, 10}, nullptr, {-1, 10}},
  };
  for (const auto& c : cases) {
    POINT p = c.At;
    EXPECT_EQ(Root->FindChildAt(p), c.Expected) << c.At.x << "," << c.At.y;
    if (c.Expected != nullptr) {
      EXPECT_EQ(p.x, c.Local.x) << c.At.x << "," << c.At.y;
      EXPECT_EQ(p.y, c.Local.y) << c.At.x << "," << c.At.y;
    }
  }
}

}  // namespace

namespace {

TEST_F(TTreeTest, AssignedPixelsAreSharedUntilOneSideWrites)
{
  TOwnedObject<TOxaBitmap> source(new TOxaBitmap(nullptr));
  source->ChangeImageSize(3, 3, opf24Bit);
  source->FillRect({0, 0, 3, 3}, 0x111111);
  Root->Assign(*source);
  EXPECT_EQ(Root->MemorySurface(), source->MemorySurface());
  struct {
    const char* Name;
    std::function<void(TOxaBitmap&)> Write;
  } const writes[] = {
      {"fill",
       [](TOxaBitmap& n) {
         n.FillRect({0, 0, 1, 1}, 0x222222);
       }},
      {"frame",
       [](TOxaBitmap& n) {
         n.FrameRect({0, 0, 3, 3}, 0x222222);
       }},
      {"pixel", [](TOxaBitmap& n) { n.SetPixel(0, 0, 0x222222); }},
      {"scan line", [](TOxaBitmap& n) { n.ScanLine(0)[0] = 0x22; }},
  };
  for (const auto& w : writes) {
    TOwnedObject<TOxaBitmap> copy(new TOxaBitmap(nullptr));
    copy->Assign(*source);
    w.Write(*copy);
    EXPECT_NE(copy->MemorySurface(), source->MemorySurface()) << w.Name;
    EXPECT_EQ(source->GetPixel(0, 0), 0x111111U) << w.Name;
    EXPECT_EQ(copy->GetPixel(2, 2) == 0x111111U || std::string(w.Name) == "frame", true) << w.Name;
  }
}

TEST_F(TTreeTest, AParentLaysOutAgainWhenResized)
{
  Root->SetBounds(0, 0, 100, 20);
  TOxaBitmap* right = Child(*Root, 0, 0, 10, 5);
  right->SetHorzAlign(oaStackFar);
  EXPECT_EQ(right->Left(), 90);
  Root->SetWidth(200);
  EXPECT_EQ(right->Left(), 190);
  Root->SetAutoRealign(false);
  Root->SetWidth(300);
  EXPECT_EQ(right->Left(), 190);
  Root->Realign();
  EXPECT_EQ(right->Left(), 290);
}

}  // namespace

namespace {

TEST_F(TTreeTest, PlatformBitmapsAreTakenInTheNodesOwnFormatUnlessTold)
{
  struct {
    TPixelFormat Source;
    bool Keep;
    int Expected;
  } const cases[] = {{pf24bit, true, opf24Bit}, {pf32bit, true, opf24Bit}, {pf32bit, false, opf32Bit}};
  for (const auto& c : cases) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(c.Source);
    bitmap.SetWidth(3);
    bitmap.SetHeight(2);
    const int bytes = c.Source == pf32bit ? 4 : 3;
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        std::uint8_t* p = bitmap.ScanLine(y) + x * bytes;
        p[0] = std::uint8_t(10 * x);  // blue
        p[1] = std::uint8_t(20 * y);  // green
        p[2] = 200;                   // red
      }
    }
    TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
    node->SetKeepPixelFormat(c.Keep);
    node->Assign(bitmap);
    EXPECT_EQ(node->PixelFormat(), c.Expected) << int(c.Source);
    EXPECT_EQ(node->ParentPixelFormat(), c.Keep) << int(c.Source);
    EXPECT_EQ(node->ImageWidth(), 3);
    EXPECT_EQ(node->ImageHeight(), 2);
    if (c.Expected == opf24Bit) {
      EXPECT_EQ(node->GetPixel(2, 1), TOxaColor(20 << 16 | 20 << 8 | 200)) << int(c.Source);
    }
  }
}

}  // namespace
