#include "Music/lists/MusicLists.h"

#include <algorithm>
#include <type_traits>
#include <typeinfo>
#include <utility>

namespace {

// The list's nodes are rows and groups only, and a list holds thousands: a type check beats a
// cast through the hierarchy (the group class is final).
template <class TNode>
auto* AsGroup(TNode* node) noexcept
{
  using TGroup = std::conditional_t<std::is_const_v<TNode>, const TMusicListGroup, TMusicListGroup>;
  return node != nullptr && typeid(*node) == typeid(TMusicListGroup) ? static_cast<TGroup*>(node) : nullptr;
}

}  // namespace

TMusicListGroup::TMusicListGroup(TOxaObjects* parentList, TMusicListViewItem* head)
    : TOxaBitmap(parentList), FHead(head)
{
}

TMusicListLoader::TMusicListLoader(TMusicListView& list, TMusicListItemsSource source)
    : FList(list), FSource(std::move(source))
{
}

int TMusicListLoader::RowWidth() const noexcept
{
  return std::max(0, FList.Width() - TMusicListViewScrollBar::BarWidth);
}

void TMusicListLoader::Load(const TDbIdList& entries, TMusicListViewItemKinds kind)
{
  TOxaBitmap* panel = FList.Panel();
  // Freeing rows takes them out of the selection, the active row and any drag or edit.
  while (panel->ChildCount() > 0) {
    FreeObject(panel->Children(panel->ChildCount() - 1));
  }
  for (int index = 0; index < entries.Count(); ++index) {
    const TDbId& entry = entries.Get(index);
    auto* head = new TMusicListViewItem(&panel->Objects(), &FList, kind);
    head->SetRecordIndex(index);
    head->SetPayload(entry);
    head->SetCaption(entry.Caption);
    head->SetParent(panel);
    auto* group = new TMusicListGroup(&panel->Objects(), head);
    group->SetParent(panel);
  }
  Stack();
  FList.ScrollTo(0, false);
}

std::vector<TMusicListViewItem*> TMusicListLoader::GroupRows() const
{
  std::vector<TMusicListViewItem*> rows;
  TOxaBitmap* panel = FList.Panel();
  for (int i = 0; i < panel->ChildCount(); ++i) {
    if (auto* group = AsGroup(panel->Children(i))) {
      rows.push_back(group->Head());
    }
  }
  return rows;
}

TMusicListGroup* TMusicListLoader::GroupOf(const TMusicListViewItem* head) noexcept
{
  if (head == nullptr || head->Parent() == nullptr) {
    return nullptr;
  }
  TOxaBitmap* panel = head->Parent();
  const int index = panel->IndexOfChild(head);
  if (index < 0 || index + 1 >= panel->ChildCount()) {
    return nullptr;
  }
  auto* group = AsGroup(panel->Children(index + 1));
  return group != nullptr && group->Head() == head ? group : nullptr;
}

bool TMusicListLoader::IsOpen(const TMusicListViewItem* head) noexcept
{
  const TMusicListGroup* group = GroupOf(head);
  return group != nullptr && group->Open();
}

TMusicListViewItem* TMusicListLoader::PreviousRow(const TDisplayListViewItem* row) noexcept
{
  TOxaBitmap* parent = row != nullptr ? row->Parent() : nullptr;
  if (parent == nullptr) {
    return nullptr;
  }
  // Group rows alternate with their groups' nodes on the panel: those are skipped.
  for (int i = parent->IndexOfChild(row) - 1; i >= 0; --i) {
    if (auto* previous = dynamic_cast<TMusicListViewItem*>(parent->Children(i))) {
      return previous;
    }
  }
  return nullptr;
}

bool TMusicListLoader::LoadGroup(TMusicListViewItem* head)
{
  TMusicListGroup* group = GroupOf(head);
  if (group == nullptr) {
    return false;
  }
  if (group->Loaded()) {
    return true;
  }
  TDbIdList items;
  if (!FSource || !FSource(head->Payload(), items)) {
    return false;
  }
  const int width = RowWidth();
  for (int index = 0; index < items.Count(); ++index) {
    const TDbId& item = items.Get(index);
    auto* row = new TMusicListViewItem(&group->Objects(), &FList, TMusicListViewItemKinds::mlkTrack);
    row->SetRecordIndex(index);
    row->SetPayload(item);
    row->SetCaption(item.Caption);
    row->SetNumber(index + 1);
    row->SetBounds(0, index * kMusicRowHeight, width, kMusicRowHeight);
    row->SetParent(group);
  }
  group->FLoaded = true;
  if (group->Open()) {
    Stack();
  }
  return true;
}

