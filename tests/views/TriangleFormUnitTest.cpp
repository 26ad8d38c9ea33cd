#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/Forms.h"
#include "platform/core/Time.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Gdi.h"
#include "platform/windows/Input.h"
#include "platform/windows/InputEvents.h"
#include "tests/support/TempFolder.h"
#include "views/TriangleFormUnit.h"

namespace {

constexpr SIZE Screen{800, 600};

std::string Text(const POINT& point)
{
  return std::to_string(point.x) + "," + std::to_string(point.y);
}

std::string Text(const RECT& rect)
{
  return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
         std::to_string(rect.bottom);
}

TEST(TriangleGeometryTest, CornersPointIntoTheScreenFromEachSide)
{
  const struct {
    TTriangleSide Side;
    int Width;
    int Height;
    const char* Corners;
  } cases[] = {
      {TTriangleSide::Left, 13, 26, "0,0 13,13 0,26"},
      {TTriangleSide::Left, 13, 27, "0,0 13,13 0,27"},  // the middle rounds down
      {TTriangleSide::Right, 13, 26, "13,0 0,13 13,26"},
      {TTriangleSide::Top, 26, 13, "0,0 13,13 26,0"},
      {TTriangleSide::Bottom, 27, 13, "0,13 13,0 27,13"},
  };
  for (const auto& entry : cases) {
    const auto corners = TriangleCorners(entry.Side, entry.Width, entry.Height);
    EXPECT_EQ(Text(corners[0]) + " " + Text(corners[1]) + " " + Text(corners[2]), entry.Corners)
        << static_cast<int>(entry.Side) << " " << entry.Width << "x" << entry.Height;
  }
}

TEST(TriangleGeometryTest, BoundsAreKeptInsideTheScreenAndOnTheirEdge)
{
  const struct {
    TTriangleSide Side;
    RECT Wanted;
    const char* Placed;
  } cases[] = {
      {TTriangleSide::Left, {0, 287, 13, 313}, "0,287,13,313"},
      {TTriangleSide::Left, {40, 287, 53, 313}, "0,287,13,313"},  // onto the left edge
      {TTriangleSide::Left, {-5, -1, 8, 25}, "0,0,13,26"},        // top above the screen
      {TTriangleSide::Left, {0, 0, 13, 26}, "0,0,13,26"},         // first row that fits
      {TTriangleSide::Left, {0, 574, 13, 600}, "0,574,13,600"},   // last row that fits
      {TTriangleSide::Left, {0, 575, 13, 601}, "0,574,13,600"},   // one row below
      {TTriangleSide::Left, {0, 10, 13, 700}, "0,0,13,690"},      // taller than the screen
      {TTriangleSide::Right, {0, 287, 13, 313}, "787,287,800,313"},
      {TTriangleSide::Right, {790, 287, 803, 313}, "787,287,800,313"},
      {TTriangleSide::Top, {400, 50, 426, 63}, "400,0,426,13"},
      {TTriangleSide::Top, {774, 0, 800, 13}, "774,0,800,13"},  // last column that fits
      {TTriangleSide::Top, {775, 0, 801, 13}, "774,0,800,13"},  // one column beyond
      {TTriangleSide::Bottom, {-3, 0, 23, 13}, "0,587,26,600"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(Text(ClampTriangleBounds(entry.Side, entry.Wanted, Screen)), entry.Placed)
        << static_cast<int>(entry.Side) << " " << Text(entry.Wanted);
  }
}

TEST(TriangleGeometryTest, SlidesEaseThroughTheDepthInAQuarterSecond)
{
  const struct {
    TSlideDirection Direction;
    DWORD Elapsed;
    int Visible;
  } cases[] = {
      {TSlideDirection::In, 0, 0},      {TSlideDirection::In, 10, 0},   {TSlideDirection::In, 125, 6},
      {TSlideDirection::In, 249, 13},   {TSlideDirection::In, 250, 13}, {TSlideDirection::In, 251, 13},
      {TSlideDirection::In, 90000, 13}, {TSlideDirection::Out, 0, 13},  {TSlideDirection::Out, 125, 7},
      {TSlideDirection::Out, 250, 0},   {TSlideDirection::Out, 251, 0},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(SlideVisibleDepth(entry.Direction, entry.Elapsed, 13), entry.Visible)
        << (entry.Direction == TSlideDirection::In ? "in " : "out ") << entry.Elapsed;
  }
  // Sliding in never goes back.
  int last = 0;
  for (DWORD elapsed = 0; elapsed <= TriangleSlideDuration; elapsed += TriangleSlideStep) {
    const int visible = SlideVisibleDepth(TSlideDirection::In, elapsed, 120);
    EXPECT_GE(visible, last) << elapsed;
    last = visible;
  }
}

TEST(TriangleGeometryTest, TheFrameIsTheShapeLessATriangleItsWidthFurtherIn)
{
  const std::array<POINT, 3> left = TriangleCorners(TTriangleSide::Left, 13, 26);
  const std::array<POINT, 3> flat{POINT{4, 4}, POINT{4, 4}, POINT{4, 4}};
  const struct {
    std::array<POINT, 3> Corners;
    int Inset;
    const char* Inner;
  } cases[] = {
      {left, 0, "0,0 13,13 0,26"}, {left, 2, "2,5 10,13 2,21"},
      {left, 5, "5,12 6,13 5,14"},  // just inside the inscribed circle (radius 5.4)
      {left, 6, "5,13 5,13 5,13"},  // beyond it: nothing is left but the centre
      {flat, 2, "4,4 4,4 4,4"},     // no triangle at all
  };
  for (const auto& entry : cases) {
    const auto inner = InsetTriangle(entry.Corners, entry.Inset);
    EXPECT_EQ(Text(inner[0]) + " " + Text(inner[1]) + " " + Text(inner[2]), entry.Inner) << entry.Inset;
  }
}

TEST(TriangleGeometryTest, HiddenPartLiesBeyondTheScreenEdge)
{
  const struct {
    TTriangleSide Side;
    int Visible;
    const char* Offset;
  } cases[] = {
      {TTriangleSide::Left, 3, "-10,0"}, {TTriangleSide::Right, 3, "10,0"},
      {TTriangleSide::Top, 3, "0,-10"},  {TTriangleSide::Bottom, 3, "0,10"},
      {TTriangleSide::Left, 13, "0,0"},  {TTriangleSide::Right, 0, "13,0"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(Text(SlideOffset(entry.Side, 13, entry.Visible)), entry.Offset) << static_cast<int>(entry.Side);
  }
}

struct TTriangleJournal : TObject {
  std::vector<std::string> Lines;
  void Entered(TObject*) { Lines.emplace_back("enter"); }
  void Left(TObject*) { Lines.emplace_back("leave"); }
  void Clicked(TObject*) { Lines.emplace_back("click"); }
};

class TPlainForm : public TForm {
 public:
  using TForm::TForm;

 protected:
  void CreateParams(TCreateParams& params) override
  {
    TForm::CreateParams(params);
    params.Style = WS_POPUP;
    params.X = 300;
    params.Y = 100;
    params.Width = 200;
    params.Height = 200;
  }
};

class TTriangleFormTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    UseHeadlessDisplay();
    Application().Initialize();
    FTriangle = TComponent::Create<TTriangleForm>(Application());
    FTriangle->OnMouseEnter = MakeMethod<&TTriangleJournal::Entered>(&FJournal);
    FTriangle->OnMouseLeave = MakeMethod<&TTriangleJournal::Left>(&FJournal);
    FTriangle->OnClick = MakeMethod<&TTriangleJournal::Clicked>(&FJournal);
    FTriangle->SetBounds(0, 287, 13, 26);
  }
  void TearDown() override { Application().DestroyComponents(); }

  static void Pointer(TInputKind kind, LONG x, LONG y, bool down = false)
  {
    TInputEvent event;
    event.Kind = kind;
    event.Screen = POINT{x, y};
    event.Down = down;
    DeliverInput(event);
    Application().ProcessMessages();
  }

  // Whether the window's shape is exactly the whole triangle at its place.
  bool WholeShape() const
  {
    const auto corners = TriangleCorners(FTriangle->Side(), FTriangle->Width(), FTriangle->Height());
    const HRGN whole = CreatePolygonRgn(corners.data(), 3, ALTERNATE);
    const HRGN shape = CreateRectRgn(0, 0, 0, 0);
    const bool same = GetWindowRgn(FTriangle->Handle(), shape) != RGN_ERROR && EqualRgn(whole, shape) != 0;
    DeleteObject(whole);
    DeleteObject(shape);
    return same;
  }
  bool EmptyShape() const
  {
    const HRGN shape = CreateRectRgn(0, 0, 1, 1);
    RECT box{};
    const bool empty =
        GetWindowRgn(FTriangle->Handle(), shape) != RGN_ERROR && GetRgnBox(shape, &box) == NULLREGION;
    DeleteObject(shape);
    return empty;
  }

  TTempMachine FMachine;
  TTriangleJournal FJournal;
  TTriangleForm* FTriangle = nullptr;
};

TEST_F(TTriangleFormTest, StartsHiddenWithAnEmptyShapeAndNoTaskBarButton)
{
  EXPECT_FALSE(FTriangle->Shown());
  EXPECT_FALSE(IsWindowVisible(FTriangle->Handle()));
  EXPECT_TRUE(EmptyShape());
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(FTriangle->Handle(), GWL_EXSTYLE));
  EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0U);
  EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0U);
  EXPECT_EQ(FTriangle->ActivateWindow, nullptr) << "no window is remembered at first";
}

