// The views side of TMusicDatabase: the tree of views, groups and tracks the browser lists, its
// captions and sorts, and the moves of an item between views.

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

#include "framework/OxaUtils.h"
#include "library/LibraryCursors.h"
#include "library/MusicDatabase.h"
#include "platform/files/NameStandIns.h"
#include "rtl/Format.h"
#include "rtl/Utf8.h"

namespace {

constexpr std::string_view RootCaption = "MusicDatabase";
constexpr std::array<std::int32_t, 7> RootViews{ViewFolders, ViewTitles, ViewAlbums,   ViewArtists,
                                                ViewGenre,   ViewYears,  ViewPlaylists};
// The last component of a folder caption is cut to this many characters.
constexpr std::size_t MaxFolderCaptionPart = 255;

bool IsFileView(std::int32_t view) noexcept
{
  return view >= ViewFolders && view <= ViewYears;
}

std::string CutToCodePoints(std::string_view text, std::size_t count)
{
  std::size_t pos = 0;
  for (std::size_t k = 0; k < count && pos < text.size(); ++k) {
    NextCodePoint(text, pos);
  }
  return std::string(text.substr(0, pos));
}

// Format's "%.<digits>d": at least that many digits, zero-padded, a minus sign in front. Listings
// make one per track, so it does not go through Format.
void AppendZeroPadded(std::string& text, std::int32_t value, std::size_t digits)
{
  std::array<char, 16> buffer{};
  const auto magnitude = static_cast<std::uint32_t>(value < 0 ? -static_cast<std::int64_t>(value) : value);
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude).ptr;
  const auto length = static_cast<std::size_t>(end - buffer.data());
  if (value < 0) {
    text += '-';
  }
  if (length < digits) {
    text.append(digits - length, '0');
  }
  text.append(buffer.data(), length);
}

// A group as listed: its name decides its place, the caption with its count is what shows.
struct TListedGroup {
  std::string Name;
  TDbId Id;
};

}  // namespace

std::string TMusicDatabase::ViewName(std::int32_t view)
{
  switch (view) {
    case ViewFolders:
      return "Folders";
    case ViewAlbums:
      return "Albums";
    case ViewArtists:
      return "Artists";
    case ViewGenre:
      return "Genre";
    case ViewTitles:
      return "Titles";
    case ViewYears:
      return "Years";
    case ViewPlaylists:
      return "Playlists";
    default:
      return "";
  }
}

std::string TMusicDatabase::CountCaption(std::int32_t count)
{
  if (count <= 0) {
    return "(000 Empty)";
  }
  if (count == 1) {
    return "(001 Track)";
  }
  std::string caption = "(";
  AppendZeroPadded(caption, count, 3);
  caption += " Tracks)";
  return caption;
}

std::string TMusicDatabase::FolderCaption(std::string_view folderName)
{
  const std::vector<std::string> parts = Split("\\", folderName, TSplitEmpty::Keep);
  std::string joined;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k > 0) {
      joined += ", ";
    }
    // Each name as the user named the folder, not with the stand-ins of its Windows name.
    const std::string shown = ShownNameOf(parts[k]);
    joined += k + 1 == parts.size() ? CutToCodePoints(shown, MaxFolderCaptionPart) : shown;
  }
  return ProperCase(joined);
}

TField* TMusicDatabase::ViewGroupField(const TFilesTable& files, std::int32_t view) noexcept
{
  switch (view) {
    case ViewFolders:
      return files.FolderId;
    case ViewAlbums:
      return files.AlbumId;
    case ViewArtists:
      return files.ArtistId;
    case ViewGenre:
      return files.GenreId;
    case ViewTitles:
      return files.LetterId;
    case ViewYears:
      return files.YearId;
    default:
      return nullptr;
  }
}

const char* TMusicDatabase::ViewFileIndex(std::int32_t view) noexcept
{
  switch (view) {
    case ViewFolders:
      return "FolderIndex";
    case ViewAlbums:
      return "AlbumIndex";
    case ViewArtists:
      return "ArtistIndex";
    case ViewGenre:
      return "GenreIndex";
    case ViewTitles:
      return "LetterIndex";
    case ViewYears:
      return "YearIndex";
    default:
      return nullptr;
  }
}

namespace {

template <class T>
void ReadGroups(T& table, std::int32_t view, TField* T::*id, TField* T::*count, TField* T::*name,
                std::string (*caption)(const TField&), std::vector<TListedGroup>& groups)
{
  Activate(table);
  for (table.First(); !table.Eof(); table.Next()) {
    TListedGroup& group = groups.emplace_back();
    group.Name = caption(*(table.*name));
    group.Id.ViewId = view;
    group.Id.GroupId = (table.*id)->AsInteger();
    group.Id.Caption = group.Name + ' ' + TMusicDatabase::CountCaption((table.*count)->AsInteger());
  }
}

std::string TextName(const TField& field)
{
  return field.AsString();
}

std::string FolderName(const TField& field)
{
  return TMusicDatabase::FolderCaption(field.AsString());
}

}  // namespace

