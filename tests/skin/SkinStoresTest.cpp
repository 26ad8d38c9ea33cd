#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/Stream.h"
#include "skin/OxaSkin.h"
#include "tests/support/TraceCapture.h"
#include "views/MusicAssets.h"
#include "views/OxaMusicInfoAssets.h"
#include "views/OxaMusicScanAssets.h"

namespace {

std::vector<std::string> Words(const std::string& text)
{
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;)
    words.push_back(w);
  return words;
}

std::vector<std::string> Numbered(const std::string& base, int count,
                                  const std::vector<std::string>& suffixes)
{
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i)
    for (const std::string& s : suffixes)
      names.push_back(base + std::to_string(i) + s);
  return names;
}

// Every name of the music store, written out independently of the skin table.
std::vector<std::string> MusicNames()
{
  std::vector<std::string> names;
  for (const char* prefix : {"ALB-", "ART-", "FAV-", "FOL-", "GEN-", "TIT-", "TRA-"})
    for (const std::string& code : Words("212 221 225 22B 2B2 441 442 445 44B"))
      names.push_back(prefix + code);
  for (const std::string& code : Words("2X1 2X2 2X5 2XB 4X1 4X2 4X4 4X5"))
    names.push_back("TRK-" + code);
  for (const std::string& code : Words("11 12 14 15 21 22 24 25 2B 33 44 52 54 55 B2 B4 B5 BB"))
    names.push_back("FLAP-" + code);
  for (const char* set : {"A", "B", "C", "D"})
    for (const std::string& n : Numbered(std::string("DRAGINSERT") + set, 10, {""}))
      names.push_back(n);
  for (const std::string& n : Numbered("VIEWANIMATION", 12, {"N", "GN"}))
    names.push_back(n);
  for (const std::string& n : Words(
           "ARROWDOWNGR ARROWDOWNGRA ARROWDOWNR ARROWDOWNRA ARROWLEFTGR ARROWLEFTGRA ARROWLEFTR ARROWLEFTRA "
           "ARROWRIGHTGR ARROWRIGHTGRA ARROWRIGHTR ARROWRIGHTRA ARROWUPGR ARROWUPGRA ARROWUPR ARROWUPRA "
           "DELETED DELETEGD DELETEGN DELETEGNA DELETEGR DELETEGRA DELETEN DELETENA DELETER DELETERA "
           "HIDEEDITGR HIDEEDITGRA HIDEEDITR HIDEEDITRA HIDEGNA HIDEGR HIDEGRA HIDEINFOR HIDEINFORA "
           "HIDELISTGR HIDELISTGRA HIDELISTR HIDELISTRA HIDENA HIDER HIDERA MOVINGBOXBODYN MOVINGBOXLEFTN "
           "MOVINGBOXRIGHTN NEWGR NEWGRA NEWR NEWRA REDOR1 REDOR2 REDORA1 REDORA2 SCROLLARROWDOWNN "
           "SCROLLARROWDOWNRA SCROLLARROWUPN SCROLLARROWUPRA SCROLLBARBODYN SCROLLBARBOTTOMN SCROLLBARTOPN "
           "SHOWALBUMN SHOWALBUMNA SHOWARTISTN SHOWARTISTNA SHOWEDITGR SHOWEDITGRA SHOWEDITR SHOWEDITRA "
           "SHOWFAVORITEN SHOWFAVORITENA SHOWFOLDERN SHOWFOLDERNA SHOWGENREN SHOWGENRENA SHOWINFOR "
           "SHOWINFORA "
           "SHOWLISTGR SHOWLISTGRA SHOWLISTR SHOWLISTRA SHOWTITLEN SHOWTITLENA SHOWTRASHN SHOWTRASHNA "
           "UNDOR1 UNDOR2 UNDORA1 UNDORA2 VIEWALBUMGN VIEWALBUMN VIEWALBUMNA VIEWARTISTGN VIEWARTISTN "
           "VIEWARTISTNA VIEWFAVORITEGN VIEWFAVORITEN VIEWFAVORITENA VIEWFOLDERGN VIEWFOLDERN VIEWFOLDERNA "
           "VIEWGENREGN VIEWGENREN VIEWGENRENA VIEWNEXTGN VIEWNEXTGR VIEWNEXTGRA VIEWNEXTN VIEWNEXTR "
           "VIEWNEXTRA "
           "VIEWTITLEGN VIEWTITLEN VIEWTITLENA VIEWTRASHN VIEWTRASHNA"))
    names.push_back(n);
  return names;
}

