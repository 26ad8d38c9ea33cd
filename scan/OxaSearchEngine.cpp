#include "scan/OxaSearchEngine.h"

#include <array>
#include <exception>
#include <unordered_set>

#include "framework/OxaUtils.h"
#include "platform/core/LastError.h"
#include "platform/files/ShellFolders.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "scan/KnownFiles.h"
#include "scan/OxaSearchUtils.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tags/TagFiles.h"

namespace {

constexpr UINT WindowsDirectoryBufferSize = 1024;

// One listing of a folder, closed when it goes out of scope (also when a callback throws).
// A walk hands its last converted hour of file times from listing to listing (localHour).
class TFolderListing {
 public:
  TFolderListing(const std::string& pattern, int attributes, TLocalHour* localHour = nullptr)
      : FError(FindFirst(pattern, attributes, FRecord, localHour != nullptr ? *localHour : TLocalHour{})),
        FOpen(FError == 0),
        FLocalHour(localHour)
  {
  }
  ~TFolderListing()
  {
    if (FOpen) {
      FindClose(FRecord);
    }
    if (FLocalHour != nullptr && FRecord.LocalTime.Hour != ~0ULL) {
      *FLocalHour = FRecord.LocalTime;
    }
  }
  TFolderListing(const TFolderListing&) = delete;
  TFolderListing& operator=(const TFolderListing&) = delete;

  // True while Record holds an entry; Next moves to the following one.
  bool Valid() const noexcept { return FOpen && !FDone; }
  const TSearchRec& Record() const noexcept { return FRecord; }
  void Next() { FDone = FindNext(FRecord) != 0; }
  // The folder is there but could not be listed (no access, an I/O error): what it holds is not
  // known now, which is not the same as gone.
  bool Unreadable() const noexcept
  {
    return FError != 0 && FError != static_cast<int>(ERROR_FILE_NOT_FOUND) &&
           FError != static_cast<int>(ERROR_PATH_NOT_FOUND) &&
           FError != static_cast<int>(ERROR_NO_MORE_FILES) &&
           FError != static_cast<int>(ERROR_INVALID_DRIVE) && FError != static_cast<int>(ERROR_NOT_READY);
  }

 private:
  TSearchRec FRecord{};
  int FError;
  bool FOpen;
  TLocalHour* FLocalHour;
  bool FDone = false;
};

bool IsFolder(const TSearchRec& record) noexcept
{
  return (record.Attr & faDirectory) != 0;
}

// A file a save of tags composed and never put in place (the save was killed) goes on the next
// walk of its folder; true when the entry was such a file and is gone.
bool RemoveLeftover(const TObject* walker, const std::string& folder, const TSearchRec& record)
{
  if (!IsReplacementName(record.Name) || !RemoveStaleReplacement(folder + record.Name)) {
    return false;
  }
  TraceObject(walker, "Removed %s%s, left by a save that did not finish", folder, record.Name);
  return true;
}

bool IsDotEntry(const std::string& name) noexcept
{
  return name == "." || name == "..";
}

// The classification walk shared by the engines: up the ancestors of path, nearest first, asking
// isCut before isRoot at each level.
template <class TIsCut, class TIsRoot>
TClassification ClassifyPath(std::string_view path, const TIsCut& isCut, const TIsRoot& isRoot)
{
  std::string current(path);
  for (;;) {
    const std::string stripped = ExcludeTrailingBackslash(current);
    std::string parent = ExtractFilePath(stripped);
    // A parent that is not shorter is the top of the path ("C:" or a UNC server).
    if (stripped.empty() || parent.size() >= stripped.size() || parent == stripped) {
      return TClassification::None;
    }
    if (isCut(parent)) {
      return TClassification::Cut;
    }
    if (isRoot(parent)) {
      return TClassification::Root;
    }
    current = std::move(parent);
  }
}

bool Contains(const TStringList& list, std::string_view value)
{
  return list.IndexOf(value) >= 0;
}

void AddIfAbsent(TStringList& list, const std::string& value)
{
  if (!Contains(list, value)) {
    list.Add(value);
  }
}

void DeleteIfPresent(TStringList& list, std::string_view value)
{
  const int index = list.IndexOf(value);
  if (index >= 0) {
    list.Delete(index);
  }
}

// The folder above a folder path, with its trailing backslash ("C:\Music\" for "C:\Music\Rock\").
std::string ParentFolder(std::string_view folder)
{
  return ExtractFilePath(ExcludeTrailingBackslash(folder));
}

void SortCopy(const TStringList& source, TStringList& copy)
{
  copy.Assign(source);
  copy.SetSorted(false);
  copy.SetCaseSensitive(false);
  copy.Sort();
}

const TStringList& NoMasks()
{
  static const TStringList empty;
  return empty;
}

}  // namespace