void TMusicDatabase::ListGroups(std::int32_t view, TDbIdList& list)
{
  std::vector<TListedGroup> groups;
  switch (view) {
    case ViewFolders:
      ReadGroups(*FFolders, view, &TFoldersTable::FolderId, &TFoldersTable::FolderRefCount,
                 &TFoldersTable::FolderName, &FolderName, groups);
      break;
    case ViewAlbums:
      ReadGroups(*FAlbums, view, &TAlbumsTable::AlbumId, &TAlbumsTable::AlbumRefCount,
                 &TAlbumsTable::AlbumName, &TextName, groups);
      break;
    case ViewArtists:
      ReadGroups(*FArtists, view, &TArtistsTable::ArtistId, &TArtistsTable::ArtistRefCount,
                 &TArtistsTable::ArtistName, &TextName, groups);
      break;
    case ViewGenre:
      ReadGroups(*FGenres, view, &TGenreTable::GenreId, &TGenreTable::GenreRefCount, &TGenreTable::GenreName,
                 &TextName, groups);
      break;
    case ViewTitles:
      ReadGroups(*FLetters, view, &TLettersTable::LetterId, &TLettersTable::LetterRefCount,
                 &TLettersTable::LetterName, &TextName, groups);
      break;
    case ViewYears: {
      TYearsTable& years = *FYears;
      Activate(years);
      for (years.First(); !years.Eof(); years.Next()) {
        TListedGroup& group = groups.emplace_back();
        AppendZeroPadded(group.Name, years.YearNumber->AsInteger(), 4);
        group.Id.ViewId = view;
        group.Id.GroupId = years.YearId->AsInteger();
        group.Id.Caption = group.Name + ' ' + CountCaption(years.YearRefCount->AsInteger());
      }
      break;
    }
    case ViewPlaylists: {
      TFavoriteMastersTable& masters = *FFavoriteMasters;
      Activate(masters);
      list.SetCapacity(masters.RecordCount());
      for (masters.First(); !masters.Eof(); masters.Next()) {
        list.AddValues(view, masters.MasterId->AsInteger(), masters.Sequence->AsInteger(), "",
                       Format("%s %s", masters.Name->AsString(), CountCaption(masters.RefCount->AsInteger())),
                       -1);
      }
      list.SortByOrder();
      return;
    }
    default:
      return;
  }
  // Ranked by the name: a group with an empty name goes after all others, though its caption
  // (" (001 Track)") starts with a space.
  std::stable_sort(groups.begin(), groups.end(), [](const TListedGroup& a, const TListedGroup& b) {
    const int byName = CompareCaptions(a.Name, b.Name);
    return byName != 0 ? byName < 0 : CompareCaptions(a.Id.Caption, b.Id.Caption) < 0;
  });
  list.SetCapacity(static_cast<int>(groups.size()));
  for (TListedGroup& group : groups) {
    list.Add(std::move(group.Id));
  }
}

bool TMusicDatabase::ListTracks(const TDbId& group, TDbIdList& list)
{
  TFilesTable& files = *FFiles;
  Activate(files);
  files.SetIndexName(ViewFileIndex(group.ViewId));
  try {
    TField* const key = ViewGroupField(files, group.ViewId);
    if (files.FindKey(group.GroupId)) {
      for (; !files.Eof() && key->AsInteger() == group.GroupId; files.Next()) {
        std::string title = files.FileName->AsString();
        std::string extra;
        if (group.ViewId == ViewAlbums) {
          AppendZeroPadded(extra, files.Track->AsInteger(), 4);
          extra += title;
        }
        list.AddValues(group.ViewId, group.GroupId, 0, std::move(extra), std::move(title),
                       files.FileId->AsInteger());
      }
    }
  } catch (...) {
    files.SetIndexName("");
    throw;
  }
  files.SetIndexName("");
  // A group without files is no group: its record went with its last file.
  if (list.Count() == 0) {
    return GroupCaption(group.ViewId, group.GroupId).has_value();
  }
  if (group.ViewId == ViewAlbums) {
    list.SortByExtra();
  } else {
    list.SortByCaption();
  }
  return true;
}

bool TMusicDatabase::GetItems(const TDbId& id, TDbIdList& list)
{
  list.Clear();
  switch (id.Level()) {
    case TDbIdLevel::Root:
      for (const std::int32_t view : RootViews) {
        list.AddValues(view, -1, 0, "", ViewName(view), -1);
      }
      return true;
    case TDbIdLevel::View:
      if (!IsFileView(id.ViewId) && id.ViewId != ViewPlaylists) {
        return false;
      }
      ListGroups(id.ViewId, list);
      return true;
    case TDbIdLevel::Group:
      if (id.ViewId == ViewPlaylists) {
        return ListFavoriteEntries(id.GroupId, list);
      }
      return IsFileView(id.ViewId) && ListTracks(id, list);
    case TDbIdLevel::Item:
      break;
  }
  if (id.ViewId == ViewPlaylists) {
    TResolvedEntry entry;
    if (!ResolveFavorite(id.FileId, entry) || entry.FileId == -1) {
      return false;
    }
    list.AddValues(ViewFolders, entry.FolderId, 0, "", entry.Caption, entry.FileId);
    return true;
  }
  TDbId item;
  if (!MakeItem(id.ViewId, id.FileId, item)) {
    return false;
  }
  item.GroupId = id.GroupId;
  item.Extra = id.Extra;
  item.Order = id.Order;
  list.Add(item);
  return true;
}

