#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "graphics/OxaImage.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/Stream.h"
#include "tests/support/MessagePump.h"
#include "tests/support/TraceCapture.h"

namespace {

// Records what reaches it.
class TProbe : public TOxaBitmap {
 public:
  using TOxaBitmap::TOxaBitmap;
  std::vector<std::string>* Log = nullptr;
  std::string Name;
  int Repaints = 0;
  void Note(const std::string& what)
  {
    if (Log != nullptr) {
      Log->push_back(Name + "." + what);
    }
  }
  void MouseDown(TMouseButton, TShiftState, int x, int y) override { Note(Format("down %d,%d", x, y)); }
  void MouseUp(TMouseButton, TShiftState, int, int) override { Note("up"); }
  void Click() override { Note("click"); }
  void DblClick() override { Note("dbl"); }
  void MouseEnter() override { Note("enter"); }
  void MouseLeave() override { Note("leave"); }
  void CaptureGained() override { Note("gained"); }
  void CaptureLost() override { Note("lost"); }
  void KeyDown(WORD& key, TShiftState) override { Note(Format("key %d", int(key))); }
  bool HandleWheel = false;
  void MouseWheel(TShiftState, int delta, int, int, bool& handled) override
  {
    Note(Format("wheel %d", delta));
    handled = HandleWheel;
  }
  void MouseWheelDown(TShiftState, int, int, bool&) override { Note("wheel down"); }
  void MouseWheelUp(TShiftState, int, int, bool&) override { Note("wheel up"); }
  void DragOver(TOxaBitmap* source, int, int) override { Note("over " + static_cast<TProbe*>(source)->Name); }
  void DragLeave(TOxaBitmap*, int, int) override { Note("drag leave"); }
  void DragMove(TOxaBitmap*, int x, int y) override { Note(Format("drag move %d,%d", x, y)); }
  void DragDrop(TOxaBitmap*, int x, int y) override { Note(Format("drop %d,%d", x, y)); }
  void DragEnd() override { Note("drag end"); }
  void PaintToControl() override
  {
    ++Repaints;
    TOxaBitmap::PaintToControl();
  }
};

class TImageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  void SetUp() override
  {
    Image.reset(new TOxaImage(nullptr));
    Image->SetColor(0x000000);
    Image->SetBounds(0, 0, 200, 100);
    Image->Show();
    Root.reset(new TProbe(nullptr));
    Root->Name = "root";
    Root->Log = &Log;
    Root->SetBounds(0, 0, 200, 100);
    Root->SetColor(0x202020);
    Image->SetBitmap(Root.get());
    PumpUntil([] { return true; }, 0);
  }
  void TearDown() override
  {
    Image->SetBitmap(nullptr);
    Root.reset();
    Image.reset();
  }

  TProbe* Probe(TOxaBitmap& parent, const char* name, RECT r)
  {
    auto* node = new TProbe(&parent.Objects());
    node->Name = name;
    node->Log = &Log;
    node->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
    node->SetParent(&parent);
    return node;
  }
  void Settle()
  {
    PumpUntil([&] { return Image->QueuedCallbacks() == 0; }, 2000);
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
  }

  std::vector<std::string> Log;
  TOwnedObject<TOxaImage> Image;
  TOwnedObject<TProbe> Root;
};

TEST_F(TImageTest, MouseRoutingTable)
{
  TProbe* a = Probe(*Root, "a", {10, 10, 50, 50});
  TProbe* b = Probe(*Root, "b", {60, 10, 100, 50});
  TOxaMouseHook hook;
  bool swallow = false;
  hook.OnMouseDown = TOxaHookMouseEvent(
      +[](void* flag, TOxaImage*, TMouseButton, TShiftState, int, int, bool& handled) {
        handled = *static_cast<bool*>(flag);
      },
      &swallow);
  Image->AddHook(&hook);
  struct {
    const char* Name;
    bool Down;
    TShiftState Shift;
    POINT At;
    bool Swallow;
    std::vector<std::string> Expected;
  } const cases[] = {
      {"press on a", true, ssLeft, {15, 20}, false, {"a.enter", "a.gained", "a.down 5,10"}},
      {"release on a clicks", false, 0, {16, 20}, false, {"a.up", "a.click", "a.lost"}},
      {"press on b moves hover",
       true,
       ssLeft,
       {70, 20},
       false,
       {"a.leave", "b.enter", "b.gained", "b.down 10,10"}},
      {"captured: press elsewhere still to b",
       true,
       ssLeft | ssDouble,
       {20, 20},
       false,
       {"b.down -40,10", "b.dbl"}},
      {"release outside: no click", false, 0, {20, 20}, false, {"b.up", "b.lost"}},
      {"hook swallows", true, ssLeft, {15, 20}, true, {}},
      {"miss clears hover", true, ssLeft, {300, 300}, false, {"b.leave"}},
      {"unrouted release", false, 0, {15, 20}, false, {}},
  };
  TTraceCapture trace;
  for (const auto& c : cases) {
    Log.clear();
    swallow = c.Swallow;
    if (c.Down) {
      Image->DoMouseDown(TMouseButton::mbLeft, c.Shift, c.At.x, c.At.y);
    } else {
      Image->DoMouseUp(TMouseButton::mbLeft, c.Shift, c.At.x, c.At.y);
    }
    EXPECT_EQ(Log, c.Expected) << c.Name;
  }
  EXPECT_TRUE(trace.Contains("TOxaImage.MouseUp: Ignored. Mouse is not focused or dragged"));
  Image->RemoveHook(&hook);
  (void)b;
  (void)a;
}