namespace {

// Which mark a folder keeps when it is named in more than one list: the walk of an excluded
// root lists nothing, and a root that is also a cut is still walked as a root.
int RankOf(int mark) noexcept
{
  constexpr int ranks[] = {2, 1, 3, 0};  // Root, Cut, Excluded, Parent
  return ranks[mark];
}

}  // namespace

TUpdateScope::TUpdateScope(const TStringList& roots, const TStringList& cuts, const TStringList& excluded)
{
  const auto mark = [this](std::string_view folder, TMark kind) {
    auto [it, added] = FMarks.try_emplace(FoldCase(IncludeTrailingBackslash(folder)), kind);
    if (!added && RankOf(static_cast<int>(kind)) > RankOf(static_cast<int>(it->second))) {
      it->second = kind;
    }
  };
  for (int i = 0; i < excluded.Count(); ++i) {
    mark(excluded[i], TMark::Excluded);
  }
  for (int i = 0; i < cuts.Count(); ++i) {
    mark(cuts[i], TMark::Cut);
  }
  std::unordered_map<std::string, bool, THash, std::equal_to<>> seen;
  for (int i = 0; i < roots.Count(); ++i) {
    std::string root = IncludeTrailingBackslash(roots[i]);
    if (seen.try_emplace(FoldCase(root), true).second) {
      mark(root, TMark::Root);
      FRoots.push_back(std::move(root));
    }
  }
  // Every mark but the parents' is in place, so where each run of parents ends does not depend
  // on the order of the roots.
  for (const std::string& root : FRoots) {
    AddParentsOf(root);
  }
}

const TUpdateScope::TMark* TUpdateScope::MarkOf(std::string_view folded) const
{
  const auto it = FMarks.find(folded);
  return it == FMarks.end() ? nullptr : &it->second;
}

void TUpdateScope::AddParentsOf(const std::string& root)
{
  const std::string drive = DriveOfPath(root);
  if (drive.empty()) {
    return;
  }
  std::string highest;  // of the run of parents below the folder looked at
  std::string folder = root;
  for (;;) {
    std::string parent = ParentFolder(folder);
    if (parent.size() >= folder.size()) {
      return;  // the top of a path that names no folder above
    }
    const bool atDrive = parent.size() <= drive.size();
    const TMark* mark = MarkOf(FoldCase(parent));
    // A parent already placed for another root is part of the same run.
    if (!atDrive && (mark == nullptr || *mark == TMark::Parent)) {
      highest = parent;
      folder = std::move(parent);
      continue;
    }
    if (!highest.empty() && (mark == nullptr || *mark != TMark::Root)) {
      if (FMarks.try_emplace(FoldCase(highest), TMark::Parent).second) {
        FParents.push_back(highest);
      }
    }
    if (atDrive) {
      return;
    }
    highest.clear();
    folder = std::move(parent);
  }
}

