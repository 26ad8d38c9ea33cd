#pragma once
// The rows of a browser list: a group row for each group of the shown view, the rows of its
// tracks below it (its children) while it is open, laid out top to bottom on the list's panel.

#include <functional>

#include "library/DbId.h"
#include "views/MusicListView.h"

// Fills a group's records (the player's listing).
using TBrowserListing = std::function<bool(const TDbId& group, TDbIdList& items)>;

// The row kind of a record shown under a view kind: tracks are tracks, groups take the kind.
TMusicListViewItemKinds BrowserRowKind(const TDbId& record, TMusicListViewItemKinds viewKind) noexcept;

// Replaces the list's rows by one closed group row per record.
void LoadGroupRows(TMusicListView& list, const TDbIdList& groups, TMusicListViewItemKinds viewKind);
// The group rows, in their order.
std::vector<TDisplayListViewItem*> GroupRows(const TMusicListView& list);
// The track rows of a group row, in their order.
std::vector<TDisplayListViewItem*> TrackRows(const TDisplayListViewItem& groupRow);
bool GroupRowOpen(const TDisplayListViewItem& groupRow);
// Loads the group's tracks as its rows (again, when it has some); false when none could be
// listed. CloseGroupRow frees them.
bool OpenGroupRow(TMusicListView& list, TDisplayListViewItem& groupRow, const TBrowserListing& listing);
void CloseGroupRow(TMusicListView& list, TDisplayListViewItem& groupRow);
// Places the rows one below the other and sizes the panel to hold them.
void LayoutRows(TMusicListView& list);
// The row of a group (FileId -1) or track record; null when the list shows none.
TDisplayListViewItem* FindRow(const TMusicListView& list, const TDbId& record);
// The row before row within its group; null for the first.
TDisplayListViewItem* PreviousRowInGroup(const TDisplayListViewItem& row);
