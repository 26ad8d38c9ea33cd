// Stores read from bytes make each image on its first lookup; what they give must be what a
// store read from a stream (every image made at once) gives.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"
#include "rtl/Stream.h"
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

struct TRecordSpec {
  std::int32_t Left, Top, Width, Height, ImageWidth, ImageHeight;
  int Format;
  int BytesPerPixel;
};

// An image record whose pixel bytes count up from seed, padding included.
std::string Record(const TRecordSpec& spec, std::uint8_t seed)
{
  std::string record = Word(kOxaImageMagic) + Word(std::uint32_t(spec.Left)) + Word(std::uint32_t(spec.Top)) +
                       Word(std::uint32_t(spec.Width)) + Word(std::uint32_t(spec.Height)) +
                       Word(std::uint32_t(spec.ImageWidth)) + Word(std::uint32_t(spec.ImageHeight)) +
                       char(spec.Format);
  const std::size_t stride = std::size_t((spec.ImageWidth * spec.BytesPerPixel + 3) / 4 * 4);
  for (std::size_t i = 0; i < stride * std::size_t(spec.ImageHeight); ++i) {
    record += char(seed + i * 7);
  }
  return record;
}

std::string Blob(const std::string& note, const std::vector<std::pair<std::string, std::string>>& records)
{
  std::string blob = Word(std::uint32_t(note.size())) + note + Word(std::uint32_t(records.size()));
  for (const auto& [name, record] : records) {
    blob += Word(std::uint32_t(name.size())) + name + record;
  }
  return blob;
}

// Every format a record may have, rows with and without padding, and empty surfaces.
std::vector<std::pair<std::string, std::string>> MixedRecords()
{
  return {
      {"A8", Record({0, 0, 3, 2, 3, 2, opf8Bit, 1}, 1)},
      {"B16", Record({1, 2, 3, 4, 3, 5, opf16Bit, 2}, 2)},
      {"C24", Record({-4, 5, 7, 1, 5, 3, opf24Bit, 3}, 3)},
      {"D32", Record({0, 0, 4, 4, 4, 4, opf32Bit, 4}, 4)},
      {"E-empty-wide", Record({0, 0, 0, 0, 0, 6, opf24Bit, 3}, 5)},
      {"F-empty-high", Record({0, 0, 9, 0, 9, 0, opf32Bit, 4}, 6)},
  };
}

std::string Saved(TOxaBitmap& image)
{
  TMemoryStream stream;
  image.SaveToStream(stream);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), std::size_t(stream.Size()));
}

void ReadEager(TOxaBitmaps& store, const std::string& blob)
{
  TMemoryStream stream;
  stream.WriteBuffer(blob.data(), std::int64_t(blob.size()));
  stream.SetPosition(0);
  store.ReadData(stream);
}

class TLazyStoreTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }
  TOwnedObject<TOxaBitmaps> Store{new TOxaBitmaps(nullptr)};
};

TEST_F(TLazyStoreTest, TheFirstLookupMakesTheImageAndLaterOnesFindIt)
{
  Store->ReadData(Blob("n", MixedRecords()));
  ASSERT_EQ(Store->Count(), 6);
  EXPECT_EQ(Store->PendingCount(), 6);
  TCounter counter;
  counter.Watch(*Store);
  const std::uint64_t revision = Store->Revision();

  TOxaBitmap* first = Store->Find("c24");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Store->PendingCount(), 5);
  EXPECT_EQ(Store->Find("C24"), first);
  EXPECT_EQ(Store->Bitmaps(2), first);
  EXPECT_EQ(Store->PendingCount(), 5);
  // Names need no image.
  EXPECT_EQ(Store->Names(0), "A8");
  EXPECT_EQ(Store->PendingCount(), 5);
  EXPECT_EQ(Store->Find("missing"), nullptr);
  EXPECT_EQ(Store->PendingCount(), 5);

  // Making an image is no change of the store.
  EXPECT_EQ(counter.Changes, 0);
  EXPECT_EQ(Store->Revision(), revision);
  counter.Unwatch(*Store);
}