TWalkScope TUpdateScope::ScopeOfFolded(std::string_view folded) const
{
  std::size_t end = folded.size();
  while (end > 0) {
    if (const TMark* mark = MarkOf(folded.substr(0, end))) {
      switch (*mark) {
        case TMark::Root:
          return TWalkScope::Root;
        case TMark::Parent:
          return TWalkScope::Parent;
        case TMark::Cut:
        case TMark::Excluded:
          return TWalkScope::Outside;
      }
    }
    if (end < 2) {
      break;
    }
    const std::size_t cut = folded.rfind('\\', end - 2);
    if (cut == std::string_view::npos) {
      break;
    }
    end = cut + 1;
  }
  return TWalkScope::Outside;
}

bool TUpdateScope::Enters(std::string_view folder) const
{
  return FMarks.empty() || MarkOf(FoldCase(folder)) == nullptr;
}

void TNode::SetParent(TNode* parent)
{
  if (FParent != nullptr) {
    auto& siblings = FParent->FChildren;
    std::erase(siblings, this);
  }
  FParent = parent;
  if (parent != nullptr) {
    parent->FChildren.push_back(this);
  }
}

void TNode::SetRoot(bool root)
{
  if (root != FRoot) {
    FRoot = root;
    if (root) {
      FEngine.FRootNodes.Add(this);
    } else {
      FEngine.FRootNodes.Remove(this);
    }
  }
}

void TNode::SetCut(bool cut)
{
  if (cut != FCut) {
    FCut = cut;
    if (cut) {
      FEngine.FCutNodes.Add(this);
    } else {
      FEngine.FCutNodes.Remove(this);
    }
  }
}

TSearchEngine::TSearchEngine()
{
  ExcludedFolders.SetSorted(true);
  SpecialFolders.SetSorted(true);
  std::array<char, WindowsDirectoryBufferSize> windows{};
  const UINT length = GetWindowsDirectoryA(windows.data(), WindowsDirectoryBufferSize);
  if (length > 0 && length < WindowsDirectoryBufferSize) {
    ExcludedFolders.Add(IncludeTrailingBackslash(std::string_view(windows.data(), length)));
  }
  if (const std::string commonFiles = GetCommonFilesPath(); !commonFiles.empty()) {
    ExcludedFolders.Add(IncludeTrailingBackslash(commonFiles));
  }
  if (const std::string desktop = GetDesktopPath(); !desktop.empty()) {
    SpecialFolders.Add(IncludeTrailingBackslash(desktop));
  }
}

TSearchEngine::~TSearchEngine()
{
  FreeNodes();
}

TNode& TSearchEngine::NewNode()
{
  FNodes.push_back(std::unique_ptr<TNode>(new TNode(*this)));
  return *FNodes.back();
}

void TSearchEngine::FreeNodes()
{
  FRootNodes.Clear();
  FCutNodes.Clear();
  FNodes.clear();
}

bool TSearchEngine::IsExcluded(std::string_view path) const
{
  return Contains(ExcludedFolders, path);
}

bool TSearchEngine::InsideExcludedFolder(std::string_view path) const
{
  const std::string lowerPath = AnsiLowerCase(path);
  for (int i = 0; i < ExcludedFolders.Count(); ++i) {
    if (lowerPath.find(AnsiLowerCase(ExcludedFolders[i])) != std::string::npos) {
      return true;
    }
  }
  return false;
}

void TSearchEngine::Search()
{
  FreeNodes();
  FUnreadableFolders.Clear();
  const TMusicFileRule rule(Masks != nullptr ? *Masks : NoMasks());
  TNode& top = NewNode();
  Scan(top, Root, rule, 0);
  // A desktop inside the Windows folder would otherwise never be walked. It gets a top node of
  // its own: walked with the drive's top node, it would take over that node's path and the
  // drive's root would be lost, with the music directly in it.
  std::vector<TNode*> specialTops;
  for (int i = 0; i < SpecialFolders.Count() && !Cancelled; ++i) {
    const std::string& folder = SpecialFolders[i];
    if (AnsiSameText(std::string_view(folder).substr(0, Root.size()), Root) && InsideExcludedFolder(folder)) {
      TNode& special = NewNode();
      Scan(special, folder, rule, 0);
      specialTops.push_back(&special);
    }
  }
  if (Cancelled) {
    return;
  }
  PromoteTop(top);
  for (TNode* special : specialTops) {
    PromoteTop(*special);
  }
  RemoveNestedNodes();
}

