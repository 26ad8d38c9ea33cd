#pragma once
// Moving through the library as the remote control, the keyboard and the end of a track ask:
// the next and previous track of the current group, a random unplayed one in shuffle mode, the
// next and previous group of the shown list, and playing one row.
//
// Skipping what cannot be played is bounded: one pass over the group's items, and when groups
// are changed, one pass over the shown list's groups. A failure the player reports later (the
// file opened, then failed) continues the pass that started it, so a library where nothing
// plays ends quietly instead of cycling for ever. Everything is loops; nothing recurses.
//
// Rows that fail on the way cost only the player's try: the host is told once per step, when
// it ends. The group the step ended in is shown (ShowGroup, when the step changed groups) and
// then either the row that plays (RowPlaying) or, when nothing in the pass played, the last row
// tried (NothingPlays). That row stays CurrentItem with its TrackNumber, so the lists mark
// where the skipping stopped and the next step goes on after it; the host tells nobody that it
// plays. A failure the player reports later concerns a row that was shown as playing: the
// step it starts is told like any other, and names that row in NothingPlays when it tries
// nothing (its pass spent).
//
// The navigator holds the controller's playing state and reaches the player and the list
// views only through TMusicNavigationHost.

#include <cstdint>

#include "library/DbId.h"

// How a row that starts to play is brought into view.
enum class TRowReveal {
  Keep,     // the list is not scrolled
  Scroll,   // the least scroll that shows it
  AtMouse,  // scrolled relative to the mouse position (a click)
};

struct TPlayRowOptions {
  // A file that is already loaded goes on playing.
  bool KeepIfSame = false;
  // A row the player cannot play passes to the next row of its group, to the group's end.
  bool FollowFailures = true;
  TRowReveal Reveal = TRowReveal::Scroll;
};

class TMusicNavigationHost {
 public:
  virtual ~TMusicNavigationHost() = default;
  // The items of a group in list order (the player's listing). False with the list empty when
  // the group is not there.
  virtual bool ListItems(const TDbId& group, TDbIdList& items) = 0;
  // The player's play; true when the file was opened (or kept).
  virtual bool PlayItem(const TDbId& item, bool keepIfSame) = 0;
  // The entries of the shown list view in list order and the index of the one it sits on (the
  // current group's entry), -1 for none.
  virtual void ShownGroups(TDbIdList& entries, int& current) = 0;
  // Uniform in 0 .. count - 1.
  virtual int RandomBelow(int count) = 0;
  // The list scrolls to a group entry and selects it.
  virtual void ShowGroup(const TDbId&) {}
  // A row became the playing one: the lists' marks, the active list, group and row.
  virtual void RowPlaying(const TDbId&, TRowReveal) {}
  // A step found nothing that plays; the row is the last one tried, now the current one.
  virtual void NothingPlays(const TDbId&, TRowReveal) {}
  // The playing marks must be refreshed (the current item may have gone).
  virtual void MarksChanged() {}
  virtual void TrackNumberChanged(int) {}
  // The program is in front with the primary button held: a failed row does not pass on.
  virtual bool HoldsMouse() { return false; }
  // Around work the user waits for (the wait cursor).
  virtual void Busy(bool) {}
};

// What started a forward step.
enum class TStepCause {
  User,      // "StepUp", a key: a fresh pass
  Complete,  // the track played to its end: a fresh pass
  Failed,    // the player gave up on the current track: the same pass goes on
};

class TMusicNavigator {
 public:
  // PlayedItems never grows past this many entries.
  static constexpr int PlayedLimit = 512;

  explicit TMusicNavigator(TMusicNavigationHost& host) : CurrentItem(FOwnCurrentItem), FHost(host) {}
  // The current item kept by the owner (the window stores it when it closes).
  TMusicNavigator(TMusicNavigationHost& host, TDbId& currentItem) : CurrentItem(currentItem), FHost(host) {}
  TMusicNavigator(const TMusicNavigator&) = delete;
  TMusicNavigator& operator=(const TMusicNavigator&) = delete;

 private:
  TDbId FOwnCurrentItem;

 public:
  TDbId& CurrentItem;
  TDbId CurrentGroup;
  TDbIdList GroupItems;
  TDbIdList PlayedItems;
  // 1-based position of CurrentItem in GroupItems; -1 when it is not there.
  int TrackNumber = -1;
  bool Shuffle = false;

  // A random index of GroupItems whose file has not been played in this round; -1 without
  // items or with shuffle off. When every item has been played the round starts afresh.
  int RandomIndex();

  // Plays a track row of a group. False when nothing could be played (or row is no track).
  bool PlayRow(const TDbId& row, const TPlayRowOptions& options);
  // Relists the current group, finds the current item in it again (emptying both when it is
  // gone), refreshes marks and number, and hands the item to the player; an item the player
  // cannot play is skipped as a failure it reports.
  void UpdatePlaying();

  bool Forward(TStepCause cause = TStepCause::User);
  bool Backward();
  bool Wind() { return StartGroupPass(1); }
  bool Rewind() { return StartGroupPass(-1); }
  // "Wind" that only makes the next group with items current and shows it, playing nothing:
  // for start-up and after an update took the current item away.
  bool SelectNextGroup()
  {
    FPass = TPass();
    return MoveGroup(1, false);
  }
  // Makes a group entry current and shows it, playing nothing; false (and nothing changed) when
  // it lists no items.
  bool SelectGroup(const TDbId& entry);

 private:
  struct TPass {
    int Failures = 0;  // unplayable items in the current group
    int Groups = 0;    // list entries taken so far
    // The pass began inside a group: that group's entry counts as taken once it is found.
    bool InGroup = false;
  };

  int IndexOfCurrent() const noexcept;
  int NextIndex() const noexcept;
  // PlayRow without telling the host: the step's end does (Finish).
  bool TryRow(TDbId row, const TPlayRowOptions& options);
  bool PlayAt(int index);
  void BeginStep();
  // Shows the group the step moved to and the row it ended on; returns played.
  bool Finish(bool played);
  // Plays from first (or the next index when -1) on, skipping failures until the group's pass
  // is spent.
  bool StepThroughGroup(int first);
  bool StartGroupPass(int direction);
  // Lists a group entry and, when it has items, makes it current (shown by the caller).
  bool TakeGroup(const TDbId& entry);
  bool MoveGroup(int direction, bool play = true);

  TMusicNavigationHost& FHost;
  TPass FPass;
  // What the step in progress has to show when it ends.
  bool FTried = false;
  TRowReveal FReveal = TRowReveal::Scroll;
  TDbId FGroupToShow;
};