void TMusicListLoader::OpenGroup(TMusicListViewItem* head, bool animate)
{
  TMusicListGroup* group = GroupOf(head);
  if (group == nullptr || group->Open() || !LoadGroup(head)) {
    return;
  }
  group->FOpen = true;
  group->SetVisible(true);
  if (animate) {
    FList.AnimateGroup(group, true, OpenedGroupOffset(RowTop(head), group->ChildCount() * kMusicRowHeight));
  }
  Stack();
}

int TMusicListLoader::OpenedGroupOffset(int headTop, int rowsHeight) const noexcept
{
  const int view = std::max(0, FList.Height() - FList.HeaderHeight() - FList.FooterHeight());
  return MusicOpenedGroupOffset(FList.ScrollOffset(), view, headTop, rowsHeight);
}

int MusicOpenedGroupOffset(int offset, int view, int headTop, int rowsHeight) noexcept
{
  // The group row and as many of its rows as the view holds come into sight; the group row
  // itself never goes above the top.
  const int end = headTop + kMusicRowHeight + rowsHeight;
  if (end > offset + view) {
    offset = std::min(headTop, end - view);
  }
  return std::max(0, offset);
}

void TMusicListLoader::CloseGroup(TMusicListViewItem* head, bool animate)
{
  TMusicListGroup* group = GroupOf(head);
  if (group == nullptr || !group->Open()) {
    return;
  }
  group->FOpen = false;
  if (animate) {
    FList.AnimateGroup(group, false, FList.ScrollOffset());
  }
  Stack();
}

TMusicListViewItem* TMusicListLoader::FindRow(const TDbId& record) const
{
  const TDbIdLevel level = record.Level();
  if (level != TDbIdLevel::Group && level != TDbIdLevel::Item) {
    return nullptr;
  }
  for (TMusicListViewItem* head : GroupRows()) {
    if (!head->Payload().SameGroup(record)) {
      continue;
    }
    if (level == TDbIdLevel::Group) {
      return head;
    }
    TMusicListGroup* group = GroupOf(head);
    for (int i = 0; i < group->ChildCount(); ++i) {
      auto* row = dynamic_cast<TMusicListViewItem*>(group->Children(i));
      if (row != nullptr && row->Payload().SameItem(record)) {
        return row;
      }
    }
    return nullptr;
  }
  return nullptr;
}

TMusicListViewItem* TMusicListLoader::MarkPlaying(const TDbId& current, bool activate)
{
  TMusicListViewItem* row = current.Level() == TDbIdLevel::Item ? FindRow(current) : nullptr;
  for (int i = 0; i < FList.ItemCount(); ++i) {
    TDisplayListViewItem* other = FList.Items(i);
    if (other != row && (other->State() & kRowPlaying) != 0) {
      other->SetState(other->State() & ~kRowPlaying);
    }
  }
  if (!activate) {
    if (row != nullptr) {
      row->SetState(row->State() | kRowPlaying);
    }
    return row;
  }
  // Group rows are not the parents of their rows, so the list does not carry the active bit up
  // to them: the current group is set here.
  // The active row first: moving it clears the bit of the row it leaves, a group row too.
  FList.SetActiveRow(row);
  TMusicListViewItem* currentHead = nullptr;
  if (row != nullptr) {
    if (auto* group = AsGroup(row->Parent())) {
      currentHead = group->Head();
    }
  }
  for (TMusicListViewItem* head : GroupRows()) {
    const int state = head == currentHead ? head->State() | kRowActive : head->State() & ~kRowActive;
    if (state != head->State()) {
      head->SetState(state);
    }
  }
  if (row != nullptr) {
    row->SetState(row->State() | kRowPlaying);
  }
  return row;
}

