#include "library/TrackCover.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/CoverCache.h"
#include "library/CoverLoader.h"
#include "platform/files/Paths.h"
#include "platform/windows/CoverPicture.h"
#include "tests/support/TempFolder.h"
#include "tools/make-test-media/TestMedia.h"

namespace {

using testmedia::EncodePicture;
using testmedia::TPictureFormat;
using Bytes = std::vector<std::uint8_t>;

std::filesystem::path PathToHost(const std::string& windowsPath)
{
  std::string host;
  EXPECT_TRUE(HostPathOf(windowsPath, host)) << windowsPath;
  return host;
}

class TrackCoverTest : public ::testing::Test {
 protected:
  // The host folder's Windows name, with the final backslash.
  std::string WindowsFolder(const std::string& relative = "") const
  {
    std::filesystem::create_directories(Folder.Path() / relative);
    return WindowsPathOf((Folder.Path() / relative).string()) + "\\";
  }
  void Write(const std::string& relative, const Bytes& bytes) const
  {
    std::filesystem::create_directories((Folder.Path() / relative).parent_path());
    testmedia::WriteBytes(Folder.Path() / relative, bytes);
  }
  // An MP3 file's ID3v2 head, with the picture when one is given, then bytes standing for audio.
  void WriteTrack(const std::string& relative, const Bytes& picture) const
  {
    testmedia::TId3v2Fields fields{"Title", "Artist", "Album"};
    fields.Picture = picture;
    Bytes bytes = testmedia::ComposeId3v2(fields);
    bytes.resize(bytes.size() + 2000, 0x55);
    Write(relative, bytes);
  }

  TTempMachine Machine;
  TTempFolder Folder;
};

TEST_F(TrackCoverTest, FolderImagesByNameOrderWhateverTheCase)
{
  const Bytes any = {1, 2, 3};
  const std::string album = WindowsFolder("Album");
  EXPECT_EQ(FindFolderImage(album), "");
  Write("Album/albumartsmall.JPG", any);
  Write("Album/back.jpg", any);
  EXPECT_EQ(FindFolderImage(album), album + "albumartsmall.JPG");
  Write("Album/FRONT.jpg", any);
  EXPECT_EQ(FindFolderImage(album), album + "FRONT.jpg");
  Write("Album/Cover.Jpg", any);
  EXPECT_EQ(FindFolderImage(album), album + "Cover.Jpg");
  Write("Album/folder.jpg", any);
  EXPECT_EQ(FindFolderImage(album.substr(0, album.size() - 1)), album + "folder.jpg");

  // A folder by an image's name is no image.
  std::filesystem::create_directories(Folder.Path() / "Other" / "Folder.jpg");
  EXPECT_EQ(FindFolderImage(WindowsFolder("Other")), "");
  EXPECT_EQ(FindFolderImage(WindowsFolder() + "Missing\\"), "");
}

TEST_F(TrackCoverTest, EmbeddedCoverBeforeTheFolderImage)
{
  const Bytes embedded = EncodePicture({TPictureFormat::Jpeg, 16, 16, 1});
  const Bytes folderImage = EncodePicture({TPictureFormat::Jpeg, 16, 16, 2});
  const std::string album = WindowsFolder("Album");
  WriteTrack("Album/with.mp3", embedded);
  WriteTrack("Album/without.mp3", {});

  TTrackCover cover = FindTrackCover(album + "without.mp3");
  EXPECT_EQ(cover.Source, TCoverSource::None);

  Write("Album/Folder.jpg", folderImage);
  cover = FindTrackCover(album + "with.mp3");
  EXPECT_EQ(cover.Source, TCoverSource::Embedded);
  EXPECT_EQ(cover.Bytes, embedded);
  cover = FindTrackCover(album + "without.mp3");
  EXPECT_EQ(cover.Source, TCoverSource::FolderImage);
  EXPECT_EQ(cover.Bytes, folderImage);
  EXPECT_EQ(cover.FileName, album + "Folder.jpg");

  // A WAV file has no tag to look in; the folder still speaks for it.
  Write("Album/tone.wav", Bytes(100, 0));
  EXPECT_EQ(FindTrackCover(album + "tone.wav").Source, TCoverSource::FolderImage);
  EXPECT_EQ(FindTrackCover(album + "gone.mp3").Source, TCoverSource::FolderImage);
}

TEST_F(TrackCoverTest, EmptyFolderImageIsNone)
{
  const std::string album = WindowsFolder("Album");
  WriteTrack("Album/a.mp3", {});
  Write("Album/Folder.jpg", {});
  EXPECT_EQ(FindTrackCover(album + "a.mp3").Source, TCoverSource::None);
}

class CoverCacheTest : public TrackCoverTest {};

TEST_F(CoverCacheTest, StoredOnceThenRead)
{
  const Bytes jpeg = EncodePicture({TPictureFormat::Jpeg, 200, 100, 4});
  const std::string folder = TCoverCache::FolderOf(WindowsFolder("Library"));
  TCoverCache cache(folder);
  const auto first = cache.Get(jpeg, 64, 64);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Width(), 64);
  EXPECT_EQ(first->Height(), 32);
  EXPECT_EQ(cache.Decodes(), 1);
  EXPECT_TRUE(std::filesystem::exists(PathToHost(cache.EntryName(jpeg, 64, 64))));