void TSearchEngine::PromoteTop(TNode& top)
{
  if (top.MusicCount > 0) {
    top.SetRoot(true);
    MarkCuts(top);
  }
}

void TSearchEngine::RemoveNestedNodes()
{
  std::unordered_multiset<std::string_view> rootPaths;
  std::unordered_multiset<std::string_view> cutPaths;
  for (const TNode* node : FRootNodes) {
    rootPaths.insert(node->Path);
  }
  for (const TNode* node : FCutNodes) {
    cutPaths.insert(node->Path);
  }
  // Paths are compared exactly, as the nodes hold them. An excluded folder counts as a cut: no
  // walk goes into it, so a desktop root inside it is not covered by the drive's root.
  const auto isCut = [&](const std::string& folder) {
    return cutPaths.contains(folder) || IsExcluded(folder);
  };
  const auto isRoot = [&](const std::string& folder) { return rootPaths.contains(folder); };
  // Flags are cleared as the walk goes and the lists compacted once afterwards: a drive can have
  // thousands of roots, and removing each from its list would be quadratic.
  for (int i = FRootNodes.Count() - 1; i >= 0; --i) {
    TNode* node = FRootNodes[i];
    if (ClassifyPath(node->Path, isCut, isRoot) == TClassification::Root) {
      rootPaths.erase(rootPaths.find(node->Path));
      node->FRoot = false;
    }
  }
  for (int i = FCutNodes.Count() - 1; i >= 0; --i) {
    TNode* node = FCutNodes[i];
    if (ClassifyPath(node->Path, isCut, isRoot) == TClassification::Cut) {
      cutPaths.erase(cutPaths.find(node->Path));
      node->FCut = false;
    }
  }
  TList<TNode> roots;
  for (TNode* node : FRootNodes) {
    if (node->FRoot) {
      roots.Add(node);
    }
  }
  FRootNodes = roots;
  TList<TNode> cuts;
  for (TNode* node : FCutNodes) {
    if (node->FCut) {
      cuts.Add(node);
    }
  }
  FCutNodes = cuts;
}

void TSearchEngine::Scan(TNode& node, const std::string& path, const TMusicFileRule& rule, int depth)
{
  node.Path = path;
  if (IsExcluded(path) || depth > MaxFolderDepth) {
    return;
  }
  try {
    TFolderListing listing(path + "*.*", MusicSearchAttributes, &FLocalHour);
    if (listing.Unreadable()) {
      AddIfAbsent(FUnreadableFolders, path);
    }
    for (; listing.Valid(); listing.Next()) {
      if (Cancelled) {
        return;
      }
      const TSearchRec& record = listing.Record();
      if (IsFolder(record)) {
        if (IsDotEntry(record.Name)) {
          continue;
        }
        const std::string folder = path + record.Name;
        if (OnDirectory) {
          OnDirectory(&node, folder);
        }
        TNode& child = NewNode();
        child.SetParent(&node);
        Scan(child, folder + "\\", rule, depth + 1);
        // A child that made itself a root has left this folder and stands for its own music;
        // counted here too, it would make every folder above a leaf of music a root as well.
        if (child.Parent() == &node) {
          node.FileCount += child.FileCount;
          node.MusicCount += child.MusicCount;
        }
      } else if (RemoveLeftover(this, path, record)) {
        continue;
      } else {
        ++node.FileCount;
        if (rule.IsMusicFile(record.Name, record.Size, static_cast<DWORD>(record.Attr))) {
          ++node.MusicCount;
          if (OnFile) {
            OnFile(&node, path, record);
          }
        }
      }
    }
  } catch (const std::exception& e) {
    // One folder's failure must not end the drive's walk: it stays as far as it was counted and
    // is left out of the classification.
    TraceObject(this, "Scan %s: %s", path, std::string(e.what()));
    return;
  }
  ClassifyChildren(node);
}

