#pragma once
// The directory walks. TSearchEngine walks one drive in full, reporting every music file, and
// learns from the counts of music and other files where the music lives: the folders worth
// walking again ("Roots") and the folders below them that hold many files but no music
// ("Cuts"). It also runs the update walk over stored roots, skipping stored cuts.
// TDragNDropSearchEngine reports the music of dropped files and folders and merges the dropped
// places into the stored roots and cuts.
//
// The walks read directory entries only, never file contents, and report each music file
// through OnFile; they run on the scan thread, and Cancelled is the one field another thread
// may touch while they run.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "rtl/AnsiText.h"
#include "rtl/FileSearch.h"
#include "rtl/List.h"
#include "rtl/Method.h"
#include "rtl/Object.h"
#include "rtl/StringList.h"

class TSearchEngine;
class TMusicFileRule;

// Where a folder lies relative to the roots and cuts above it: below a cut, below a root, or
// below neither. The folder itself is never looked at, only its ancestors, nearest first; at
// each level a cut wins over a root.
enum class TClassification { None, Root, Cut };

// What an update walk does with a folder: Root, the folder lies inside a root and is looked at
// in full; Parent, it lies only below the parents of roots, where new folders of music are looked
// for; Outside, it is not walked (no root or parent above it, or a cut or an excluded folder
// nearer than any).
enum class TWalkScope : std::uint8_t { Outside, Root, Parent };

// The places of an update walk, made once from the active roots and cuts and the excluded
// folders. Besides the roots, the walk looks into the folders that contain roots, up to and not
// including the drive's root, so music copied beside known music is found although the roots and
// cuts stay as the full scan stored them. A parent folder is walked as the highest folder of a run
// of parents whose own parent is the drive's root, a cut or an excluded folder; a run inside a
// root is the root's walk already. Every walk skips the roots it meets (each is walked on its
// own), the cuts and the excluded folders, so no folder is listed twice, and ScopeOf says for any
// folder which walk listed it.
class TUpdateScope {
 public:
  TUpdateScope(const TStringList& roots, const TStringList& cuts, const TStringList& excluded);

  // Each with a trailing backslash; roots in the order given (without repeats), parents in the
  // order of the first root below each.
  const std::vector<std::string>& Roots() const noexcept { return FRoots; }
  const std::vector<std::string>& Parents() const noexcept { return FParents; }

  // The scope of a folder (trailing backslash), decided by the nearest of the folder and its
  // ancestors that is a root, a cut, an excluded folder or a walked parent; an excluded folder
  // or a root wins over a cut of the same path.
  TWalkScope ScopeOf(std::string_view folder) const { return ScopeOfFolded(FoldCase(folder)); }
  // The same for a folder already case-folded (FoldCase).
  TWalkScope ScopeOfFolded(std::string_view folded) const;
  // Whether a walk goes into a subfolder it meets: not into a root, a cut or an excluded folder.
  bool Enters(std::string_view folder) const;

 private:
  enum class TMark : std::uint8_t { Root, Cut, Excluded, Parent };
  struct THash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept
    {
      return std::hash<std::string_view>{}(text);
    }
  };
  const TMark* MarkOf(std::string_view folded) const;
  void AddParentsOf(const std::string& root);

  std::unordered_map<std::string, TMark, THash, std::equal_to<>> FMarks;  // by folded path
  std::vector<std::string> FRoots;
  std::vector<std::string> FParents;
};

// Folders nested deeper than this below a walk's start are treated as unreadable, so a
// pathological tree cannot exhaust the scan thread's stack or its file handles.
constexpr int MaxFolderDepth = 256;

// One folder of a full walk. Nodes are made and owned by their engine and live until its next
// Search or its destruction.
class TNode : public TObject {
 public:
  TNode(const TNode&) = delete;
  TNode& operator=(const TNode&) = delete;

  std::string Path;  // with a trailing backslash
  std::int32_t MusicCount = 0;
  std::int32_t FileCount = 0;

  TSearchEngine& Engine() const noexcept { return FEngine; }
  TNode* Parent() const noexcept { return FParent; }
  // Moves the node from its parent's Children to parent's (null: detaches it).
  void SetParent(TNode* parent);
  // The subfolder nodes still attached, in the order they were found.
  const std::vector<TNode*>& Children() const noexcept { return FChildren; }

  // Membership in the engine's RootNodes and CutNodes.
  bool IsRoot() const noexcept { return FRoot; }
  void SetRoot(bool root);
  bool IsCut() const noexcept { return FCut; }
  void SetCut(bool cut);

 private:
  friend class TSearchEngine;
  explicit TNode(TSearchEngine& engine) : FEngine(engine) {}

  TSearchEngine& FEngine;
  TNode* FParent = nullptr;
  std::vector<TNode*> FChildren;
  bool FRoot = false;
  bool FCut = false;
};

// OnDirectory(node, path): the full walk enters path (no trailing backslash) below node.
using TDirectoryEvent = TMethod<void(TNode* node, const std::string& path)>;
// OnFile(sender, folder, record): a music file; folder ends in a backslash, the record carries
// the entry's name, size, attributes and file times. The sender is the node of the folder in a
// full walk, the engine otherwise.
using TFileEvent = TMethod<void(TObject* sender, const std::string& folder, const TSearchRec& record)>;

