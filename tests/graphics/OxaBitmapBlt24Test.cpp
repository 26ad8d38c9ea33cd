#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "graphics/OxaBitmapBlt.h"
#include "graphics/OxaBitmapBlt24.h"
#include "tests/graphics/GuardedSurface.h"

namespace {

struct TParams {
  int TargetX, TargetY, SourceX, SourceY, Width, Height;
  int StretchWidth, StretchHeight;
  TOxaColor Color, Tint, Key;
  std::uint32_t Alpha;
  int Red, Green, Blue, Offset;
  int BandHeight, BandWidth;
};

enum class TArea { Rect, StretchRect };

struct TSlotCase {
  const char* Name;
  TArea Area;
  TOxaColor (*Run)(const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s,
                   const TParams& p);
};

const TSlotCase kSlots[] = {
    {"GetPixel", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc&, const TParams& p) {
       return table.GetPixel(t, p.TargetX, p.TargetY);
     }},
    {"SetPixel", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc&, const TParams& p) {
       table.SetPixel(t, p.TargetX, p.TargetY, p.Color);
       return TOxaColor(0);
     }},
    {"FillRect", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc&, const TParams& p) {
       table.FillRect(t, p.TargetX, p.TargetY, p.Width, p.Height, p.Color);
       return TOxaColor(0);
     }},
    {"FrameRect", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc&, const TParams& p) {
       table.FrameRect(t, p.TargetX, p.TargetY, p.Width, p.Height, p.Color, p.BandHeight, p.BandWidth);
       return TOxaColor(0);
     }},
    {"Copy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.Copy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height);
       return TOxaColor(0);
     }},
    {"AlphaCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.AlphaCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Alpha);
       return TOxaColor(0);
     }},
    {"BrightnessCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.BrightnessCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Red,
                            p.Green, p.Blue);
       return TOxaColor(0);
     }},
    {"TintCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.TintCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Tint);
       return TOxaColor(0);
     }},
    {"TransparentCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.TransparentCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Key);
       return TOxaColor(0);
     }},
    {"TransparentAlphaCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.TransparentAlphaCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Key,
                                  p.Alpha);
       return TOxaColor(0);
     }},
    {"GrayCopy", TArea::Rect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.GrayCopy(t, s, p.TargetX, p.TargetY, p.SourceX, p.SourceY, p.Width, p.Height, p.Offset);
       return TOxaColor(0);
     }},
    {"StretchCopy", TArea::StretchRect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.StretchCopy(t, s, p.TargetX, p.TargetY, p.StretchWidth, p.StretchHeight, p.Offset);
       return TOxaColor(0);
     }},
    {"StretchTintCopy", TArea::StretchRect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.StretchTintCopy(t, s, p.TargetX, p.TargetY, p.StretchWidth, p.StretchHeight, p.Tint);
       return TOxaColor(0);
     }},
    {"StretchSmoothCopy", TArea::StretchRect,
     [](const TOxaBltTable& table, const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, const TParams& p) {
       table.StretchSmoothCopy(t, s, p.TargetX, p.TargetY, p.StretchWidth, p.StretchHeight, p.Offset);
       return TOxaColor(0);
     }},
};

constexpr int kMaxWidth = 67;  // every row padding, several vector blocks and a tail
constexpr int kCasesPerSlot = 4 * kMaxWidth;

int Between(std::mt19937& random, int low, int high)
{
  return std::uniform_int_distribution<int>(low, high)(random);
}

int Pick(std::mt19937& random, std::initializer_list<int> values)
{
  return *(values.begin() + Between(random, 0, int(values.size()) - 1));
}

int RandomOffset(std::mt19937& random)
{
  return random() % 2 ? Between(random, -300, 300)
                      : Pick(random, {-300, -256, -255, -254, -1, 0, 1, 254, 255, 256});
}

std::uint32_t WithTopByte(std::mt19937& random)
{
  const std::uint32_t top =
      std::uint32_t(random() % 2 ? Pick(random, {0, 1, 128, 254, 255}) : Between(random, 0, 255));
  return (top << 24) | (random() & 0xFFFFFF);
}

struct TCase {
  int TargetWidth, TargetHeight, SourceWidth, SourceHeight;
  bool Palette;
  std::vector<TOxaColor> Colors;
  TParams Params;
};