void TSearchEngine::ClassifyChildren(TNode& node)
{
  const std::vector<TNode*> children = node.Children();
  const int count = static_cast<int>(children.size());
  int musicOrEmpty = 0;
  for (const TNode* child : children) {
    if (child->MusicCount > 0 || child->FileCount == 0) {
      ++musicOrEmpty;
    }
  }
  if (musicOrEmpty == count && node.MusicCount > 0) {
    // Every subfolder holds music or nothing: the folder is a root of its own, standing for
    // them all, and keeps only the counts of its own files.
    node.SetParent(nullptr);
    node.SetRoot(true);
    for (TNode* child : children) {
      node.MusicCount -= child->MusicCount;
      node.FileCount -= child->FileCount;
      child->SetRoot(false);
    }
    MarkCuts(node);
  } else if (count > 2 * musicOrEmpty) {
    // Mostly folders without music: each subfolder with music stands alone.
    for (int i = count - 1; i >= 0; --i) {
      if (children[static_cast<std::size_t>(i)]->MusicCount > 0) {
        PromoteChild(node, *children[static_cast<std::size_t>(i)]);
      }
    }
  } else {
    // Only a subfolder that holds all the music left here stands alone.
    for (int i = count - 1; i >= 0; --i) {
      TNode& child = *children[static_cast<std::size_t>(i)];
      if (child.MusicCount > 0 && child.MusicCount == node.MusicCount) {
        PromoteChild(node, child);
      }
    }
  }
}

void TSearchEngine::PromoteChild(TNode& node, TNode& child)
{
  node.MusicCount -= child.MusicCount;
  node.FileCount -= child.FileCount;
  child.SetParent(nullptr);
  child.SetRoot(true);
  MarkCuts(child);
}

void TSearchEngine::MarkCuts(TNode& node)
{
  const std::vector<TNode*>& children = node.Children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if ((*it)->MusicCount == 0 && (*it)->FileCount >= 6) {
      (*it)->SetCut(true);
    }
  }
}

void TSearchEngine::SearchList(const TStringList& roots, const TStringList& cuts)
{
  FUnreadableFolders.Clear();
  const TMusicFileRule rule(Masks != nullptr ? *Masks : NoMasks());
  for (int i = 0; i < roots.Count() && !Cancelled; ++i) {
    const std::string root = IncludeTrailingBackslash(roots[i]);
    if (!IsExcluded(root)) {
      WalkFolder(
          root, [&](const std::string& folder) { return !Contains(cuts, folder) && !IsExcluded(folder); },
          rule, 0);
    }
  }
}

void TSearchEngine::WalkFolder(const std::string& folder,
                               const std::function<bool(const std::string&)>& enters,
                               const TMusicFileRule& rule, int depth)
{
  if (depth > MaxFolderDepth) {
    return;
  }
  TFolderListing listing(folder + "*.*", MusicSearchAttributes, &FLocalHour);
  if (listing.Unreadable()) {
    AddIfAbsent(FUnreadableFolders, folder);
  }
  for (; listing.Valid() && !Cancelled; listing.Next()) {
    const TSearchRec& record = listing.Record();
    if (IsFolder(record)) {
      if (IsDotEntry(record.Name)) {
        continue;
      }
      const std::string subFolder = folder + record.Name + "\\";
      if (enters(subFolder)) {
        WalkFolder(subFolder, enters, rule, depth + 1);
      }
    } else if (!RemoveLeftover(this, folder, record) &&
               rule.IsMusicFile(record.Name, record.Size, static_cast<DWORD>(record.Attr)) && OnFile) {
      OnFile(this, folder, record);
    }
  }
}

