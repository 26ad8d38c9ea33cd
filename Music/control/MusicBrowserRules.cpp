#include "Music/control/MusicBrowserRules.h"

#include <exception>
#include <string>

TBrowserCommand BrowserCommandOf(bool secondPanel, std::string_view buttonName) noexcept
{
  if (buttonName == "ShowInfo")
    return TBrowserCommand::ShowInfo;
  if (buttonName == "HideInfo")
    return TBrowserCommand::HideInfo;
  if (buttonName == "ViewNext")
    return TBrowserCommand::NextView;
  if (!secondPanel) {
    if (buttonName == "ShowList")
      return TBrowserCommand::ShowList;
    if (buttonName == "HideList")
      return TBrowserCommand::HideList;
    if (buttonName == "ShowEdit")
      return TBrowserCommand::ShowEdit;
    if (buttonName == "Hide")
      return TBrowserCommand::DeleteFirst;
    return TBrowserCommand::None;
  }
  if (buttonName == "HideEdit")
    return TBrowserCommand::HideEdit;
  if (buttonName == "New")
    return TBrowserCommand::NewPlaylist;
  if (buttonName == "Delete" || buttonName == "Hide")
    return TBrowserCommand::DeleteSecond;
  return TBrowserCommand::None;
}

bool TakesDroppedRows(TBrowserCommand command) noexcept
{
  return command == TBrowserCommand::DeleteFirst || command == TBrowserCommand::DeleteSecond;
}

std::optional<bool> FooterButtonStartsShown(bool secondPanel, std::string_view buttonName) noexcept
{
  const TBrowserCommand here = BrowserCommandOf(secondPanel, buttonName);
  if (here == TBrowserCommand::ShowInfo || here == TBrowserCommand::HideInfo ||
      here == TBrowserCommand::NextView) {
    return std::nullopt;
  }
  if (here == TBrowserCommand::None && BrowserCommandOf(!secondPanel, buttonName) == TBrowserCommand::None) {
    return std::nullopt;
  }
  return here != TBrowserCommand::None && !(secondPanel && buttonName == "Hide");
}

bool IsFavoriteRecord(const TDbId& record) noexcept
{
  return record.ViewId == ViewPlaylists && record.GroupId != -1;
}

bool MayEditRecord(const TDbId& record) noexcept
{
  return IsFavoriteRecord(record) && record.FileId == -1;
}

bool SelectionHidesDelete(int selectedCount, const TDbId& first) noexcept
{
  return selectedCount > 0 && !IsFavoriteRecord(first);
}

TDbId DropTargetOf(const TDbId& row, bool after, const TDbId* previous)
{
  if (row.Empty()) {
    return {};
  }
  if (after) {
    return row;
  }
  if (previous != nullptr) {
    // Between two rows of a group: after the earlier one, never at the group's top.
    return *previous;
  }
  TDbId parent = row;
  if (row.Level() == TDbIdLevel::Item) {
    parent.FileId = -1;
  } else {
    parent.GroupId = -1;
    parent.FileId = -1;
  }
  parent.Caption.clear();
  parent.Extra.clear();
  return BeforeFirst(parent);
}

TDbId DropAtEndTargetOf(std::int32_t listView)
{
  if (listView != ViewPlaylists) {
    return {};
  }
  TDbId view;
  view.ViewId = ViewPlaylists;
  return BeforeFirst(view);
}

namespace {

class TBusyScope {
 public:
  explicit TBusyScope(std::int32_t& busy) : FBusy(busy) { ++FBusy; }
  ~TBusyScope() { --FBusy; }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  std::int32_t& FBusy;
};

// The group to reload after records went to target: the view for a new list, else the list.
TDbId ReloadedGroupOf(const TDbId& target)
{
  TDbId group;
  group.ViewId = target.ViewId;
  if (target.Level() == TDbIdLevel::Item || (target.Level() == TDbIdLevel::Group && target.GroupId != 0)) {
    group.GroupId = target.GroupId;
  }
  return group;
}

}  // namespace

bool ApplyBrowserDrop(TBrowserDropHost& host, const TDbIdList& records, const TDbId& target, bool move,
                      std::int32_t& busy)
{
  if (records.Count() == 0) {
    return false;
  }
  const TDbId reloaded = ReloadedGroupOf(target);
  bool applied = false;
  try {
    const TBusyScope scope(busy);
    // A view-level target (before the first list) goes to the player as it is: it makes one new
    // list named after the records' group.
    applied = move ? host.MoveToFavorite(records, target) : host.AddToFavorite(records, target);
  } catch (const std::exception& error) {
    host.Recover();
    host.Trace((std::string("Drop abandoned: ") + error.what()).c_str());
    TDbId view;
    view.ViewId = target.ViewId;
    host.ReloadGroup(view);
    return false;
  }
  host.UpdatePlaying();
  host.ReloadGroup(reloaded);
  return applied;
}
