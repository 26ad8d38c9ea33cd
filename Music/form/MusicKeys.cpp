// The keyboard: the hook on the program's windows, keys forwarded by the host, and the
// type-ahead entry with its jump by name.

#include <numeric>
#include <string>
#include <vector>

#include "Music/control/MusicKeyTable.h"
#include "Music/control/MusicTypeAhead.h"
#include "Music/form/Music.h"
#include "forms/Screen.h"
#include "framework/OxaTimer.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/HotKeys.h"
#include "platform/windows/Input.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "rtl/AnsiText.h"

namespace {

TShiftState CurrentModifiers()
{
  TShiftState shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) {
    shift |= ssShift;
  }
  if (GetKeyState(VK_MENU) < 0) {
    shift |= ssAlt;
  }
  if (GetKeyState(VK_CONTROL) < 0) {
    shift |= ssCtrl;
  }
  return shift;
}

// A character the type-ahead takes from the keyboard: printable, no space (Space is a key of
// its own), and typed without Ctrl or Alt.
// A printable character of any script (not a control, space, surrogate or beyond Unicode).
bool TypedCharacter(WPARAM code, TShiftState shift)
{
  const bool printable = (code > 0x20 && code < 0x7F) ||
                         (code >= 0xA0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF));
  return printable && (shift & (ssCtrl | ssAlt)) == 0;
}

// The row of list under a point of the screen; null when the point is over none of its rows.
TDisplayListViewItem* RowAtScreen(TOxaImage* image, TDisplayListView* list, POINT point)
{
  if (image == nullptr || !image->HandleAllocated() || image->Bitmap() == nullptr ||
      !ScreenToClient(image->Handle(), &point)) {
    return nullptr;
  }
  for (TOxaBitmap* node = image->Bitmap()->FindChildAt(point); node != nullptr; node = node->Parent()) {
    if (auto* row = dynamic_cast<TDisplayListViewItem*>(node)) {
      return row->List() == list ? row : nullptr;
    }
  }
  return nullptr;
}

}  // namespace

void TMusicForm::ApplicationMessage(MSG& message, bool& handled)
{
  if (!FActivity.Running) {
    return;
  }
  const UINT kind = message.message;
  if (kind == WM_OUTSIDECOMMAND && message.hwnd == Handle()) {
    if (const auto action = OutsideActionOfMessage(message.wParam, message.lParam)) {
      OutsideCommand(*action);
    }
    handled = true;
    return;
  }
  if (kind == WM_HOTKEY && message.hwnd == Handle()) {
    const auto key = static_cast<UINT>((message.lParam >> 16) & 0xFFFF);
    TraceObject(this, "HotKey: %d", static_cast<int>(key));
    if (const auto action = FOutsideKeys.FindVirtualKey(key)) {
      OutsideCommand(*action);
    }
    handled = true;
    return;
  }
  if (IsUserInputMessage(kind)) {
    NoteUserInput();
  }
  if (kind != WM_KEYDOWN && kind != WM_SYSKEYDOWN && kind != WM_KEYUP && kind != WM_CHAR) {
    return;
  }
  // What is typed into a list's caption editor is the editor's, not a command or a name.
  if (EditsInPlace(message.hwnd)) {
    return;
  }
  if (FPresentation.InputBlocked(GetTickCount64())) {
    handled = true;
    return;
  }
  const TShiftState shift = CurrentModifiers();
  const auto code = static_cast<std::int32_t>(message.wParam);
  const auto data = static_cast<std::int32_t>(message.lParam);
  const auto time = static_cast<std::int32_t>(message.time);
  switch (kind) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (TriangleKey(static_cast<WORD>(message.wParam), shift)) {
        handled = true;
        break;
      }
      // A media key while the browser shows: its command, as when it is grabbed.
      if (shift == 0) {
        if (const auto action = FOutsideKeys.FindVirtualKey(static_cast<UINT>(message.wParam))) {
          OutsideCommand(*action);
          handled = true;
          break;
        }
      }
      handled = HandleKey(static_cast<WORD>(message.wParam), shift, message.time);
      if (!handled) {
        FNode->SendKeyDown(0, code, static_cast<std::int32_t>(shift), data, time, 0);
      }
      break;
    case WM_CHAR:
      if (message.wParam == ' ') {
        handled = true;  // the Space key itself has acted already
      } else if (TypedCharacter(message.wParam, shift) && KeyIsFresh(message.time, GetTickCount())) {
        TypeCharacter(static_cast<char32_t>(message.wParam));
        handled = true;
      } else {
        FNode->SendKeyPress(0, code, static_cast<std::int32_t>(shift), data, time, 0);
      }
      break;
    default:
      FNode->SendKeyUp(0, code, static_cast<std::int32_t>(shift), data, time, 0);
      break;
  }
}

