#include <gtest/gtest.h>

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "framework/OxaUtils.h"
#include "tests/support/TempFolder.h"

// The sink opens the file named by OXA_TRACE on first use, so this binary's first trace decides;
// every test here writes to the same file and looks for its own lines.
class TraceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite()
  {
    folder = new TTempFolder;
    setenv("OXA_TRACE", (folder->Path() / "trace.log").c_str(), 1);
  }
  static void TearDownTestSuite()
  {
    delete folder;
    folder = nullptr;
  }
  static std::string Log()
  {
    std::ifstream in(folder->Path() / "trace.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static TTempFolder* folder;
};
TTempFolder* TraceTest::folder = nullptr;

namespace {
class TTracedThing : public TObject {};
}  // namespace

TEST_F(TraceTest, LinesCarryFormattedTextAndBadFormatsAreNamed)
{
  Trace("%s.PlayerTrackComplete", "TOxaMusicPlayer");
  Trace("%d items", "not a number");
  TTracedThing thing;
  TraceObject(&thing, "Refresh");
  TraceObject(nullptr, "Refresh");
  TraceObject(&thing, "Count %d", 3);
  OxaAccelerate(1, 0, 10);

  const std::string log = Log();
  EXPECT_NE(log.find("TOxaMusicPlayer.PlayerTrackComplete\n"), std::string::npos);
  EXPECT_NE(log.find("Illegal Format String: %d items\n"), std::string::npos);
  EXPECT_NE(log.find("TTracedThing.Refresh\n"), std::string::npos);
  EXPECT_NE(log.find("nil.Refresh\n"), std::string::npos);
  EXPECT_NE(log.find("TTracedThing.Count 3\n"), std::string::npos);
  EXPECT_NE(log.find("OxaAccelerate: Count is 0\n"), std::string::npos);
}