TEST_F(TTriangleFormTest, PartlyOffScreenMovesInside)
{
  const struct {
    TTriangleSide Side;
    RECT Wanted;
    const char* Window;
  } cases[] = {
      {TTriangleSide::Left, {-6, -10, 7, 16}, "0,0,13,26"},
      {TTriangleSide::Left, {0, 590, 13, 616}, "0,574,13,600"},
      {TTriangleSide::Right, {795, 100, 808, 126}, "787,100,800,126"},
  };
  for (const auto& entry : cases) {
    FTriangle->SetSide(entry.Side);
    FTriangle->SetBounds(entry.Wanted.left, entry.Wanted.top, entry.Wanted.right - entry.Wanted.left,
                         entry.Wanted.bottom - entry.Wanted.top);
    RECT window{};
    GetWindowRect(FTriangle->Handle(), &window);
    EXPECT_EQ(Text(window), entry.Window) << Text(entry.Wanted);
    EXPECT_EQ(Text(RECT{FTriangle->Left(), FTriangle->Top(), FTriangle->Left() + FTriangle->Width(),
                        FTriangle->Top() + FTriangle->Height()}),
              entry.Window);
  }
}

TEST_F(TTriangleFormTest, SlidesEndWithTheWholeTriangleOrHidden)
{
  FTriangle->Show(true);
  EXPECT_TRUE(IsWindowVisible(FTriangle->Handle()));
  EXPECT_TRUE(WholeShape());
  FTriangle->Hide(true);
  EXPECT_FALSE(IsWindowVisible(FTriangle->Handle()));
  EXPECT_TRUE(EmptyShape());
  FTriangle->Show(false);
  EXPECT_TRUE(WholeShape());
  // A shown triangle that is resized takes its new shape at once.
  FTriangle->SetBounds(0, 100, 20, 40);
  EXPECT_TRUE(WholeShape());
  FTriangle->Hide(false);
  EXPECT_TRUE(EmptyShape());
}

