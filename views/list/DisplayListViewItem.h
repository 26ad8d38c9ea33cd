#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/OxaBitmap.h"
#include "library/DbId.h"
#include "views/list/MusicListViewStates.h"

class TDisplayListView;

// A row of a list. Its group is its parent node: selections never span two parents.
class TDisplayListViewItem : public TOxaBitmap {
 public:
  TDisplayListViewItem(TOxaObjects* parentList, TDisplayListView* list);
  ~TDisplayListViewItem() override;

  TDisplayListView* List() const noexcept { return FList; }
  TOxaBitmap* Group() const noexcept { return Parent(); }

  // The state byte (kRow... bits).
  int State() const noexcept { return FState; }
  void SetState(int value);
  bool Pressed() const noexcept { return FPressed; }
  void SetPressed(bool value);
  // The second highlight flag: the row is the target of a drop.
  bool DropTarget() const noexcept { return FDropTarget; }
  void SetDropTarget(bool value);
  // The number the appearance is looked up by.
  int DrawState() const noexcept { return MusicListViewDrawState(FState, FPressed, FDropTarget); }

  // The record the row stands for; -1 for a row without one (a group or a plain entry).
  int RecordIndex() const noexcept { return FRecordIndex; }
  void SetRecordIndex(int value) { FRecordIndex = value; }
  const std::string& Caption() const noexcept { return FCaption; }
  void SetCaption(std::string value);
  // The library record the row stands for (an empty id until one is set).
  const TDbId& Payload() const noexcept;
  void SetPayload(TDbId value);

  // Input flags: a row without input ignores the mouse; a row keeping the selection leaves it
  // alone on a plain click.
  bool NoInput() const noexcept { return FNoInput; }
  void SetNoInput(bool value) { FNoInput = value; }
  bool KeepSelection() const noexcept { return FKeepSelection; }
  void SetKeepSelection(bool value) { FKeepSelection = value; }
  // The press already changed the selection (a click with Shift or Ctrl).
  bool ModifierClick() const noexcept { return FModifierClick; }

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  // Edits the row in place when the list allows it.
  void DblClick() override;
  void DragDrop(TOxaBitmap* source, int x, int y) override;
  // A dragged box over the row opens the gap before (upper half) or after (lower half) it.
  void DragOver(TOxaBitmap* source, int x, int y) override;
  void DragMove(TOxaBitmap* source, int x, int y) override;
  void DragLeave(TOxaBitmap* source, int x, int y) override;

  // The insertion gap beside the row, and whether the row takes drops at all.
  bool InsertBefore() const noexcept { return FInsertBefore; }
  bool InsertAfter() const noexcept { return FInsertAfter; }
  void SetInsertGap(bool before, bool after);
  bool AcceptsDrop() const noexcept { return FAcceptsDrop; }
  void SetAcceptsDrop(bool value) { FAcceptsDrop = value; }

  // A row paints itself alone only when the whole of it shows between the list's header and
  // footer strips: a row partly under them (or under a closed group's edge) is painted by its
  // list, which draws the strips over it, and a row out of sight paints nothing.
  void PaintToControl() override;

 protected:
  // Called when the look changed; rows that cache a surface redraw it.
  virtual void StateChanged() { ContentChanged(); }

 private:
  friend class TDisplayListView;
  // A list holds thousands of rows: the payload is made when first set, and the small fields
  // are packed together.
  TDisplayListView* FList;
  std::string FCaption;
  std::unique_ptr<TDbId> FPayload;
  POINT FPressPoint{};
  int FRecordIndex = -1;
  std::uint16_t FState = kRowAcceptsClicks;
  bool FPressed = false;
  bool FDropTarget = false;
  bool FNoInput = false;
  bool FKeepSelection = false;
  bool FModifierClick = false;
  bool FInsertBefore = false;
  bool FInsertAfter = false;
  bool FAcceptsDrop = true;
};
