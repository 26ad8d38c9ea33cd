#include "Music/control/MusicNavigator.h"

#include <utility>

namespace {

// The group a track row belongs to.
TDbId GroupOf(const TDbId& row)
{
  TDbId group;
  group.ViewId = row.ViewId;
  group.GroupId = row.GroupId;
  return group;
}

class TBusyScope {
 public:
  explicit TBusyScope(TMusicNavigationHost& host) : FHost(host) { FHost.Busy(true); }
  ~TBusyScope() { FHost.Busy(false); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;

 private:
  TMusicNavigationHost& FHost;
};

}  // namespace

int TMusicNavigator::RandomIndex()
{
  const int count = GroupItems.Count();
  if (count == 0 || !Shuffle) {
    return -1;
  }
  int r = FHost.RandomBelow(count);
  if (r < 0 || r >= count) {
    r = 0;
  }
  const auto unplayed = [this](int index) {
    return PlayedItems.IndexOfFile(GroupItems.Get(index).FileId) < 0;
  };
  for (int index = r; index < count; ++index) {
    if (unplayed(index)) {
      return index;
    }
  }
  for (int index = r - 1; index >= 0; --index) {
    if (unplayed(index)) {
      return index;
    }
  }
  PlayedItems.Clear();
  return r;
}

bool TMusicNavigator::PlayRow(const TDbId& row, const TPlayRowOptions& options)
{
  if (row.Level() != TDbIdLevel::Item) {
    return false;
  }
  TBusyScope busy(FHost);
  BeginStep();
  return Finish(TryRow(row, options));
}

bool TMusicNavigator::TryRow(TDbId row, const TPlayRowOptions& options)
{
  if (row.Level() != TDbIdLevel::Item) {
    return false;
  }
  FTried = true;
  FReveal = options.Reveal;
  for (;;) {
    CurrentItem = row;
    if (CurrentGroup.Level() != TDbIdLevel::Group || !row.SameGroup(CurrentGroup)) {
      FHost.ListItems(GroupOf(row), GroupItems);
      PlayedItems.Clear();
    }
    CurrentGroup = GroupOf(row);
    const int index = GroupItems.IndexOfFile(row.FileId);
    TrackNumber = index >= 0 ? index + 1 : -1;

    if (Shuffle) {
      if (PlayedItems.Count() >= PlayedLimit) {
        PlayedItems.Clear();
      }
      if (PlayedItems.IndexOfFile(row.FileId) < 0) {
        PlayedItems.Add(row);
      }
    }
    if (FHost.PlayItem(row, options.KeepIfSame)) {
      return true;
    }
    if (!options.FollowFailures || index < 0 || index + 1 >= GroupItems.Count() || FHost.HoldsMouse()) {
      return false;
    }
    row = GroupItems.Get(index + 1);
  }
}

void TMusicNavigator::BeginStep()
{
  // A step a host call threw out of must not be shown by the next one.
  FTried = false;
  FGroupToShow = TDbId();
}

bool TMusicNavigator::Finish(bool played)
{
  if (FGroupToShow.Level() == TDbIdLevel::Group) {
    const TDbId group = std::exchange(FGroupToShow, TDbId());
    FHost.ShowGroup(group);
  }
  if (std::exchange(FTried, false)) {
    if (played) {
      FHost.RowPlaying(CurrentItem, FReveal);
    } else {
      FHost.NothingPlays(CurrentItem, FReveal);
    }
  }
  return played;
}

void TMusicNavigator::UpdatePlaying()
{
  if (CurrentGroup.Level() == TDbIdLevel::Group) {
    FHost.ListItems(CurrentGroup, GroupItems);
  } else {
    GroupItems.Clear();
  }
  const int index = IndexOfCurrent();
  const int number = index >= 0 ? index + 1 : -1;
  if (index < 0) {
    CurrentItem = TDbId();
    CurrentGroup = TDbId();
  }
  FHost.MarksChanged();
  if (number != TrackNumber) {
    TrackNumber = number;
    FHost.TrackNumberChanged(number);
  }
  // A file gone since it started fails at once: it is skipped as a failure the player reports
  // later would be, going on with the step that started it.
  if (!FHost.PlayItem(CurrentItem, true) && CurrentItem.Level() == TDbIdLevel::Item) {
    Forward(TStepCause::Failed);
  }
}

int TMusicNavigator::IndexOfCurrent() const noexcept
{
  // Views and groups carry FileId -1 too: only a track can be found among the items.
  if (CurrentItem.Level() != TDbIdLevel::Item) {
    return -1;
  }
  return GroupItems.IndexOfFile(CurrentItem.FileId);
}

int TMusicNavigator::NextIndex() const noexcept
{
  const int count = GroupItems.Count();
  const int found = IndexOfCurrent();
  const int next = found + 1;
  if (next < count) {
    return next;
  }
  // After the last item the group starts over.
  return found >= 0 && count > 0 ? 0 : -1;
}

bool TMusicNavigator::PlayAt(int index)
{
  TPlayRowOptions options;
  options.FollowFailures = false;
  return TryRow(GroupItems.Get(index), options);
}

bool TMusicNavigator::StepThroughGroup(int first)
{
  int index = first;
  while (FPass.Failures < GroupItems.Count()) {
    if (index < 0) {
      index = Shuffle ? RandomIndex() : NextIndex();
    }
    if (index < 0) {
      return false;
    }
    if (PlayAt(index)) {
      return true;
    }
    ++FPass.Failures;
    index = -1;
  }
  return false;
}

bool TMusicNavigator::Forward(TStepCause cause)
{
  TBusyScope busy(FHost);
  BeginStep();
  if (cause == TStepCause::Failed) {
    ++FPass.Failures;
    // The current row was shown as playing: when nothing after it plays, the host must hear
    // that it does not.
    if (CurrentItem.Level() == TDbIdLevel::Item) {
      FTried = true;
      FReveal = TRowReveal::Keep;
    }
  } else {
    FPass = TPass();
    FPass.InGroup = true;
  }
  return Finish(StepThroughGroup(-1) || MoveGroup(1));
}

bool TMusicNavigator::Backward()
{
  TBusyScope busy(FHost);
  BeginStep();
  FPass = TPass();
  FPass.InGroup = true;
  int index = IndexOfCurrent();
  if (index < 0) {
    return Finish(MoveGroup(-1));
  }
  while (--index >= 0) {
    if (PlayAt(index)) {
      return Finish(true);
    }
  }
  return Finish(MoveGroup(-1));
}

bool TMusicNavigator::TakeGroup(const TDbId& entry)
{
  TDbIdList items;
  if (entry.Level() != TDbIdLevel::Group || !FHost.ListItems(entry, items) || items.Count() == 0) {
    return false;
  }
  CurrentGroup = GroupOf(entry);
  GroupItems = std::move(items);
  PlayedItems.Clear();
  return true;
}

bool TMusicNavigator::SelectGroup(const TDbId& entry)
{
  if (!TakeGroup(entry)) {
    return false;
  }
  FHost.ShowGroup(entry);
  return true;
}

bool TMusicNavigator::StartGroupPass(int direction)
{
  TBusyScope busy(FHost);
  BeginStep();
  FPass = TPass();
  return Finish(MoveGroup(direction));
}

bool TMusicNavigator::MoveGroup(int direction, bool play)
{
  TDbIdList entries;
  int at = -1;
  FHost.ShownGroups(entries, at);
  const int count = entries.Count();
  if (at >= count) {
    at = -1;
  }
  if (std::exchange(FPass.InGroup, false) && at >= 0) {
    ++FPass.Groups;
  }
  while (FPass.Groups < count) {
    ++FPass.Groups;
    if (direction > 0) {
      at = at + 1 >= count ? 0 : at + 1;
    } else {
      at = at <= 0 ? count - 1 : at - 1;
    }
    const TDbId& entry = entries.Get(at);
    if (!TakeGroup(entry)) {
      continue;
    }
    FPass.Failures = 0;
    if (!play) {
      FHost.ShowGroup(entry);
      return true;
    }
    // Only the group the step ends in is shown: passing over groups nothing plays in must not
    // scroll the list through each of them.
    FGroupToShow = entry;
    if (StepThroughGroup(Shuffle ? RandomIndex() : 0)) {
      return true;
    }
  }
  return false;
}