struct TSize {
  int Width;
  int Height;  // 0: any height
};

// The sizes the views lay out with, by name prefix (first match wins).
TSize ExpectedSize(const std::string& name)
{
  static const std::vector<std::pair<std::string, TSize>> rules = {
      {"FLAP-", {32, 47}},       {"TRK-", {47, 47}},           {"ALB-INFO", {38, 38}},
      {"ART-INFO", {38, 38}},    {"FOL-INFO", {38, 38}},       {"GEN-INFO", {38, 38}},
      {"TIT-INFO", {38, 38}},    {"ALB-", {47, 47}},           {"ART-", {47, 47}},
      {"FAV-", {47, 47}},        {"FOL-", {47, 47}},           {"GEN-", {47, 47}},
      {"TIT-", {47, 47}},        {"TRA-", {47, 47}},           {"DRAGINSERT", {47, 0}},
      {"VIEWNEXT", {24, 46}},    {"VIEW", {72, 46}},           {"UNDOR1", {13, 28}},
      {"UNDORA1", {13, 28}},     {"REDOR1", {13, 28}},         {"REDORA1", {13, 28}},
      {"UNDOR2", {39, 1}},       {"UNDORA2", {39, 1}},         {"REDOR2", {39, 1}},
      {"REDORA2", {39, 1}},      {"MOVINGBOX", {0, 54}},       {"CHECKBOX", {15, 15}},
      {"RADIOBUTTON", {15, 15}}, {"SCANSCROLLBAR", {12, 460}}, {"EDITTRIANGLE", {7, 12}},
      {"HEAD", {10, 10}},
  };
  for (const auto& [prefix, size] : rules)
    if (name.rfind(prefix, 0) == 0)
      return size;
  return {0, 0};
}

class TSkinStoresTest : public ::testing::Test {
 protected:
  static std::unique_ptr<TOxaBitmaps> Load(const std::string& storeName)
  {
    auto store = std::make_unique<TOxaBitmaps>(nullptr);
    const auto blob = OxaSkinStore(storeName);
    if (blob)
      store->ReadData(*blob);
    return store;
  }
};

TEST_F(TSkinStoresTest, EveryStoreHasItsCountAndReadsBackByteForByte)
{
  const struct {
    const char* Store;
    int Count;
  } cases[] = {{"Icons", 267},       {"InfoIcons", 16},       {"ScanBitmaps", 23}, {"Frutiger12B", 46},
               {"Frutiger12GB", 46}, {"Frutiger12GrayB", 40}, {"Frutiger16B", 39}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Store);
    const auto blob = OxaSkinStore(c.Store);
    ASSERT_TRUE(blob.has_value());
    TOxaBitmaps store(nullptr);
    store.ReadData(*blob);
    EXPECT_EQ(store.Count(), c.Count);
    EXPECT_EQ(store.Data(), *blob);
  }
  EXPECT_FALSE(OxaSkinStore("Icon").has_value());
  EXPECT_FALSE(OxaSkinStore("").has_value());
}

TEST_F(TSkinStoresTest, EveryImageIs24BitWithAnEmptyNodeRectangle)
{
  for (const std::string& storeName : OxaSkinStoreNames()) {
    const auto store = Load(storeName);
    for (int i = 0; i < store->Count(); ++i) {
      SCOPED_TRACE(storeName + "/" + store->Names(i));
      TOxaBitmap* image = store->Bitmaps(i);
      EXPECT_EQ(image->PixelFormat(), 6);
      EXPECT_EQ(image->Left(), 0);
      EXPECT_EQ(image->Top(), 0);
      EXPECT_EQ(image->Width(), 0);
      EXPECT_EQ(image->Height(), 0);
      EXPECT_GT(image->ImageWidth(), 0);
      EXPECT_GT(image->ImageHeight(), 0);
    }
  }
}