TEST_F(TTriangleFormTest, SlideStepsShowOnlyTheTipNearTheEdge)
{
  FTriangle->Show(false);
  FTriangle->ShowDepth(4);
  const HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(FTriangle->Handle(), shape), RGN_ERROR);
  RECT box{};
  GetRgnBox(shape, &box);
  DeleteObject(shape);
  EXPECT_EQ(box.left, 0);
  // The tip's last column holds no pixel centre.
  EXPECT_GE(box.right, 3);
  EXPECT_LE(box.right, 4) << "at most 4 of the 13 columns show";
}

TEST_F(TTriangleFormTest, PaintsTheFrameAndLightensUnderThePointer)
{
  FTriangle->Show(false);
  Application().ProcessMessages();
  // Inside, away from the frame; outside the triangle the screen is untouched.
  EXPECT_EQ(ScreenPixel(4, 300), 0U);
  EXPECT_EQ(ScreenPixel(0, 300), TTriangleForm::LineColor);
  Pointer(TInputKind::Move, 4, 300);
  FTriangle->TimerTimer(nullptr);
  Application().ProcessMessages();
  EXPECT_EQ(ScreenPixel(4, 300), TTriangleForm::HoverColor);
  EXPECT_EQ(ScreenPixel(0, 300), TTriangleForm::LineColor);
}

TEST_F(TTriangleFormTest, HoverGivesOneEnterAndOneLeave)
{
  FTriangle->Show(false);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Move, 3, 300);
  FTriangle->TimerTimer(nullptr);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Move, 4, 301);
  FTriangle->TimerTimer(nullptr);
  // Inside the window's rectangle but outside the triangle is outside.
  Pointer(TInputKind::Move, 12, 288);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Move, 400, 300);
  FTriangle->TimerTimer(nullptr);
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"enter", "leave"}));
}

TEST_F(TTriangleFormTest, TheTimerFollowsThePointerOnItsOwn)
{
  FTriangle->Show(false);
  Pointer(TInputKind::Move, 3, 300);
  const DWORD start = GetTickCount();
  while (FJournal.Lines.empty() && GetTickCount() - start < 5000) {
    Application().HandleMessage();
  }
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"enter"}));
}