void TSearchEngine::SearchUpdate(const TUpdateScope& scope)
{
  FUnreadableFolders.Clear();
  const TMusicFileRule rule(Masks != nullptr ? *Masks : NoMasks());
  for (const auto* folders : {&scope.Roots(), &scope.Parents()}) {
    for (const std::string& folder : *folders) {
      if (Cancelled) {
        return;
      }
      if (!IsExcluded(folder)) {
        // Below its start a walk meets only folders the scope lets it enter, excluded ones left out.
        WalkFolder(
            folder, [&](const std::string& sub) { return scope.Enters(sub); }, rule, 0);
      }
    }
  }
}

TClassification TDragNDropSearchEngine::Classify(std::string_view path) const
{
  return ClassifyPath(
      path, [&](const std::string& folder) { return Cuts != nullptr && Contains(*Cuts, folder); },
      [&](const std::string& folder) { return Roots != nullptr && Contains(*Roots, folder); });
}

int TDragNDropSearchEngine::SubFolders(const std::string& folder, TStringList& candidates)
{
  int count = 0;
  for (TFolderListing listing(folder + "*.*", SubFolderSearchAttributes); listing.Valid(); listing.Next()) {
    const TSearchRec& record = listing.Record();
    if (IsFolder(record) && !IsDotEntry(record.Name)) {
      candidates.Add(folder + record.Name + "\\");
      ++count;
    }
  }
  return count;
}

int TDragNDropSearchEngine::FolderFiles(const std::string& folder, const TMusicFileRule& rule)
{
  int count = 0;
  for (TFolderListing listing(folder + "*.*", MusicSearchAttributes); listing.Valid(); listing.Next()) {
    const TSearchRec& record = listing.Record();
    if (!IsFolder(record) && !RemoveLeftover(this, folder, record) && rule.HasMusicExtension(record.Name)) {
      if (OnFile) {
        OnFile(this, folder, record);
      }
      ++count;
    }
  }
  return count;
}

void TDragNDropSearchEngine::Add(const TStringList* files, const TStringList* folders)
{
  if (Roots == nullptr || Cuts == nullptr || Masks == nullptr || (files == nullptr && folders == nullptr)) {
    return;
  }
  const TMusicFileRule rule(*Masks);
  TStringList newRoots;
  newRoots.SetSorted(true);
  TStringList candidates;
  candidates.SetSorted(true);
  if (files != nullptr) {
    AddDroppedFiles(*files, rule, newRoots, candidates);
  }
  if (folders != nullptr) {
    AddDroppedFolders(*folders, rule, newRoots, candidates);
  }
  if (newRoots.Count() > 0) {
    MergeNewRoots(newRoots);
  }
  RootParentsOfCandidates(candidates);
  CutRemainingCandidates(candidates);
}

// Dropped files: each is reported, and the folder of each becomes a new root unless its
// subfolders hold music (then they are candidates for cuts below it).
void TDragNDropSearchEngine::AddDroppedFiles(const TStringList& files, const TMusicFileRule& rule,
                                             TStringList& newRoots, TStringList& candidates)
{
  TStringList sortedFiles;
  SortCopy(files, sortedFiles);
  std::string previousFolder;
  bool first = true;
  for (int i = 0; i < sortedFiles.Count(); ++i) {
    const std::string& file = sortedFiles[i];
    if (!rule.HasMusicExtension(file)) {
      continue;
    }
    const std::string folder = IncludeTrailingBackslash(ExtractFilePath(file));
    if (OnFile) {
      ReportDroppedFile(folder, ExtractFileName(file));
    }
    if ((first || !AnsiSameText(folder, previousFolder)) && SubFolders(folder, candidates) == 0) {
      newRoots.Add(folder);
    }
    previousFolder = folder;
    first = false;
  }
}