TEST_F(TLazyStoreTest, EveryImageEqualsTheOneAStreamReadMakes)
{
  const std::string blob = Blob("note", MixedRecords());
  TOwnedObject<TOxaBitmaps> eager(new TOxaBitmaps(nullptr));
  ReadEager(*eager, blob);
  EXPECT_EQ(eager->PendingCount(), 0);
  Store->ReadData(blob);
  ASSERT_EQ(Store->Count(), eager->Count());
  for (int i = 0; i < eager->Count(); ++i) {
    const std::string& name = eager->Names(i);
    TOxaBitmap* lazy = Store->Find(name);
    TOxaBitmap* made = eager->Find(name);
    ASSERT_NE(lazy, nullptr) << name;
    EXPECT_EQ(lazy->PixelFormat(), made->PixelFormat()) << name;
    EXPECT_EQ(lazy->ImageWidth(), made->ImageWidth()) << name;
    EXPECT_EQ(lazy->ImageHeight(), made->ImageHeight()) << name;
    EXPECT_EQ(lazy->Left(), made->Left()) << name;
    EXPECT_EQ(lazy->Top(), made->Top()) << name;
    EXPECT_EQ(lazy->Width(), made->Width()) << name;
    EXPECT_EQ(lazy->Height(), made->Height()) << name;
    EXPECT_EQ(Saved(*lazy), Saved(*made)) << name;
  }
  EXPECT_EQ(Store->Note(), "note");
  EXPECT_EQ(Store->Data(), blob);
}

TEST_F(TLazyStoreTest, ADamagedRecordIsRefusedAtOnceAsAStreamReadRefusesIt)
{
  const std::string good = Record({0, 0, 2, 2, 2, 2, opf24Bit, 3}, 9);  // rows of 8 bytes
  std::string badMagic = good;
  badMagic[0] = 0;
  std::string badFormat = good;
  badFormat[28] = char(opfDevice);
  std::string negativeWidth = good;
  negativeWidth.replace(20, 4, Word(std::uint32_t(-1)));
  std::string tooWide = good;
  tooWide.replace(20, 4, Word(std::uint32_t(kOxaMaxImageSide + 1)));
  std::string tooHigh = good;
  tooHigh.replace(24, 4, Word(std::uint32_t(kOxaMaxImageSide + 1)));
  const struct {
    const char* What;
    std::string Damaged;
    bool Accepted;
  } cases[] = {
      {"good", good, true},
      {"magic", badMagic, false},
      {"device format", badFormat, false},
      {"negative width", negativeWidth, false},
      {"wider than the cap", tooWide, false},
      {"higher than the cap", tooHigh, false},
      {"header cut", good.substr(0, kOxaImageHeaderSize - 1), false},
      {"header only", good.substr(0, kOxaImageHeaderSize), false},
      {"last row one byte short", good.substr(0, good.size() - 1), false},
  };
  for (const auto& c : cases) {
    // The damaged record sits between good ones, last in the blob when it is cut short.
    const bool cut = c.Damaged.size() < good.size();
    std::vector<std::pair<std::string, std::string>> records = {{"A", good}, {"B", c.Damaged}};
    if (!cut) {
      records.emplace_back("C", good);
    }
    const std::string blob = Blob("new", records);

    TOwnedObject<TOxaBitmaps> eager(new TOxaBitmaps(nullptr));
    const std::string eagerMessage = FatalText([&] { ReadEager(*eager, blob); });
    TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
    glyphs::AddGlyph(*store, "KEPT", 3, 7);
    store->SetNote("old");
    const std::uint64_t revision = store->Revision();
    const std::string message = FatalText([&] { store->ReadData(blob); });
    EXPECT_EQ(message, eagerMessage) << c.What;
    if (c.Accepted) {
      EXPECT_EQ(message, "") << c.What;
      EXPECT_EQ(store->Count(), 3) << c.What;
      EXPECT_NE(store->Find("B"), nullptr) << c.What;
      continue;
    }
    EXPECT_EQ(message, "TOxaBitmap.LoadFromStream: Invalid graphic format") << c.What;
    ASSERT_EQ(store->Count(), 1) << c.What;
    EXPECT_NE(store->Find("KEPT"), nullptr) << c.What;
    EXPECT_EQ(store->Note(), "old") << c.What;
    EXPECT_EQ(store->Revision(), revision) << c.What;
  }
}

TEST_F(TLazyStoreTest, TheStoreKeepsItsOwnCopyOfTheBytes)
{
  std::string blob = Blob("", MixedRecords());
  const std::string expected = blob;
  Store->ReadData(std::string_view(blob));
  blob.assign(blob.size(), '\xEE');
  blob.clear();
  blob.shrink_to_fit();
  EXPECT_EQ(Store->Data(), expected);

  std::string handed = expected;
  TOwnedObject<TOxaBitmaps> taken(new TOxaBitmaps(nullptr));
  taken->ReadData(std::move(handed));
  EXPECT_EQ(taken->Data(), expected);
}

