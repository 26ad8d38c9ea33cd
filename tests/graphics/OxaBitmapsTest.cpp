#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"
#include "tests/graphics/ChangeCounter.h"
#include "tests/graphics/GlyphStore.h"

namespace {

std::string FatalText(const std::function<void()>& action)
{
  try {
    action();
  } catch (const EOxaFatal& e) {
    return e.what();
  }
  return "";
}

std::string Word(std::uint32_t value)
{
  return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

// A 1 × 1 24-bit image record (one row padded to 4 bytes).
std::string OnePixel(std::uint8_t blue = 1, std::uint8_t green = 2, std::uint8_t red = 3)
{
  return Word(0xFF439ECF) + Word(0) + Word(0) + Word(0) + Word(0) + Word(1) + Word(1) + char(6) +
         std::string{char(blue), char(green), char(red), 0};
}

std::string Blob(const std::string& note, const std::vector<std::string>& names)
{
  std::string blob = Word(std::uint32_t(note.size())) + note + Word(std::uint32_t(names.size()));
  for (const std::string& name : names) {
    blob += Word(std::uint32_t(name.size())) + name + OnePixel();
  }
  return blob;
}

class TStoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
};

TEST_F(TStoreTest, FindIgnoresCaseThenAsksTheParent)
{
  TOwnedObject<TOxaBitmaps> parent(new TOxaBitmaps(nullptr));
  glyphs::AddGlyph(*Store, "ALB-212", 47, 1, 47);
  glyphs::AddGlyph(*Store, "ART-212", 47, 2, 47);
  glyphs::AddGlyph(*parent, "HEAD", 10, 3, 10);
  glyphs::AddGlyph(*parent, "ALB-212", 5, 4, 5);
  Store->SetParent(parent.get());
  const struct {
    const char* Name;
    int Width;
  } cases[] = {{"alb-212", 47}, {"ALB-212", 47}, {"Art-212", 47}, {"head", 10},
               {"ALB-21", 0},   {"ALB-2120", 0}, {"", 0},         {"ZZZ", 0}};
  for (const auto& c : cases) {
    TOxaBitmap* found = Store->Find(c.Name);
    EXPECT_EQ(found != nullptr ? found->ImageWidth() : 0, c.Width) << c.Name;
  }
  // The parent going leaves the store without one.
  parent.reset();
  EXPECT_EQ(Store->Parent(), nullptr);
  EXPECT_EQ(Store->Find("HEAD"), nullptr);
}

TEST_F(TStoreTest, ParentCycleRaisesAndLeavesTheChain)
{
  TOwnedObject<TOxaBitmaps> parent(new TOxaBitmaps(nullptr));
  TOwnedObject<TOxaBitmaps> grand(new TOxaBitmaps(nullptr));
  Store->SetParent(parent.get());
  parent->SetParent(grand.get());
  for (TOxaBitmaps* store : {Store.get(), parent.get()}) {
    EXPECT_EQ(FatalText([&] { grand->SetParent(store); }),
              "TOxaBitmaps.SetParent: Parent can not be a child or self");
  }
  EXPECT_EQ(FatalText([&] { Store->SetParent(Store.get()); }),
            "TOxaBitmaps.SetParent: Parent can not be a child or self");
  EXPECT_EQ(grand->Parent(), nullptr);
  EXPECT_EQ(Store->Parent(), parent.get());
}

TEST_F(TStoreTest, NamesStaySortedAndAFreedImageLeavesItsName)
{
  for (const char* name : {"b", "C", "a", "B"}) {
    glyphs::AddGlyph(*Store, name, 2, 0);
  }
  ASSERT_EQ(Store->Count(), 3);  // "B" replaced "b"
  EXPECT_EQ(Store->Names(0), "a");
  EXPECT_EQ(Store->Names(1), "B");
  EXPECT_EQ(Store->Names(2), "C");
  FreeObject(Store->Bitmaps(1));
  ASSERT_EQ(Store->Count(), 2);
  EXPECT_EQ(Store->Find("B"), nullptr);
  EXPECT_EQ(Store->Names(1), "C");
  EXPECT_EQ(FatalText([&] { Store->Names(2); }), "TOxaBitmaps.Names: Index out of bounds");
  EXPECT_EQ(FatalText([&] { glyphs::AddGlyph(*Store, std::string(256, 'N'), 1, 0); }),
            "TOxaBitmaps.Add: Name too long");
  glyphs::AddGlyph(*Store, std::string(255, 'N'), 1, 0);
  EXPECT_EQ(Store->Count(), 3);
}

TEST_F(TStoreTest, AddKeepsAPrivateCopy)
{
  TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
  image->ChangeImageSize(2, 2, opf24Bit);
  image->FillRect(RECT{0, 0, 2, 2}, 0x112233);
  TOxaBitmap* stored = Store->Add("X", *image);
  image->FillRect(RECT{0, 0, 2, 2}, 0x445566);
  EXPECT_EQ(stored->GetPixel(1, 1), 0x112233U);
  image.reset();
  EXPECT_EQ(Store->Find("x"), stored);
}

TEST_F(TStoreTest, BlobSizesAndRoundTrip)
{
  Store->ReadData(Blob("", {}));
  EXPECT_EQ(Store->Count(), 0);
  const std::string note = "path=C:\\skin\r\nA=a.bmp";
  const std::string one = Blob(note, {"A"});
  EXPECT_EQ(one.size(), 4 + note.size() + 4 + 4 + 1 + 29 + 4);
  Store->ReadData(one);
  ASSERT_EQ(Store->Count(), 1);
  EXPECT_EQ(Store->Note(), note);
  EXPECT_EQ(Store->Find("a")->GetPixel(0, 0), 0x010203U);  // red in the low byte
  EXPECT_EQ(Store->Data(), one);
  const std::string three = Blob("", {"A", "b", "C"});
  Store->ReadData(three);
  EXPECT_EQ(Store->Count(), 3);
  EXPECT_EQ(Store->Data(), three);
}

TEST_F(TStoreTest, BadBlobsRaiseAndLeaveTheStore)
{
  const std::string good = Blob("n", {"A", "B"});
  const std::string longNote(kOxaMaxStoreNote + 1, 'x');
  const std::string longName(kOxaMaxStoreName + 1, 'N');
  const struct {
    std::string Blob;
    bool Accepted;
  } cases[] = {
      {good, true},
      {good.substr(0, good.size() - 1), false},
      {good.substr(0, 3), false},
      {good.substr(0, 5), false},
      {good.substr(0, 9), false},
      {good.substr(0, 11), false},
      {Word(0) + Word(kOxaMaxStoreCount + 1), false},
      {Word(100) + "n", false},
      {Blob("", {"B", "A"}), false},
      {Blob("", {"A", "a"}), false},
      {Blob("", {longName}), false},
      {Blob("", {longName.substr(1)}), true},
      {Blob(longNote, {}), false},
      {Blob(longNote.substr(1), {}), true},
      {Word(0) + Word(1) + Word(1) + "A" + Word(0x12345678) + OnePixel().substr(4), false},
      {Word(0) + Word(1) + Word(1) + "A" + OnePixel().substr(0, 28) + char(2) + OnePixel().substr(29), false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
    glyphs::AddGlyph(*store, "KEPT", 3, 7);
    store->SetNote("old");
    const std::string message = FatalText([&] { store->ReadData(cases[i].Blob); });
    if (cases[i].Accepted) {
      EXPECT_EQ(message, "") << i;
      EXPECT_EQ(store->Data(), cases[i].Blob) << i;
    } else {
      EXPECT_NE(message.find("LoadFromStream: Invalid graphic format"), std::string::npos) << i << message;
      ASSERT_EQ(store->Count(), 1) << i;
      EXPECT_NE(store->Find("KEPT"), nullptr) << i;
      EXPECT_EQ(store->Note(), "old") << i;
    }
  }
}

TEST_F(TStoreTest, ReadingTellsObserversOnce)
{
  TCounter counter;
  counter.Watch(*Store);
  Store->ReadData(Blob("", {"A", "B", "C"}));
  EXPECT_EQ(counter.Changes, 1);
  counter.Unwatch(*Store);
}

TEST_F(TStoreTest, AssignCopiesImagesAndParent)
{
  TOwnedObject<TOxaBitmaps> parent(new TOxaBitmaps(nullptr));
  Store->ReadData(Blob("note", {"A", "B"}));
  Store->SetParent(parent.get());
  TOwnedObject<TOxaBitmaps> copy(new TOxaBitmaps(nullptr));
  glyphs::AddGlyph(*copy, "OLD", 1, 0);
  copy->Assign(*Store);
  EXPECT_EQ(copy->Parent(), parent.get());
  EXPECT_EQ(copy->Data(), Store->Data());
  EXPECT_NE(copy->Find("A"), Store->Find("A"));
  EXPECT_EQ(copy->Find("OLD"), nullptr);
  Store->Assign(*Store);
  EXPECT_EQ(Store->Count(), 2);
}

class TSetTest : public ::testing::Test {};

TEST_F(TSetTest, FontsInheritThroughTwoParentsAndADestroyedFontClearsItsEntry)
{
  TCounter counter;
  TOwnedObject<TOxaFonts> grand(new TOxaFonts(nullptr));
  TOwnedObject<TOxaFonts> parent(new TOxaFonts(nullptr));
  TOwnedObject<TOxaFonts> set(new TOxaFonts(nullptr));
  TOwnedObject<TOxaFont> a(new TOxaFont(nullptr));
  TOwnedObject<TOxaFont> b(new TOxaFont(nullptr));
  TOwnedObject<TOxaFont> c(new TOxaFont(nullptr));
  set->SetParent(parent.get());
  parent->SetParent(grand.get());
  grand->SetItems(osNormal, a.get());
  grand->SetItems(37, a.get());
  parent->SetItems(osRollover, b.get());
  set->SetItems(osNormal, c.get());
  const struct {
    int State;
    TOxaFont* Font;
  } cases[] = {
      {osNormal, c.get()}, {osRollover, b.get()}, {37, a.get()}, {osNormalActive, nullptr}, {-1, nullptr}};
  for (const auto& e : cases) {
    EXPECT_EQ(set->Items(e.State), e.Font) << e.State;
  }
  counter.Watch(*set);
  set->SetItems(osNormal, c.get());
  EXPECT_EQ(counter.Changes, 0);
  c->SetCharacterSpacing(4);  // a change of a font in the set is the set's change
  EXPECT_EQ(counter.Changes, 1);
  c.reset();
  EXPECT_EQ(set->EntryCount(), 0);
  EXPECT_EQ(set->Items(osNormal), a.get());
  EXPECT_EQ(counter.Changes, 2);
  a.reset();  // held twice by the grandparent
  EXPECT_EQ(grand->EntryCount(), 0);
  EXPECT_EQ(set->Items(37), nullptr);
  parent.reset();
  EXPECT_EQ(set->Parent(), nullptr);
  counter.Unwatch(*set);
}

TEST_F(TSetTest, CyclesRaise)
{
  TOwnedObject<TOxaColors> parent(new TOxaColors(nullptr));
  TOwnedObject<TOxaColors> set(new TOxaColors(nullptr));
  set->SetParent(parent.get());
  EXPECT_EQ(FatalText([&] { parent->SetParent(set.get()); }),
            "TOxaColors.SetParent: Parent can not be a child or self");
  EXPECT_EQ(FatalText([&] { set->SetParent(set.get()); }),
            "TOxaColors.SetParent: Parent can not be a child or self");
  TOwnedObject<TOxaFonts> fonts(new TOxaFonts(nullptr));
  EXPECT_EQ(FatalText([&] { fonts->SetParent(fonts.get()); }),
            "TOxaFonts.SetParent: Parent can not be a child or self");
}

TEST_F(TSetTest, ColoursOneEntryPerStateAndNoneWhenNoSetHasOne)
{
  TCounter counter;
  TOwnedObject<TOxaColors> parent(new TOxaColors(nullptr));
  TOwnedObject<TOxaColors> set(new TOxaColors(nullptr));
  set->SetParent(parent.get());
  for (int state = 0; state < 5; ++state) {
    set->SetItems(state, 0);
  }
  set->SetItems(0, 0x808080);
  set->SetItems(1, 0xFFFFFF);
  parent->SetItems(21, 0x404040);
  EXPECT_EQ(set->EntryCount(), 5);
  EXPECT_EQ(set->Items(0), 0x808080U);
  EXPECT_EQ(set->Items(1), 0xFFFFFFU);
  EXPECT_EQ(set->Items(2), 0U);
  EXPECT_EQ(set->Items(21), 0x404040U);
  EXPECT_FALSE(set->Items(22).has_value());
  counter.Watch(*set);
  set->SetItems(1, 0xFFFFFF);
  EXPECT_EQ(counter.Changes, 0);
  parent->SetItems(22, 1);
  EXPECT_EQ(counter.Changes, 1);
  counter.Unwatch(*set);
}

}  // namespace