TEST_F(TSkinStoresTest, MusicStoreHoldsExactlyEveryNameAtItsSize)
{
  const auto store = Load("Icons");
  const std::vector<std::string> names = MusicNames();
  EXPECT_EQ(int(names.size()), 267);
  EXPECT_EQ(store->Count(), int(names.size()));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    TOxaBitmap* image = store->Find(name);
    ASSERT_NE(image, nullptr);
    const TSize size = ExpectedSize(name);
    if (size.Width != 0) {
      EXPECT_EQ(image->ImageWidth(), size.Width);
    }
    if (size.Height != 0) {
      EXPECT_EQ(image->ImageHeight(), size.Height);
    }
  }
}

TEST_F(TSkinStoresTest, DragInsertMarkersGrowFromTwoRowsToTheFullIcon)
{
  const auto store = Load("Icons");
  for (const char* set : {"A", "B", "C", "D"}) {
    int previous = 0;
    for (int step = 1; step <= 10; ++step) {
      const std::string name = std::string("DRAGINSERT") + set + std::to_string(step);
      SCOPED_TRACE(name);
      TOxaBitmap* image = store->Find(name);
      ASSERT_NE(image, nullptr);
      const int h = image->ImageHeight();
      if (step == 1) {
        EXPECT_EQ(h, 2);
      }
      if (step == 10) {
        EXPECT_EQ(h, 47);
      }
      EXPECT_GT(h, previous);
      previous = h;
    }
    EXPECT_EQ(store->Find(std::string("DRAGINSERT") + set + "11"), nullptr);
    EXPECT_EQ(store->Find(std::string("DRAGINSERT") + set + "0"), nullptr);
  }
}

TEST_F(TSkinStoresTest, InfoAndScanStoresHoldEveryNameAtItsSize)
{
  const struct {
    const char* Store;
    const char* Names;
  } cases[] = {
      {"InfoIcons",
       "ALB-INFO ART-INFO FOL-INFO GEN-INFO TIT-INFO ALBUM ARTIST DURATION ELAPSED GENRE LOCATION QUALITY "
       "REMAINING TITLE EDITTRIANGLE HEAD"},
      {"ScanBitmaps",
       "CHECKBOXN CHECKBOXNA CHECKBOXNAS CHECKBOXNS CHECKBOXR CHECKBOXRA CHECKBOXRAS CHECKBOXRS RADIOBUTTONN "
       "RADIOBUTTONNA RADIOBUTTONNAS RADIOBUTTONNS RADIOBUTTONR RADIOBUTTONRA RADIOBUTTONRAS RADIOBUTTONRS "
       "ARROWUPR ARROWUPRA STARTR STARTRA STOPR STOPRA SCANSCROLLBAR"},
  };
  for (const auto& c : cases) {
    const auto store = Load(c.Store);
    const auto names = Words(c.Names);
    EXPECT_EQ(store->Count(), int(names.size()));
    for (const std::string& name : names) {
      SCOPED_TRACE(name);
      TOxaBitmap* image = store->Find(name);
      ASSERT_NE(image, nullptr);
      const TSize size = ExpectedSize(name);
      if (std::string(c.Store) == "InfoIcons" && size.Width == 0) {
        EXPECT_EQ(image->ImageHeight(), 12);
      }  // the field captions
      if (size.Width != 0) {
        EXPECT_EQ(image->ImageWidth(), size.Width);
      }
      if (size.Height != 0) {
        EXPECT_EQ(image->ImageHeight(), size.Height);
      }
    }
  }
}

// The checked look differs from the unchecked one: a checkbox that cannot show its state is
// useless.
TEST_F(TSkinStoresTest, CheckedLooksDifferFromUnchecked)
{
  const auto store = Load("ScanBitmaps");
  for (const char* base : {"CHECKBOX", "RADIOBUTTON"})
    for (const char* look : {"N", "NA", "R", "RA"}) {
      const std::string off = std::string(base) + look;
      SCOPED_TRACE(off);
      TOxaBitmap* a = store->Find(off);
      TOxaBitmap* b = store->Find(off + "S");
      ASSERT_TRUE(a != nullptr && b != nullptr);
      EXPECT_NE(a->GetPixel(7, 7), b->GetPixel(7, 7));
    }
}