TCase MakeCase(std::mt19937& random, int index, TArea area)
{
  TCase c;
  c.TargetWidth = 1 + index % kMaxWidth;
  c.TargetHeight = Between(random, 1, 6);
  c.SourceWidth = Between(random, 1, kMaxWidth);
  c.SourceHeight = Between(random, 1, 6);
  c.Colors = {TOxaColor(random() & 0xFFFFFF), TOxaColor(random() & 0xFFFFFF), TOxaColor(random() & 0xFFFFFF)};
  c.Palette = random() % 2 == 0;
  TParams& p = c.Params;
  if (area == TArea::Rect) {
    p.Width = Between(random, 1, std::min(c.TargetWidth, c.SourceWidth));
    p.Height = Between(random, 1, std::min(c.TargetHeight, c.SourceHeight));
    p.TargetX = Between(random, 0, c.TargetWidth - p.Width);
    p.TargetY = Between(random, 0, c.TargetHeight - p.Height);
    p.SourceX = Between(random, 0, c.SourceWidth - p.Width);
    p.SourceY = Between(random, 0, c.SourceHeight - p.Height);
  } else {
    p.StretchWidth = Between(random, 1, c.TargetWidth);
    p.StretchHeight = Between(random, 1, c.TargetHeight);
    p.TargetX = Between(random, 0, c.TargetWidth - p.StretchWidth);
    p.TargetY = Between(random, 0, c.TargetHeight - p.StretchHeight);
    switch (random() % 6) {
      case 0:  // the same size: no blend
        c.SourceWidth = p.StretchWidth;
        c.SourceHeight = p.StretchHeight;
        break;
      case 1:
        c.SourceWidth = 1;
        break;
      case 2:
        c.SourceHeight = 1;
        break;
      default:
        break;
    }
  }
  p.Color = WithTopByte(random);
  p.Tint = WithTopByte(random);
  p.Key = (random() % 2 ? c.Colors[0] : random() & 0xFFFFFF) | (random() % 2 ? 0 : random() & 0xFF000000);
  p.Alpha = WithTopByte(random) >> 24 | (random() & 0xFFFFFF00);
  p.Red = RandomOffset(random);
  p.Green = random() % 4 == 0 ? 0 : RandomOffset(random);
  p.Blue = random() % 4 == 0 ? 0 : RandomOffset(random);
  p.Offset = RandomOffset(random);
  p.BandHeight = Between(random, -1, 4);
  p.BandWidth = Between(random, -1, 4);
  return c;
}

struct TScene {
  TGuardedSurface Target;
  TGuardedSurface Source;
};

TScene MakeScene(const TCase& c, std::uint32_t seed)
{
  std::mt19937 random(seed);
  TScene scene{TGuardedSurface(c.TargetWidth, c.TargetHeight, random),
               TGuardedSurface(c.SourceWidth, c.SourceHeight, random)};
  if (c.Palette) {
    scene.Source.FillFromPalette(c.Colors, random);
  }
  return scene;
}

std::vector<TOxaBltPath> FastPaths()
{
  std::vector<TOxaBltPath> paths = {TOxaBltPath::Portable};
  if (OxaBlt24Table(TOxaBltPath::Vector) != nullptr) {
    paths.push_back(TOxaBltPath::Vector);
  }
  return paths;
}

const char* PathName(TOxaBltPath path)
{
  return path == TOxaBltPath::Portable ? "portable" : "vector";
}

