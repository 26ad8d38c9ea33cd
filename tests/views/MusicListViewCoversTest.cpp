// Album and folder rows with covers: the icon until the loader has the group's cover, the cover
// in its place afterwards; other rows and groups without a cover keep their icons.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "library/CoverLoader.h"
#include "platform/files/Paths.h"
#include "tests/support/TempFolder.h"
#include "tests/views/MusicListViewFixture.h"
#include "tools/make-test-media/TestMedia.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewItem.h"

namespace {

using musiclisttest::K;
using musiclisttest::SolidStore;
using musiclisttest::TMusicListViewTest;

class TMusicListViewCoversTest : public TMusicListViewTest {
 protected:
  // A track whose tag holds the picture.
  std::string WriteTrack(const std::string& name, const testmedia::TPictureRecipe& recipe) const
  {
    testmedia::TId3v2Fields fields{"Title", "Artist", "Album"};
    fields.Picture = testmedia::EncodePicture(recipe);
    testmedia::TBytes bytes = testmedia::ComposeId3v2(fields);
    bytes.resize(bytes.size() + 1000, 0x55);
    testmedia::WriteBytes(Folder.Path() / name, bytes);
    return WindowsPathOf((Folder.Path() / name).string());
  }
  TMusicListViewItem* GroupRow(K kind, std::int32_t group)
  {
    TMusicListViewItem* row = Row(Group(), 0, kind);
    row->SetPayload(TDbId{ViewAlbums, group, -1, "Album", "", 0});
    row->SetBounds(0, 0, 400, kMusicRowHeight);
    return row;
  }

  TTempMachine Machine;
  TTempFolder Folder;
};

TEST_F(TMusicListViewCoversTest, GroupRowsShowTheirCoverOnceItArrives)
{
  const auto store = SolidStore();
  List->SetBitmaps(store.get());
  const testmedia::TPictureRecipe recipe{testmedia::TPictureFormat::Png, 94, 94, 21};
  std::map<std::int32_t, std::string> files{{1, WriteTrack("a.mp3", recipe)}, {2, ""}};
  int asked = 0;
  std::shared_ptr<TCoverLoader> loader = TThread::New<TCoverLoader>(std::string());
  List->SetCovers(loader, [&](const TDbId& group) {
    ++asked;
    return files[group.GroupId];
  });
  TMusicListViewItem* album = GroupRow(K::mlkAlbum, 1);
  TMusicListViewItem* folder = GroupRow(K::mlkFolder, 1);
  TMusicListViewItem* without = GroupRow(K::mlkAlbum, 2);
  TMusicListViewItem* genre = GroupRow(K::mlkGenre, 1);
  const int middle = kMusicRowMargin + kMusicIconSize / 2;
  const TOxaColor icon = album->GetPixel(middle, middle);
  loader->WaitIdle();
  // Still the icon: nothing looks again before the loader says covers arrived.
  EXPECT_EQ(album->GetPixel(middle, middle), icon);
  List->CoversArrived();
  // The disc in the picture's middle, scaled 2:1 from pixels of one colour (a node colour is
  // 0xBBGGRR).
  const std::uint32_t rgb = testmedia::PictureColor(recipe, 47, 47);
  const TOxaColor disc = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
  EXPECT_EQ(album->GetPixel(middle, middle), disc);
  EXPECT_EQ(folder->GetPixel(middle, middle), disc);
  EXPECT_NE(without->GetPixel(middle, middle), disc);
  EXPECT_NE(genre->GetPixel(middle, middle), disc);
  EXPECT_EQ(asked, 2) << "one look-up per group, whatever the rows";

  // Without a loader the icons are back.
  List->SetCovers(nullptr, {});
  album->Compose();
  EXPECT_NE(album->GetPixel(middle, middle), disc);
}

}  // namespace
