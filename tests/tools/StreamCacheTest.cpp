// The generator's stream cache: what it hands back is what the encoder gives, and a stored entry
// that is no stream is made again rather than handed out.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TempFolder.h"
#include "tools/make-test-media/StreamCache.h"
#include "tools/make-test-media/TestMedia.h"

namespace fs = std::filesystem;

namespace {

// Points OXA_TEST_MEDIA_CACHE at a fresh folder, or unsets it, for the test's lifetime.
class TCacheFolder {
 public:
  explicit TCacheFolder(bool named)
  {
    if (const char* before = getenv("OXA_TEST_MEDIA_CACHE"); before != nullptr) {
      FBefore = before;
      FHad = true;
    }
    if (named) {
      setenv("OXA_TEST_MEDIA_CACHE", Path().c_str(), 1);
    } else {
      unsetenv("OXA_TEST_MEDIA_CACHE");
    }
  }
  ~TCacheFolder()
  {
    if (FHad) {
      setenv("OXA_TEST_MEDIA_CACHE", FBefore.c_str(), 1);
    } else {
      unsetenv("OXA_TEST_MEDIA_CACHE");
    }
  }
  TCacheFolder(const TCacheFolder&) = delete;
  TCacheFolder& operator=(const TCacheFolder&) = delete;

  fs::path Path() const { return FRoot.Path() / "cache"; }
  std::vector<fs::path> Entries() const
  {
    std::vector<fs::path> entries;
    if (fs::exists(Path())) {
      for (const auto& entry : fs::directory_iterator(Path())) {
        entries.push_back(entry.path());
      }
    }
    return entries;
  }

 private:
  TTempFolder FRoot;
  std::string FBefore;
  bool FHad = false;
};

testmedia::TMp3Recipe ShortRecipe(std::uint32_t seed)
{
  testmedia::TMp3Recipe recipe;
  recipe.Audio.Milliseconds = 300;
  recipe.Audio.Seed = seed;
  return recipe;
}

}  // namespace

TEST(TStreamCache, AStoredStreamIsTheEncodersAndEachRecipeHasItsOwn)
{
  testmedia::TBytes fresh;
  {
    const TCacheFolder none(false);
    fresh = testmedia::EncodeMp3Stream(ShortRecipe(1));
  }
  const TCacheFolder cache(true);
  EXPECT_EQ(testmedia::EncodeMp3Stream(ShortRecipe(1)), fresh);
  ASSERT_EQ(cache.Entries().size(), 1u);
  // Read back, not encoded again: the stored bytes are what the next call hands out.
  EXPECT_EQ(testmedia::EncodeMp3Stream(ShortRecipe(1)), fresh);
  EXPECT_EQ(testmedia::CachedStream(cache.Entries()[0].filename().string()), fresh);

  const testmedia::TBytes other = testmedia::EncodeMp3Stream(ShortRecipe(2));
  EXPECT_NE(other, fresh);
  EXPECT_EQ(cache.Entries().size(), 2u);
  // Only whole entries: nothing written aside is left behind.
  for (const fs::path& entry : cache.Entries()) {
    EXPECT_EQ(entry.filename().string().find(".part"), std::string::npos) << entry;
  }
}

TEST(TStreamCache, AnEmptyEntryIsEncodedAgainAndWithoutAFolderNothingIsKept)
{
  {
    const TCacheFolder cache(true);
    const testmedia::TBytes fresh = testmedia::EncodeMp3Stream(ShortRecipe(3));
    ASSERT_EQ(cache.Entries().size(), 1u);
    const fs::path entry = cache.Entries()[0];
    std::ofstream(entry, std::ios::trunc).close();
    EXPECT_EQ(testmedia::EncodeMp3Stream(ShortRecipe(3)), fresh);
    EXPECT_EQ(fs::file_size(entry), fresh.size());
  }
  const TCacheFolder none(false);
  EXPECT_FALSE(testmedia::CachedStream("anything.mp3"));
  testmedia::CacheStream("anything.mp3", {1, 2, 3});
  EXPECT_TRUE(none.Entries().empty());
}