TEST(OxaBitmapBlt24, EveryFastPathEqualsTheReferenceByteForByteAndWritesOnlyItsRectangle)
{
  const TOxaBltTable& reference = *OxaBlt24Table(TOxaBltPath::Reference);
  for (const TOxaBltPath path : FastPaths()) {
    const TOxaBltTable& fast = *OxaBlt24Table(path);
    std::mt19937 random(20261208);
    for (const TSlotCase& slot : kSlots) {
      int failures = 0;
      for (int index = 0; index < kCasesPerSlot && failures < 3; ++index) {
        const TCase c = MakeCase(random, index, slot.Area);
        const std::uint32_t seed = random();
        TScene expected = MakeScene(c, seed);
        TScene actual = MakeScene(c, seed);
        const std::vector<std::uint8_t> before = expected.Target.Bytes();
        const std::vector<std::uint8_t> sourceBefore = expected.Source.Bytes();

        const TOxaColor expectedResult =
            slot.Run(reference, expected.Target.Desc(), expected.Source.Desc(), c.Params);
        const TOxaColor actualResult = slot.Run(fast, actual.Target.Desc(), actual.Source.Desc(), c.Params);

        const TParams& p = c.Params;
        const bool stretch = slot.Area == TArea::StretchRect;
        const int width = stretch ? p.StretchWidth : slot.Name == std::string("SetPixel") ? 1 : p.Width;
        const int height = stretch ? p.StretchHeight : slot.Name == std::string("SetPixel") ? 1 : p.Height;
        const std::string where = std::string(slot.Name) + " " + PathName(path) + " case " +
                                  std::to_string(index) + ": target " + std::to_string(c.TargetWidth) + "x" +
                                  std::to_string(c.TargetHeight) + ", source " +
                                  std::to_string(c.SourceWidth) + "x" + std::to_string(c.SourceHeight) +
                                  ", rect " + std::to_string(p.TargetX) + "," + std::to_string(p.TargetY) +
                                  " " + std::to_string(width) + "x" + std::to_string(height);
        const bool same = expectedResult == actualResult &&
                          expected.Target.Bytes() == actual.Target.Bytes() &&
                          actual.Source.Bytes() == sourceBefore;
        const bool contained =
            expected.Target.ChangedOnlyInside(before, p.TargetX, p.TargetY, width, height) &&
            expected.Source.Bytes() == sourceBefore;
        EXPECT_TRUE(same) << where;
        EXPECT_TRUE(contained) << where << " (reference)";
        failures += !same || !contained;
      }
    }
  }
}

TEST(OxaBitmapBlt24, TheInstalledTableIsTheFastestThisProcessorRuns)
{
  const TOxaBltTable* vector = OxaBlt24Table(TOxaBltPath::Vector);
  EXPECT_EQ(OxaBltTable(opf24Bit), vector != nullptr ? vector : OxaBlt24Table(TOxaBltPath::Portable));
  for (const int code : std::initializer_list<int>{opfDevice, opf1Bit, opf4Bit, opf8Bit, opf15Bit, opf16Bit,
                                                   opf32Bit, opfCustom, 9, -1}) {
    EXPECT_EQ(OxaBltTable(code), nullptr) << code;
  }
}

// Every implementation, for the cases with exact expected values.
std::vector<const TOxaBltTable*> AllTables()
{
  std::vector<const TOxaBltTable*> tables = {OxaBlt24Table(TOxaBltPath::Reference)};
  for (const TOxaBltPath path : FastPaths()) {
    tables.push_back(OxaBlt24Table(path));
  }
  return tables;
}

TEST(OxaBitmapBlt24, PixelsAreBlueGreenRedInMemoryAndReadAsAbgr)
{
  struct {
    TOxaColor Set;
    std::array<std::uint8_t, 3> Bytes;
    TOxaColor Get;
  } const cases[] = {
      {0x000000FF, {0x00, 0x00, 0xFF}, 0x000000FF},
      {0x0000FF00, {0x00, 0xFF, 0x00}, 0x0000FF00},
      {0x00FF0000, {0xFF, 0x00, 0x00}, 0x00FF0000},
      {0xFF123456, {0x12, 0x34, 0x56}, 0x00123456},
  };
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(1);
      TGuardedSurface surface(2, 2, random);
      table->SetPixel(surface.Desc(), 1, 1, c.Set);
      const std::size_t o = surface.Offset(1, 1);
      EXPECT_EQ(
          (std::array<std::uint8_t, 3>{surface.Bytes()[o], surface.Bytes()[o + 1], surface.Bytes()[o + 2]}),
          c.Bytes)
          << std::hex << c.Set;
      EXPECT_EQ(table->GetPixel(surface.Desc(), 1, 1), c.Get);
    }
  }
}

TEST(OxaBitmapBlt24, FillKeepsTheShareOfTheOldPixelTheTopByteSays)
{
  struct {
    TOxaColor Color;
    std::uint8_t Old;
    std::uint8_t Expected;  // every byte, for an old grey and a grey colour
  } const cases[] = {
      {0x00000000, 200, 0},               // top byte 0: replaced
      {0x00808080, 17, 0x80},             // top byte 0: replaced
      {0xFF000000, 200, 200 * 255 >> 8},  // 0xFF: one step darker, not unchanged
      {0xFFFFFFFF, 255, 254},
      {0x80FFFFFF, 0, (255 * 127) >> 8},
      {0x01000000, 255, 255 >> 8},
  };
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      // Rows below and from 256 bytes (copied whole), up to and past the 4096-byte scratch row.
      for (const int width : {1, 16, 33, 85, 86, 1365, 1366}) {
        std::mt19937 random(2);
        TGuardedSurface surface(width, 2, random);
        table->FillRect(surface.Desc(), 0, 0, width, 2, TOxaColor(c.Old) * 0x010101);
        table->FillRect(surface.Desc(), 0, 0, width, 2, c.Color);
        EXPECT_EQ(surface.Pixel(width - 1, 1), TOxaColor(c.Expected) * 0x010101)
            << std::hex << c.Color << " width " << std::dec << width;
      }
    }
  }
}

