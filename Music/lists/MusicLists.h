#pragma once
// Rows of a browser list: each entry of a view is a group row, followed by a node that holds the
// group's rows once they are loaded and is as tall as them while the group is open (0 closed).
// The loader keeps no state of its own: everything it needs lives in the list's nodes, so a
// caller makes one over a list whenever it has something to do with the rows.

#include <functional>

#include "library/DbId.h"
#include "views/list/MusicListView.h"
#include "views/list/MusicListViewStates.h"

// Lists a group's items in list order; false when the group cannot be listed.
using TMusicListItemsSource = std::function<bool(const TDbId& group, TDbIdList& items)>;

// The node under a group row holding the group's rows.
class TMusicListGroup final : public TOxaBitmap {
 public:
  TMusicListGroup(TOxaObjects* parentList, TMusicListViewItem* head);
  TMusicListViewItem* Head() const noexcept { return FHead; }
  bool Loaded() const noexcept { return FLoaded; }
  bool Open() const noexcept { return FOpen; }

 private:
  friend class TMusicListLoader;
  TMusicListViewItem* FHead;
  bool FLoaded = false;
  bool FOpen = false;
};

class TMusicListLoader {
 public:
  TMusicListLoader(TMusicListView& list, TMusicListItemsSource source);

  // Replaces every row by a closed group row of kind for each entry (its caption, its record)
  // and scrolls to the top.
  void Load(const TDbIdList& entries, TMusicListViewItemKinds kind);
  // Loads the entries again: groups that were open and are still there open again with their
  // rows listed afresh, the scroll position stays (as far as the new rows reach) and the
  // current item's row is marked.
  // Without activate the row is only marked, as MarkPlaying does.
  void Reload(const TDbIdList& entries, TMusicListViewItemKinds kind, const TDbId& current,
              bool activate = true);

  // The group rows in list order.
  std::vector<TMusicListViewItem*> GroupRows() const;
  // The node of rows under a group row; null for any other row.
  static TMusicListGroup* GroupOf(const TMusicListViewItem* head) noexcept;
  static bool IsOpen(const TMusicListViewItem* head) noexcept;
  // The row before row among its own kind: a track row's earlier track row in its group, a
  // group row's group row above it; null for the first (what a drop before row lands after).
  static TMusicListViewItem* PreviousRow(const TDisplayListViewItem* row) noexcept;
  // Lists the group's rows when it has none yet (numbered 1, 2, ... in list order). False when
  // the row is no group row or its group cannot be listed.
  bool LoadGroup(TMusicListViewItem* head);
  // Opening loads the rows first; the rows below move with the group's bottom edge.
  void OpenGroup(TMusicListViewItem* head, bool animate);
  void CloseGroup(TMusicListViewItem* head, bool animate);

  // The group row of a group record, or the row of an item among the loaded rows of its group;
  // null when there is none.
  TMusicListViewItem* FindRow(const TDbId& record) const;
  // Moves the playing mark to the item's row and, with activate, makes it the active row and its
  // group row the current group; nothing is marked when the item has no loaded row. Returns the
  // row.
  TMusicListViewItem* MarkPlaying(const TDbId& current, bool activate = true);
  // As MarkPlaying, opening the item's group first (loading its rows); with reveal the row is
  // brought into view.
  TMusicListViewItem* ShowItem(const TDbId& current, bool reveal, bool animate, bool activate = true);

  // The group row marked as the list's current group; null for none.
  TMusicListViewItem* ActiveGroupRow() const;
  // head becomes the list's current group and active row (null: none); the playing mark stays.
  void SetActiveGroup(TMusicListViewItem* head);
  // The top of a row in the panel (a track row's group node counted in).
  static int RowTop(const TOxaBitmap* row) noexcept;
  // Where the list scrolls to while a group opens (MusicOpenedGroupOffset for this list).
  int OpenedGroupOffset(int headTop, int rowsHeight) const noexcept;
  // The first row (group or loaded track row of an open group) whose top lies in the view.
  TMusicListViewItem* FirstVisibleRow() const;

  // Sizes the panel and the rows to the list's width (after the list was resized).
  void Fit();

 private:
  void Stack();
  int RowWidth() const noexcept;
  TMusicListView& FList;
  TMusicListItemsSource FSource;
};

// The scroll offset that shows a group opened at headTop (its rows rowsHeight tall) in a view of
// view pixels scrolled to offset: unchanged when the group's end shows already, else its end at
// the view's bottom, but never its group row above the top.
int MusicOpenedGroupOffset(int offset, int view, int headTop, int rowsHeight) noexcept;