TEST_F(TImageTest, KeysGoToHooksThenTheFocusedNode)
{
  TProbe* a = Probe(*Root, "a", {10, 10, 50, 50});
  Image->SetFocused(a);
  TOxaKeyHook hook;
  hook.OnKeyDown = TOxaHookKeyEvent(
      +[](void*, TOxaImage*, WORD& key, TShiftState, bool& handled) { handled = key == 'H'; }, nullptr);
  Image->AddHook(&hook);
  Log.clear();
  WORD key = 'A';
  Image->DoKeyDown(key, 0);
  key = 'H';
  Image->DoKeyDown(key, 0);
  EXPECT_EQ(Log, std::vector<std::string>({"a.key 65"}));
  Image->RemoveHook(&hook);
}

TEST_F(TImageTest, PaintToControlChangesExactlyTheRowsPixels)
{
  Root->SetBuffered(true);
  Root->ChangeImageSize(200, 100, opf24Bit);
  TProbe* row = Probe(*Root, "row", {20, 30, 70, 45});
  row->SetBuffered(true);
  row->SetAsyncPaint(true);
  row->ChangeImageSize(50, 15, opf24Bit);
  row->SetColor(0x112233);
  Image->Invalidate();
  Settle();
  POINT origin{0, 0};
  ClientToScreen(Image->Handle(), &origin);
  std::vector<std::uint32_t> before;
  SIZE size{};
  ASSERT_TRUE(ReadScreen(before, size));
  const int paints = Image->PaintCount();
  row->SetColor(0x445566);  // repaint through the queue
  Settle();
  EXPECT_EQ(Image->PaintCount(), paints) << "no full window paint";
  std::vector<std::uint32_t> after;
  ASSERT_TRUE(ReadScreen(after, size));
  int changed = 0;
  for (int y = 0; y < size.cy; ++y) {
    for (int x = 0; x < size.cx; ++x) {
      const bool inRow = x >= origin.x + 20 && x < origin.x + 70 && y >= origin.y + 30 && y < origin.y + 45;
      const std::uint32_t pixel = after[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)];
      if (inRow) {
        ASSERT_EQ(pixel, 0x665544U) << x << "," << y;  // 0xAABBGGRR shown as 0x00RRGGBB
      } else if (pixel != before[std::size_t(y) * std::size_t(size.cx) + std::size_t(x)]) {
        ++changed;
      }
    }
  }
  EXPECT_EQ(changed, 0);
}

TEST_F(TImageTest, ChangesBeforeThePostedRepaintCostOneRepaint)
{
  TProbe* row = Probe(*Root, "row", {20, 30, 70, 45});
  row->SetBuffered(true);
  row->SetAsyncPaint(true);
  row->ChangeImageSize(50, 15, opf24Bit);
  Settle();
  row->Repaints = 0;
  row->FillRect({0, 0, 5, 5}, 0x1);
  row->FillRect({0, 0, 5, 5}, 0x2);
  row->SetPixel(1, 1, 0x3);
  EXPECT_EQ(Image->QueuedCallbacks(), 1);
  Settle();
  EXPECT_EQ(row->Repaints, 1);
  EXPECT_FALSE(row->AsyncPosted());
  EXPECT_FALSE(row->Dirty());
}