TEST(OxaBitmapBlt24, DarkeningFillScalesEveryByteByTheRemainingShare)
{
  // A darken value D fills black with transparency byte 255 − D.
  for (const TOxaBltTable* table : AllTables()) {
    for (const int darken : {1, 128, 254, 255}) {
      for (const int old : {0, 1, 128, 255}) {
        std::mt19937 random(3);
        TGuardedSurface surface(40, 1, random);
        table->FillRect(surface.Desc(), 0, 0, 40, 1, TOxaColor(old) * 0x010101);
        table->FillRect(surface.Desc(), 0, 0, 40, 1, TOxaColor(255 - darken) << 24);
        EXPECT_EQ(surface.Pixel(39, 0), TOxaColor((old * (255 - darken)) >> 8) * 0x010101)
            << "darken " << darken << " old " << old;
      }
    }
  }
}

TEST(OxaBitmapBlt24, FrameDrawsItsBandsAndNothingElse)
{
  struct {
    int Width, Height, BandHeight, BandWidth;
    std::vector<std::string> Picture;
  } const cases[] = {
      {5, 4, 1, 1, {"#####", "#...#", "#...#", "#####"}},
      {6, 5, 1, 2, {"######", "##..##", "##..##", "##..##", "######"}},
      {5, 5, 2, 1, {"#####", "#####", "#...#", "#####", "#####"}},
      {4, 3, 0, 1, {"#..#", "#..#", "#..#"}},
      {4, 3, 1, 0, {"####", "....", "####"}},
      {3, 3, 2, 2, {"###", "###", "###"}},  // bands meet
      {3, 2, 5, 5, {"###", "###"}},         // bands wider than the frame stay inside it
      {1, 1, 1, 1, {"#"}},
      {4, 4, 0, 0, {"....", "....", "....", "...."}},
      {4, 3, -1, 1, {"#..#", "#..#", "#..#"}},
  };
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(4);
      TGuardedSurface surface(c.Width + 2, c.Height + 2, random);
      table->FillRect(surface.Desc(), 0, 0, c.Width + 2, c.Height + 2, 0x000000);
      const std::vector<std::uint8_t> before = surface.Bytes();
      table->FrameRect(surface.Desc(), 1, 1, c.Width, c.Height, 0x7F00FF00, c.BandHeight, c.BandWidth);
      std::vector<std::string> picture;
      for (int y = 1; y <= c.Height; ++y) {
        std::string row;
        for (int x = 1; x <= c.Width; ++x) {
          row += surface.Pixel(x, y) == 0x00FF00 ? '#' : surface.Pixel(x, y) == 0 ? '.' : '?';
        }
        picture.push_back(row);
      }
      EXPECT_EQ(picture, c.Picture) << c.Width << "x" << c.Height << " bands " << c.BandHeight << ","
                                    << c.BandWidth;
      EXPECT_TRUE(surface.ChangedOnlyInside(before, 1, 1, c.Width, c.Height));
    }
  }
}

// Runs a copy on a fresh pair and answers the target's bytes.
template <class Op>
std::vector<std::uint8_t> AfterCopy(int width, int height, Op op)
{
  std::mt19937 random(5);
  TGuardedSurface target(width, height, random);
  TGuardedSurface source(width, height, random);
  op(target.Desc(), source.Desc());
  return target.Bytes();
}

