#pragma once
// The browser's rules that need no window: which footer button does what, which rows may be
// edited, where a drop lands and how a drop is applied to the favorites.

#include <cstdint>
#include <optional>
#include <string_view>

#include "library/DbId.h"

// What a footer button does.
enum class TBrowserCommand {
  None,
  ShowList,      // first panel "ShowList": display mode 2
  HideList,      // first panel "HideList": mode 0, back to the current item, not scrolled
  ShowEdit,      // first panel "ShowEdit": mode 3
  HideEdit,      // second panel "HideEdit": mode 2, back to the current item, brought into view
  NewPlaylist,   // second panel "New"
  DeleteFirst,   // first panel "Hide": the delete action on the first list's selection
  DeleteSecond,  // second panel "Delete" and "Hide": the delete action on the second list's
  ShowInfo,      // either panel "ShowInfo": the track info panel opens
  HideInfo,      // either panel "HideInfo": the track info panel closes
  NextView,      // either header's "ViewNext": the panel's next view in the header's order
};
TBrowserCommand BrowserCommandOf(bool secondPanel, std::string_view buttonName) noexcept;
// The buttons that take dropped rows: the delete commands.
bool TakesDroppedRows(TBrowserCommand command) noexcept;

// Whether a footer button starts shown on a panel. Every footer holds every button, so a panel
// shows only the buttons with a command there (else the first panel's "REMOVE" and "NEW
// PLAYLIST", both centred, lie on top of each other); the second panel's "REMOVE" is shown by
// the selection rule only. Empty for buttons that are no browser command (undo, redo) or that
// both panels share (the info pair, swapped as the info panel opens and closes): the footer's
// own state stands.
std::optional<bool> FooterButtonStartsShown(bool secondPanel, std::string_view buttonName) noexcept;

// A record of a favorite: view 7 with its group set.
bool IsFavoriteRecord(const TDbId& record) noexcept;
// A favorite list itself (the only rows edited in place): view 7, group set, no file.
bool MayEditRecord(const TDbId& record) noexcept;
// Whether a selection whose first record is first hides the second panel's "Delete" and shows
// its "REMOVE" (only a selection that does not start with a favorite record).
bool SelectionHidesDelete(int selectedCount, const TDbId& first) noexcept;

// Where rows dropped beside a row land. After a row: after its record. Before a row that has an
// earlier row in its group: after that earlier row. Before the first row of a group: the
// before-first position of the group (a track row) or of the view (a group row, outside any).
// The root gives no target (an empty id). previous is the record of the row before it in its group, null when
// it is the first.
TDbId DropTargetOf(const TDbId& row, bool after, const TDbId* previous);

// Where rows dropped on a list's own area below its rows (or on an empty list) land, by the view
// the list shows: a Playlists list takes them as a new list (the before-first position of the
// view, as before its first list); other views take no drop there (an empty id).
TDbId DropAtEndTargetOf(std::int32_t listView);

// What applying a drop needs from the window.
class TBrowserDropHost {
 public:
  virtual ~TBrowserDropHost() = default;
  // The favorites operations; they may raise.
  virtual bool AddToFavorite(const TDbIdList& records, const TDbId& target) = 0;
  virtual bool MoveToFavorite(const TDbIdList& records, const TDbId& target) = 0;
  virtual void UpdatePlaying() = 0;
  // Reloads a group (or, for a view-level id, every group of the view) in both panels.
  virtual void ReloadGroup(const TDbId& group) = 0;
  // Frees the favorites editors and ends an open transaction, after a failed operation.
  virtual void Recover() noexcept = 0;
  virtual void Trace(const char* text) noexcept = 0;
};

// Copies (between lists) or moves (within one) records to target. busy is raised while the
// operation runs and lowered on every path. An exception of the favorites operations abandons
// the drop: it is traced, the host recovers and the lists are reloaded; the result is false.
bool ApplyBrowserDrop(TBrowserDropHost& host, const TDbIdList& records, const TDbId& target, bool move,
                      std::int32_t& busy);