TEST_F(TImageTest, ASuppressedPostMarksThePostedAncestor)
{
  TProbe* list = Probe(*Root, "list", {0, 0, 200, 100});
  list->SetAsyncPaint(true);
  list->SetBuffered(true);
  list->ChangeImageSize(200, 100, opf24Bit);
  TProbe* row = Probe(*list, "row", {20, 30, 70, 45});
  row->SetAsyncPaint(true);
  Settle();
  list->ContentChanged();  // posted
  ASSERT_TRUE(list->AsyncPosted());
  list->Update();  // a synchronous paint clears it before the queue runs
  EXPECT_FALSE(list->Dirty());
  row->ContentChanged();  // suppressed by the posted ancestor
  EXPECT_TRUE(list->Dirty());
  EXPECT_TRUE(list->IsChildChanged());
  list->Repaints = 0;
  Settle();
  EXPECT_EQ(list->Repaints, 1);
}

TEST_F(TImageTest, FreedNodesAreForgottenAndTheirCallbacksDropped)
{
  struct {
    const char* Name;
    std::function<void(TProbe*)> Make;
  } const cases[] = {
      {"hovered", [&](TProbe* n) { Image->SetHovered(n); }},
      {"captured", [&](TProbe* n) { Image->SetCaptured(n); }},
      {"focused", [&](TProbe* n) { Image->SetFocused(n); }},
      {"dragged",
       [&](TProbe* n) {
         Image->BeginDrag(n, TMouseButton::mbLeft, {1, 1});
       }},
      {"queued",
       [&](TProbe* n) {
         n->SetAsyncPaint(true);
         n->ContentChanged();
       }},
  };
  for (const auto& c : cases) {
    for (bool below : {false, true}) {
      TProbe* row = Probe(*Root, "row", {10, 10, 60, 40});
      TProbe* inner = Probe(*row, "inner", {1, 1, 20, 20});
      Settle();
      Image->SetHovered(nullptr);
      c.Make(below ? inner : row);
      FreeObject(row);
      EXPECT_EQ(Image->Hovered(), nullptr) << c.Name;
      EXPECT_EQ(Image->Captured(), nullptr) << c.Name;
      EXPECT_EQ(Image->Focused(), nullptr) << c.Name;
      EXPECT_EQ(Image->Dragged(), nullptr) << c.Name;
      EXPECT_EQ(Image->QueuedCallbacks(), 0) << c.Name;
      Image->DoMouseMove(0, 20, 20);
      Image->DoMouseMove(0, 150, 90);
      Image->DoMouseUp(TMouseButton::mbLeft, 0, 20, 20);
      WORD key = 'K';
      Image->DoKeyDown(key, 0);
      Image->RunCallbacks();
      Settle();
    }
  }
}

TEST_F(TImageTest, ANodeFreedInItsOwnMouseDownIsNotCalledAgain)
{
  TProbe* row = Probe(*Root, "row", {10, 10, 60, 40});
  row->OnMouseDown = TOxaNodeMouseEvent(
      +[](void*, TOxaBitmap* sender, TMouseButton, TShiftState, int, int) { FreeObject(sender); }, nullptr);
  // Through the base dispatcher: TProbe's override would not call the slot.
  auto* plain = new TOxaBitmap(&Root->Objects());
  plain->SetBounds(100, 10, 50, 30);
  plain->SetParent(Root.get());
  plain->OnMouseDown = row->OnMouseDown;
  Image->DoMouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 110, 20);
  EXPECT_EQ(Image->Captured(), nullptr);
  Image->DoMouseUp(TMouseButton::mbLeft, 0, 110, 20);
}

TEST_F(TImageTest, TheUncoveredAreaTakesTheControlsColour)
{
  Root->SetBounds(0, 0, 100, 50);
  Image->SetColor(0x0000FF);
  Image->Invalidate();
  Settle();
  POINT origin{0, 0};
  ClientToScreen(Image->Handle(), &origin);
  EXPECT_EQ(ScreenPixel(origin.x + 99, origin.y + 49), COLORREF(0x202020));
  EXPECT_EQ(ScreenPixel(origin.x + 100, origin.y + 10), COLORREF(0x0000FF));
  EXPECT_EQ(ScreenPixel(origin.x + 10, origin.y + 50), COLORREF(0x0000FF));
}