TEST(OxaBitmapBlt24, NeutralArgumentsGiveExactCopies)
{
  struct {
    const char* Name;
    void (*Run)(const TOxaBltTable&, const TOxaSurfaceDesc&, const TOxaSurfaceDesc&, int, int);
  } const cases[] = {
      {"brightness 0, 0, 0", [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s,
                                int w, int h) { t.BrightnessCopy(d, s, 0, 0, 0, 0, w, h, 0, 0, 0); }},
      {"tint of strength 0", [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s,
                                int w, int h) { t.TintCopy(d, s, 0, 0, 0, 0, w, h, 0x00FF00FF); }},
      {"nearest stretch to the source size",
       [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s, int w, int h) {
         t.StretchCopy(d, s, 0, 0, w, h, 0);
       }},
      {"smooth stretch to the source size",
       [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s, int w, int h) {
         t.StretchSmoothCopy(d, s, 0, 0, w, h, 0);
       }},
      {"stretch tint of strength 0",
       [](const TOxaBltTable& t, const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s, int w, int h) {
         t.StretchTintCopy(d, s, 0, 0, w, h, 0x00123456);
       }},
  };
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      for (const int width : {1, 3, 4, 33, 67}) {
        const auto copied = AfterCopy(width, 3, [&](const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
          table->Copy(d, s, 0, 0, 0, 0, width, 3);
        });
        const auto neutral = AfterCopy(width, 3, [&](const TOxaSurfaceDesc& d, const TOxaSurfaceDesc& s) {
          c.Run(*table, d, s, width, 3);
        });
        EXPECT_EQ(neutral, copied) << c.Name << " width " << width;
      }
    }
  }
}

TEST(OxaBitmapBlt24, TransparentCopyNeverWritesKeyPixels)
{
  constexpr TOxaColor kKey = 0x00FF00FF;
  struct {
    TOxaColor Key;  // the top byte is no part of the colour
  } const cases[] = {{kKey}, {kKey | 0xFF000000}, {kKey | 0x01000000}};
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(6);
      TGuardedSurface target(9, 2, random);
      TGuardedSurface source(9, 2, random);
      source.FillFromPalette({kKey, 0x000000, 0xFFFFFF}, random);
      const TGuardedSurface before = target;
      table->TransparentCopy(target.Desc(), source.Desc(), 0, 0, 0, 0, 9, 2, c.Key);
      for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 9; ++x) {
          EXPECT_EQ(target.Pixel(x, y), source.Pixel(x, y) == kKey ? before.Pixel(x, y) : source.Pixel(x, y));
        }
      }
    }
  }
}

TEST(OxaBitmapBlt24, SmoothStretchOfOnePixelWideSourceIsTheNearestStretch)
{
  for (const TOxaBltTable* table : AllTables()) {
    for (const int offset : {0, -40, 40}) {
      for (const int height : {1, 3, 7, 12}) {
        std::mt19937 random(7);
        TGuardedSurface source(1, 5, random);
        TGuardedSurface smooth(9, height, random);
        TGuardedSurface nearest = smooth;
        table->StretchSmoothCopy(smooth.Desc(), source.Desc(), 0, 0, 9, height, offset);
        table->StretchCopy(nearest.Desc(), source.Desc(), 0, 0, 9, height, offset);
        EXPECT_EQ(smooth.Bytes(), nearest.Bytes()) << "height " << height << " offset " << offset;
      }
    }
  }
}

TEST(OxaBitmapBlt24, StretchToAnEmptyTargetDrawsNothing)
{
  struct {
    int Width, Height;
  } const cases[] = {{0, 4}, {4, 0}, {0, 0}, {-1, 4}, {4, -1}, {-5, -5}};
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(8);
      TGuardedSurface target(4, 4, random);
      TGuardedSurface source(3, 3, random);
      const std::vector<std::uint8_t> before = target.Bytes();
      table->StretchCopy(target.Desc(), source.Desc(), 0, 0, c.Width, c.Height, 10);
      table->StretchTintCopy(target.Desc(), source.Desc(), 0, 0, c.Width, c.Height, 0x80FF0000);
      table->StretchSmoothCopy(target.Desc(), source.Desc(), 0, 0, c.Width, c.Height, 10);
      EXPECT_EQ(target.Bytes(), before) << c.Width << "x" << c.Height;
    }
  }
}

