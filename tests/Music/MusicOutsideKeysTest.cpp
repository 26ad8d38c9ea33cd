#include <gtest/gtest.h>

#include <string>

#include "Music/control/MusicLircLine.h"
#include "Music/control/MusicOutsideKeys.h"
#include "platform/windows/Input.h"

namespace {

using C = TOutsideCommand;

TOutsideAction Act(C command, std::int64_t value = 0)
{
  return TOutsideAction{command, value};
}

TEST(TOutsideKeyMap, DefaultsGiveTheHostsCommands)
{
  const TOutsideKeyMap map = TOutsideKeyMap::Defaults();
  const struct {
    const char* Name;
    TOutsideAction Action;
  } cases[] = {
      {"XF86AudioNext", Act(C::StepUp)},
      {"XF86AudioPrev", Act(C::StepDown)},
      {"XF86AudioPlay", Act(C::PlayPause)},
      {"XF86AudioPause", Act(C::Pause)},
      {"XF86AudioStop", Act(C::Stop)},
      {"XF86AudioForward", Act(C::Wind)},
      {"XF86AudioRewind", Act(C::Rewind)},
      {"XF86AudioRandomPlay", Act(C::Random)},
      {"Menu", Act(C::Menu)},
      {"KEY_NEXT", Act(C::StepUp)},
      {"KEY_PREVIOUS", Act(C::StepDown)},
      {"KEY_PLAY", Act(C::Play)},
      {"KEY_STOP", Act(C::Stop)},
      {"KEY_UP", Act(C::StepUp)},
      {"KEY_DOWN", Act(C::StepDown)},
      {"KEY_LEFT", Act(C::Rewind)},
      {"KEY_RIGHT", Act(C::Wind)},
      {"KEY_MENU", Act(C::Menu)},
      {"KEY_0", Act(C::Digit, 0)},
      {"KEY_9", Act(C::Digit, 9)},
      {"KEY_BLUE", Act(C::ControlBlue)},
      {"KEY_OK", Act(C::Play)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    ASSERT_TRUE(map.Find(c.Name).has_value());
    EXPECT_EQ(*map.Find(c.Name), c.Action);
  }
  // Names are matched exactly: the daemon's names are upper case, X's mixed.
  EXPECT_FALSE(map.Find("key_next").has_value());
  EXPECT_FALSE(map.Find("XF86AudioNext ").has_value());
  EXPECT_FALSE(map.Find("KEY_10").has_value());
}

TEST(TOutsideKeyMap, MediaKeysAreKnownByTheirVirtualKeys)
{
  const TOutsideKeyMap map = TOutsideKeyMap::Defaults();
  EXPECT_EQ(map.FindVirtualKey(VK_MEDIA_NEXT_TRACK), Act(C::StepUp));
  EXPECT_EQ(map.FindVirtualKey(VK_MEDIA_PREV_TRACK), Act(C::StepDown));
  EXPECT_EQ(map.FindVirtualKey(VK_APPS), Act(C::Menu));
  // Letters, digits and arrows stay the browser's own keys.
  for (const UINT key : {UINT{'A'}, UINT{'0'}, UINT{VK_UP}, UINT{VK_RETURN}, 0U}) {
    EXPECT_FALSE(map.FindVirtualKey(key).has_value()) << key;
  }
  const auto keys = map.BoundVirtualKeys();
  EXPECT_EQ(keys.size(), 10U);
  EXPECT_EQ(OutsideKeyVirtualKey("KEY_NEXT"), 0U) << "the daemon's names are no keys of the display";
}

TEST(TOutsideKeyMap, MappingTextRebindsAndUnbinds)
{
  TOutsideKeyMap map = TOutsideKeyMap::Defaults();
  const std::size_t before = map.Bindings().size();
  EXPECT_EQ(map.Apply(" XF86AudioNext = Wind ;KEY_OK=Digit7\r\nXF86AudioPrev=None\n\n;;KEY_F13=Random"), 0U);
  EXPECT_EQ(map.Find("XF86AudioNext"), Act(C::Wind));
  EXPECT_EQ(map.Find("KEY_OK"), Act(C::Digit, 7));
  EXPECT_FALSE(map.Find("XF86AudioPrev").has_value());
  EXPECT_FALSE(map.FindVirtualKey(VK_MEDIA_PREV_TRACK).has_value()) << "an unbound key is not grabbed";
  EXPECT_EQ(map.Find("KEY_F13"), Act(C::Random));
  EXPECT_EQ(map.Bindings().size(), before);
  // Unbinding a name never bound is no fault.
  EXPECT_EQ(map.Apply("KEY_NOTHING=None"), 0U);
}

TEST(TOutsideKeyMap, MalformedEntriesAreLeftOutAndCounted)
{
  TOutsideKeyMap map = TOutsideKeyMap::Defaults();
  const std::string longest(TOutsideKeyMap::MaxKeyName, 'K');
  const std::string tooLong(TOutsideKeyMap::MaxKeyName + 1, 'K');
  EXPECT_EQ(map.Apply("KEY_NEXT; =Play; KEY OK=Play; KEY_A=Fly; KEY_B=Digit10; KEY_C=Digit; KEY_D=digit1; "
                      "KEY-E=Play; KEY_F=SeekTo; " +
                      tooLong + "=Play; " + longest + "=Play"),
            10U);
  EXPECT_EQ(map.Find(longest), Act(C::Play));
  EXPECT_FALSE(map.Find(tooLong).has_value());
  EXPECT_EQ(map.Find("KEY_NEXT"), Act(C::StepUp)) << "an entry without \"=\" changes nothing";
}

TEST(TOutsideKeyMap, TextAndEntriesAreCapped)
{
  // MaxBindings entries are taken, the next one is counted out.
  std::string entries;
  for (std::size_t i = 0; i <= TOutsideKeyMap::MaxBindings; ++i) {
    entries += "K" + std::to_string(i) + "=Play;";
  }
  TOutsideKeyMap map;
  EXPECT_EQ(map.Apply(entries), 1U);
  EXPECT_EQ(map.Bindings().size(), TOutsideKeyMap::MaxBindings);
  EXPECT_FALSE(map.Find("K" + std::to_string(TOutsideKeyMap::MaxBindings)).has_value());

  // An entry ending at the text limit is read; one past it is cut and so malformed.
  const std::string last = "KEY_Z=Stop";
  const std::string filler(TOutsideKeyMap::MaxMappingText - last.size(), ';');
  TOutsideKeyMap fits;
  EXPECT_EQ(fits.Apply(filler + last), 0U);
  EXPECT_EQ(fits.Find("KEY_Z"), Act(C::Stop));
  TOutsideKeyMap cut;
  EXPECT_EQ(cut.Apply(";" + filler + last), 1U);
  EXPECT_FALSE(cut.Find("KEY_Z").has_value());
}

TEST(TOutsideActions, NamesAndMessagesRoundTrip)
{
  for (int command = 0; command <= static_cast<int>(C::SetShuffle); ++command) {
    const TOutsideAction action = Act(static_cast<C>(command), command == static_cast<int>(C::Digit) ? 4 : 0);
    const auto fromMessage =
        OutsideActionOfMessage(static_cast<WPARAM>(command), static_cast<LPARAM>(action.Value));
    ASSERT_TRUE(fromMessage.has_value()) << command;
    EXPECT_EQ(*fromMessage, action);
  }
  EXPECT_FALSE(OutsideActionOfMessage(static_cast<WPARAM>(C::SetShuffle) + 1, 0).has_value());
  EXPECT_EQ(OutsideActionOfMessage(static_cast<WPARAM>(C::Digit), 9), Act(C::Digit, 9));
  EXPECT_FALSE(OutsideActionOfMessage(static_cast<WPARAM>(C::Digit), 10).has_value());
  EXPECT_FALSE(OutsideActionOfMessage(static_cast<WPARAM>(C::Digit), -1).has_value());
  EXPECT_EQ(OutsideActionOfMessage(static_cast<WPARAM>(C::SeekBy), -5000000), Act(C::SeekBy, -5000000));

  for (const char* name : {"StepUp", "Digit0", "Digit9", "PlayPause", "Raise", "None"}) {
    const auto action = OutsideActionNamed(name);
    ASSERT_TRUE(action.has_value()) << name;
    EXPECT_EQ(OutsideActionName(*action), name);
  }
}

TEST(TLircLine, BroadcastLinesAndTheirFields)
{
  const auto key = ParseLircLine("000000037ff07bfe 00 KEY_NEXT mceusb");
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->Code, 0x37ff07bfeULL);
  EXPECT_EQ(key->Repeat, 0U);
  EXPECT_EQ(key->Key, "KEY_NEXT");
  EXPECT_EQ(key->Remote, "mceusb");

  const auto repeat = ParseLircLine("1\t1A  KEY_UP\tremote ");
  ASSERT_TRUE(repeat.has_value());
  EXPECT_EQ(repeat->Repeat, 0x1AU);
  EXPECT_EQ(repeat->Key, "KEY_UP");

  for (const char* line : {"", "BEGIN", "END", "SIGHUP", "0 0 KEY_NEXT", "0 0 KEY_NEXT remote extra",
                           "0g 0 KEY_NEXT remote", "0 -1 KEY_NEXT remote", "0 0 KEY_N\x01XT remote",
                           "0 0 KEY_NEXT remote\r", "0 0 KEY_NEXT re\x7fmote"}) {
    EXPECT_FALSE(ParseLircLine(line).has_value()) << line;
  }
}

TEST(TLircLine, FieldLimitsOnBothSides)
{
  const std::string code16(MaxLircCodeDigits, 'f');
  const std::string repeat8(MaxLircRepeatDigits, 'F');
  const std::string name(MaxLircName, 'N');
  const auto widest = ParseLircLine(code16 + " " + repeat8 + " " + name + " " + name);
  ASSERT_TRUE(widest.has_value());
  EXPECT_EQ(widest->Code, ~0ULL);
  EXPECT_EQ(widest->Repeat, 0xFFFFFFFFU);

  EXPECT_FALSE(ParseLircLine(code16 + "0 0 KEY remote").has_value());
  EXPECT_FALSE(ParseLircLine("0 " + repeat8 + "0 KEY remote").has_value());
  EXPECT_FALSE(ParseLircLine("0 0 " + name + "N remote").has_value());
  EXPECT_FALSE(ParseLircLine("0 0 KEY " + name + "N").has_value());
}

}  // namespace