TEST(TDarkenBitmap, DarkensWhatItPaintedAndRepaintsOnlyOnChange)
{
  struct {
    std::uint8_t Darken;
    std::uint8_t Expected;  // of a byte 200
  } const cases[] = {{0, 200}, {1, 200 * 254 >> 8}, {128, 200 * 127 >> 8}, {254, 0}, {255, 0}};
  for (const auto& c : cases) {
    TOwnedObject<TOxaDarkenBitmap> panel(new TOxaDarkenBitmap(nullptr));
    TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
    target->ChangeImageSize(10, 10, opf24Bit);
    target->FillRect({0, 0, 10, 10}, 0x000000);
    panel->SetBounds(2, 2, 4, 4);
    panel->SetColor(0xC8C8C8);
    panel->SetDarken(c.Darken);
    panel->BitBlt(*target, 2, 2, {0, 0, 10, 10});
    EXPECT_EQ(target->GetPixel(3, 3) & 0xFF, c.Expected) << int(c.Darken);
    EXPECT_EQ(target->GetPixel(1, 1) & 0xFF, 0U) << "outside the panel";
    EXPECT_FALSE(panel->Dirty());
    panel->SetDarken(c.Darken);
    EXPECT_FALSE(panel->Dirty());
    panel->SetDarken(std::uint8_t(c.Darken + 1));
    EXPECT_TRUE(panel->Dirty());
  }
}

TEST(TNodeImage, SavedAndLoadedRecordsRoundTrip)
{
  TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
  node->ChangeImageSize(5, 3, opf24Bit);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      node->SetPixel(x, y, TOxaColor(x * 16 + y));
    }
  }
  node->SetBounds(-3, 4, 50, 60);
  TMemoryStream stream;
  node->SaveToStream(stream);
  EXPECT_EQ(stream.Size(), kOxaImageHeaderSize + 3 * 16);
  // Bottom row first.
  EXPECT_EQ(std::to_integer<int>(stream.Bytes()[kOxaImageHeaderSize + 2]), 4 * 0 + 2);
  stream.SetPosition(0);
  TOwnedObject<TOxaBitmap> copy(new TOxaBitmap(nullptr));
  copy->SetSizeMode(2);
  copy->LoadFromStream(stream);
  EXPECT_EQ(copy->SizeMode(), 0);
  EXPECT_EQ(copy->Left(), -3);
  EXPECT_EQ(copy->Height(), 60);
  EXPECT_EQ(copy->ImageWidth(), 5);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      EXPECT_EQ(copy->GetPixel(x, y), TOxaColor(x * 16 + y));
    }
  }
}

std::vector<std::uint8_t> Record(std::uint32_t magic, std::int32_t width, std::int32_t height, int format,
                                 std::int64_t pixelBytes)
{
  std::vector<std::uint8_t> r(std::size_t(kOxaImageHeaderSize + std::max<std::int64_t>(pixelBytes, 0)), 0);
  const auto put = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      r[std::size_t(at + i)] = std::uint8_t(v >> (8 * i));
    }
  };
  put(0, magic);
  put(12, 7);
  put(16, 8);
  put(20, std::uint32_t(width));
  put(24, std::uint32_t(height));
  r[28] = std::uint8_t(format);
  return r;
}

TEST(TNodeImage, BadRecordsAreRefusedAndLeaveTheNodeAlone)
{
  struct {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    bool Accepted;
  } const cases[] = {
      {"good", Record(kOxaImageMagic, 3, 2, 6, 2 * 12), true},
      {"one byte short", Record(kOxaImageMagic, 3, 2, 6, 2 * 12 - 1), false},
      {"wrong magic", Record(0xFF439ECE, 3, 2, 6, 24), false},
      {"format 8 bit", Record(kOxaImageMagic, 3, 2, 3, 2 * 4), true},
      {"format 32 bit", Record(kOxaImageMagic, 3, 2, 7, 2 * 12), true},
      {"format device", Record(kOxaImageMagic, 3, 2, 0, 24), false},
      {"format 4 bit", Record(kOxaImageMagic, 3, 2, 2, 24), false},
      {"format custom", Record(kOxaImageMagic, 3, 2, 8, 24), false},
      {"width at the cap", Record(kOxaImageMagic, 8192, 1, 6, 8192 * 3), true},
      {"width over the cap", Record(kOxaImageMagic, 8193, 1, 6, 8196 * 3), false},
      {"negative height", Record(kOxaImageMagic, 3, -1, 6, 0), false},
      {"huge claim", Record(kOxaImageMagic, 8192, 8192, 6, 100), false},
      {"header only, empty", Record(kOxaImageMagic, 0, 0, 6, 0), true},
      {"rows of no bytes", Record(kOxaImageMagic, 0, 5, 6, 0), true},
      {"rows of no bytes, 8 bit", Record(kOxaImageMagic, 0, 5, 3, 0), true},
      {"short header", std::vector<std::uint8_t>(28, 0xCF), false},
  };
  for (const auto& c : cases) {
    TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
    node->SetBounds(1, 2, 3, 4);
    node->ChangeImageSize(9, 9, opf24Bit);
    TMemoryStream stream;
    stream.WriteBuffer(c.Bytes.data(), std::int64_t(c.Bytes.size()));
    stream.SetPosition(0);
    bool accepted = true;
    try {
      node->LoadFromStream(stream);
    } catch (const EOxaFatal& e) {
      accepted = false;
      EXPECT_STREQ(e.what(), "TOxaBitmap.LoadFromStream: Invalid graphic format") << c.Name;
    }
    EXPECT_EQ(accepted, c.Accepted) << c.Name;
    if (!accepted) {
      EXPECT_EQ(node->ImageWidth(), 9) << c.Name;
      EXPECT_EQ(node->Left(), 1) << c.Name;
    }
  }
}