TEST(OxaBitmapBlt24, EmptyRectanglesDrawNothing)
{
  struct {
    int Width, Height;
  } const cases[] = {{0, 2}, {2, 0}, {-1, 2}, {2, -3}};
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(9);
      TGuardedSurface target(4, 4, random);
      TGuardedSurface source(4, 4, random);
      const std::vector<std::uint8_t> before = target.Bytes();
      const TOxaSurfaceDesc t = target.Desc(), s = source.Desc();
      table->FillRect(t, 0, 0, c.Width, c.Height, 0x80FFFFFF);
      table->FillRect(t, 0, 0, c.Width, c.Height, 0);
      table->FrameRect(t, 0, 0, c.Width, c.Height, 0, 1, 1);
      table->Copy(t, s, 0, 0, 0, 0, c.Width, c.Height);
      table->AlphaCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 128);
      table->BrightnessCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 1, 2, 3);
      table->TintCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 0x80FFFFFF);
      table->TransparentCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 0);
      table->TransparentAlphaCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 0, 7);
      table->GrayCopy(t, s, 0, 0, 0, 0, c.Width, c.Height, 5);
      EXPECT_EQ(target.Bytes(), before) << c.Width << "x" << c.Height;
    }
  }
}

// A one-row source whose pixel i holds i (blue the low byte), so a target pixel tells which
// source column it took.
TGuardedSurface NumberedRow(int width, std::mt19937& random)
{
  TGuardedSurface source(width, 1, random);
  const TOxaSurfaceDesc d = source.Desc();
  for (int i = 0; i < width; ++i) {
    d.ScanLine0[i * 3] = std::uint8_t(i);
    d.ScanLine0[i * 3 + 1] = std::uint8_t(i >> 8);
    d.ScanLine0[i * 3 + 2] = std::uint8_t(i >> 16);
  }
  return source;
}

int ColumnOf(TOxaColor pixel)
{
  return int(((pixel >> 16) & 0xFF) | (pixel & 0xFF00) | ((pixel & 0xFF) << 16));
}

TEST(OxaBitmapBlt24, WideSourcesStretchWithoutOverflow)
{
  // 16.16 positions of 32768 pixels and more overflow 32 bits.
  struct {
    int SourceWidth, TargetWidth;
  } const cases[] = {{32767, 100}, {32768, 100}, {40000, 7}, {70000, 3}, {40000, 40001}};
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      std::mt19937 random(10);
      const TGuardedSurface source = NumberedRow(c.SourceWidth, random);
      TGuardedSurface target(c.TargetWidth, 1, random);
      TGuardedSurface source2 = source;
      table->StretchCopy(target.Desc(), source2.Desc(), 0, 0, c.TargetWidth, 1, 0);
      for (const int i : {0, 1, c.TargetWidth / 2, c.TargetWidth - 1}) {
        const int expected = int((std::int64_t(i) * c.SourceWidth) / c.TargetWidth);
        // The 16.16 step rounds down, so the column may fall a little short of the exact one.
        EXPECT_LE(ColumnOf(target.Pixel(i, 0)), expected)
            << c.SourceWidth << " -> " << c.TargetWidth << " at " << i;
        EXPECT_GE(ColumnOf(target.Pixel(i, 0)), expected - 1)
            << c.SourceWidth << " -> " << c.TargetWidth << " at " << i;
      }
      table->StretchSmoothCopy(target.Desc(), source2.Desc(), 0, 0, c.TargetWidth, 1, 0);
      // Blends of neighbouring numbers: the low byte of the last column stays near its place.
      const int last = c.TargetWidth - 1;
      const std::int64_t exact = std::int64_t(last) * (c.SourceWidth - 1) / c.TargetWidth;
      EXPECT_NEAR(double(target.Pixel(last, 0) >> 16), double(exact & 0xFF), 1.0)
          << c.SourceWidth << " -> " << c.TargetWidth;
    }
  }
}

TEST(OxaBitmapBlt24, GreyIsTheMeanOfTheChannelsThenOffset)
{
  struct {
    std::array<std::uint8_t, 3> Pixel;
    int Offset;
    std::uint8_t Expected;
  } const cases[] = {
      {{255, 255, 255}, 0, 255}, {{255, 255, 254}, 0, 254},  {{1, 1, 0}, 0, 0},
      {{0, 0, 3}, 0, 1},         {{10, 20, 30}, 5, 25},      {{10, 20, 30}, -25, 0},
      {{10, 20, 30}, -19, 1},    {{250, 250, 250}, 5, 255},  {{250, 250, 250}, 6, 255},
      {{0, 0, 0}, 300, 255},     {{255, 255, 255}, -300, 0},
  };
  for (const TOxaBltTable* table : AllTables()) {
    for (const auto& c : cases) {
      for (const int width : {1, 16, 20}) {  // scalar, one vector block, block and tail
        std::mt19937 random(11);
        TGuardedSurface source(width, 1, random);
        TGuardedSurface target(width, 1, random);
        for (int x = 0; x < width; ++x) {
          table->SetPixel(source.Desc(), x, 0,
                          (TOxaColor(c.Pixel[0]) << 16) | (TOxaColor(c.Pixel[1]) << 8) | c.Pixel[2]);
        }
        table->GrayCopy(target.Desc(), source.Desc(), 0, 0, 0, 0, width, 1, c.Offset);
        EXPECT_EQ(target.Pixel(width - 1, 0), TOxaColor(c.Expected) * 0x010101)
            << int(c.Pixel[0]) << "," << int(c.Pixel[1]) << "," << int(c.Pixel[2]) << " offset " << c.Offset;
      }
    }
  }
}

