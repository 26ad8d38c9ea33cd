// What the browser's own controls do: the footer buttons of both panels, clicks, drops and
// in-place edits on the lists, new playlists, and rows dropped on the delete buttons.

#include <exception>
#include <span>
#include <string>
#include <utility>

#include "Music/control/MusicBrowserRules.h"
#include "Music/form/Music.h"
#include "Music/form/MusicStart.h"
#include "Music/lists/MusicLists.h"
#include "forms/Screen.h"
#include "framework/OxaUtils.h"

namespace {

// The buttons that take dropped rows, by panel.
constexpr const char* FirstPanelDeleteButtons[] = {"Hide"};
constexpr const char* SecondPanelDeleteButtons[] = {"Delete", "Hide"};

// The favorites operations and the reloads of a drop, through the window.
class TFormDropHost : public TBrowserDropHost {
 public:
  explicit TFormDropHost(TMusicForm& form) : FForm(form) {}
  bool AddToFavorite(const TDbIdList& records, const TDbId& target) override
  {
    return FForm.Player()->AddToFavorite(records, target);
  }
  bool MoveToFavorite(const TDbIdList& records, const TDbId& target) override
  {
    return FForm.Player()->MoveToFavorite(records, target);
  }
  void UpdatePlaying() override { FForm.UpdatePlaying(); }
  void ReloadGroup(const TDbId& group) override { FForm.ReloadGroup(group); }
  void Recover() noexcept override { FForm.Player()->Database().FreeEditors(); }
  void Trace(const char* text) noexcept override { TraceObject(&FForm, "%s", text); }

 private:
  TMusicForm& FForm;
};

}  // namespace

void TMusicForm::ConnectBrowser()
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    panel->OnButtonClick = MakeMethod<&TMusicForm::BrowserButtonClick>(this);
    for (const TMusicFooterButtonSpec& spec : kMusicFooterButtons) {
      TOxaButton* button = panel->Footer()->Button(spec.Name);
      if (const auto shown = FooterButtonStartsShown(panel == FSecondList, spec.Name);
          button != nullptr && shown.has_value()) {
        button->SetVisible(*shown);
      }
    }
    TMusicListView* list = panel->List();
    list->OnItemClick = MakeMethod<&TMusicForm::ListItemClick>(this);
    list->OnDrop = MakeMethod<&TMusicForm::ListDrop>(this);
    list->OnEdited = MakeMethod<&TMusicForm::ListEdited>(this);
    list->OnSelectionChanged = MakeMethod<&TMusicForm::ListSelectionChanged>(this);
    list->OnMayDrag = MakeMethod<&TMusicForm::ListMayDrag>(this);
    list->OnMayDrop = MakeMethod<&TMusicForm::ListMayDrop>(this);
    list->OnMayEdit = MakeMethod<&TMusicForm::ListMayEdit>(this);
    list->OnGetCaption = MakeMethod<&TMusicForm::ListCaption>(this);
    list->TakesDropAtEnd = [this, panel] { return ListTakesDropAtEnd(panel); };
    const bool second = panel == FSecondList;
    for (const char* name : second ? std::span<const char* const>(SecondPanelDeleteButtons)
                                   : std::span<const char* const>(FirstPanelDeleteButtons)) {
      if (TOxaButton* button = panel->Footer()->Button(name); button != nullptr) {
        button->OnDragOver = MakeMethod<&TMusicForm::DeleteButtonDragOver>(this);
        button->OnDragLeave = MakeMethod<&TMusicForm::DeleteButtonDragLeave>(this);
        button->OnDragDrop = MakeMethod<&TMusicForm::DeleteButtonDragDrop>(this);
      }
    }
  }
  ConnectInfoPanel();
}

void TMusicForm::DisconnectBrowser() noexcept
{
  // A removal still queued finds no source and does nothing.
  FPendingRemovalSource = nullptr;
  DisconnectInfoPanel();
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel == nullptr) {
      continue;
    }
    panel->OnButtonClick = nullptr;
    panel->Header()->OnViewChanged = nullptr;
    TMusicListView* list = panel->List();
    list->OnItemClick = nullptr;
    list->OnDrop = nullptr;
    list->OnEdited = nullptr;
    list->OnSelectionChanged = nullptr;
    list->OnMayDrag = nullptr;
    list->OnMayDrop = nullptr;
    list->OnMayEdit = nullptr;
    list->OnGetCaption = nullptr;
    list->TakesDropAtEnd = nullptr;
  }
}

TMusicListView* TMusicForm::LiveList(const TDisplayListView* list) const noexcept
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel != nullptr && list != nullptr && panel->List() == list) {
      return panel->List();
    }
  }
  return nullptr;
}

