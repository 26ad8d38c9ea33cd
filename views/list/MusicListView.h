#pragma once
// The music list: a darkened list node holding rows of icons and captions, with the selection
// and the image tables its rows draw from. Rows register with their list when created and leave
// it when freed, so freeing rows under the list (a reload) never leaves stale pointers behind.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "graphics/OxaBitmap.h"
#include "library/CoverLoader.h"
#include "library/DbId.h"
#include "rtl/Object.h"
#include "views/list/DisplayListView.h"
#include "views/list/DisplayListViewItem.h"
#include "views/list/MusicListRowMetrics.h"
#include "views/list/MusicListViewDrag.h"
#include "views/list/MusicListViewHeader.h"
#include "views/list/MusicListViewItem.h"
#include "views/list/MusicListViewScrollBar.h"
#include "views/list/MusicListViewStates.h"

class TMusicListView : public TDisplayListView {
 public:
  explicit TMusicListView(TOxaObjects* parentList = nullptr);

  // Rebuilds the icon, flap and drag-insert tables from the store, tracing missing and
  // wrongly sized images (which are left out), and redraws the rows. Runs by itself whenever
  // the list's store is set, inherited, freed or changes an image (its own or a parent
  // store's); on a hidden list the tables wait until they are first needed.
  void ChangeBitmaps();

  // Null when the store lacks the image or it has the wrong size.
  TOxaBitmap* Icon(TMusicListViewItemKinds kind, int state) const noexcept;
  TOxaBitmap* Flap(std::string_view code) const noexcept;
  // set 0..3 ("A".."D"), step 1..10.
  TOxaBitmap* DragInsert(int set, int step) const noexcept;
  TMusicListViewScrollBar* ScrollBar() const noexcept { return FScrollBar; }
  TMusicListViewHeader* Header() const noexcept { return FHeader; }
  TMusicListViewHeader* Footer() const noexcept { return FFooter; }
  // After icon and inner flap, up to the scroll bar, 47 high.
  RECT EditBounds(const TDisplayListViewItem* row) const override;
  // The gap animation's length.
  static constexpr int GapOpenMs = 150;
  // The drag-insert set of a gap: the accent sets for rows brought from elsewhere (A for tracks,
  // B for the other kinds), the light ones for rows moved within their own list (C, D).
  static int GapSet(const TMusicListViewItem& row, const TMusicListViewDrag& drag) noexcept;

  // The font row text is drawn with: the platform part of the list's font (Arial 12 without one)
  // in the given text and background colours. A private copy, so colouring a caption never
  // reports a font change to every node that shares the list's font.
  TOxaFont& TextFont(TOxaColor text, TOxaColor back) const;

  void ContentChanged() override;

  // --- Covers ---
  // Album and folder rows show their group's cover in place of the icon once the loader has
  // it; coverFile names the music file whose cover stands for a group ("" for none). Null
  // loader: icons only. The list shares the loader: rows may ask for covers while the view
  // that made it is being torn down.
  using TGroupCoverFile = std::function<std::string(const TDbId& group)>;
  void SetCovers(std::shared_ptr<TCoverLoader> loader, TGroupCoverFile coverFile);
  // The picture for a group row (kMusicIconSize a side at most); null while it loads or when
  // there is none. The first ask queues it with the loader.
  const TSurface* GroupCover(const TDbId& group);
  // Covers arrived: the composed rows that were waiting draw again.
  void CoversArrived();

  // Rows keep surfaces only within this reach of the view: one view's height above and below
  // it, so a page scroll finds its rows drawn, and a long group costs what three screens cost.
  // Rows outside the panel are always in reach.
  bool RowInReach(const TDisplayListViewItem* row) const noexcept;
  // The place of node in the panel; none when it is not inside the panel.
  std::optional<int> TopInPanel(const TOxaBitmap* node) const noexcept;
  bool InReach(int top, int height) const noexcept;
  // Composes the rows that came into reach and frees the surfaces of those that left it.
  void UpdateRowSurfaces();

 protected:
  void ScrollChanged() override;
  void GapOpened(TDisplayListViewItem* row, const TMusicListViewDrag& drag) override;

 private:
  TMusicListViewHeader* FHeader;
  TMusicListViewHeader* FFooter;
  TMusicListViewScrollBar* FScrollBar;
  // The store chain the tables are for: an image replaced, added or removed anywhere in the
  // chain (or a parent dropped) drops the tables, so they never point at a freed image. A
  // hidden list builds them when they are first asked for (a store set at start-up meets
  // lists that nobody sees yet).
  TOxaStoreStamp FTableStamp;
  bool FTableStampTaken = false;
  mutable bool FTablesBuilt = false;
  void BuildTables() const noexcept;
  TOxaBitmap* Checked(const std::string& name, int width, const char* method) const;

  mutable std::array<std::array<TOxaBitmap*, kMusicListIconCodes.size()>, kMusicListViewItemKindCount>
      FIcons{};
  mutable std::array<TOxaBitmap*, kMusicListFlapCodes.size()> FFlaps{};
  mutable std::array<std::array<TOxaBitmap*, 10>, 4> FDragInsert{};
  mutable TOwnedObject<TOxaFont> FTextFont;
  std::shared_ptr<TCoverLoader> FCovers;
  TGroupCoverFile FCoverFile;
  // The file of each group asked about ("" for none), and whether rows wait for a cover.
  std::map<std::pair<std::int32_t, std::int32_t>, std::string> FGroupFiles;
  bool FCoversPending = false;
};