// A dropped name is a name, never a pattern: "?" and "*" are legal in a host file name, and
// asked for as a pattern they could match other files. The folder is listed and the name
// matched exactly.
void TDragNDropSearchEngine::ReportDroppedFile(const std::string& folder, const std::string& name)
{
  for (TFolderListing listing(folder + "*", MusicSearchAttributes); listing.Valid(); listing.Next()) {
    if (listing.Record().Name == name) {
      OnFile(this, folder, listing.Record());
      return;
    }
  }
}

// Dropped folders: one without music of its own is a candidate (its parent becomes the root);
// one with music becomes a new root unless its subfolders hold music.
void TDragNDropSearchEngine::AddDroppedFolders(const TStringList& folders, const TMusicFileRule& rule,
                                               TStringList& newRoots, TStringList& candidates)
{
  TStringList sortedFolders;
  SortCopy(folders, sortedFolders);
  for (int i = 0; i < sortedFolders.Count(); ++i) {
    const std::string folder = IncludeTrailingBackslash(sortedFolders[i]);
    if (FolderFiles(folder, rule) == 0) {
      AddIfAbsent(candidates, folder);
    } else if (SubFolders(folder, candidates) == 0) {
      AddIfAbsent(newRoots, folder);
    }
  }
}

// New roots join the stored ones; a cut that is now a root goes, and so does a root that lies
// below another root.
void TDragNDropSearchEngine::MergeNewRoots(const TStringList& newRoots)
{
  for (int i = 0; i < newRoots.Count(); ++i) {
    AddIfAbsent(*Roots, newRoots[i]);
  }
  for (int i = Cuts->Count() - 1; i >= 0; --i) {
    if (Contains(*Roots, (*Cuts)[i])) {
      Cuts->Delete(i);
    }
  }
  DropRootsBelowRoots();
}

// The parents of the candidates become roots: a dropped folder stands for itself, and a
// subfolder that was not dropped becomes a cut below it. Below a stored root nothing changes.
void TDragNDropSearchEngine::RootParentsOfCandidates(TStringList& candidates)
{
  std::string previousParent;
  bool first = true;
  int i = candidates.Count() - 1;
  while (i >= 0 && i < candidates.Count()) {
    const std::string parent = ParentFolder(candidates[i]);
    int next = i - 1;
    if (first || !AnsiSameText(parent, previousParent)) {
      if (Contains(*Cuts, parent)) {
        DeleteIfPresent(*Cuts, parent);
      } else if (Classify(parent) == TClassification::Root) {
        int removedBelow = 0;
        for (int j = candidates.Count() - 1; j >= 0; --j) {
          if (AnsiSameText(ParentFolder(candidates[j]), parent)) {
            candidates.Delete(j);
            if (j < i) {
              ++removedBelow;
            }
          }
        }
        next = i - removedBelow - 1;
      }
      AddIfAbsent(*Roots, parent);
    }
    previousParent = parent;
    first = false;
    if (candidates.Count() == 0) {
      break;
    }
    i = next;
  }
}

// The candidates that are not roots become cuts.
void TDragNDropSearchEngine::CutRemainingCandidates(TStringList& candidates)
{
  for (int j = candidates.Count() - 1; j >= 0; --j) {
    if (Contains(*Roots, candidates[j])) {
      candidates.Delete(j);
    }
  }
  for (int j = 0; j < candidates.Count(); ++j) {
    AddIfAbsent(*Cuts, candidates[j]);
  }
  DropRootsBelowRoots();
}

void TDragNDropSearchEngine::DropRootsBelowRoots()
{
  for (int j = Roots->Count() - 1; j >= 0; --j) {
    if (Classify((*Roots)[j]) == TClassification::Root) {
      Roots->Delete(j);
    }
  }
}