namespace {

template <class T>
std::optional<std::string> FindName(T& table, std::int32_t groupId, TField* T::*name,
                                    std::string (*caption)(const TField&))
{
  Activate(table);
  if (!table.FindKey(groupId)) {
    return std::nullopt;
  }
  return caption(*(table.*name));
}

std::string YearName(const TField& field)
{
  return Format("%.4d", field.AsInteger());
}

}  // namespace

std::optional<std::string> TMusicDatabase::GroupCaption(std::int32_t view, std::int32_t groupId)
{
  switch (view) {
    case ViewFolders:
      return FindName(*FFolders, groupId, &TFoldersTable::FolderName, &FolderName);
    case ViewAlbums:
      return FindName(*FAlbums, groupId, &TAlbumsTable::AlbumName, &TextName);
    case ViewArtists:
      return FindName(*FArtists, groupId, &TArtistsTable::ArtistName, &TextName);
    case ViewGenre:
      return FindName(*FGenres, groupId, &TGenreTable::GenreName, &TextName);
    case ViewTitles:
      return FindName(*FLetters, groupId, &TLettersTable::LetterName, &TextName);
    case ViewYears:
      return FindName(*FYears, groupId, &TYearsTable::YearNumber, &YearName);
    case ViewPlaylists:
      return FindName(*FFavoriteMasters, groupId, &TFavoriteMastersTable::Name, &TextName);
    default:
      return std::nullopt;
  }
}

std::string TMusicDatabase::GetCaption(const TDbId& id)
{
  switch (id.Level()) {
    case TDbIdLevel::Root:
      return std::string(RootCaption);
    case TDbIdLevel::View:
      return ViewName(id.ViewId);
    case TDbIdLevel::Group:
      return GroupCaption(id.ViewId, id.GroupId).value_or("");
    case TDbIdLevel::Item:
      break;
  }
  TDbIdList items;
  if (GetItems(id, items) && items.Count() == 1) {
    return items.Get(0).Caption;
  }
  return "";
}

bool TMusicDatabase::MakeItem(std::int32_t view, std::int32_t fileId, TDbId& item)
{
  item = TDbId();
  if (view == ViewPlaylists) {
    TFavoriteDetailsTable& details = *FFavoriteDetails;
    Activate(details);
    if (!details.FindKey(fileId)) {
      return false;
    }
    const std::int32_t masterId = details.MasterId->AsInteger();
    Activate(*FFavoriteMasters);
    if (!FFavoriteMasters->FindKey(masterId)) {
      return false;
    }
    item.ViewId = view;
    item.GroupId = masterId;
    item.FileId = fileId;
    item.Caption = FFavoriteMasters->Name->AsString();
    return true;
  }
  if (!IsFileView(view)) {
    return false;
  }
  TFilesTable& files = *FFiles;
  Activate(files);
  // A hidden file shows in no view.
  if (!files.FindKey(fileId) || files.FolderId->AsInteger() == -1) {
    return false;
  }
  item = FileAsItem(files, view);
  return true;
}

TDbId TMusicDatabase::FileAsItem(const TFilesTable& files, std::int32_t view)
{
  TDbId item;
  item.ViewId = view;
  item.GroupId = ViewGroupField(files, view)->AsInteger();
  item.FileId = files.FileId->AsInteger();
  item.Caption = files.FileName->AsString();
  return item;
}

TDbId TMusicDatabase::ItemInView(const TDbId& item, std::int32_t target)
{
  if (target == ViewPlaylists) {
    TDbId playlists;
    playlists.ViewId = ViewPlaylists;
    return item.Valid() ? FindNearestFavorite(item, playlists) : TDbId();
  }
  TDbIdList items;
  TDbId result;
  if (!IsFileView(target) || !GetItems(item, items) || items.Count() != 1 ||
      items.Get(0).Level() != TDbIdLevel::Item || !MakeItem(target, items.Get(0).FileId, result)) {
    return TDbId();
  }
  return result;
}

bool TMusicDatabase::FilePathOf(std::int32_t fileId, std::string& path)
{
  path.clear();
  TFilesTable& files = *FFiles;
  Activate(files);
  if (files.FindKey(fileId)) {
    path = files.FilePath->AsString();
  }
  return !path.empty();
}

bool TMusicDatabase::ResolveFileId(std::int32_t view, std::int32_t fileId, std::int32_t& resolved)
{
  if (view != ViewPlaylists) {
    resolved = fileId;
    return true;
  }
  TResolvedEntry entry;
  if (!ResolveFavorite(fileId, entry) || entry.FileId == -1) {
    return false;
  }
  resolved = entry.FileId;
  return true;
}