TEST(TNodeImage, StretchAndImageDrawsSkipEmptyTargets)
{
  TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
  node->ChangeImageSize(4, 4, opf24Bit);
  node->FillRect({0, 0, 4, 4}, 0xFFFFFF);
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(8, 8, opf24Bit);
  const RECT rects[] = {{2, 2, 2, 6}, {2, 2, 6, 2}, {6, 6, 2, 2}, {-5, -5, -1, -1}, {8, 8, 12, 12}};
  for (const RECT& r : rects) {
    node->StretchDraw(*target, r);
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      ASSERT_EQ(target->GetPixel(x, y), 0U);
    }
  }
  node->StretchDraw(*target, {6, 6, 10, 10});  // partly outside: the part inside is drawn
  EXPECT_EQ(target->GetPixel(7, 7), 0xFFFFFFU);
  EXPECT_EQ(target->GetPixel(5, 5), 0U);
}

}  // namespace

namespace {

TEST_F(TImageTest, WindowMessagesReachTheNodesThenTheControlsEvent)
{
  TProbe* a = Probe(*Root, "a", {10, 10, 50, 50});
  a->SetCursor(7);
  Image->SetDefaultCursor(3);
  std::vector<std::string> control;
  Image->OnMouseDown = TMouseEvent(
      +[](void* log, TObject*, TMouseButton, TShiftState shift, int x, int y) {
        static_cast<std::vector<std::string>*>(log)->push_back(
            Format("control %d,%d %d", x, y, int(shift & ssDouble)));
      },
      &control);
  const HWND window = Image->Handle();
  Log.clear();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 20));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(15, 20));
  SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(15, 20));
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(15, 20));
  EXPECT_EQ(Log, std::vector<std::string>({"a.enter", "a.gained", "a.down 5,10", "a.up", "a.click", "a.lost",
                                           "a.gained", "a.down 5,10", "a.dbl", "a.up", "a.click", "a.lost"}));
  EXPECT_EQ(control, std::vector<std::string>({"control 15,20 0", "control 15,20 64"}));
  EXPECT_EQ(Image->CurrentCursor(), 7);
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(150, 90));
  EXPECT_EQ(Image->Hovered(), Root.get());
  EXPECT_EQ(Image->CurrentCursor(), 3);
}

}  // namespace