// The list icons' codes: the third character is the tile (the row's background), the second the
// symbol. Reading the corner and the centre of each icon catches a swapped template.
TEST_F(TSkinStoresTest, IconCodesColourTileAndSymbol)
{
  const std::map<char, TOxaColor> grey = {
      {'B', 0x000000}, {'1', 0x464646}, {'2', 0x969696}, {'4', 0xF0F0F0}, {'5', 0x606060}};
  const auto store = Load("Icons");
  const struct {
    const char* Name;
    int SymbolX;
    int SymbolY;
  } cases[] = {{"ALB-212", 23, 10}, {"ALB-44B", 23, 10}, {"FOL-2B2", 10, 30}, {"TRA-441", 23, 40},
               {"GEN-225", 37, 30}, {"FAV-22B", 23, 23}, {"ART-445", 23, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOxaBitmap* image = store->Find(c.Name);
    ASSERT_NE(image, nullptr);
    const std::string code = std::string(c.Name).substr(4);
    EXPECT_EQ(image->GetPixel(0, 0), grey.at(code[2]));
    EXPECT_EQ(image->GetPixel(c.SymbolX, c.SymbolY), grey.at(code[1]));
  }
  // Track icons keep the centre in the tile's colour for the number.
  for (const std::string& code : Words("2X1 2X2 2X5 2XB 4X1 4X2 4X4 4X5")) {
    TOxaBitmap* image = store->Find("TRK-" + code);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetPixel(23, 23), grey.at(code[2])) << code;
    EXPECT_EQ(image->GetPixel(23, 3), grey.at(code[0])) << code;
  }
}

// The list view's appearance tables (state 0 to 31, seven code characters each): characters 3
// to 5 name the icon (tracks: 3, "X", 5). Every entry must find its icon, and its symbol must stand
// out from its tile, or a row in that state shows a blank square.
TEST_F(TSkinStoresTest, EveryAppearanceEntryFindsAVisibleIcon)
{
  const std::string others =
      "1222131 1222535 1221231 1221235 14441W1 14445W5 14442W1 14442W5 1222131 1222535 1221231 1221235 "
      "14441W1 14445W5 14442W1 14442W5 B222B3B B222535 B22B23B B22B235 B444BWB B4445W5 B4442WB B4442W5 "
      "B222B3B B222535 B22B23B B22B235 B444BWB B4445W5 B4442WB B4442W5";
  const std::string tracks =
      "1122131 1522535 1121231 1521235 11414W1 15414W5 114W2W1 154W2W5 1222131 1222535 1221231 1221235 "
      "12414W1 12414W5 124W2W1 124W2W5 BB22B3B B522535 BB2B23B B52B235 BB4B4WB B54B4W5 BB4W2WB B54W2W5 "
      "B222B3B B22B235 B22B23B B22B235 B24B4WB B24B4W5 B24W2WB B24W2W5";
  const std::map<char, TOxaColor> grey = {{'B', 0x000000}, {'1', 0x464646}, {'2', 0x969696}, {'3', 0xA0A0A0},
                                          {'4', 0xF0F0F0}, {'5', 0x606060}, {'W', 0xFFFFFF}};
  const auto store = Load("Icons");
  const auto otherEntries = Words(others);
  const auto trackEntries = Words(tracks);
  ASSERT_EQ(otherEntries.size(), 32U);
  ASSERT_EQ(trackEntries.size(), 32U);
  for (int state = 0; state < 32; ++state) {
    const std::string& entry = otherEntries[std::size_t(state)];
    const struct {
      const char* Prefix;
      int X;
      int Y;
    } symbols[] = {{"FAV-", 23, 23}, {"ALB-", 23, 10}, {"GEN-", 37, 30},
                   {"ART-", 23, 16}, {"FOL-", 10, 30}, {"TIT-", 19, 20}};
    for (const auto& symbol : symbols) {
      const std::string name = symbol.Prefix + entry.substr(2, 3);
      TOxaBitmap* icon = store->Find(name);
      ASSERT_NE(icon, nullptr) << name << " state " << state;
      EXPECT_EQ(icon->GetPixel(0, 0), grey.at(entry[4])) << name << " state " << state;
      EXPECT_NE(icon->GetPixel(symbol.X, symbol.Y), icon->GetPixel(0, 0)) << name << " state " << state;
    }
    const std::string& track = trackEntries[std::size_t(state)];
    const std::string name = std::string("TRK-") + track[2] + "X" + track[4];
    TOxaBitmap* icon = store->Find(name);
    ASSERT_NE(icon, nullptr) << name << " state " << state;
    // The number is drawn on character 5's colour in the icon's centre.
    EXPECT_EQ(icon->GetPixel(23, 23), grey.at(track[4])) << name << " state " << state;
  }
}