void TMusicForm::NodeKeyDown(TObject*, const TNodeKey* key, bool& handled)
{
  if (!FActivity.Running) {
    return;
  }
  NoteUserInput();
  // What is not handled goes back as unhandled, never sent to the host again.
  handled =
      HandleKey(static_cast<WORD>(key->A), static_cast<TShiftState>(key->B), static_cast<DWORD>(key->D));
}

void TMusicForm::NodeKeyUp(TObject*, const TNodeKey*, bool&) {}

void TMusicForm::NodeKeyPress(TObject*, const TNodeKey* key, bool& handled)
{
  if (!FActivity.Running) {
    return;
  }
  NoteUserInput();
  const auto shift = static_cast<TShiftState>(key->B);
  if (key->A >= 0 && TypedCharacter(static_cast<WPARAM>(key->A), shift) &&
      KeyIsFresh(static_cast<DWORD>(key->D), GetTickCount())) {
    TypeCharacter(static_cast<char32_t>(key->A));
    handled = true;
  }
}

bool TMusicForm::HandleKey(WORD key, TShiftState shift, DWORD time)
{
  if (!FActivity.Running) {
    return false;
  }
  // The scan panel's keys are the panel's while it shows, wherever the focus and the pointer are.
  if (FPresentation.ScanPanel != 0 && FScanView != nullptr && FScanView->ScanKey(key, shift)) {
    return true;
  }
  const bool fresh = KeyIsFresh(time, GetTickCount());
  switch (MusicKeyAction(key, shift, fresh, FTypeAhead.Pending())) {
    case TMusicKeyAction::None:
      return false;
    case TMusicKeyAction::VolumeUp:
      FNode->VolumeUp();
      break;
    case TMusicKeyAction::VolumeDown:
      FNode->VolumeDown();
      break;
    case TMusicKeyAction::StepUp:
      StepUp();
      break;
    case TMusicKeyAction::StepDown:
      StepDown();
      break;
    case TMusicKeyAction::Rewind:
      Rewind();
      break;
    case TMusicKeyAction::Wind:
      Wind();
      break;
    case TMusicKeyAction::TypeIntoEntry:
      TypeCharacter(' ');
      break;
    case TMusicKeyAction::Pause:
      // After a stop there is nothing to pause: the key that paused plays again.
      if (const BYTE state = FPlayer->State(); state == OxaAudPlaying || state == OxaAudPaused) {
        FPlayer->TogglePause();
      } else {
        Play();
      }
      break;
    case TMusicKeyAction::UpdateScan:
      StartUpdateScan();
      break;
    case TMusicKeyAction::ScanPanel1:
      ToggleScanPanel(1);
      break;
    case TMusicKeyAction::ScanPanel2:
      ToggleScanPanel(2);
      break;
    case TMusicKeyAction::Random:
      ToggleRandom();
      break;
    case TMusicKeyAction::Escape:
      if (FTopImage != nullptr && FTopImage->HandleAllocated() && IsWindowVisible(FTopImage->Handle())) {
        ShowWindow(FTopImage->Handle(), SW_HIDE);  // the overlay goes first
      } else if (FPresentation.DisplayMode == 1 || FPresentation.DisplayMode == 3) {
        SetDisplayMode(0);
      }
      break;
    case TMusicKeyAction::Delete: {
      // The focused list's selection, else the playing track.
      TDbIdList items;
      if (const TMusicListViewEx* list = FocusedList()) {
        items = list->List()->SelectedRecords();
      }
      const TDbId& current = FNavigator->CurrentItem;
      if (items.Count() == 0 && current.Level() == TDbIdLevel::Item) {
        items.Add(current);
      }
      DeleteItems(items);
      break;
    }
    case TMusicKeyAction::Return: {
      // A click where the pointer is, on the program's own window only.
      POINT point{};
      GetCursorPos(&point);
      if (WindowFromPoint(point) == nullptr) {
        return false;
      }
      if (FPresentation.DisplayMode == 3 && FFirstList != nullptr) {
        TDisplayListViewItem* row = RowAtScreen(FBrowserImage, FFirstList->List(), point);
        if (row != nullptr && row == FFirstList->List()->ActiveRow() && FirstListMode3Action(row)) {
          break;
        }
      }
      mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
      Sleep(100);
      mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
      break;
    }
  }
  return true;
}

void TMusicForm::TypeCharacter(char32_t character)
{
  if (!FActivity.Running) {
    return;
  }
  const TOxaTimerEvent timeout = MakeMethod<&TMusicForm::EntryTimeout>(this);
  const TEntryResult result = FTypeAhead.Type(character, FNavigator->GroupItems.Count(), GetTickCount64());
  FTimer->CancelTimers(timeout);
  switch (result.Step) {
    case TEntryStep::Wait:
      FTimer->AddTimer(nullptr, 0, timeout, *FTypeAhead.Due());
      ShowEntryCaption();
      break;
    case TEntryStep::Drop:
      ShowEntryCaption();
      break;
    case TEntryStep::PlayNow:
      // The whole number is on show for the pause before it plays.
      {
        const std::string typed = FTypeAhead.EntryText();
        FTypeAhead.Clear();
        ShowEntryCaption(typed);
      }
      Sleep(EntryPlayPause);
      PlayEntryNumber(result.Number);
      ShowEntryCaption();
      break;
  }
}