TMusicListViewEx* TMusicForm::LivePanel(const TDisplayListView* list) const noexcept
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel != nullptr && list != nullptr && panel->List() == list) {
      return panel;
    }
  }
  return nullptr;
}

void TMusicForm::ReloadGroup(const TDbId& group)
{
  // The loader lists the open groups afresh on a reload, so one reload of the lists showing the
  // view brings both a group's rows and the view's rows up to date.
  // group may be a row's record, freed by the reload.
  const std::int32_t view = group.ViewId;
  ReloadLists(view);
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel != nullptr && ListView(panel) == view) {
      panel->AsyncPaintToControl();
    }
  }
}

std::string TMusicForm::RecordCaption(const TDbId& record)
{
  return FPlayer != nullptr ? FPlayer->Database().GetCaption(record) : std::string();
}

bool TMusicForm::RowMayBeEdited(const TDisplayListViewItem* row)
{
  return row != nullptr && MayEditRecord(row->Payload());
}

bool TMusicForm::RowMayBeDragged(const TDisplayListViewItem* row) const
{
  // Every record may be dragged; nothing while a drop is being applied.
  return row != nullptr && !row->Payload().Empty() && FActivity.DropBusy == 0;
}

bool TMusicForm::RowTakesDrops(const TDisplayListViewItem* row) const
{
  // Only the favorites take rows: the lists and their entries.
  return row != nullptr && row->Payload().ViewId == ViewPlaylists && FActivity.DropBusy == 0;
}

bool TMusicForm::ListMayDrag(TDisplayListView* sender, const TDisplayListViewItem* row)
{
  return FActivity.Running && LiveList(sender) != nullptr && RowMayBeDragged(row);
}

bool TMusicForm::ListMayDrop(TDisplayListView* sender, const TDisplayListViewItem* row)
{
  return FActivity.Running && LiveList(sender) != nullptr && RowTakesDrops(row);
}

bool TMusicForm::ListMayEdit(TDisplayListView* sender, const TDisplayListViewItem* row)
{
  return FActivity.Running && LiveList(sender) != nullptr && RowMayBeEdited(row);
}

std::string TMusicForm::ListCaption(TDisplayListView* sender, const TDbId& record)
{
  if (!FActivity.Running || LiveList(sender) == nullptr) {
    return {};
  }
  try {
    return RecordCaption(record);
  } catch (const std::exception& error) {
    // A record gone from the library meanwhile: the row's own caption stands.
    TraceObject(this, "ListCaption: %s", error.what());
    return {};
  }
}

bool TMusicForm::EditsInPlace(HWND window) const noexcept
{
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    const TDisplayListView* list = panel != nullptr ? panel->List() : nullptr;
    if (window != nullptr && list != nullptr && list->EditRow() != nullptr && list->Editor() != nullptr &&
        list->Editor()->Editor() == window) {
      return true;
    }
  }
  // The same for the info panel's field editor.
  if (window != nullptr && FMusicViewPanel != nullptr) {
    const TOxaMusicInfoEditItem* editing = FMusicViewPanel->View()->Info()->Body()->EditingItem();
    const TDisplayListViewEdit* editor = editing != nullptr ? editing->PlatformEditor() : nullptr;
    if (editor != nullptr && editor->Editor() == window) {
      return true;
    }
  }
  return false;
}

void TMusicForm::BrowserButtonClick(TOxaBitmap* sender, TOxaButton* button)
{
  if (!FActivity.Running || button == nullptr) {
    return;
  }
  const bool second = FSecondList != nullptr && sender == FSecondList;
  TraceObject(this, "BrowserButtonClick: %s %s", second ? "second" : "first", button->Name());
  const TBrowserCommand command = BrowserCommandOf(second, button->Name());
  switch (command) {
    case TBrowserCommand::ShowList:
      SetDisplayMode(2);
      break;
    case TBrowserCommand::HideList:
      SetDisplayMode(0);
      ReturnToCurrentItem(false);
      break;
    case TBrowserCommand::ShowEdit:
      SetDisplayMode(3);
      break;
    case TBrowserCommand::HideEdit:
      SetDisplayMode(2);
      ReturnToCurrentItem(true);
      break;
    case TBrowserCommand::NewPlaylist:
      NewPlaylist();
      break;
    case TBrowserCommand::DeleteFirst:
      DeleteSelected(FFirstList != nullptr ? FFirstList->List() : nullptr);
      break;
    case TBrowserCommand::DeleteSecond:
      DeleteSelected(FSecondList != nullptr ? FSecondList->List() : nullptr);
      break;
    case TBrowserCommand::ShowInfo:
    case TBrowserCommand::HideInfo:
      ShowInfoPanel(command == TBrowserCommand::ShowInfo);
      break;
    case TBrowserCommand::NextView:
      if (auto* panel = second ? FSecondList : FFirstList; panel != nullptr) {
        panel->Header()->ChooseNextView();
      }
      break;
    case TBrowserCommand::None:
      break;
  }
}