struct TGlyphCase {
  const char* Store;
  int Rows;
  int Count;
  std::vector<std::pair<int, int>> Bands;  // FontTop, FontHeight
};

const std::vector<TGlyphCase>& GlyphCases()
{
  static const std::vector<TGlyphCase> cases = {
      {"Frutiger12B", 44, 46, {{2, 12}, {17, 12}, {32, 12}}},
      {"Frutiger12GB", 44, 46, {{2, 12}, {17, 12}, {32, 12}}},
      {"Frutiger12GrayB", 35, 40, {{2, 12}, {20, 12}}},
      {"Frutiger16B", 25, 39, {{0, 25}}},
  };
  return cases;
}

TEST_F(TSkinStoresTest, GlyphStoresHaveOneHeightAndTheirNames)
{
  for (const TGlyphCase& c : GlyphCases()) {
    SCOPED_TRACE(c.Store);
    const auto store = Load(c.Store);
    EXPECT_EQ(store->Count(), c.Count);
    std::set<std::string> known;
    for (int code = 0; code < 256; ++code)
      known.insert(std::string(GlyphName(code)));
    for (int i = 0; i < store->Count(); ++i) {
      EXPECT_EQ(store->Bitmaps(i)->ImageHeight(), c.Rows) << store->Names(i);
      EXPECT_EQ(known.count(store->Names(i)), 1U) << store->Names(i);
    }
    for (const auto& [top, height] : c.Bands)
      EXPECT_LE(top + height, c.Rows);
    for (const char* name : {"_SPACE", "0", "9", "UA", "UZ"})
      EXPECT_NE(store->Find(name), nullptr) << name;
  }
  const auto gray = Load("Frutiger12GrayB");
  for (const char* name : {"C196", "C214", "C220"})
    EXPECT_NE(gray->Find(name), nullptr) << name;
  const auto big = Load("Frutiger16B");
  for (const char* name : {"_MINUS", "_UNDERSCORE"})
    EXPECT_NE(big->Find(name), nullptr) << name;
  EXPECT_EQ(big->Find("_AT"), nullptr);
}

// The national capitals keep their marks inside the band: clipped, they would read as A, O, U.
TEST_F(TSkinStoresTest, NationalCapitalsDifferFromTheirPlainLetters)
{
  const auto store = Load("Frutiger12GrayB");
  const struct {
    const char* Marked;
    const char* Plain;
  } cases[] = {{"C196", "UA"}, {"C214", "UO"}, {"C220", "UU"}};
  for (const auto& c : cases) {
    TOxaBitmap* marked = store->Find(c.Marked);
    TOxaBitmap* plain = store->Find(c.Plain);
    ASSERT_TRUE(marked != nullptr && plain != nullptr) << c.Marked;
    for (const int top : {2, 20}) {
      int differing = 0;
      const int width = std::min(marked->ImageWidth(), plain->ImageWidth());
      for (int y = top; y < top + 3; ++y)
        for (int x = 0; x < width; ++x)
          differing += marked->GetPixel(x, y) != plain->GetPixel(x, y) ? 1 : 0;
      EXPECT_GE(differing, 2) << c.Marked << " band " << top;
    }
  }
}