TEST_F(TLazyStoreTest, EditsOfAStoreWithImagesNotMadeYet)
{
  const std::string blob = Blob("", MixedRecords());
  struct TEdit {
    const char* What;
    std::function<void(TOxaBitmaps&)> Edit;
    int Count;
    bool Changes;
  };
  const TEdit edits[] = {
      {"lookups",
       [](TOxaBitmaps& s) {
         EXPECT_NE(s.Find("A8"), nullptr);
         EXPECT_NE(s.Bitmaps(5), nullptr);
       },
       6, false},
      {"replacing an image not made", [](TOxaBitmaps& s) { glyphs::AddGlyph(s, "b16", 2, 0x123456, 2); }, 6,
       true},
      {"adding a new name", [](TOxaBitmaps& s) { glyphs::AddGlyph(s, "G", 2, 0, 2); }, 7, true},
      {"freeing a made image", [](TOxaBitmaps& s) { FreeObject(s.Find("D32")); }, 5, true},
      {"clearing", [](TOxaBitmaps& s) { s.Clear(); }, 0, true},
      {"reading again", [&blob](TOxaBitmaps& s) { s.ReadStaticData(blob); }, 6, true},
  };
  for (const TEdit& e : edits) {
    TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
    store->ReadData(blob);
    const std::uint64_t revision = store->Revision();
    e.Edit(*store);
    EXPECT_EQ(store->Count(), e.Count) << e.What;
    EXPECT_EQ(store->Revision() != revision, e.Changes) << e.What;
  }

  // A replaced entry is the new image; the others still come from the blob.
  Store->ReadData(blob);
  glyphs::AddGlyph(*Store, "B16", 2, 0x123456, 2);
  EXPECT_EQ(Store->Find("b16")->ImageWidth(), 2);
  EXPECT_EQ(Store->Find("C24")->ImageWidth(), 5);
  // A copy of a store with images not made yet is the copy of the same store read at once.
  TOwnedObject<TOxaBitmaps> eager(new TOxaBitmaps(nullptr));
  ReadEager(*eager, blob);
  glyphs::AddGlyph(*eager, "B16", 2, 0x123456, 2);
  TOwnedObject<TOxaBitmaps> eagerCopy(new TOxaBitmaps(nullptr));
  eagerCopy->Assign(*eager);
  TOwnedObject<TOxaBitmaps> copy(new TOxaBitmaps(nullptr));
  copy->Assign(*Store);
  EXPECT_EQ(copy->PendingCount(), 0);
  EXPECT_EQ(copy->Data(), eagerCopy->Data());
}

TEST_F(TLazyStoreTest, ABlobCompiledInIsReadInPlace)
{
  static const std::string compiled = Blob("in place", MixedRecords());
  Store->ReadStaticData(compiled);
  EXPECT_EQ(Store->PendingCount(), 6);
  EXPECT_EQ(Store->Note(), "in place");
  EXPECT_EQ(Store->Data(), compiled);
  EXPECT_EQ(Store->PendingCount(), 0);
}

TEST_F(TLazyStoreTest, AnImageTakenFromAnotherStoreIsMadeOnceFromItsRecord)
{
  auto source = std::make_unique<TOwnedObject<TOxaBitmaps>>(new TOxaBitmaps(nullptr));
  (*source)->ReadData(Blob("", MixedRecords()));
  TOxaBitmaps& from = **source;
  ASSERT_NE(from.Find("C24"), nullptr);  // made in the source: taken as a copy

  TCounter counter;
  counter.Watch(*Store);
  Store->AddFrom("taken-made", from, 2);
  Store->AddFrom("taken-pending", from, 1);
  Store->AddFrom("TAKEN-PENDING", from, 3);  // the same name: replaces
  EXPECT_EQ(counter.Changes, 3);
  counter.Unwatch(*Store);
  EXPECT_EQ(Store->Count(), 2);
  EXPECT_EQ(Store->PendingCount(), 1);
  EXPECT_EQ(from.PendingCount(), 5) << "nothing more is made in the source";

  // The images are the source's, whether copied or made from the shared record, and outlive
  // the source and its bytes.
  const std::string made = Saved(*from.Find("C24"));
  const std::string pending = Saved(*from.Find("D32"));
  source.reset();
  ASSERT_NE(Store->Find("taken-made"), nullptr);
  EXPECT_EQ(Saved(*Store->Find("taken-made")), made);
  ASSERT_NE(Store->Find("taken-pending"), nullptr);
  EXPECT_EQ(Saved(*Store->Find("taken-pending")), pending);
  EXPECT_EQ(Store->PendingCount(), 0);
}

