#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/oxa-lib-screen/SkinSheet.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

fs::path SourceDir()
{
  const char* source = std::getenv("OXA_SOURCE_DIR");
  return source != nullptr ? fs::path(source) : fs::path(OXA_SOURCE_ROOT);
}

// The committed contact sheet is what the compiled skin draws: a changed drawing without a new
// sheet (oxa-lib skin sheet docs/skin-sheet.png) fails here.
TEST(TSkinSheetTest, CommittedSheetMatchesTheCompiledSkin)
{
  const fs::path fresh = fs::temp_directory_path() / "oxa-skin-sheet-test.png";
  ASSERT_TRUE(WriteSkinPng(fresh.string(), SkinSheet()));
  const std::string expected = Slurp(SourceDir() / "docs" / "skin-sheet.png");
  const std::string actual = Slurp(fresh);
  fs::remove(fresh);
  EXPECT_FALSE(expected.empty());
  EXPECT_TRUE(expected == actual) << "docs/skin-sheet.png is stale: regenerate it with oxa-lib skin sheet";
}

TEST(TSkinSheetTest, EmptyPicturesAreNotWritten)
{
  const fs::path file = fs::temp_directory_path() / "oxa-skin-empty-test.png";
  const struct {
    int Width;
    int Height;
    bool Written;
  } cases[] = {{0, 1, false}, {1, 0, false}, {1, 1, true}};
  for (const auto& c : cases) {
    TSkinPicture picture{c.Width, c.Height, std::vector<std::uint32_t>(std::size_t(c.Width) * c.Height)};
    EXPECT_EQ(WriteSkinPng(file.string(), picture), c.Written) << c.Width << "x" << c.Height;
    EXPECT_EQ(fs::exists(file), c.Written);
    fs::remove(file);
  }
}

}  // namespace