namespace {

class TObserverProbe : public TOxaBitmap {
 public:
  using TOxaBitmap::ChangeObject;
  using TOxaBitmap::DestroyObject;
  using TOxaBitmap::TOxaBitmap;
};

TEST_F(TImageTest, MisuseMessagesAndTraceLines)
{
  TOwnedObject<TObserverProbe> node(new TObserverProbe(nullptr));
  TOwnedObject<TOxaFont> stranger(new TOxaFont(nullptr));
  struct {
    std::function<void()> Action;
    const char* Message;
  } const cases[] = {
      {[&] { node->DestroyObject(stranger.get()); }, "TObserverProbe.DestroyObject: Unknown object TOxaFont"},
      {[&] { node->ChangeObject(stranger.get()); }, "TObserverProbe.ChangeObject: Unknown object TOxaFont"},
      {[&] {
         node->BitBlt(*node, 0, 0, {0, 0, 1, 1});
       },
       "TObserverProbe.BitBlt: Target must be different from Source"},
      {[&] { Image->SetParent(Image.get()); }, "TOxaImage.SetParent: Parent can not be a child or self"},
  };
  for (const auto& c : cases) {
    std::string message;
    try {
      c.Action();
    } catch (const EOxaFatal& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.Message);
  }
  node->SetFont(stranger.get());
  EXPECT_NO_THROW(node->ChangeObject(stranger.get()));
  node->SetFont(nullptr);

  TTraceCapture trace;
  TProbe* panel = Probe(*Root, "panel", {0, 0, 50, 50});
  panel->SetBuffered(true);
  panel->SetAsyncPaint(true);
  Probe(*panel, "inner", {1, 1, 5, 5});
  Settle();
  FreeObject(panel);  // its children leave it while it dies
  EXPECT_TRUE(trace.Contains("TOxaBitmap.AsyncPaintToControl: Ignored while destroying"));
  EXPECT_EQ(Image->QueuedCallbacks(), 0);

  const int count = OxaCheckStockMemoryBitmap();
  EXPECT_GT(count, 1);  // this test's nodes share it
  EXPECT_TRUE(trace.Contains(
      Format("OxaBitmap.Finalization: StockMemoryBitmap.RefCount is %d it should be 1", count)));
  EXPECT_NE(OxaTrackMouseEvent(), nullptr);
}

}  // namespace

namespace {

TEST_F(TImageTest, AHookMayRemoveHooksWhileTheyRun)
{
  struct TState {
    TOxaImage* Image;
    TOxaMouseHook* Second;
    std::vector<int> Calls;
  };
  TOxaMouseHook first;
  auto second = std::make_unique<TOxaMouseHook>();
  TOxaMouseHook third;
  TState state{Image.get(), second.get(), {}};
  first.OnMouseDown = TOxaHookMouseEvent(
      +[](void* data, TOxaImage* image, TMouseButton, TShiftState, int, int, bool&) {
        auto* s = static_cast<TState*>(data);
        s->Calls.push_back(1);
        image->RemoveHook(s->Second);
      },
      &state);
  second->OnMouseDown = TOxaHookMouseEvent(
      +[](void* data, TOxaImage*, TMouseButton, TShiftState, int, int, bool&) {
        static_cast<TState*>(data)->Calls.push_back(2);
      },
      &state);
  third.OnMouseDown = TOxaHookMouseEvent(
      +[](void* data, TOxaImage*, TMouseButton, TShiftState, int, int, bool& handled) {
        static_cast<TState*>(data)->Calls.push_back(3);
        handled = true;
      },
      &state);
  Image->AddHook(&first);
  Image->AddHook(second.get());
  Image->AddHook(&third);
  Image->DoMouseDown(TMouseButton::mbLeft, ssLeft, 5, 5);
  second.reset();
  Image->DoMouseDown(TMouseButton::mbLeft, ssLeft, 5, 5);
  EXPECT_EQ(state.Calls, std::vector<int>({1, 3, 1, 3}));
  EXPECT_EQ(Image->Captured(), nullptr);  // the third hook handled both presses
  Image->RemoveHook(&first);
  Image->RemoveHook(&third);
}

}  // namespace