TEST(OxaBitmapBlt24, ColoursFormatCodesAndStrides)
{
  EXPECT_EQ(MakeColor(0x12, 0x34, 0x56, 0x78), 0x12345678u);
  EXPECT_EQ(MakeColor(0xFF, 0, 0, 0), 0xFF000000u);

  const std::pair<int, int> bitsToCode[] = {{0, 0},  {1, 1},  {2, 0},  {3, 0},  {4, 2},  {5, 0},  {7, 0},
                                            {8, 3},  {9, 0},  {15, 0}, {16, 5}, {17, 0}, {23, 0}, {24, 6},
                                            {25, 0}, {31, 0}, {32, 7}, {33, 0}, {-24, 0}};
  for (const auto& [bits, code] : bitsToCode) {
    EXPECT_EQ(OxaBitsToPixelFormat(bits), code) << bits;
  }
  const std::pair<int, int> codeToBits[] = {{-1 & 0x7FFFFFFF, 0},
                                            {0, 0},
                                            {1, 1},
                                            {2, 4},
                                            {3, 8},
                                            {4, 16},
                                            {5, 16},
                                            {6, 24},
                                            {7, 32},
                                            {8, 0},
                                            {9, 0},
                                            {int(0x80000006u), 24},
                                            {int(0x80000001u), 1},
                                            {int(0x80000000u), 0}};
  for (const auto& [code, bits] : codeToBits) {
    EXPECT_EQ(OxaPixelFormatToBits(code), bits) << code;
  }

  for (int width = 1; width <= kMaxWidth; ++width) {
    const int stride = OxaStride(width, 3);
    EXPECT_EQ(stride % 4, 0) << width;
    EXPECT_GE(stride, width * 3) << width;
    EXPECT_LT(stride, width * 3 + 4) << width;
  }
  EXPECT_EQ(OxaStride(0, 3), 0);
  EXPECT_EQ(OxaStride(5, 4), 20);
  EXPECT_EQ(OxaStride(3, 1), 4);
}

TEST(OxaBitmapBlt24, RectanglesInsideTheSurface)
{
  TOxaSurfaceDesc surface;
  surface.Width = 10;
  surface.Height = 5;
  struct {
    int X, Y, Width, Height;
    bool Inside;
  } const cases[] = {
      {0, 0, 10, 5, true},  {0, 0, 11, 5, false}, {0, 0, 10, 6, false}, {9, 4, 1, 1, true},
      {10, 4, 1, 1, false}, {9, 5, 1, 1, false},  {-1, 0, 1, 1, false}, {0, -1, 1, 1, false},
      {0, 0, 0, 0, true},   {10, 5, 0, 0, true},  {0, 0, -1, 1, false}, {2147483647, 0, 1, 1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OxaRectInside(surface, c.X, c.Y, c.Width, c.Height), c.Inside)
        << c.X << "," << c.Y << " " << c.Width << "x" << c.Height;
  }
}

#ifndef NDEBUG
TEST(OxaBitmapBlt24DeathTest, DebugBuildsStopOnRectanglesOutsideTheSurface)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const TOxaBltTable* table : AllTables()) {
    std::mt19937 random(12);
    TGuardedSurface target(4, 4, random);
    TGuardedSurface source(4, 4, random);
    EXPECT_DEATH(table->FillRect(target.Desc(), 1, 0, 4, 1, 0), "");
    EXPECT_DEATH(table->Copy(target.Desc(), source.Desc(), 0, 0, 0, 1, 4, 4), "");
  }
}
#endif

}  // namespace
