#include <ostream>
#include <string>
#include <vector>

#include "platform/files/Files.h"
#include "platform/files/Paths.h"
#include "rtl/FilePaths.h"
#include "scan/OxaSearchEngine.h"
#include "scan/OxaSearchOptions.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

class TFoundFiles {
 public:
  void File(TObject*, const std::string& folder, const TSearchRec& record)
  {
    Names.push_back(folder + record.Name);
  }

  std::vector<std::string> Names;
};

// The stored "Masks", or the defaults the search options would write (nothing is written here).
void LoadMasks(TStringList& masks)
{
  ReadOption(TMusicOption::Masks, masks);
  if (masks.Count() == 0) {
    for (const std::string_view mask : DefaultMasks) {
      masks.Add(std::string(mask));
    }
  }
}

// A drive ("C:"), a Windows folder or a host folder ("/home/me/Music"), as a folder path with a
// trailing backslash.
bool WalkRootOf(const std::string& argument, std::string& root)
{
  std::string windowsPath = argument;
  if (argument.starts_with("/")) {
    windowsPath = WindowsPathOf(argument);
    if (windowsPath.empty()) {
      return false;
    }
  }
  return FullWindowsPath(IncludeTrailingBackslash(windowsPath), root);
}

void WriteList(TJsonWriter& json, std::string_view key, const std::vector<std::string>& items)
{
  json.Key(key).BeginArray();
  for (const std::string& item : items) {
    json.String(item);
  }
  json.EndArray();
}

void PrintList(std::ostream& out, std::string_view title, const std::vector<std::string>& items)
{
  out << title << ":\n";
  for (const std::string& item : items) {
    out << "  " << item << '\n';
  }
}

std::vector<std::string> PathsOf(const TList<TNode>& nodes)
{
  std::vector<std::string> paths;
  for (const TNode* node : nodes) {
    paths.push_back(node->Path);
  }
  return paths;
}

std::vector<std::string> Lines(const TStringList& list)
{
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return lines;
}

void Report(std::ostream& out, bool asJson, bool withFiles, const std::vector<std::string>& roots,
            const std::vector<std::string>& cuts, const TFoundFiles& found)
{
  if (asJson) {
    TJsonWriter json(out);
    json.BeginObject();
    WriteList(json, "roots", roots);
    WriteList(json, "cuts", cuts);
    json.Key("musicFiles").Number(static_cast<std::int64_t>(found.Names.size()));
    if (withFiles) {
      WriteList(json, "files", found.Names);
    }
    json.EndObject();
    return;
  }
  PrintList(out, "Roots", roots);
  PrintList(out, "Cuts", cuts);
  out << "Music files: " << found.Names.size() << '\n';
  if (withFiles) {
    for (const std::string& name : found.Names) {
      out << name << '\n';
    }
  }
}

}  // namespace

// The full walk of a drive or folder, showing the roots and cuts it would store; or, with
// --update, the update walk over the stored "Roots" and "Cuts". Nothing is stored.
int RunWalk(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"files", "update", "json"}, {});
  const bool update = arguments.Has("update");
  if (!arguments.Error().empty() || arguments.Positional().size() != (update ? 0u : 1u)) {
    err << "usage: oxa-lib walk ROOT [--files] [--json] | walk --update [--files] [--json]\n";
    return ExitUsage;
  }
  TStringList masks;
  LoadMasks(masks);
  TFoundFiles found;
  TSearchEngine engine;
  engine.Masks = &masks;
  engine.OnFile = MakeMethod<&TFoundFiles::File>(&found);

  if (update) {
    TStringList roots;
    TStringList cuts;
    ReadOption(TMusicOption::Roots, roots);
    ReadOption(TMusicOption::Cuts, cuts);
    engine.SearchList(roots, cuts);
    Report(out, arguments.Has("json"), arguments.Has("files"), Lines(roots), Lines(cuts), found);
    return ExitSuccess;
  }

  if (!WalkRootOf(arguments.Positional()[0], engine.Root)) {
    err << "oxa-lib walk: not a path the machine knows: " << arguments.Positional()[0] << '\n';
    return ExitFailure;
  }
  if (!IsDriveReady(engine.Root)) {
    err << "oxa-lib walk: the drive of " << engine.Root << " is not ready\n";
    return ExitFailure;
  }
  // A mistyped folder would otherwise read as a folder without music.
  const DWORD attributes = GetFileAttributesA(engine.Root.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    err << "oxa-lib walk: no such folder: " << arguments.Positional()[0] << '\n';
    return ExitFailure;
  }
  engine.Search();
  Report(out, arguments.Has("json"), arguments.Has("files"), PathsOf(engine.RootNodes()),
         PathsOf(engine.CutNodes()), found);
  return ExitSuccess;
}