namespace {

TEST_F(TImageTest, APaintLooksAgainWhatIsUnderAStillPointer)
{
  TProbe* a = Probe(*Root, "a", {10, 10, 50, 50});
  Image->DoMouseMove(0, 20, 20);
  EXPECT_EQ(Image->Hovered(), a);
  TProbe* b = Probe(*Root, "b", {10, 10, 50, 50});  // on top of a, under the pointer
  Settle();
  EXPECT_EQ(Image->Hovered(), b);
  FreeObject(b);
  Settle();
  EXPECT_EQ(Image->Hovered(), a);
  Image->DoMouseLeave();
  Probe(*Root, "c", {10, 10, 50, 50});
  Settle();
  EXPECT_EQ(Image->Hovered(), nullptr);  // the pointer is gone: nothing is hovered
}

TEST(TGdiNodes, DeviceFormatNodesDrawThroughTheGdi)
{
  UseHeadlessDisplay();
  TOwnedObject<TOxaBitmap> device(new TOxaBitmap(nullptr));
  device->ChangeImageSize(6, 4, opfDevice);
  EXPECT_EQ(device->MemorySurface(), nullptr);
  ASSERT_NE(device->GdiSurface(), nullptr);
  device->FillRect({0, 0, 6, 4}, 0x0000FF);
  device->FillRect({2, 1, 4, 3}, 0x00FF00);
  EXPECT_EQ(device->GetPixel(0, 0), 0x0000FFU);
  EXPECT_EQ(device->GetPixel(3, 2), 0x00FF00U);
  EXPECT_EQ(device->GetPixel(6, 0), device->Color());
  TOwnedObject<TOxaBitmap> target(new TOxaBitmap(nullptr));
  target->ChangeImageSize(10, 10, opf24Bit);
  device->SetBounds(0, 0, 6, 4);
  device->BitBlt(*target, 3, 3, {0, 0, 10, 10});
  EXPECT_EQ(target->GetPixel(3, 3), 0x0000FFU);
  EXPECT_EQ(target->GetPixel(6, 5), 0x00FF00U);
  EXPECT_EQ(target->GetPixel(2, 2), 0U);
  // Saved, a device surface is taken into the screen's format first.
  TMemoryStream stream;
  device->SaveToStream(stream);
  stream.SetPosition(0);
  TOwnedObject<TOxaBitmap> loaded(new TOxaBitmap(nullptr));
  loaded->LoadFromStream(stream);
  EXPECT_NE(loaded->PixelFormat(), opfDevice);
  EXPECT_EQ(loaded->GetPixel(3, 2), 0x00FF00U);
}

}  // namespace

namespace {

TEST_F(TImageTest, WheelAndDragRouting)
{
  TProbe* a = Probe(*Root, "a", {10, 10, 50, 50});
  Probe(*Root, "b", {60, 10, 100, 50});
  struct {
    const char* Name;
    std::function<void()> Act;
    std::vector<std::string> Expected;
  } const cases[] = {
      {"wheel down unhandled",
       [&] { Image->DoMouseWheel(0, -120, 20, 20); },
       {"a.wheel -120", "a.wheel down"}},
      {"wheel up unhandled", [&] { Image->DoMouseWheel(0, 120, 20, 20); }, {"a.wheel 120", "a.wheel up"}},
      {"wheel handled",
       [&] {
         a->HandleWheel = true;
         Image->DoMouseWheel(0, 120, 20, 20);
       },
       {"a.wheel 120"}},
      {"press a, drag begins",
       [&] {
         Image->DoMouseDown(TMouseButton::mbLeft, ssLeft, 20, 20);
         Image->BeginDrag(a, TMouseButton::mbLeft, {10, 10});
       },
       {"a.enter", "a.gained", "a.down 10,10"}},
      {"drag over b",
       [&] {
         Image->BeginDrag(a, TMouseButton::mbLeft, {10, 10});
         Image->DoMouseMove(ssLeft, 70, 20);
       },
       {"a.drag leave", "a.leave", "b.enter", "b.over a", "b.drag move 10,10"}},
      {"drop on b",
       [&] { Image->DoMouseUp(TMouseButton::mbLeft, 0, 75, 25); },
       {"b.drop 15,15", "a.drag end", "a.lost"}},
  };
  for (const auto& c : cases) {
    Log.clear();
    c.Act();
    EXPECT_EQ(Log, c.Expected) << c.Name;
  }
  EXPECT_EQ(Image->Dragged(), nullptr);
  EXPECT_EQ(Image->Captured(), nullptr);
}

}  // namespace