void TMusicForm::ShowEntryCaption()
{
  ShowEntryCaption(FTypeAhead.EntryText());
}

void TMusicForm::ShowEntryCaption(const std::string& text)
{
  if (FFirstList == nullptr) {
    return;
  }
  TMusicListHeader* header = FFirstList->Header();
  std::string caption;
  for (int i = 0; i < header->ViewCount(); ++i) {
    if (header->HasCurrentView() && header->ViewKind(i) == header->CurrentView()) {
      caption = header->ViewCaption(i);
      break;
    }
  }
  if (!text.empty()) {
    caption = EntryCaption(caption, text);
  }
  // The header's glyph fonts carry capitals only, as its own captions do.
  caption = AnsiUpperCase(caption);
  if (header->CaptionLabel()->Caption() != caption) {
    header->CaptionLabel()->SetCaption(caption);
  }
}

void TMusicForm::EntryTimeout(TOxaTimer*, std::int32_t, std::uint64_t)
{
  if (!FActivity.Running) {
    return;
  }
  // A group made current with nothing playing yet (start-up, after an update) counts as current:
  // a number then plays in it as one typed in full does.
  const bool hasCurrent =
      !FNavigator->CurrentItem.Empty() || FNavigator->CurrentGroup.Level() == TDbIdLevel::Group;
  const TEntryExpired expired = FTypeAhead.Expire(hasCurrent, FNavigator->GroupItems.Count());
  switch (expired.Action) {
    case TEntryExpiry::Nothing:
      break;
    case TEntryExpiry::PlayNumber:
      PlayEntryNumber(expired.Number);
      break;
    case TEntryExpiry::JumpByName:
      Screen().SetCursor(crHourGlass);
      JumpByName(expired.Text);
      Screen().SetCursor(crDefault);
      break;
  }
  ShowEntryCaption();
}

void TMusicForm::PlayEntryNumber(std::int32_t number)
{
  const TDbIdList& items = FNavigator->GroupItems;
  if (number >= 1 && number <= items.Count()) {
    FNavigator->PlayRow(items.Get(number - 1), {});
  }
}

void TMusicForm::JumpByName(const std::string& text)
{
  const TDbId& current = FNavigator->CurrentItem;
  if (FFirstList == nullptr || text.empty()) {
    return;
  }
  // Titles shown, or the current item one of theirs: the letter group of the typed text's first
  // character is opened at its first track that matches.
  if (current.ViewId == ViewTitles || ListView(FFirstList) == ViewTitles) {
    if (ListView(FFirstList) != ViewTitles) {
      ShowView(ViewTitles);
    }
    TMusicListLoader loader = ListLoader(FFirstList);
    const std::string first = FoldedFirstCharacter(text);
    for (TMusicListViewItem* letter : loader.GroupRows()) {
      if (FoldedFirstCharacter(letter->Caption()) != first) {
        continue;
      }
      TDbIdList tracks;
      FPlayer->ListItems(letter->Payload(), tracks);
      const std::vector<std::string> folded = FoldCaptions(tracks.Items());
      std::vector<int> order(folded.size());
      std::iota(order.begin(), order.end(), 0);
      TMusicListView* list = FFirstList->List();
      FindByPrefix(folded, order, text, [&](int index) {
        loader.OpenGroup(letter, false);
        TMusicListViewItem* row = loader.FindRow(tracks.Get(index));
        if (row == nullptr) {
          return false;
        }
        list->ClearSelection();
        list->Select(row);
        if (!list->IsSelected(row)) {
          return false;
        }
        list->ScrollIntoView(row, FPresentation.DisplayMode != 0);
        TraceObject(this, "JumpByName: %s", row->Caption());
        return true;
      });
      return;
    }
    return;
  }
  TDbIdList entries;
  int active = -1;
  FNavigationHost->ShownGroups(entries, active);
  const std::vector<std::string> folded = FoldCaptions(entries.Items());
  const int found = FindByPrefix(folded, GroupJumpOrder(entries.Count(), active), text);
  if (found < 0) {
    return;
  }
  TraceObject(this, "JumpByName: %s", entries.Get(found).Caption);
  // While nothing plays the group jumped to is the one Play and the digits start.
  if (!current.Empty() || !FNavigator->SelectGroup(entries.Get(found))) {
    FNavigationHost->ShowGroup(entries.Get(found));
  }
}