  TCoverCache again(folder);
  const auto second = again.Get(jpeg, 64, 64);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(again.Hits(), 1);
  EXPECT_EQ(again.Decodes(), 0);
  for (LONG y = 0; y < 32; y += 5) {
    for (LONG x = 0; x < 64; x += 5) {
      ASSERT_EQ(second->Get(x, y), first->Get(x, y));
    }
  }
  // Another box is another entry.
  EXPECT_NE(cache.EntryName(jpeg, 64, 64), cache.EntryName(jpeg, 32, 32));
  ASSERT_NE(again.Get(jpeg, 32, 32), nullptr);
  EXPECT_EQ(again.Decodes(), 1);
}

TEST_F(CoverCacheTest, ThrownAwayOrDamagedEntriesAreMadeAgain)
{
  const Bytes png = EncodePicture({TPictureFormat::Png, 50, 50, 5});
  const std::string folder = TCoverCache::FolderOf(WindowsFolder("Library"));
  TCoverCache cache(folder);
  ASSERT_NE(cache.Get(png, 40, 40), nullptr);
  const std::filesystem::path entry = PathToHost(cache.EntryName(png, 40, 40));

  std::filesystem::remove_all(PathToHost(folder));
  ASSERT_NE(cache.Get(png, 40, 40), nullptr);
  EXPECT_EQ(cache.Decodes(), 2);
  EXPECT_TRUE(std::filesystem::exists(entry));

  testmedia::WriteBytes(entry, Bytes(300, 0x42));
  ASSERT_NE(cache.Get(png, 40, 40), nullptr);
  EXPECT_EQ(cache.Decodes(), 3);

  // An entry that reads as a picture of the wrong size is not this one.
  TCoverCache other(folder);
  const Bytes small = EncodePicture({TPictureFormat::Png, 50, 50, 6});
  ASSERT_NE(other.Get(small, 20, 20), nullptr);
  std::filesystem::copy_file(PathToHost(other.EntryName(small, 20, 20)), entry,
                             std::filesystem::copy_options::overwrite_existing);
  const auto picture = cache.Get(png, 40, 40);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 40);
  EXPECT_EQ(cache.Decodes(), 4);
  EXPECT_EQ(cache.Hits(), 0);
}

TEST_F(CoverCacheTest, NoPictureStoresNothing)
{
  const std::string folder = TCoverCache::FolderOf(WindowsFolder("Library"));
  TCoverCache cache(folder);
  const Bytes garbage = {0xFF, 0xD8, 0xFF, 1, 2, 3, 4, 5};
  EXPECT_EQ(cache.Get(garbage, 40, 40), nullptr);
  EXPECT_EQ(cache.Get({}, 40, 40), nullptr);
  EXPECT_EQ(cache.Get(garbage, 0, 40), nullptr);
  EXPECT_FALSE(std::filesystem::exists(PathToHost(folder)));
}

TEST_F(CoverCacheTest, LoaderAnswersOffTheCallersThread)
{
  const std::string album = WindowsFolder("Album");
  WriteTrack("Album/with.mp3", EncodePicture({TPictureFormat::Jpeg, 60, 60, 7}));
  WriteTrack("Album/without.mp3", {});
  WriteTrack("Other/garbage.mp3", Bytes(3000, 0xE5));
  std::atomic<int> ready{0};
  {
    auto loader = TThread::New<TCoverLoader>(TCoverCache::FolderOf(WindowsFolder("Library")));
    loader->OnReady = [&ready] { ++ready; };
    for (const char* name : {"with.mp3", "without.mp3"}) {
      EXPECT_EQ(loader->Cover(album + name, 48).first, TCoverLoader::TCoverState::Pending);
    }
    EXPECT_EQ(loader->Cover(WindowsFolder("Other") + "garbage.mp3", 48).first,
              TCoverLoader::TCoverState::Pending);
    EXPECT_NE(loader->Cover(album + "with.mp3", 48).first, TCoverLoader::TCoverState::None);
    loader->WaitIdle();
    EXPECT_EQ(ready, 3);
    const auto with = loader->Cover(album + "with.mp3", 48);
    ASSERT_EQ(with.first, TCoverLoader::TCoverState::Ready);
    EXPECT_EQ(with.second->Width(), 48);
    EXPECT_EQ(loader->Cover(album + "without.mp3", 48).first, TCoverLoader::TCoverState::None);
    EXPECT_EQ(loader->Cover(WindowsFolder("Other") + "garbage.mp3", 48).first,
              TCoverLoader::TCoverState::None);
    // Asked again at another size: another answer.
    EXPECT_EQ(loader->Cover(album + "with.mp3", 96).first, TCoverLoader::TCoverState::Pending);
    // Going away with work queued is fine.
    for (int i = 0; i < 20; ++i) {
      loader->Cover(album + "with.mp3", 10 + i);
    }
  }
}

}  // namespace