namespace {

// Counts the focus takers below node from scratch.
int CountFocusTakers(const TOxaBitmap& node)
{
  int count = 0;
  for (int i = 0; i < node.ChildCount(); ++i) {
    count += (node.Children(i)->WantsFocus() ? 1 : 0) + CountFocusTakers(*node.Children(i));
  }
  return count;
}

void CheckTree(const TOxaBitmap& node, TOxaImage* control)
{
  ASSERT_EQ(node.Control(), control);
  ASSERT_EQ(node.FocusTakersBelow(), CountFocusTakers(node));
  for (int i = 0; i < node.ChildCount(); ++i) {
    ASSERT_EQ(node.Children(i)->Parent(), &node);
    CheckTree(*node.Children(i), control);
  }
}

void Collect(TOxaBitmap& node, std::vector<TOxaBitmap*>& nodes)
{
  nodes.push_back(&node);
  for (int i = 0; i < node.ChildCount(); ++i) {
    Collect(*node.Children(i), nodes);
  }
}

TEST_F(TImageTest, RandomTreeWorkKeepsTheLinksWhole)
{
  std::mt19937 random(26);
  Root->SetBuffered(true);
  Root->ChangeImageSize(200, 100, opf24Bit);
  for (int step = 0; step < 3000; ++step) {
    std::vector<TOxaBitmap*> nodes;
    Collect(*Root, nodes);
    TOxaBitmap* node = nodes[random() % nodes.size()];
    TOxaBitmap* other = nodes[random() % nodes.size()];
    const int x = int(random() % 220) - 10;
    const int y = int(random() % 120) - 10;
    switch (random() % 14) {
      case 0:
      case 1: {
        auto* child = new TOxaBitmap(&node->Objects());
        child->SetBounds(x, y, int(random() % 60), int(random() % 40));
        child->SetHorzAlign(std::uint8_t(random() % 7));
        child->SetVertAlign(std::uint8_t(random() % 7));
        child->SetParent(node);
        break;
      }
      case 2:
        if (node != Root.get()) {
          FreeObject(node);
        }
        break;
      case 3:
        if (node != Root.get() && other != node && !node->IsAncestorOf(other)) {
          node->SetParent(other);
        }
        break;
      case 4:
        node->SetBuffered(!node->Buffered());
        node->ChangeImageSize(node->Width(), node->Height(), opf24Bit);
        break;
      case 5:
        node->SetAsyncPaint(!node->AsyncPaint());
        break;
      case 6:
        node->FillRect({0, 0, x, y}, TOxaColor(random()));
        break;
      case 7:
        node->SetWantsFocus(!node->WantsFocus());
        break;
      case 8:
        node->SetVisible(!node->Visible());
        break;
      case 9:
        node->BringToFront();
        break;
      case 10:
        Image->DoMouseDown(TMouseButton::mbLeft, ssLeft, x, y);
        break;
      case 11:
        Image->DoMouseMove(ssLeft, x, y);
        break;
      case 12:
        Image->DoMouseUp(TMouseButton::mbLeft, 0, x, y);
        break;
      default:
        Settle();
        break;
    }
    CheckTree(*Root, Image.get());
    if (HasFatalFailure()) {
      FAIL() << "step " << step;
    }
  }
  Settle();
}

}  // namespace

namespace {

TEST_F(TImageTest, RowRepaintsLeaveTheScreenAsAFullRepaintWould)
{
  std::mt19937 random(8);
  Root->SetBuffered(true);
  Root->ChangeImageSize(200, 100, opf24Bit);
  TProbe* list = Probe(*Root, "list", {5, 5, 195, 95});
  list->SetBuffered(true);
  list->ChangeImageSize(190, 90, opf24Bit);
  list->SetImageRect(0, 3, 190, 90);  // scrolled by 3 rows of pixels
  std::vector<TProbe*> rows;
  for (int i = 0; i < 9; ++i) {
    TProbe* row = Probe(*list, "row", {0, 3 + i * 10, 190, 3 + i * 10 + 10});
    row->SetBuffered(i % 2 == 0);
    row->SetAsyncPaint(true);
    row->ChangeImageSize(190, 10, opf24Bit);
    row->SetColor(0x100000 * TOxaColor(i + 1));
    TProbe* icon = Probe(*row, "icon", {2, 2, 8, 8});
    icon->ChangeImageSize(6, 6, opf24Bit);
    rows.push_back(row);
  }
  Image->Invalidate();
  Settle();
  std::vector<std::uint32_t> partial;
  std::vector<std::uint32_t> full;
  SIZE size{};
  for (int round = 0; round < 12; ++round) {
    const int paints = Image->PaintCount();
    for (int change = 0; change < 4; ++change) {
      TProbe* row = rows[random() % rows.size()];
      switch (random() % 3) {
        case 0:
          row->SetColor(TOxaColor(random()) & 0xFFFFFF);
          break;
        case 1:
          row->Children(0)->FillRect({0, 0, 6, 6}, TOxaColor(random()) & 0xFFFFFF);
          break;
        default:
          row->FillRect({int(random() % 190), 0, 190, 10}, TOxaColor(random()) & 0xFFFFFF);
          break;
      }
    }
    Settle();
    ASSERT_EQ(Image->PaintCount(), paints) << "the rows repainted themselves, not the window";
    ASSERT_TRUE(ReadScreen(partial, size));
    Image->Invalidate();
    Settle();
    ASSERT_TRUE(ReadScreen(full, size));
    ASSERT_EQ(partial, full) << "round " << round;
  }
}

}  // namespace
