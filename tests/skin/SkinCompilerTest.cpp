#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const fs::path& path, const std::string& text)
{
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

fs::path SourceDir()
{
  const char* source = std::getenv("OXA_SOURCE_DIR");
  return source != nullptr ? fs::path(source) : fs::path(OXA_SOURCE_ROOT);
}

struct TRun {
  int Status;
  std::string Errors;
};

TRun RunCompiler(const fs::path& skin, const fs::path& out)
{
  const fs::path errors = out.string() + ".err";
  const std::string command = std::string("ASAN_OPTIONS=detect_leaks=0 '") + OXA_SKIN_COMPILER + "' '" +
                              skin.string() + "' '" + OXA_SKIN_FONT + "' '" + out.string() + "' 2>'" +
                              errors.string() + "'";
  const int status = std::system(command.c_str());
  return {status, Slurp(errors)};
}

class TSkinCompilerTest : public ::testing::Test {
 protected:
  void SetUp() override
  {
    FRoot = fs::temp_directory_path() /
            ("oxa-skin-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FRoot);
    fs::create_directories(FRoot);
    FSkin = FRoot / "skin";
    fs::copy(SourceDir() / "skin", FSkin, fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(FRoot); }

  fs::path FRoot;
  fs::path FSkin;
};

TEST_F(TSkinCompilerTest, TwoRunsWriteIdenticalBytes)
{
  ASSERT_EQ(RunCompiler(FSkin, FRoot / "one").Status, 0);
  ASSERT_EQ(RunCompiler(FSkin, FRoot / "two").Status, 0);
  int files = 0;
  for (const auto& entry : fs::directory_iterator(FRoot / "one")) {
    if (entry.path().extension() != ".bin")
      continue;
    ++files;
    EXPECT_EQ(Slurp(entry.path()), Slurp(FRoot / "two" / entry.path().filename())) << entry.path();
  }
  EXPECT_EQ(files, 8);  // seven stores and the cursors
}

// Replaces the first occurrence of a text in a file of the copied skin.
void Edit(const fs::path& file, const std::string& from, const std::string& to)
{
  std::string text = Slurp(file);
  const std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  Spit(file, text);
}

TEST_F(TSkinCompilerTest, ABrokenSourceStopsTheBuildNamingIt)
{
  const struct {
    const char* Case;
    const char* File;  // in the skin folder; empty: delete the drawing named in To
    const char* From;
    const char* To;
    const char* Named;  // must appear in the message
  } cases[] = {
      {"missing drawing", "", "", "art/flap.svg", "flap.svg"},
      {"zero height", "skin.txt", "coded FLAP- flap.svg 32 47", "coded FLAP- flap.svg 32 0", "FLAP-11"},
      {"hotspot right of the image", "skin.txt", "CUR_BEAM cursor-centre.svg 15 15",
       "CUR_BEAM cursor-centre.svg 32 15", "CUR_BEAM"},
      {"hotspot above the image", "skin.txt", "CUR_BEAM cursor-centre.svg 15 15",
       "CUR_BEAM cursor-centre.svg 15 -1", "CUR_BEAM"},
      {"unparsable drawing", "art/icon-genre.svg", "<rect", "<rect <<", "icon-genre.svg"},
      {"placeholder without value", "art/arrow.svg", "{ROT}", "{TURN}", "arrow.svg"},
      {"unknown colour code", "skin.txt", "445 44B\ncoded GEN-", "445 44Q\ncoded GEN-", "44Q"},
      {"ink equal to the key", "skin.txt", "band 17 12 27 #FFFFFF #000000", "band 17 12 27 #000000 #000000",
       "skin.txt"},
      {"image twice", "skin.txt", "image HEAD fill.svg", "image TITLE fill.svg", "TITLE"},
      {"store twice", "skin.txt", "store ScanBitmaps", "store InfoIcons", "InfoIcons"},
      {"glyph pixel size 0", "skin.txt", "glyphs Frutiger16B 25 22", "glyphs Frutiger16B 25 0", "skin.txt"},
      {"band below the glyphs", "skin.txt", "band 32 12 42 #606060", "band 33 12 42 #606060", "skin.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Case);
    fs::remove_all(FSkin);
    fs::copy(SourceDir() / "skin", FSkin, fs::copy_options::recursive);
    if (std::string(c.File).empty())
      fs::remove(FSkin / c.To);
    else
      Edit(FSkin / c.File, c.From, c.To);
    const fs::path out = FRoot / "out";
    fs::remove_all(out);
    const TRun run = RunCompiler(FSkin, out);
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Errors.find(c.Named), std::string::npos) << run.Errors;
    // Nothing is written, so no build goes on with a short store.
    EXPECT_FALSE(fs::exists(out / "OxaSkinData.cpp"));
  }
}

// The boundary cases on the valid side of the ones above.
TEST_F(TSkinCompilerTest, EdgeValuesOnTheValidSideCompile)
{
  Edit(FSkin / "skin.txt", "CUR_BEAM cursor-centre.svg 15 15", "CUR_BEAM cursor-centre.svg 31 0");
  Edit(FSkin / "skin.txt", "band 32 12 42 #606060", "band 32 12 43 #606060");
  Edit(FSkin / "skin.txt", "glyphs Frutiger16B 25 22", "glyphs Frutiger16B 25 1");
  const TRun run = RunCompiler(FSkin, FRoot / "out");
  EXPECT_EQ(run.Status, 0) << run.Errors;
}

// Ink barely off the key blends to the key itself at low coverage; such pixels must still differ
// from it, or the glyph shows holes where it is drawn over other text. The pixels that differ
// from the key must be exactly those of the same glyphs in a clearly visible ink.
TEST_F(TSkinCompilerTest, InkNeverBlendsIntoTheKeyColour)
{
  ASSERT_EQ(RunCompiler(FSkin, FRoot / "clear").Status, 0);
  Edit(FSkin / "skin.txt", "band 2 12 12 #A0A0A0 #000000", "band 2 12 12 #010101 #000000");
  ASSERT_EQ(RunCompiler(FSkin, FRoot / "faint").Status, 0);
  TOxaBitmaps clear(nullptr);
  TOxaBitmaps faint(nullptr);
  clear.ReadData(Slurp(FRoot / "clear" / "store-Frutiger12B.bin"));
  faint.ReadData(Slurp(FRoot / "faint" / "store-Frutiger12B.bin"));
  ASSERT_EQ(clear.Count(), faint.Count());
  int inked = 0;
  for (int i = 0; i < clear.Count(); ++i) {
    TOxaBitmap* a = clear.Bitmaps(i);
    TOxaBitmap* b = faint.Bitmaps(i);
    ASSERT_EQ(a->ImageWidth(), b->ImageWidth());
    for (int y = 2; y < 14; ++y) {
      for (int x = 0; x < a->ImageWidth(); ++x) {
        const bool inkA = a->GetPixel(x, y) != 0;
        inked += inkA ? 1 : 0;
        EXPECT_EQ(inkA, b->GetPixel(x, y) != 0) << clear.Names(i) << " at " << x << "," << y;
      }
    }
  }
  EXPECT_GT(inked, 500);
}

}  // namespace
