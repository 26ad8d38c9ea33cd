#include <gtest/gtest.h>

#include "Music/control/MusicKeyTable.h"
#include "platform/windows/Input.h"

namespace {

constexpr TShiftState None = 0;
constexpr TShiftState Ctrl = ssCtrl;
constexpr TShiftState CtrlShift = ssCtrl | ssShift;
constexpr WORD F5 = VK_F1 + 4;

TEST(TMusicKeyTable, KeysModifiersAndFreshness)
{
  using A = TMusicKeyAction;
  struct TCase {
    WORD Key;
    TShiftState Shift;
    bool Fresh;
    bool Pending;
    A Action;
  };
  const TCase cases[] = {
      // keypad plus and minus with any modifiers, fresh only
      {VK_ADD, None, true, false, A::VolumeUp},
      {VK_ADD, CtrlShift | ssAlt, true, false, A::VolumeUp},
      {VK_ADD, None, false, false, A::None},
      {VK_SUBTRACT, ssAlt, true, false, A::VolumeDown},
      // arrows only without modifiers: Ctrl+arrows belong to the lists
      {VK_UP, None, true, false, A::StepUp},
      {VK_DOWN, None, true, false, A::StepDown},
      {VK_LEFT, None, true, false, A::Rewind},
      {VK_RIGHT, None, true, false, A::Wind},
      {VK_UP, Ctrl, true, false, A::None},
      {VK_DOWN, ssShift, true, false, A::None},
      {VK_RIGHT, None, false, false, A::None},
      // Space and Pause type into a waiting entry, stale or not; otherwise pause when fresh
      {VK_SPACE, None, true, true, A::TypeIntoEntry},
      {VK_SPACE, None, false, true, A::TypeIntoEntry},
      {VK_PAUSE, Ctrl, true, false, A::Pause},
      {VK_SPACE, None, false, false, A::None},
      // update scan
      {F5, None, true, false, A::UpdateScan},
      {F5, CtrlShift, true, false, A::UpdateScan},
      {'U', Ctrl, true, false, A::UpdateScan},
      {'U', None, true, false, A::None},
      {'U', Ctrl, false, false, A::None},
      // Ctrl letters with exactly Ctrl
      {'S', Ctrl, true, false, A::ScanPanel2},
      {'S', CtrlShift, true, false, A::None},
      {'S', Ctrl | ssAlt, true, false, A::None},
      {'I', Ctrl, true, false, A::ScanPanel1},
      {'R', Ctrl, true, false, A::Random},
      {'R', Ctrl | ssLeft, true, false, A::Random},  // mouse buttons are no modifiers
      // Escape acts however old it is
      {VK_ESCAPE, None, false, false, A::Escape},
      {VK_ESCAPE, CtrlShift, true, false, A::Escape},
      {VK_BACK, None, true, false, A::Delete},
      {VK_DELETE, ssShift, true, false, A::Delete},
      {VK_DELETE, None, false, false, A::None},
      {VK_RETURN, None, true, false, A::Return},
      {VK_RETURN, None, false, false, A::None},
      // keys of the lists and of nobody
      {VK_HOME, None, true, false, A::None},
      {'A', Ctrl, true, false, A::None},
      {VK_TAB, None, true, false, A::None},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "key " << c.Key << " shift " << c.Shift << " fresh " << c.Fresh
                                    << " pending " << c.Pending);
    EXPECT_EQ(MusicKeyAction(c.Key, c.Shift, c.Fresh, c.Pending), c.Action);
  }
}

TEST(TMusicKeyTable, FreshnessOnTheWrappingTickClock)
{
  struct TCase {
    DWORD Time;
    DWORD Now;
    bool Fresh;
  };
  const TCase cases[] = {
      {1000, 1000, true},         {1000, 1599, true},     {1000, 1600, false},
      {1000, 60000, false},       {0xFFFFFFF0u, 5, true},  // the clock wrapped 21 ms after the key
      {0xFFFFFDA0u, 0x10, false},                          // 624 ms across the wrap
      {1010, 1000, true},                                  // a key stamped a little ahead by another reader
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(KeyIsFresh(c.Time, c.Now), c.Fresh) << c.Time << " at " << c.Now;
  }
}

}  // namespace