TEST_F(TTriangleFormTest, AnAutoHiddenTriangleIsEnteredAtItsScreenEdge)
{
  const struct {
    bool AutoHide;
    POINT Pointer;
    std::vector<std::string> Events;
  } cases[] = {
      {true, {0, 300}, {"enter"}}, {true, {0, 287}, {"enter"}},  // first row of its place
      {true, {0, 286}, {}},                                      // one row above
      {true, {0, 313}, {}},                                      // one row below
      {true, {1, 300}, {}},                                      // off the edge
      {false, {0, 300}, {}},
  };
  for (const auto& entry : cases) {
    FTriangle->AutoHide = entry.AutoHide;
    Pointer(TInputKind::Move, 400, 300);
    FTriangle->TimerTimer(nullptr);
    FJournal.Lines.clear();
    Pointer(TInputKind::Move, entry.Pointer.x, entry.Pointer.y);
    FTriangle->TimerTimer(nullptr);
    EXPECT_EQ(FJournal.Lines, entry.Events) << entry.AutoHide << " " << Text(entry.Pointer);
  }
}

TEST_F(TTriangleFormTest, ClickWithoutARememberedWindowOnlyRaisesTheClick)
{
  FTriangle->Show(false);
  const HWND before = GetForegroundWindow();
  Pointer(TInputKind::Move, 3, 300);
  Pointer(TInputKind::Button, 3, 300, true);
  Pointer(TInputKind::Button, 3, 300, false);
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"click"}));
  // Pressing may activate the triangle itself; nothing else comes forward.
  const HWND after = GetForegroundWindow();
  EXPECT_TRUE(after == before || after == FTriangle->Handle()) << after;
}

TEST_F(TTriangleFormTest, ClickBringsTheRememberedWindowForwardWhenItStillLives)
{
  auto* other = TComponent::Create<TPlainForm>(Application());
  other->Show();
  Application().ProcessMessages();
  FTriangle->Show(false);
  FTriangle->ActivateWindow = other->Handle();
  Pointer(TInputKind::Button, 3, 300, true);
  Pointer(TInputKind::Button, 3, 300, false);
  EXPECT_EQ(GetForegroundWindow(), other->Handle());
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"click"}));

  // Gone: ignored, the click still comes.
  FreeObject(other);
  FJournal.Lines.clear();
  Pointer(TInputKind::Button, 3, 300, true);
  Pointer(TInputKind::Button, 3, 300, false);
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"click"}));
}

TEST_F(TTriangleFormTest, DraggingMovesAlongTheEdgeWithinTheScreenAndIsNoClick)
{
  FTriangle->Show(false);
  Pointer(TInputKind::Move, 3, 300);
  Pointer(TInputKind::Button, 3, 300, true);
  Pointer(TInputKind::Move, 50, 340);
  EXPECT_TRUE(FTriangle->Dragging());
  EXPECT_EQ(FTriangle->Left(), 0) << "only along the edge";
  EXPECT_EQ(FTriangle->Top(), 327);
  Application().ProcessMessages();
  EXPECT_EQ(ScreenPixel(0, 340), TTriangleForm::DragLineColor);
  Pointer(TInputKind::Move, 50, 900);
  EXPECT_EQ(FTriangle->Top(), 600 - 26);
  Pointer(TInputKind::Move, 50, -400);
  EXPECT_EQ(FTriangle->Top(), 0);
  Pointer(TInputKind::Button, 50, -400, false);
  EXPECT_FALSE(FTriangle->Dragging());
  EXPECT_FALSE(FTriangle->Pressed());
  EXPECT_EQ(FJournal.Lines, std::vector<std::string>{}) << "a drag is no click";

  // Back to where it was pressed before the release: it moved, so still no click.
  Pointer(TInputKind::Move, 3, 10);
  Pointer(TInputKind::Button, 3, 10, true);
  Pointer(TInputKind::Move, 3, 60);
  Pointer(TInputKind::Move, 3, 10);
  Pointer(TInputKind::Button, 3, 10, false);
  EXPECT_EQ(FTriangle->Top(), 0);
  EXPECT_EQ(FJournal.Lines, std::vector<std::string>{});
}

TEST_F(TTriangleFormTest, NoEnterOrLeaveWhileTheButtonIsHeld)
{
  FTriangle->Show(false);
  Pointer(TInputKind::Move, 3, 300);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Button, 3, 300, true);
  // Held on the triangle, the pointer leaves it sideways (no drag along the edge).
  Pointer(TInputKind::Move, 400, 300);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Move, 3, 300);
  FTriangle->TimerTimer(nullptr);
  Pointer(TInputKind::Button, 3, 300, false);
  EXPECT_EQ(FJournal.Lines, (std::vector<std::string>{"enter", "click"}));
}

}  // namespace
