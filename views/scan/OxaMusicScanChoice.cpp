// START's changes to the stored scan lists.
#include "views/scan/OxaMusicScanChoice.h"

#include <array>

#include "rtl/AnsiText.h"
#include "settings/OxaMusicPlayerTypes.h"

bool OxaOnDrives(const std::string& entry, const std::vector<std::string>& roots)
{
  const std::string_view drive = std::string_view(entry).substr(0, 3);
  for (const std::string& root : roots) {
    if (AnsiSameText(drive, std::string_view(root).substr(0, 3))) {
      return true;
    }
  }
  return false;
}

namespace {

void RemoveOnDrives(TStringList& list, const std::vector<std::string>& roots)
{
  for (int i = list.Count() - 1; i >= 0; --i) {
    if (OxaOnDrives(list[i], roots)) {
      list.Delete(i);
    }
  }
}

bool AnyOnDrive(const TStringList& list, const std::string& root)
{
  for (int i = 0; i < list.Count(); ++i) {
    if (OxaOnDrives(list[i], {root})) {
      return true;
    }
  }
  return false;
}

void AddMissing(TStringList& list, const std::string& entry)
{
  for (int i = 0; i < list.Count(); ++i) {
    if (AnsiSameText(list[i], entry)) {
      return;
    }
  }
  list.Add(entry);
}

void Assign(TStringList& list, const std::vector<std::string>& entries)
{
  list.Clear();
  for (const std::string& entry : entries) {
    AddMissing(list, entry);
  }
}

}  // namespace

TOxaScanStartResult OxaApplyScanStart(const std::vector<std::string>& checkedRoots, TOxaScanOption option)
{
  TOxaScanStartResult result;
  if (option == TOxaScanOption::None) {
    TStringList white;
    Assign(white, checkedRoots);
    WriteOption(TMusicOption::WhiteDrives, white);
    return result;
  }

  TStringList white;
  TStringList grey;
  TStringList roots;
  TStringList cuts;
  TStringList unhide;
  TStringList remove;
  const std::array<TOptionTarget, 6> targets{{{TMusicOption::WhiteDrives, &white},
                                              {TMusicOption::GreyDrives, &grey},
                                              {TMusicOption::Roots, &roots},
                                              {TMusicOption::Cuts, &cuts},
                                              {TMusicOption::UnhideFiles, &unhide},
                                              {TMusicOption::DeleteFiles, &remove}}};
  ReadOptions(targets);
  RemoveOnDrives(white, checkedRoots);
  // The two options undo each other: a drive is either shown again or kept out, never both.
  RemoveOnDrives(unhide, checkedRoots);
  RemoveOnDrives(remove, checkedRoots);

  TStringList chosen;
  Assign(chosen, checkedRoots);
  if (option == TOxaScanOption::ShowRemoved) {
    for (const std::string& root : checkedRoots) {
      AddMissing(grey, root);
      if (!AnyOnDrive(roots, root)) {
        roots.Add(root);
      }
    }
    const std::array<TOptionSource, 5> sources{{{TMusicOption::WhiteDrives, &white},
                                                {TMusicOption::GreyDrives, &grey},
                                                {TMusicOption::Roots, &roots},
                                                {TMusicOption::UnhideFiles, &chosen},
                                                {TMusicOption::DeleteFiles, &remove}}};
    WriteOptions(sources);
    result.Event = TOxaScanEvent::Unhide;
    result.Status = "Unhide files";
    return result;
  }

  RemoveOnDrives(grey, checkedRoots);
  RemoveOnDrives(roots, checkedRoots);
  RemoveOnDrives(cuts, checkedRoots);
  const std::array<TOptionSource, 6> sources{{{TMusicOption::WhiteDrives, &white},
                                              {TMusicOption::GreyDrives, &grey},
                                              {TMusicOption::Roots, &roots},
                                              {TMusicOption::Cuts, &cuts},
                                              {TMusicOption::DeleteFiles, &chosen},
                                              {TMusicOption::UnhideFiles, &unhide}}};
  WriteOptions(sources);
  result.Event = TOxaScanEvent::Remove;
  result.Status = "Remove files";
  return result;
}