TEST_F(TLazyStoreTest, TakingFromAnotherStoreChecksIndexAndName)
{
  TOwnedObject<TOxaBitmaps> from(new TOxaBitmaps(nullptr));
  from->ReadData(Blob("", MixedRecords()));
  const std::string longest(kOxaMaxStoreName, 'N');
  const struct {
    const char* What;
    std::string Name;
    int Index;
    const char* Message;
  } cases[] = {
      {"before the first", "x", -1, "TOxaBitmaps.AddFrom: Index out of bounds"},
      {"the first", "x", 0, ""},
      {"the last", "x", 5, ""},
      {"past the last", "x", 6, "TOxaBitmaps.AddFrom: Index out of bounds"},
      {"the longest name", longest, 1, ""},
      {"a name one longer", longest + "N", 1, "TOxaBitmaps.AddFrom: Name too long"},
  };
  for (const auto& c : cases) {
    TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
    EXPECT_EQ(FatalText([&] { store->AddFrom(c.Name, *from, c.Index); }), c.Message) << c.What;
    EXPECT_EQ(store->Count(), std::string(c.Message).empty() ? 1 : 0) << c.What;
  }
  // From itself: a copy under the new name.
  from->AddFrom("copy", *from, 2);
  ASSERT_NE(from->Find("copy"), nullptr);
  EXPECT_EQ(Saved(*from->Find("copy")), Saved(*from->Find("C24")));
}

TEST_F(TLazyStoreTest, AStampMatchesWhileNoStoreOfTheChainChanges)
{
  TOwnedObject<TOxaBitmaps> parent(new TOxaBitmaps(nullptr));
  Store->SetParent(parent.get());
  Store->ReadData(Blob("", MixedRecords()));
  const struct {
    const char* What;
    std::function<void()> Step;
    bool Changes;
  } steps[] = {
      {"looking up (and making) images",
       [&] {
         EXPECT_NE(Store->Find("A8"), nullptr);
         EXPECT_EQ(parent->Find("C24"), nullptr);
       },
       false},
      {"a note", [&] { Store->SetNote("noted"); }, false},
      {"adding to the parent", [&] { glyphs::AddGlyph(*parent, "P", 2, 0, 2); }, true},
      {"replacing in the store", [&] { glyphs::AddGlyph(*Store, "A8", 2, 0, 2); }, true},
      {"freeing an image", [&] { FreeObject(Store->Find("B16")); }, true},
      {"dropping the parent", [&] { Store->SetParent(nullptr); }, true},
      {"clearing", [&] { Store->Clear(); }, true},
      {"clearing an empty store", [&] { Store->Clear(); }, false},
      {"reading", [&] { Store->ReadStaticData(Blob("", MixedRecords())); }, true},
  };
  for (const auto& step : steps) {
    const TOxaStoreStamp before(Store.get());
    step.Step();
    EXPECT_EQ(TOxaStoreStamp(Store.get()) != before, step.Changes) << step.What;
  }
  EXPECT_TRUE(TOxaStoreStamp(nullptr) == TOxaStoreStamp());

  // A store made where a freed one was is not taken for it.
  auto* first = new TOxaBitmaps(nullptr);
  const TOxaStoreStamp old(first);
  FreeObject(first);
  TOwnedObject<TOxaBitmaps> second(new TOxaBitmaps(nullptr));
  EXPECT_FALSE(TOxaStoreStamp(second.get()) == old);
}

TEST_F(TLazyStoreTest, AStampHoldsChainsOfEightStores)
{
  std::vector<std::unique_ptr<TOwnedObject<TOxaBitmaps>>> chain;
  for (int depth = 1; depth <= 9; ++depth) {
    chain.push_back(std::make_unique<TOwnedObject<TOxaBitmaps>>(new TOxaBitmaps(nullptr)));
    if (depth > 1) {
      (*chain[chain.size() - 2])->SetParent(chain.back()->get());
    }
    const TOxaBitmaps* head = chain.front()->get();
    EXPECT_EQ(TOxaStoreStamp(head) == TOxaStoreStamp(head), depth <= 8) << depth;
  }
}

}  // namespace