// The layout takes each band's key colour from the space glyph at (0, FontTop): every pixel of
// the band in the space glyph must be it, and every other glyph must show ink in the band that
// is not the key (ink equal to it would be drawn as a hole).
TEST_F(TSkinStoresTest, BandsKeepTheirKeyColourAndInkNeverEqualsIt)
{
  for (const TGlyphCase& c : GlyphCases()) {
    SCOPED_TRACE(c.Store);
    const auto store = Load(c.Store);
    TOxaBitmap* space = store->Find("_SPACE");
    ASSERT_NE(space, nullptr);
    for (const auto& [top, height] : c.Bands) {
      const TOxaColor key = space->GetPixel(0, top);
      for (int y = top; y < top + height; ++y)
        for (int x = 0; x < space->ImageWidth(); ++x)
          ASSERT_EQ(space->GetPixel(x, y), key) << x << "," << y;
      for (int i = 0; i < store->Count(); ++i) {
        if (store->Names(i) == "_SPACE")
          continue;
        TOxaBitmap* glyph = store->Bitmaps(i);
        int ink = 0;
        for (int y = top; y < top + height; ++y)
          for (int x = 0; x < glyph->ImageWidth(); ++x)
            if (glyph->GetPixel(x, y) != key)
              ++ink;
        EXPECT_GT(ink, 2) << store->Names(i) << " band " << top;
        // The left edge column at FontTop is the key in every glyph, so glyphs read alike.
        EXPECT_EQ(glyph->GetPixel(0, top), key) << store->Names(i);
      }
    }
  }
}

TEST_F(TSkinStoresTest, CursorsHaveTheirNamesSizesAndHotspotsOnInk)
{
  const auto cursors = OxaSkinCursors();
  std::map<std::string, const TOxaSkinCursor*> byName;
  for (const TOxaSkinCursor& c : cursors)
    byName[c.Name] = &c;
  for (const auto& entry : TMusicAssetsForm::Cursors) {
    SCOPED_TRACE(entry.Resource);
    ASSERT_EQ(byName.count(entry.Resource), 1U);
    const TOxaSkinCursor& c = *byName[entry.Resource];
    EXPECT_EQ(c.Width, 32);
    EXPECT_EQ(c.Height, 32);
    ASSERT_EQ(c.Argb.size(), 32U * 32U);
    EXPECT_GE(c.HotspotX, 0);
    EXPECT_LT(c.HotspotX, c.Width);
    EXPECT_GE(c.HotspotY, 0);
    EXPECT_LT(c.HotspotY, c.Height);
    int opaque = 0;
    bool nearHotspot = false;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        if ((c.Argb[std::size_t(y) * 32 + x] >> 24) > 128) {
          ++opaque;
          if (std::abs(x - c.HotspotX) <= 3 && std::abs(y - c.HotspotY) <= 3)
            nearHotspot = true;
        }
    if (std::string(entry.Resource) == "CUR_INVISIBLE") {
      EXPECT_EQ(opaque, 0);
    } else {
      EXPECT_GT(opaque, 20);
      EXPECT_TRUE(nearHotspot);
    }
  }
  EXPECT_EQ(byName.size(), 13U);
}