void TMusicForm::DeleteSelected(TDisplayListView* list)
{
  if (list == nullptr || list->SelectedCount() == 0) {
    return;
  }
  // Both lists are reloaded by the removal itself.
  DeleteItems(list->SelectedRecords());
}

void TMusicForm::ReturnToCurrentItem(bool bringIntoView)
{
  if (!FActivity.Running || FFirstList == nullptr || FNavigator->CurrentItem.Empty()) {
    return;
  }
  SetActiveList(FFirstList);
  TDbId item = FNavigator->CurrentItem;
  if (item.ViewId != ShownView()) {
    item = FPlayer->Database().ItemInView(item, ShownView());
    if (item.Empty()) {
      return;
    }
  }
  TMusicListLoader loader = ListLoader(FFirstList);
  if (loader.GroupRows().empty() && FPosition.FirstListSlot >= 0) {
    loader.Load(FFirstListItems, SlotKind(FPosition.FirstListSlot));
  }
  // Opens the item's group and marks its row; DONE also scrolls it into view, HIDE does not.
  const TMusicListViewItem* row = loader.ShowItem(item, bringIntoView, false);
  if (row == nullptr) {
    return;
  }
  TPlayRowOptions options;
  options.KeepIfSame = true;
  options.Reveal = bringIntoView ? TRowReveal::Scroll : TRowReveal::Keep;
  FNavigator->PlayRow(row->Payload(), options);
}

void TMusicForm::NewPlaylist()
{
  if (!FActivity.Running) {
    return;
  }
  TDbId created;
  created.Caption = FPlayer->NewPlaylistName();
  FPlayer->CreatePlaylist(created);
  if (created.ViewId != ViewPlaylists || created.GroupId == -1) {
    return;
  }
  TDbId view;
  view.ViewId = ViewPlaylists;
  ReloadGroup(view);
  if (FSecondList == nullptr) {
    return;
  }
  TMusicListView& list = *FSecondList->List();
  TMusicListLoader loader = ListLoader(FSecondList);
  TMusicListViewItem* row = loader.FindRow(created);
  if (row == nullptr) {
    return;
  }
  loader.OpenGroup(row, false);
  list.SetActiveRow(row);
  list.ScrollIntoView(row, false);
  FFirstList->AsyncPaintToControl();
  FSecondList->AsyncPaintToControl();
}

void TMusicForm::ListItemClick(TDisplayListView* sender, TDisplayListViewItem* row, TShiftState, int, int)
{
  TMusicListViewEx* panel = LivePanel(sender);
  if (!FActivity.Running || panel == nullptr || row == nullptr) {
    return;
  }
  TMusicListView* list = panel->List();
  const TDbId record = row->Payload();
  if (auto* head = dynamic_cast<TMusicListViewItem*>(row);
      head != nullptr && TMusicListLoader::GroupOf(head) != nullptr) {
    TMusicListLoader loader = ListLoader(panel);
    TMusicListLoader::IsOpen(head) ? loader.CloseGroup(head, true) : loader.OpenGroup(head, true);
    list->AsyncPaintToControl();
    return;
  }
  if (record.Level() == TDbIdLevel::Item) {
    TPlayRowOptions options;
    options.Reveal = TRowReveal::AtMouse;
    SetActiveList(panel);
    list->SetActiveRow(row);
    FNavigator->PlayRow(record, options);
  }
}

void TMusicForm::ListDrop(TDisplayListView* sender, const TDisplayListViewDrop& drop)
{
  TMusicListView* target = LiveList(sender);
  if (!FActivity.Running || target == nullptr || FActivity.DropBusy != 0) {
    return;
  }
  TDbId where;
  if (drop.Target == nullptr) {
    // Over the list itself, below its rows.
    where = DropAtEndTargetOf(ListView(LivePanel(target)));
  } else {
    const TDisplayListViewItem* previous = drop.After ? nullptr : TMusicListLoader::PreviousRow(drop.Target);
    const TDbId previousRecord = previous != nullptr ? previous->Payload() : TDbId{};
    where = DropTargetOf(drop.Target->Payload(), drop.After, previous != nullptr ? &previousRecord : nullptr);
  }
  if (where.Empty()) {
    return;
  }
  TMusicListView* source = LiveList(drop.Source);
  const TDbIdList records = source != nullptr ? source->SelectedRecords() : drop.Payloads;
  TFormDropHost host(*this);
  Screen().SetCursor(crHourGlass);
  ApplyBrowserDrop(host, records, where, source == target, FActivity.DropBusy);
  Screen().SetCursor(crDefault);
}

