#include "playback/OxaMusicPlayer.h"

#include <algorithm>
#include <utility>

#include "framework/OxaUtils.h"
#include "platform/core/HandleOwner.h"
#include "platform/files/Files.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/Format.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tags/TagLibTagger.h"
#include "tags/WMATagger.h"

namespace {

TFolderList FolderListOf(const TStringList& list)
{
  TFolderList folders;
  folders.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    folders.push_back(list[i]);
  }
  return folders;
}

bool FileThere(const std::string& path)
{
  if (path.empty()) {
    return false;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// ---- search settings ----

TOxaSearchSettings::TOxaSearchSettings()
    : FWhiteDrives(std::make_unique<TMusicStringList>()), FGreyDrives(std::make_unique<TMusicStringList>())
{
}

TOxaSearchSettings::~TOxaSearchSettings() = default;

void TOxaSearchSettings::Load()
{
  ReadOption(TMusicOption::WhiteDrives, *FWhiteDrives);
  ReadOption(TMusicOption::GreyDrives, *FGreyDrives);
}

void TOxaSearchSettings::Save()
{
  WriteOption(TMusicOption::GreyDrives, *FGreyDrives);
}

// ---- construction ----

bool TOxaMusicPlayer::TFileNameLess::operator()(const std::string& a, const std::string& b) const
{
  return AnsiCompareText(a, b) < 0;
}

TOxaMusicPlayer::TOxaMusicPlayer(const std::string& audioModule)
    : FAudio(std::make_unique<TOxaMusic2>(audioModule)),
      FScanner(std::make_unique<TSearchEngineWrapper>()),
      FSearchSettings(std::make_unique<TOxaSearchSettings>()),
      FSearchOptions(std::make_unique<TOxaSearchOptions>()),
      FDatabase(std::make_unique<TMusicDatabase>(nullptr))
{
  FDatabase->SetDirectory(GetDatabasePath());
  FWmaTagSupport = TWMATagger().Available();

  FAudio->OnStateChange = MakeMethod<&TOxaMusicPlayer::AudioStateChange>(this);
  FAudio->OnComplete = MakeMethod<&TOxaMusicPlayer::AudioComplete>(this);
  FAudio->OnPosition = MakeMethod<&TOxaMusicPlayer::AudioPosition>(this);
  FAudio->OnError = MakeMethod<&TOxaMusicPlayer::AudioError>(this);
  FScanner->OnFullScanDone = MakeMethod<&TOxaMusicPlayer::ScanDone>(this);
  FScanner->OnUpdateScanDone = MakeMethod<&TOxaMusicPlayer::ScanDone>(this);
  FScanner->OnStopped = MakeMethod<&TOxaMusicPlayer::ScanStopped>(this);
  FScanner->OnStep1Progress = MakeMethod<&TOxaMusicPlayer::Step1Progress>(this);
  FScanner->OnStep2Progress = MakeMethod<&TOxaMusicPlayer::Step2Progress>(this);
}

TOxaMusicPlayer::~TOxaMusicPlayer()
{
  // A scan stopped by the driver's destruction must not reach a player half gone.
  FScanner->OnFullScanDone = nullptr;
  FScanner->OnUpdateScanDone = nullptr;
  FScanner->OnStopped = nullptr;
  FScanner->OnStep1Progress = nullptr;
  FScanner->OnStep2Progress = nullptr;
  FAudio->OnStateChange = nullptr;
  FAudio->OnComplete = nullptr;
  FAudio->OnPosition = nullptr;
  FAudio->OnError = nullptr;

  FAudio.reset();
  FScanner.reset();
  FSearchSettings.reset();
  FSearchOptions.reset();
  FDatabase.reset();
  try {
    WritePendingTags();
  } catch (const std::exception&) {
    // The last attempt is a courtesy; nothing is left to report it to.
  }
}

bool TOxaMusicPlayer::OpenLibrary()
{
  return ::OpenLibrary(*FDatabase);
}

// ---- playing ----

bool TOxaMusicPlayer::FilePathOf(const TDbId& item, std::string& path)
{
  path.clear();
  if (item.ViewId == ViewLooseFile) {
    path = item.Caption;
    return !path.empty();
  }
  if (item.Level() != TDbIdLevel::Item) {
    return false;
  }
  std::int32_t fileId = -1;
  return FDatabase->ResolveFileId(item.ViewId, item.FileId, fileId) && FDatabase->FilePathOf(fileId, path);
}

bool TOxaMusicPlayer::PlayItem(const TDbId& item, bool keepIfSame)
{
  // A loose file is no library item: playing it needs (and makes) no library.
  if (item.ViewId != ViewLooseFile) {
    OpenLibrary();
  }
  std::string path;
  FilePathOf(item, path);
  FCurrentFile = TMusicFileItem();
  FCurrentFile.FileName = path;
  FCurrentItem = item;

  if (keepIfSame && !path.empty() && AnsiSameText(FAudio->FileName(), path)) {
    return true;
  }
  if (OnBeforePlay) {
    OnBeforePlay(this);
  }
  if (PlayingState) {
    return true;
  }
  // A missing file (a drive unplugged, a share down) fails here and now: the component would
  // set up a decoder only to report the failure later, one message per file, while a whole
  // library of such files is skipped.
  const bool opened = FileThere(path) && FAudio->Open(path);
  if (!opened) {
    // What played before stops, as opening another file stops it.
    FAudio->Close();
    FCurrentItem = TDbId();
  }
  return opened;
}

bool TOxaMusicPlayer::Pause()
{
  return FAudio->State() == OxaAudPlaying && FAudio->Pause();
}

bool TOxaMusicPlayer::TogglePause()
{
  return FAudio->Pause();
}

bool TOxaMusicPlayer::Resume()
{
  return FAudio->State() == OxaAudPaused && FAudio->Pause();
}

bool TOxaMusicPlayer::Stop()
{
  FCurrentItem = TDbId();
  return FAudio->Stop();
}

bool TOxaMusicPlayer::Seek(std::int32_t position)
{
  return FAudio->Seek(position);
}

std::int32_t TOxaMusicPlayer::Position()
{
  return FAudio->Position();
}

BYTE TOxaMusicPlayer::State() const noexcept
{
  return FAudio->State();
}

void TOxaMusicPlayer::AudioStateChange(TObject*, BYTE state)
{
  const std::string_view name = AudioStateName(state);
  std::vector<std::string> written;
  WritePendingTags(&written);
  for (const std::string& file : written) {
    Trace("Tag written to %s @ state %s", file, std::string(name));
  }
  if (OnStateChange) {
    OnStateChange(this, state);
  }
}

void TOxaMusicPlayer::AudioComplete(TObject*)
{
  if (OnTrackComplete) {
    OnTrackComplete(this);
  }
}

void TOxaMusicPlayer::AudioPosition(TObject*, std::int32_t position)
{
  if (OnPosition) {
    OnPosition(this, position);
  }
}

void TOxaMusicPlayer::AudioError(TObject*, BYTE)
{
  if (!FCurrentFile.FileName.empty() && AnsiSameText(FAudio->FileName(), FCurrentFile.FileName) &&
      OnTrackFailed) {
    OnTrackFailed(this);
  }
}

// ---- tags ----

bool TOxaMusicPlayer::CanWriteTag(const std::string& fileName) const
{
  const std::string extension = AnsiLowerCase(ExtractFileExt(fileName));
  const bool wma = extension == ".wma" || extension == ".asf";
  if (extension != ".mp3" && !wma && TagLibFormatOf(extension) == TTagLibFormat::None) {
    return false;
  }
  if (wma && !FWmaTagSupport) {
    return false;
  }
  // Writing the attributes back as they are tells whether they could be changed (the file's
  // read-only mark cleared when the tag is written) without changing anything now.
  const DWORD attributes = GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         SetFileAttributesA(fileName.c_str(), attributes) != FALSE;
}

void TOxaMusicPlayer::SetTag(const TMusicFileItem& item)
{
  if (item.FileName.empty()) {
    return;
  }
  FPendingTags.insert_or_assign(item.FileName, item);
  WritePendingTags();
}

bool TOxaMusicPlayer::WritePendingTags(std::vector<std::string>* written)
{
  bool any = false;
  for (auto pending = FPendingTags.begin(); pending != FPendingTags.end();) {
    const std::string& fileName = pending->first;
    // An exclusive open fails while anyone (the audio component above all) has the file open.
    if (!THandleOwner(CreateFileA(fileName.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr))
             .Valid()) {
      ++pending;
      continue;
    }
    // A read-only file is made writable only now that it is really written.
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
      SetFileAttributesA(fileName.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    TOxaMusicTag tagger;
    if (!tagger.WriteItem(pending->second)) {
      ++pending;
      continue;
    }
    if (written != nullptr) {
      written->push_back(fileName);
    }
    any = true;
    pending = FPendingTags.erase(pending);
  }
  return any;
}

// ---- settings ----

bool TOxaMusicPlayer::Random() const
{
  return ReadRandom();
}

void TOxaMusicPlayer::SetRandom(bool on)
{
  WriteRandom(on);
}

void TOxaMusicPlayer::LoadLastPlayed(TDbId& item)
{
  item = TDbId();
  TLastPlayed stored;
  if (ReadLastPlayed(stored)) {
    LoadLastPlayed(stored, item);
  }
}

void TOxaMusicPlayer::LoadLastPlayed(const TLastPlayed& stored, TDbId& item)
{
  item = TDbId();
  TDbId candidate;
  candidate.ViewId = stored.View;
  candidate.GroupId = stored.GroupId;
  candidate.FileId = stored.FileId;
  candidate.Caption = stored.Caption;
  candidate.Order = stored.Order;
  if (!OpenLibrary()) {
    return;
  }
  TDbId group = candidate;
  group.FileId = -1;
  TDbIdList list;
  if (group.Level() != TDbIdLevel::Group || !FDatabase->GetItems(group, list)) {
    return;
  }
  for (const TDbId& listed : list.Items()) {
    if (listed.ViewId == candidate.ViewId && listed.FileId == candidate.FileId) {
      item = candidate;
      return;
    }
  }
}

void TOxaMusicPlayer::SaveLastPlayed(const TDbId& item)
{
  TLastPlayed stored;
  stored.View = item.ViewId;
  stored.GroupId = item.GroupId;
  stored.FileId = item.FileId;
  stored.Caption = item.Caption;
  stored.Order = item.Order;
  WriteLastPlayed(stored);
}

// ---- scanning and maintenance ----

void TOxaMusicPlayer::ClearScanLists()
{
  FScanner->ClearFoundFiles();
  FScanner->SetKnownFiles({});
}

std::string TOxaMusicPlayer::TakeLibraryNotice()
{
  return std::exchange(FLibraryNotice, std::string());
}

bool TOxaMusicPlayer::RebuildDamaged(const std::string& cause)
{
  TraceObject(this, "The library is damaged (%s): rebuilt", cause);
  if (!RebuildDamagedLibrary(*FDatabase)) {
    FLibraryNotice =
        "The music library is damaged and cannot be made anew: " + FDatabase->OpenFailureText() + ".";
    return false;
  }
  FLibraryNotice =
      "The music library was damaged and has been made anew; your favorites were restored from "
      "their files, and the music is found again.";
  return true;
}

bool TOxaMusicPlayer::SetKnownFilesForScan()
{
  try {
    FScanner->SetKnownFiles(FDatabase->GetKnownFiles(nullptr, nullptr, nullptr));
    return true;
  } catch (const std::exception& e) {
    FScanner->SetKnownFiles({});
    if (!IsDamagedLibraryError(e)) {
      throw;
    }
    if (!RebuildDamaged(e.what())) {
      return false;
    }
  }
  // The new library knows no file yet: the scan reads them all.
  FScanner->SetKnownFiles(FDatabase->GetKnownFiles(nullptr, nullptr, nullptr));
  return true;
}

bool TOxaMusicPlayer::StartUpdateScan()
{
  if (FScanner->Busy()) {
    return false;
  }
  if (!OpenLibrary()) {
    return false;
  }
  FSearchSettings->Load();
  if (!SetKnownFilesForScan()) {
    return false;
  }
  return FScanner->StartUpdateScan();
}

bool TOxaMusicPlayer::StartFullScan()
{
  TStringList whiteDrives;
  ReadOption(TMusicOption::WhiteDrives, whiteDrives);
  if (FScanner->Busy() && FScanner->Mode() != TScanMode::Drop) {
    FScanner->Stop();
  }
  if (!OpenLibrary()) {
    return false;
  }
  // Every file the library knows: the driver keeps only those on the drives it walks, and a
  // file it is not told of would be added a second time.
  if (!SetKnownFilesForScan()) {
    return false;
  }
  if (whiteDrives.Count() > 0) {
    FSearchSettings->Load();
    return FScanner->StartFullScan();
  }
  FScanner->SetKnownFiles({});
  return StartUpdateScan();
}

bool TOxaMusicPlayer::IsScanning() const noexcept
{
  return FScanner->Busy();
}

void TOxaMusicPlayer::StopScan()
{
  FScanner->Stop();
}

void TOxaMusicPlayer::SaveSearchSettings()
{
  FSearchSettings->Save();
}

bool TOxaMusicPlayer::UpdateDatabase()
{
  bool updated = false;
  if (!FScanner->Busy()) {
    const TMusicFileItems* found = FScanner->GetFoundFiles();
    if (found != nullptr && OpenLibrary()) {
      updated = FDatabase->ApplyScanResults(FScanner->GetKnownFiles(), *found);
      if (!updated && FDatabase->MergeFoundDamage()) {
        // What the scan read was only what had changed: the new library is filled by a scan
        // that reads everything.
        ClearScanLists();
        if (RebuildDamaged(FDatabase->MergeError())) {
          StartUpdateScan();
        }
        return false;
      }
      if (!updated && !FWriteRefusalShown && !FDatabase->MergeError().empty()) {
        FWriteRefusalShown = true;
        FLibraryNotice = "New music could not be stored in the library: " + FDatabase->MergeError() + ".";
      }
      // Albums waiting for their files' scan become lists now that the files are known.
      FDatabase->ImportRecordedAlbums();
    }
  } else {
    TraceObject(this, "UpdateDatabase: Search thread running...");
  }
  ClearScanLists();
  return updated;
}

void TOxaMusicPlayer::ScanDone(TObject*)
{
  OpenLibrary();
  if (OnScanEnded) {
    OnScanEnded(this);
  }
  if (OnUpdateDatabase) {
    OnUpdateDatabase(this);
  }
}

void TOxaMusicPlayer::ScanStopped(TObject*)
{
  SaveSearchSettings();
  if (OnScanEnded) {
    OnScanEnded(this);
  }
  if (OnScanStopped) {
    OnScanStopped(this);
  }
}

void TOxaMusicPlayer::Step1Progress(TObject*, const std::string& folder, std::int32_t count)
{
  if (OnStep1Progress) {
    OnStep1Progress(this, folder, count);
  }
}

void TOxaMusicPlayer::Step2Progress(TObject*, const std::string& folder, std::int32_t seconds)
{
  if (OnStep2Progress) {
    OnStep2Progress(this, folder, seconds);
  }
}

void TOxaMusicPlayer::RemoveDeletedFolders()
{
  TStringList folders;
  ReadOption(TMusicOption::DeleteFiles, folders);
  if (folders.Count() > 0 && OpenLibrary()) {
    FDatabase->RemoveFilesUnder(FolderListOf(folders));
  }
}

void TOxaMusicPlayer::UnhideFolders()
{
  TStringList folders;
  ReadOption(TMusicOption::UnhideFiles, folders);
  if (folders.Count() > 0 && OpenLibrary()) {
    const TFolderList include = FolderListOf(folders);
    FDatabase->DeleteHiddenUnder(&include, nullptr);
  }
}

bool TOxaMusicPlayer::ImportRecorded()
{
  // Albums are collected only when their files can be scanned now; otherwise they stay in
  // their folder for the next time.
  if (FScanner->Busy() || !OpenLibrary()) {
    return false;
  }
  std::vector<std::string> paths;
  FDatabase->CollectRecordedAlbums(paths);
  if (paths.empty()) {
    return false;
  }
  TStringList files;
  for (std::string& path : paths) {
    files.Add(std::move(path));
  }
  return DropScan(&files, nullptr, false);
}

bool TOxaMusicPlayer::DropScan(const TStringList* files, const TStringList* folders, bool notifyOwner)
{
  if (FScanner->Busy() || !OpenLibrary() || !SetKnownFilesForScan()) {
    return false;
  }
  if (!FScanner->DropScanImportNow(files, folders)) {
    FScanner->SetKnownFiles({});
    return false;
  }
  const TMusicFileItems* found = FScanner->GetFoundFiles();
  if (found != nullptr && !found->empty()) {
    if (notifyOwner && OnUpdateDatabase) {
      OnUpdateDatabase(this);
    } else {
      UpdateDatabase();
    }
  } else {
    ClearScanLists();
  }
  return true;
}

bool TOxaMusicPlayer::AddPath(const std::string& path, bool notifyOwner, TDbId& item)
{
  item = TDbId();
  if (!OpenLibrary()) {
    return false;
  }
  item = FDatabase->FindFileByPath(path, ViewFolders);
  if (item.Empty()) {
    TStringList files;
    files.Add(path);
    DropScan(&files, nullptr, false);
    item = FDatabase->FindFileByPath(path, ViewFolders);
    if (notifyOwner && OnUpdateDatabase) {
      OnUpdateDatabase(this);
    }
  }
  return !item.Empty();
}

// ---- favorites ----

std::string TOxaMusicPlayer::NewPlaylistName()
{
  OpenLibrary();
  TMusicFavoriteMastersEdit& masters = FDatabase->EditFavoriteMasters();
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(masters.Count()));
  for (int i = 0; i < masters.Count(); ++i) {
    names.push_back(masters.Get(i).Name);
  }
  std::sort(names.begin(), names.end());
  for (int n = 1; n <= NumberedPlaylistNames; ++n) {
    std::string name = Format("%s %d", std::string(UnnamedPlaylist), n);
    if (!std::binary_search(names.begin(), names.end(), name)) {
      return name;
    }
  }
  return std::string(UnnamedPlaylist);
}

void TOxaMusicPlayer::SaveFavorites()
{
  FDatabase->SaveModifiedEditors();
  FDatabase->FreeEditors();
}

void TOxaMusicPlayer::CreatePlaylist(TDbId& item)
{
  const std::string name = NewPlaylistName();
  TMusicFavoriteMastersEdit& masters = FDatabase->EditFavoriteMasters();
  masters.Add(name, -1);
  masters.Save();
  item = TDbId();
  item.ViewId = ViewPlaylists;
  item.GroupId = masters.Get(masters.Count() - 1).MasterId;
  item.Caption = name;
  FDatabase->FreeEditors();
}

void TOxaMusicPlayer::ExpandItem(const TDbId& item, std::vector<TDbId>& tracks)
{
  if (item.Level() == TDbIdLevel::Item) {
    tracks.push_back(item);
    return;
  }
  if (item.Level() != TDbIdLevel::Group) {
    return;
  }
  TDbIdList list;
  if (FDatabase->GetItems(item, list)) {
    for (const TDbId& track : list.Items()) {
      tracks.push_back(track);
    }
  }
}

void TOxaMusicPlayer::AddTrackTo(TMusicFavoriteDetailsEdit& details, const TDbId& track, int index)
{
  if (track.ViewId == ViewPlaylists) {
    TMusicFavoriteDetailsEdit* source = FDatabase->EditFavoriteDetails(track.GroupId);
    const int at = source != nullptr ? source->IndexOf(track.FileId) : -1;
    if (at >= 0) {
      details.AddEntry(TFavoriteEntry(source->Get(at)), index);
      details.Modified = true;
    }
    return;
  }
  details.AddFile(track.FileId, index);
  details.Modified = true;
}

bool TOxaMusicPlayer::AddToFavorite(const TDbIdList& items, const TDbId& target)
{
  if (target.ViewId != ViewPlaylists || target.GroupId == -1) {
    return false;
  }
  OpenLibrary();
  std::vector<TDbId> tracks;
  std::vector<TDbId> groups;
  for (const TDbId& item : items.Items()) {
    if (item.Level() == TDbIdLevel::Item) {
      tracks.push_back(item);
    } else if (item.Level() == TDbIdLevel::Group) {
      groups.push_back(item);
    }
  }
  TMusicFavoriteMastersEdit& masters = FDatabase->EditFavoriteMasters();
  bool result = true;
  try {
    if (target.Level() == TDbIdLevel::Item) {
      // Into a list, right after the target entry (at the top for the before-first position).
      TMusicFavoriteDetailsEdit* details =
          target.GroupId > 0 ? FDatabase->EditFavoriteDetails(target.GroupId) : nullptr;
      int index = 0;
      if (details != nullptr && target.FileId != 0) {
        index = details->IndexOf(target.FileId);
        index = index < 0 ? -1 : index + 1;
      }
      if (details == nullptr || index < 0) {
        FDatabase->FreeEditors();
        return false;
      }
      std::vector<TDbId> all;
      for (const TDbId& item : items.Items()) {
        ExpandItem(item, all);
      }
      for (const TDbId& track : all) {
        const int before = details->Count();
        AddTrackTo(*details, track, index);
        index += details->Count() - before;
      }
    } else if (!tracks.empty()) {
      TMusicFavoriteDetailsEdit* details = nullptr;
      if (target.GroupId == 0) {
        // A new list named after the first track's group.
        TDbId group = tracks.front();
        group.FileId = -1;
        masters.Add(FDatabase->GetCaption(group), -1);
        masters.Save();
        const std::int32_t masterId = masters.Get(masters.Count() - 1).MasterId;
        details = masterId > 0 ? FDatabase->EditFavoriteDetails(masterId) : nullptr;
        if (details == nullptr) {
          throw Exception("Newly created favorite can not be added!");
        }
      } else {
        details =
            masters.IndexOf(target.GroupId) >= 0 ? FDatabase->EditFavoriteDetails(target.GroupId) : nullptr;
        if (details == nullptr) {
          throw Exception("Target favorite cannot be found");
        }
      }
      for (const TDbId& track : tracks) {
        AddTrackTo(*details, track, -1);
      }
    } else if (!groups.empty()) {
      int index = 0;
      if (target.GroupId != 0) {
        index = masters.IndexOf(target.GroupId);
        if (index < 0) {
          throw Exception("Can not find group in database");
        }
        ++index;
      }
      for (const TDbId& group : groups) {
        masters.Add(FDatabase->GetCaption(group), index);
        masters.Save();
        const std::int32_t masterId = masters.Get(index).MasterId;
        TMusicFavoriteDetailsEdit* details =
            masterId > 0 ? FDatabase->EditFavoriteDetails(masterId) : nullptr;
        if (details == nullptr) {
          result = false;
          break;
        }
        std::vector<TDbId> groupTracks;
        ExpandItem(group, groupTracks);
        for (const TDbId& track : groupTracks) {
          AddTrackTo(*details, track, -1);
        }
        ++index;
      }
    }
    SaveFavorites();
  } catch (...) {
    FDatabase->FreeEditors();
    throw;
  }
  return result;
}

bool TOxaMusicPlayer::RemoveFromFavorites(const TDbIdList& items)
{
  OpenLibrary();
  bool removed = false;
  try {
    // Entries first: a list deleted below must have no editor left.
    for (const TDbId& item : items.Items()) {
      if (item.ViewId != ViewPlaylists || item.Level() != TDbIdLevel::Item) {
        continue;
      }
      TMusicFavoriteDetailsEdit* details = FDatabase->EditFavoriteDetails(item.GroupId);
      const int index = details != nullptr ? details->IndexOf(item.FileId) : -1;
      if (index >= 0) {
        details->Delete(index);
        details->Modified = true;
        removed = true;
      }
    }
    FDatabase->SaveModifiedEditors();
    FDatabase->FreeEditors();
    TMusicFavoriteMastersEdit& lists = FDatabase->EditFavoriteMasters();
    for (const TDbId& item : items.Items()) {
      if (item.ViewId != ViewPlaylists || item.Level() != TDbIdLevel::Group) {
        continue;
      }
      const int index = lists.IndexOf(item.GroupId);
      if (index >= 0) {
        lists.Delete(index);
        lists.Modified = true;
        removed = true;
      }
    }
    SaveFavorites();
  } catch (...) {
    FDatabase->FreeEditors();
    throw;
  }
  return removed;
}

bool TOxaMusicPlayer::MoveToFavorite(const TDbIdList& items, const TDbId& target)
{
  return AddToFavorite(items, target) && RemoveFromFavorites(items);
}

bool TOxaMusicPlayer::RenamePlaylists(const TDbIdList& items)
{
  OpenLibrary();
  TMusicFavoriteMastersEdit& masters = FDatabase->EditFavoriteMasters();
  bool renamed = false;
  for (const TDbId& item : items.Items()) {
    if (item.ViewId != ViewPlaylists || item.Level() != TDbIdLevel::Group) {
      continue;
    }
    const int index = masters.IndexOf(item.GroupId);
    if (index >= 0) {
      masters.Rename(index, item.Caption);
      masters.Modified = true;
      renamed = true;
    }
  }
  SaveFavorites();
  return renamed;
}

// ---- browsing ----

bool TOxaMusicPlayer::ListItems(const TDbId& item, TDbIdList& list)
{
  OpenLibrary();
  return FDatabase->GetItems(item, list);
}