// Names the views build at run time, found through the containers as the views find them.
TEST_F(TSkinStoresTest, ContainersFindTheNamesTheViewsLookUp)
{
  UseHeadlessDisplay();
  EXPECT_TRUE(OxaSkinRegisterCursors());
  TTraceCapture trace;
  TMusicAssetsForm music(nullptr, &OxaSkinStore);
  // Every cursor the container installs is one the skin registered.
  EXPECT_FALSE(trace.Contains("Failed to load cursor"));
  TOxaMusicInfoAssetsForm info(nullptr, &OxaSkinStore);
  TOxaMusicScanAssetsForm scan(nullptr, &OxaSkinStore);
  for (const char* view : {"Album", "Artist", "Favorite", "Folder", "Genre", "Title", "Trash"}) {
    EXPECT_NE(music.Icons->Find(std::string("Show") + view + "N"), nullptr) << view;
    EXPECT_NE(music.Icons->Find(std::string("View") + view + "NA"), nullptr) << view;
  }
  for (int i = 1; i <= 12; ++i)
    EXPECT_NE(music.Icons->Find("ViewAnimation" + std::to_string(i) + "N"), nullptr) << i;
  for (const char* button :
       {"ShowInfo", "HideInfo", "ShowList", "HideList", "ShowEdit", "HideEdit", "New", "Delete"})
    for (const char* suffix : {"R", "RA"})
      EXPECT_NE(music.Icons->Find(std::string(button) + suffix), nullptr) << button << suffix;
  EXPECT_NE(info.Store("InfoIcons")->Find("tit-info"), nullptr);
  EXPECT_NE(scan.Store("ScanBitmaps")->Find("CheckBoxNAS"), nullptr);
  EXPECT_EQ(scan.Store("Frutiger12B")->Count(), 46);
  EXPECT_EQ(music.Frutiger12GrayB->Count(), 40);
}

TEST_F(TSkinStoresTest, StoresReadInPlaceGiveTheImagesAStreamReadGives)
{
  for (const std::string& storeName : OxaSkinStoreNames()) {
    SCOPED_TRACE(storeName);
    const std::optional<std::string_view> bytes = OxaSkinStoreBytes(storeName);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(std::string(*bytes), *OxaSkinStore(storeName));
    TOxaBitmaps inPlace(nullptr);
    inPlace.ReadStaticData(*bytes);
    EXPECT_EQ(inPlace.PendingCount(), inPlace.Count());
    TOxaBitmaps eager(nullptr);
    TMemoryStream stream;
    stream.WriteBuffer(bytes->data(), std::int64_t(bytes->size()));
    stream.SetPosition(0);
    eager.ReadData(stream);
    ASSERT_EQ(inPlace.Count(), eager.Count());
    for (int i = 0; i < eager.Count(); ++i) {
      TMemoryStream made;
      TMemoryStream madeLate;
      eager.Bitmaps(i)->SaveToStream(made);
      TOxaBitmap* late = inPlace.Find(eager.Names(i));
      ASSERT_NE(late, nullptr) << eager.Names(i);
      late->SaveToStream(madeLate);
      ASSERT_EQ(made.Size(), madeLate.Size()) << eager.Names(i);
      EXPECT_EQ(std::memcmp(made.Memory(), madeLate.Memory(), std::size_t(made.Size())), 0) << eager.Names(i);
    }
    EXPECT_EQ(inPlace.PendingCount(), 0);
  }
  EXPECT_FALSE(OxaSkinStoreBytes("Icon").has_value());
}

TEST_F(TSkinStoresTest, ContainersOnTheCompiledInBytesMakeOnlyTheImagesLookedUp)
{
  UseHeadlessDisplay();
  const TOxaStoreSource inPlace = [](std::string_view name) {
    const std::optional<std::string_view> bytes = OxaSkinStoreBytes(name);
    return bytes ? TOxaStoreBlob::Compiled(*bytes) : TOxaStoreBlob{};
  };
  TMusicAssetsForm music(nullptr, inPlace);
  // The glyph fonts take their glyphs at once; the icons wait for the views.
  EXPECT_EQ(music.Icons->Count(), 267);
  EXPECT_EQ(music.Icons->PendingCount(), 267);
  ASSERT_NE(music.Icons->Find("ShowAlbumN"), nullptr);
  EXPECT_EQ(music.Icons->PendingCount(), 266);
  TOxaMusicScanAssetsForm scan(nullptr, inPlace);
  EXPECT_NE(scan.Store("ScanBitmaps")->Find("CheckBoxNAS"), nullptr);
  // A copy handed over works the same.
  TOxaMusicInfoAssetsForm info(nullptr, &OxaSkinStore);
  EXPECT_EQ(info.Store("InfoIcons")->PendingCount(), 16);
  EXPECT_NE(info.Store("InfoIcons")->Find("tit-info"), nullptr);
}

}  // namespace
