#pragma once
// What the music list tests share: a store of solid images under every name the list looks up,
// and a list with helpers to add groups and rows.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "platform/windows/DisplayTesting.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewStates.h"

namespace musiclisttest {

using K = TMusicListViewItemKinds;

// Every name the list looks up, each a solid image of its own colour at the size the list
// wants.
inline std::unique_ptr<TOxaBitmaps> SolidStore(const std::string& skip = "", const std::string& misfit = "")
{
  std::vector<std::pair<std::string, int>> names;
  for (int k = 0; k < kMusicListViewItemKindCount; ++k) {
    const std::string prefix(MusicListViewKindPrefix(static_cast<K>(k)));
    if (k == 0)
      for (auto code : kMusicListTrackIconCodes)
        names.push_back({prefix + std::string(code), kMusicIconSize});
    else
      for (auto code : kMusicListIconCodes)
        names.push_back({prefix + std::string(code), kMusicIconSize});
  }
  for (auto code : kMusicListFlapCodes)
    names.push_back({"FLAP-" + std::string(code), kMusicFlapWidth});
  for (const char* set : {"A", "B", "C", "D"})
    for (int step = 1; step <= 10; ++step)
      names.push_back({std::string("DRAGINSERT") + set + std::to_string(step), kMusicIconSize});
  auto store = std::make_unique<TOxaBitmaps>(nullptr);
  TOxaColor color = 0x102030;
  for (const auto& [name, width] : names) {
    if (name == skip)
      continue;
    TOwnedObject<TOxaBitmap> image(new TOxaBitmap(nullptr));
    const int w = name == misfit ? width + 1 : width;
    image->ChangeImageSize(w, kMusicIconSize, 6);
    image->FillRect({0, 0, w, kMusicIconSize}, color);
    store->Add(name, *image);
    color = (color + 0x030507) & 0xFFFFFF;
  }
  return store;
}

class TMusicListViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { UseHeadlessDisplay(); }

  TOwnedObject<TMusicListView> List{new TMusicListView(nullptr)};

  TOxaBitmap* Group()
  {
    auto* group = new TOxaBitmap(&List->Objects());
    group->SetParent(List.get());
    return group;
  }
  TMusicListViewItem* Row(TOxaBitmap* group, int record = 0, K kind = K::mlkTrack)
  {
    auto* row = new TMusicListViewItem(&group->Objects(), List.get(), kind);
    row->SetRecordIndex(record);
    row->SetParent(group);
    return row;
  }
  std::vector<int> SelectedIndexes() const
  {
    std::vector<int> result;
    for (int i = 0; i < List->SelectedCount(); ++i)
      result.push_back(List->IndexOfItem(List->Selected(i)));
    return result;
  }
};

}  // namespace musiclisttest