TMusicListViewItem* TMusicListLoader::ShowItem(const TDbId& current, bool reveal, bool animate, bool activate)
{
  if (current.Level() == TDbIdLevel::Item) {
    TDbId group = current;
    group.FileId = -1;
    if (TMusicListViewItem* head = FindRow(group)) {
      OpenGroup(head, animate);
    }
  }
  TMusicListViewItem* row = MarkPlaying(current, activate);
  if (row != nullptr && reveal) {
    FList.ScrollIntoView(row, animate);
  }
  return row;
}

TMusicListViewItem* TMusicListLoader::ActiveGroupRow() const
{
  for (TMusicListViewItem* head : GroupRows()) {
    if ((head->State() & kRowActive) != 0) {
      return head;
    }
  }
  return nullptr;
}

void TMusicListLoader::SetActiveGroup(TMusicListViewItem* head)
{
  FList.SetActiveRow(nullptr);
  for (TMusicListViewItem* other : GroupRows()) {
    if (other != head && (other->State() & kRowActive) != 0) {
      other->SetState(other->State() & ~kRowActive);
    }
  }
  FList.SetActiveRow(head);
}

int TMusicListLoader::RowTop(const TOxaBitmap* row) noexcept
{
  if (row == nullptr) {
    return 0;
  }
  const TOxaBitmap* parent = row->Parent();
  return row->Top() + (AsGroup(parent) != nullptr ? parent->Top() : 0);
}

TMusicListViewItem* TMusicListLoader::FirstVisibleRow() const
{
  // Rows lie in list order from top to bottom: the first starting at or below the offset.
  const int offset = FList.ScrollOffset();
  for (TMusicListViewItem* head : GroupRows()) {
    if (RowTop(head) >= offset) {
      return head;
    }
    TMusicListGroup* group = GroupOf(head);
    if (group == nullptr || !group->Open()) {
      continue;
    }
    for (int i = 0; i < group->ChildCount(); ++i) {
      auto* row = dynamic_cast<TMusicListViewItem*>(group->Children(i));
      if (row != nullptr && RowTop(row) >= offset) {
        return row;
      }
    }
  }
  return nullptr;
}

void TMusicListLoader::Reload(const TDbIdList& entries, TMusicListViewItemKinds kind, const TDbId& current,
                              bool activate)
{
  std::vector<TDbId> open;
  for (TMusicListViewItem* head : GroupRows()) {
    if (IsOpen(head)) {
      open.push_back(head->Payload());
    }
  }
  const int offset = FList.ScrollOffset();
  Load(entries, kind);
  for (const TDbId& group : open) {
    if (TMusicListViewItem* head = FindRow(group)) {
      OpenGroup(head, false);
    }
  }
  MarkPlaying(current, activate);
  FList.ScrollTo(offset, false);
}

void TMusicListLoader::Fit()
{
  const int width = RowWidth();
  TOxaBitmap* panel = FList.Panel();
  for (int i = 0; i < panel->ChildCount(); ++i) {
    TOxaBitmap* child = panel->Children(i);
    for (int j = 0; j < child->ChildCount(); ++j) {
      TOxaBitmap* row = child->Children(j);
      if (row->Width() != width) {
        row->SetBounds(0, row->Top(), width, row->Height());
      }
    }
  }
  Stack();
}

void TMusicListLoader::Stack()
{
  // Group rows and their nodes one under the other; an open node is as tall as its rows.
  const int width = RowWidth();
  TOxaBitmap* panel = FList.Panel();
  int top = 0;
  for (int i = 0; i < panel->ChildCount(); ++i) {
    TOxaBitmap* child = panel->Children(i);
    int height = kMusicRowHeight;
    if (auto* group = AsGroup(child)) {
      height = group->Open() ? group->ChildCount() * kMusicRowHeight : 0;
      // The rows of a closed group take neither room nor the mouse.
      if (group->Visible() != group->Open()) {
        group->SetVisible(group->Open());
      }
    }
    if (child->Left() != 0 || child->Top() != top || child->Width() != width || child->Height() != height) {
      child->SetBounds(0, top, width, height);
    }
    top += height;
  }
  if (panel->Width() != width || panel->Height() != top) {
    panel->SetBounds(0, panel->Top(), width, top);
  }
  // Clamps the offset to the new height and draws the rows that came into reach.
  FList.ScrollTo(FList.ScrollOffset(), false);
}