void TMusicForm::ListEdited(TDisplayListView*, TDisplayListViewItem* row)
{
  if (!FActivity.Running || row == nullptr || !RowMayBeEdited(row) || row->Caption().empty()) {
    return;
  }
  TDbId record = row->Payload();
  record.Caption = row->Caption();
  TDbIdList renamed;
  renamed.Add(record);
  FPlayer->RenamePlaylists(renamed);
  // The row shows the list as its view lists it: the new name with its track count.
  TDbId view;
  view.ViewId = record.ViewId;
  TDbIdList lists;
  std::string caption = row->Caption();
  if (FPlayer->ListItems(view, lists)) {
    for (const TDbId& list : lists.Items()) {
      if (list.Level() == TDbIdLevel::Group && list.SameGroup(record)) {
        caption = list.Caption;
        break;
      }
    }
  }
  TDbId kept = row->Payload();
  kept.Caption = caption;
  row->SetPayload(kept);
  row->SetCaption(caption);
}

void TMusicForm::ListSelectionChanged(TOxaBitmap* sender)
{
  auto* list = dynamic_cast<TDisplayListView*>(sender);
  // The second panel's buttons act on the second list's selection: what the first list holds
  // is removed with the first panel's own "REMOVE", and a new list is wanted whatever it holds.
  if (!FActivity.Running || list == nullptr || FSecondList == nullptr || list != FSecondList->List()) {
    return;
  }
  // "REMOVE" and "NEW PLAYLIST" share the footer's centre: one of them at a time. A selection
  // starting with a favorite, or none, brings "Delete" and "NEW PLAYLIST" back.
  const int count = list->SelectedCount();
  const bool hideDelete = count > 0 && SelectionHidesDelete(count, list->SelectedRecords().Get(0));
  const std::pair<const char*, bool> shown[] = {
      {"Delete", !hideDelete}, {"Hide", hideDelete}, {"New", !hideDelete}};
  for (const auto& [name, visible] : shown) {
    if (TOxaButton* button = FSecondList->Footer()->Button(name); button != nullptr) {
      button->SetVisible(visible);
    }
  }
}

void TMusicForm::DeleteButtonDragOver(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  auto* button = dynamic_cast<TOxaButton*>(sender);
  if (drag == nullptr || button == nullptr) {
    return;
  }
  drag->SetCursor(TDisplayListView::CursorDrag);
  button->SetActive(true);
}

void TMusicForm::DeleteButtonDragLeave(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  auto* button = dynamic_cast<TOxaButton*>(sender);
  if (drag == nullptr || button == nullptr) {
    return;
  }
  drag->SetCursor(TDisplayListView::CursorNoCanDo);
  button->SetActive(false);
}

void TMusicForm::DeleteButtonDragDrop(TOxaBitmap* sender, TOxaBitmap* source, int, int)
{
  auto* drag = dynamic_cast<TMusicListViewDrag*>(source);
  if (!FActivity.Running || drag == nullptr || LiveList(drag->Source) == nullptr) {
    return;
  }
  if (auto* button = dynamic_cast<TOxaButton*>(sender); button != nullptr) {
    button->SetActive(false);
  }
  // The box is spent here: it drops into no list.
  drag->SetVisible(false);
  FPendingRemovalSource = drag->Source;
  TOxaImage* control = sender->Control();
  if (control != nullptr) {
    // Queued on the source list: freeing the list drops the removal with it.
    control->QueueCallback(drag->Source, MakeMethod<&TMusicForm::QueuedRemoval>(this));
  } else {
    QueuedRemoval(nullptr, drag->Source);
  }
}

void TMusicForm::QueuedRemoval(TOxaImage*, TOxaBitmap*)
{
  TDisplayListView* source = LiveList(std::exchange(FPendingRemovalSource, nullptr));
  if (!FActivity.Running || source == nullptr) {
    return;
  }
  DeleteSelected(source);
  // The lists were built anew and the spent box went from over the footer: nothing else
  // repaints them before the next input.
  for (TMusicListViewEx* panel : {FFirstList, FSecondList}) {
    if (panel != nullptr) {
      panel->AsyncPaintToControl();
    }
  }
}