class TSearchEngine : public TObject {
 public:
  // Fills ExcludedFolders with the Windows and common-files folders and SpecialFolders with
  // the desktop, each with a trailing backslash (a folder the machine does not name is left out).
  TSearchEngine();
  ~TSearchEngine() override;
  TSearchEngine(const TSearchEngine&) = delete;
  TSearchEngine& operator=(const TSearchEngine&) = delete;

  // Every node of the current walk; the roots and cuts it chose (pointing into Nodes).
  int NodeCount() const noexcept { return static_cast<int>(FNodes.size()); }
  const TList<TNode>& RootNodes() const noexcept { return FRootNodes; }
  const TList<TNode>& CutNodes() const noexcept { return FCutNodes; }
  // The folders the last walk found but could not list (no access, an I/O error), each with a
  // trailing backslash: what they hold is unknown for now, not gone.
  const TStringList& UnreadableFolders() const noexcept { return FUnreadableFolders; }

  std::string Root;                    // the drive (or folder) of the full walk: "C:\"
  const TStringList* Masks = nullptr;  // music extensions; not owned; none means no music
  TStringList ExcludedFolders;         // never walked (whole-path match, ignoring case)
  TStringList SpecialFolders;          // walked even inside an excluded folder
  TDirectoryEvent OnDirectory;
  TFileEvent OnFile;
  // Set from another thread to stop a walk at its next directory entry; never cleared.
  std::atomic<bool> Cancelled{false};

  // The full walk of Root: reports the music files and leaves RootNodes and CutNodes. A special
  // folder on this drive that lies inside an excluded one is walked as a top of its own and may
  // become a root beside the drive's. A cancelled walk leaves the lists as they stood. Errors
  // while listing one folder end only that folder's listing.
  void Search();
  // The update walk: every folder below each entry of roots, except those in cuts (ignoring
  // case), reporting the music files. Builds no nodes, fires no OnDirectory. Exceptions raised by
  // OnFile end the walk and reach the caller.
  void SearchList(const TStringList& roots, const TStringList& cuts);
  // The update scan's walk: every root of scope, then every parent folder of roots, entering no
  // folder that scope says another walk lists or none does (scope is made with ExcludedFolders).
  // Reports the music files as SearchList does, and lets exceptions of OnFile through to the
  // caller the same way.
  void SearchUpdate(const TUpdateScope& scope);

 private:
  friend class TNode;

  TNode& NewNode();
  void FreeNodes();
  bool IsExcluded(std::string_view path) const;
  bool InsideExcludedFolder(std::string_view path) const;
  void Scan(TNode& node, const std::string& path, const TMusicFileRule& rule, int depth);
  void ClassifyChildren(TNode& node);
  void MarkCuts(TNode& node);
  void PromoteChild(TNode& node, TNode& child);
  void PromoteTop(TNode& top);
  void RemoveNestedNodes();
  // Lists a folder: its music goes to OnFile, its leftovers are removed, and the subfolders
  // `enters` takes are walked in turn.
  void WalkFolder(const std::string& folder, const std::function<bool(const std::string&)>& enters,
                  const TMusicFileRule& rule, int depth);

  std::vector<std::unique_ptr<TNode>> FNodes;
  TList<TNode> FRootNodes;
  TList<TNode> FCutNodes;
  TStringList FUnreadableFolders;
  TLocalHour FLocalHour;  // handed from folder to folder for the length of one walk
};

// The drop: reports the music of dropped files and folders and merges the dropped places into
// Roots and Cuts, so a dropped folder becomes a root, its subfolders that were not dropped
// become cuts, and the folder of each dropped file becomes a root.
class TDragNDropSearchEngine : public TObject {
 public:
  TStringList* Cuts = nullptr;         // not owned
  TStringList* Roots = nullptr;        // not owned
  const TStringList* Masks = nullptr;  // not owned
  TFileEvent OnFile;                   // the sender is the engine

  // Either list may be null. Does nothing unless Roots, Cuts and Masks are set and a list is
  // given. A dropped file is reported when its extension is a mask, whatever its size.
  void Add(const TStringList* files, const TStringList* folders);

  // Where path lies relative to Roots and Cuts (ignoring case).
  TClassification Classify(std::string_view path) const;

 private:
  // The phases of Add, in order.
  void AddDroppedFiles(const TStringList& files, const TMusicFileRule& rule, TStringList& newRoots,
                       TStringList& candidates);
  void AddDroppedFolders(const TStringList& folders, const TMusicFileRule& rule, TStringList& newRoots,
                         TStringList& candidates);
  void MergeNewRoots(const TStringList& newRoots);
  void RootParentsOfCandidates(TStringList& candidates);
  void CutRemainingCandidates(TStringList& candidates);

  void ReportDroppedFile(const std::string& folder, const std::string& name);
  void DropRootsBelowRoots();
  int SubFolders(const std::string& folder, TStringList& candidates);
  int FolderFiles(const std::string& folder, const TMusicFileRule& rule);
};
