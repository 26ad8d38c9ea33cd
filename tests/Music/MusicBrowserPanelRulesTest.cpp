// The commands both panels share (the info pair, the next-view arrow) and the drop below a
// list's rows.

#include <gtest/gtest.h>

#include <string>

#include "Music/control/MusicBrowserRules.h"

namespace {

TEST(TMusicBrowserPanelRules, InfoAndNextViewWorkOnBothPanelsAndKeepTheFootersOwnState)
{
  const struct {
    const char* Name;
    TBrowserCommand Command;
  } cases[] = {
      {"ShowInfo", TBrowserCommand::ShowInfo}, {"HideInfo", TBrowserCommand::HideInfo},
      {"ViewNext", TBrowserCommand::NextView}, {"showinfo", TBrowserCommand::None},
      {"ViewNext ", TBrowserCommand::None},
  };
  for (const auto& c : cases) {
    for (const bool second : {false, true}) {
      SCOPED_TRACE(std::string(c.Name) + (second ? " second" : " first"));
      EXPECT_EQ(BrowserCommandOf(second, c.Name), c.Command);
      if (c.Command != TBrowserCommand::None) {
        // HideInfo starts hidden, ShowInfo shown: the footer decides, not the panel rule.
        EXPECT_EQ(FooterButtonStartsShown(second, c.Name), std::nullopt);
        EXPECT_FALSE(TakesDroppedRows(c.Command));
      }
    }
  }
}

TEST(TMusicBrowserPanelRules, OnlyAPlaylistsListTakesRowsBelowItsRowsAsANewList)
{
  const TDbId taken = DropAtEndTargetOf(ViewPlaylists);
  EXPECT_EQ(taken.ViewId, ViewPlaylists);
  EXPECT_EQ(taken.GroupId, 0);
  EXPECT_TRUE(IsBeforeFirst(taken));
  for (const std::int32_t view : {-1, 0, ViewFolders, ViewAlbums, ViewTitles, ViewYears, ViewPlaylists + 1}) {
    SCOPED_TRACE(view);
    EXPECT_TRUE(DropAtEndTargetOf(view).Empty());
  }
}

}  // namespace
