#include "Music/MusicBrowserRows.h"

#include <utility>

namespace {

TDisplayListViewItem* AsRow(TOxaBitmap* node) noexcept
{
  return dynamic_cast<TDisplayListViewItem*>(node);
}

std::vector<TDisplayListViewItem*> RowsBelow(const TOxaBitmap& parent)
{
  std::vector<TDisplayListViewItem*> rows;
  for (int i = 0; i < parent.ChildCount(); ++i) {
    if (TDisplayListViewItem* row = AsRow(parent.Children(i)); row != nullptr) {
      rows.push_back(row);
    }
  }
  return rows;
}

void FreeRowsBelow(TOxaBitmap& parent)
{
  for (TDisplayListViewItem* row : RowsBelow(parent)) {
    FreeObject(row);
  }
}

// index: the record's place in its listing (a row without one is never selected with others).
TMusicListViewItem* AddRow(TMusicListView& list, TOxaBitmap& parent, const TDbId& record,
                           TMusicListViewItemKinds kind, int index)
{
  auto* row = new TMusicListViewItem(&parent.Objects(), &list, kind);
  row->SetParent(&parent);
  row->SetRecordIndex(index);
  row->SetPayload(record);
  row->SetCaption(record.Caption);
  return row;
}

}  // namespace

TMusicListViewItemKinds BrowserRowKind(const TDbId& record, TMusicListViewItemKinds viewKind) noexcept
{
  return record.Level() == TDbIdLevel::Item ? TMusicListViewItemKinds::mlkTrack : viewKind;
}

void LoadGroupRows(TMusicListView& list, const TDbIdList& groups, TMusicListViewItemKinds viewKind)
{
  list.BeginSelection();
  list.ClearSelection();
  list.SetActiveRow(nullptr);
  FreeRowsBelow(*list.Panel());
  int index = 0;
  for (const TDbId& group : groups.Items()) {
    AddRow(list, *list.Panel(), group, BrowserRowKind(group, viewKind), index++);
  }
  list.EndSelection();
  LayoutRows(list);
}

std::vector<TDisplayListViewItem*> GroupRows(const TMusicListView& list)
{
  return RowsBelow(*list.Panel());
}

std::vector<TDisplayListViewItem*> TrackRows(const TDisplayListViewItem& groupRow)
{
  return RowsBelow(groupRow);
}

bool GroupRowOpen(const TDisplayListViewItem& groupRow)
{
  return !TrackRows(groupRow).empty();
}

bool OpenGroupRow(TMusicListView& list, TDisplayListViewItem& groupRow, const TBrowserListing& listing)
{
  TDbIdList items;
  if (!listing || !listing(groupRow.Payload(), items)) {
    return false;
  }
  FreeRowsBelow(groupRow);
  int number = 0;
  for (const TDbId& item : items.Items()) {
    TMusicListViewItem* row = AddRow(list, groupRow, item, TMusicListViewItemKinds::mlkTrack, number);
    row->SetNumber(++number);
  }
  LayoutRows(list);
  return items.Count() > 0;
}

void CloseGroupRow(TMusicListView& list, TDisplayListViewItem& groupRow)
{
  FreeRowsBelow(groupRow);
  LayoutRows(list);
}

void LayoutRows(TMusicListView& list)
{
  TOxaBitmap* panel = list.Panel();
  const int width = panel->Width() > 0 ? panel->Width() : list.Width();
  int top = 0;
  for (TDisplayListViewItem* group : RowsBelow(*panel)) {
    int inner = kMusicRowHeight;
    for (TDisplayListViewItem* track : RowsBelow(*group)) {
      track->SetBounds(0, inner, width, kMusicRowHeight);
      inner += kMusicRowHeight;
    }
    group->SetBounds(0, top, width, inner);
    top += inner;
  }
  panel->SetBounds(panel->Left(), panel->Top(), width, top);
}

TDisplayListViewItem* FindRow(const TMusicListView& list, const TDbId& record)
{
  for (TDisplayListViewItem* group : RowsBelow(*list.Panel())) {
    const TDbId& id = group->Payload();
    if (!id.SameGroup(record)) {
      continue;
    }
    if (record.Level() != TDbIdLevel::Item) {
      return group;
    }
    for (TDisplayListViewItem* track : RowsBelow(*group)) {
      if (track->Payload().SameItem(record)) {
        return track;
      }
    }
  }
  return nullptr;
}

TDisplayListViewItem* PreviousRowInGroup(const TDisplayListViewItem& row)
{
  const TOxaBitmap* parent = row.Parent();
  if (parent == nullptr) {
    return nullptr;
  }
  TDisplayListViewItem* previous = nullptr;
  for (TDisplayListViewItem* sibling : RowsBelow(*parent)) {
    if (sibling == &row) {
      return previous;
    }
    previous = sibling;
  }
  return nullptr;
}
