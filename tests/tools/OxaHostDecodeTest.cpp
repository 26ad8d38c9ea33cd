// The payloads oxa-host decodes, at the sizes the protocol gives them and one byte off.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tools/oxa-host/Decode.h"

namespace {

std::vector<std::uint8_t> Words(std::initializer_list<std::int32_t> words, std::size_t extra = 0)
{
  std::vector<std::uint8_t> bytes(words.size() * 4 + extra, 0);
  std::size_t at = 0;
  for (const std::int32_t word : words) {
    std::memcpy(bytes.data() + at, &word, 4);
    at += 4;
  }
  return bytes;
}

TEST(TOxaHostDecode, RecordsAtTheirSizesOnly)
{
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Payload;
    const char* Text;
  };
  std::vector<std::uint8_t> status = Words({1, 2, 3, 4, 5, 6, 7, 8}, 256);
  status[32] = 2;
  status[33] = 'h';
  status[34] = 'i';
  status[35] = 'x';  // past the length byte: not part of the text
  std::vector<std::uint8_t> file(256, 0);
  std::memcpy(file.data(), "a\"b", 3);
  const TCase cases[] = {
      {"OnPicture", Words({1, -2, 3}), "Contrast 1; Brightness -2; Color 3"},
      {"Picture", Words({1, 2}), "0100000002000000"},
      {"OnVideo", Words({5, 6}), "Video 5; Extra 6"},
      {"Display", Words({1, 2, 3}), "Hidden 1; Window 2; Fullscreen 3"},
      {"Audio", Words({1, 2, 3}), "010000000200000003000000"},
      {"OnStatus", status,
       "Position 1; MediaPosition 2; Activity 3; Blanking 4; Tuning 5; RecordingSource 6; "
       "RecordingTarget 7; Random 8; Formatted \"hi\""},
      {"GUI", Words({1, 0, 1, 2}, 64), "Visible 1; Foreground 0; Flag 1; Mode 2"},
      {"GUI", Words({1, 9, 7}, 56), "Shown 1; Window 9; Third 7"},
      {"Version", Words({0, 4, 1}), "0.4.1"},
      {"Active", Words({1}), "1"},
      {"OnRandom", {1}, "on"},
      {"OnRandom", {0}, "off"},
      {"Play", Words({1, 2, 3}), "Sender 1; Target 2; Extra 3"},
      {"Play", Words({1, 2, 3, 4}), "01000000020000000300000004000000"},
      {"KeyDown", Words({65, 0, 0, 0, 0}), "A 65; B 0; C 0; D 0; E 0"},
      {"KeyDown", Words({65, 0, 0, 0}), "41000000000000000000000000000000"},
      {"Scan", Words({1, 2, 3}), "A 1; B 3"},
      {"PlayFile", file, "\"a\\\"b\""},
      {"PlayFile", std::vector<std::uint8_t>(255, 0x41), nullptr},
      {"Close", Words({1, 2}), "A 1; B 2"},
      {"Close", Words({1}), "01000000"},
      {"Unknown", {}, "-"},
  };
  for (const auto& c : cases) {
    const std::string text = DecodePayload(c.Name, c.Payload);
    if (c.Text != nullptr) {
      EXPECT_EQ(text, c.Text) << c.Name << " " << c.Payload.size();
    } else {
      std::string dump;
      for (int i = 0; i < 64; ++i) {
        dump += "41";
      }
      EXPECT_EQ(text, dump + "...") << c.Name << " " << c.Payload.size();
    }
  }
}

TEST(TOxaHostDecode, TheEighteenKeys)
{
  for (const char* key :
       {"StepUp", "StepDown", "Wind", "Rewind", "Go", "Play", "Pause", "Stop", "Digit", "ControlYellow",
        "ControlGreen", "ControlBlue", "ControlRed", "Menu", "Exit", "Language", "Random", "Record"}) {
    EXPECT_TRUE(IsSourceKey(key)) << key;
  }
  EXPECT_FALSE(IsSourceKey("KeyDown"));
  EXPECT_FALSE(IsSourceKey("stepup"));
}

}  // namespace
