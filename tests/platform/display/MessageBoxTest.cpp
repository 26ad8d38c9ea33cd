#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/display/MessageBox.h"
#include "platform/windows/DisplayTesting.h"
#include "platform/windows/Windows.h"

namespace {

struct TLineCase {
  const char* Text;
  std::vector<std::string> Lines;
};

TEST(MessageBoxTest, EachLineBreakFormEndsOneLine)
{
  const TLineCase cases[] = {
      {"", {""}},
      {"one", {"one"}},
      {"a\nb", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\n\rb", {"a", "b"}},
      {"a\rb", {"a", "b"}},
      // Two pairs in a row leave an empty line between, whichever order the pair has.
      {"a\n\r\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      // "\n\r\n" is one pair and one lone break, not three breaks.
      {"a\n\r\nb", {"a", "", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"end\n", {"end", ""}},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(MessageBoxLines(entry.Text), entry.Lines) << entry.Text;
  }
}

TEST(MessageBoxTest, LogLineJoinsLinesAndHidesControlCharacters)
{
  struct TCase {
    const char* Caption;
    const char* Text;
    const char* Line;
  };
  const TCase cases[] = {
      {"OxaNetMusic", "first.\n\r\n\rsecond.\n\r\n\r", "OxaNetMusic: first. second."},
      {"Cap", "", "Cap:"},
      {"Cap", "tab\there", "Cap: tab?here"},
      {"Bell\a", "esc\x1b[2J", "Bell?: esc?[2J"},
      {"Cap", "caf\xc3\xa9", "Cap: caf\xc3\xa9"},
  };
  for (const auto& entry : cases) {
    EXPECT_EQ(MessageBoxLogLine(entry.Caption, entry.Text), entry.Line) << entry.Text;
  }
}

TEST(MessageBoxTest, WithoutAScreenAnswersAtOnceOnStandardErrorAndInTheTrace)
{
  UseHeadlessDisplay();
  std::vector<std::string> traced;
  SetPlatformTraceSink([&traced](std::string_view line) { traced.emplace_back(line); });
  testing::internal::CaptureStderr();
  const int answer =
      MessageBoxA(nullptr, "OxaNetMusic failed to create the media database.\n\r\n\rPlease check.\n\r\n\r",
                  "OxaNetMusic", MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  const std::string error = testing::internal::GetCapturedStderr();
  SetPlatformTraceSink({});
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(error, "OxaNetMusic: OxaNetMusic failed to create the media database. Please check.\n");
  ASSERT_EQ(traced.size(), 1U);
  EXPECT_NE(traced[0].find("OxaNetMusic: OxaNetMusic failed to create the media database. Please check."),
            std::string::npos);
}

TEST(MessageBoxTest, NullTextAndCaptionAreNoFault)
{
  UseHeadlessDisplay();
  SetPlatformTraceSink([](std::string_view) {});
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error:\n");
  SetPlatformTraceSink({});
}

}  // namespace
