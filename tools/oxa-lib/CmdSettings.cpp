// oxa-lib settings: the settings file of the library directory in use (or any string-list file).

#include <algorithm>
#include <array>
#include <ostream>

#include "platform/files/Files.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/Strings.h"
#include "settings/MusicStringList.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

namespace {

constexpr const char* Usage =
    "usage: oxa-lib settings [--file F] [--json]\n"
    "       oxa-lib settings get KEY [--file F] [--json]\n"
    "       oxa-lib settings set KEY [LINE...] [--file F]\n"
    "       oxa-lib settings dump FILE\n";

constexpr std::array AllOptions{TMusicOption::Roots,       TMusicOption::Cuts,        TMusicOption::Masks,
                                TMusicOption::WhiteDrives, TMusicOption::GreyDrives,  TMusicOption::Version,
                                TMusicOption::UnhideFiles, TMusicOption::DeleteFiles, TMusicOption::Random,
                                TMusicOption::LastPlayed,  TMusicOption::AddedMasks};

bool FileExists(const std::string& fileName)
{
  const DWORD attributes = GetFileAttributesA(fileName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Loads a string-list file, telling a missing file from a corrupt one.
bool LoadList(const std::string& fileName, TMusicStringList& list, std::ostream& err)
{
  if (!FileExists(fileName)) {
    err << "oxa-lib settings: no file " << fileName << '\n';
    return false;
  }
  try {
    list.LoadFromFile(fileName);
  } catch (const Exception& e) {
    err << "oxa-lib settings: cannot read " << fileName << ": " << e.Message() << '\n';
    return false;
  }
  return true;
}

std::string Hex(std::string_view bytes)
{
  std::string text;
  for (const char c : bytes) {
    text += IntToHex(static_cast<unsigned char>(c), 2);
  }
  return text;
}

void Dump(const TMusicStringList& list, int depth, std::ostream& out)
{
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  for (int i = 0; i < list.Count(); ++i) {
    if (const auto* nested = list.List(i)) {
      out << indent << list[i] << ":\n";
      Dump(*nested, depth + 1, out);
    } else if (const auto* item = list.Item(i)) {
      out << indent << list[i] << " = " << Hex(item->Value) << '\n';
    } else {
      out << indent << list[i] << '\n';
    }
  }
}

const TMusicStringList* KeyList(const TMusicStringList& root, TMusicOption key)
{
  const int index = root.IndexOf(MusicOptionName(key));
  return index < 0 ? nullptr : root.List(index);
}

bool FindOption(const std::string& name, TMusicOption& key)
{
  const auto found = std::find_if(AllOptions.begin(), AllOptions.end(), [&](TMusicOption option) {
    return SameText(MusicOptionName(option), name);
  });
  if (found == AllOptions.end()) {
    return false;
  }
  key = *found;
  return true;
}

void PrintKey(std::string_view name, const TMusicStringList* lines, std::ostream& out)
{
  out << name << ":\n";
  for (int i = 0; lines != nullptr && i < lines->Count(); ++i) {
    out << "  " << (*lines)[i] << '\n';
  }
}

void JsonKey(TJsonWriter& json, std::string_view name, const TMusicStringList* lines)
{
  json.Key(name).BeginArray();
  for (int i = 0; lines != nullptr && i < lines->Count(); ++i) {
    json.String((*lines)[i]);
  }
  json.EndArray();
}

}  // namespace

int RunSettings(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"file"});
  const auto& words = arguments.Positional();
  if (!arguments.Error().empty()) {
    err << arguments.Error() << '\n' << Usage;
    return ExitUsage;
  }
  const std::string verb = words.empty() ? "" : words[0];

  if (verb == "dump") {
    if (words.size() != 2) {
      err << Usage;
      return ExitUsage;
    }
    TMusicStringList list;
    if (!LoadList(words[1], list, err)) {
      return ExitFailure;
    }
    Dump(list, 0, out);
    return ExitSuccess;
  }

  const std::string fileName = arguments.Option("file").value_or(SettingsFileName());
  if (verb == "set") {
    TMusicOption key{};
    if (words.size() < 2 || !FindOption(words[1], key)) {
      err << "oxa-lib settings: unknown key" << (words.size() < 2 ? "" : " " + words[1]) << '\n' << Usage;
      return ExitUsage;
    }
    TMusicStringOptions options;
    TMusicStringList& values = options.Values(MusicOptionName(key));
    for (std::size_t i = 2; i < words.size(); ++i) {
      values.Add(words[i]);
    }
    const std::array<std::string, 1> keys{std::string(MusicOptionName(key))};
    const TMusicStringOptions::TStoreResult stored = options.Store(fileName, keys);
    if (!options.KeptDamagedFile().empty()) {
      err << "oxa-lib settings: " << fileName << " was damaged; it is kept as " << options.KeptDamagedFile()
          << " and a new file holds " << keys[0] << " alone\n";
    }
    switch (stored) {
      case TMusicStringOptions::TStoreResult::Stored:
        return ExitSuccess;
      case TMusicStringOptions::TStoreResult::Locked:
        err << "oxa-lib settings: " << fileName << " stays locked by another process\n";
        break;
      case TMusicStringOptions::TStoreResult::Unreadable:
        err << "oxa-lib settings: cannot read " << fileName << " (" << options.StoreError()
            << "); nothing stored\n";
        break;
      case TMusicStringOptions::TStoreResult::WriteFailed:
        err << "oxa-lib settings: cannot write " << fileName << " (" << options.StoreError()
            << "); the file is as it was\n";
        break;
    }
    return ExitFailure;
  }

  if (!verb.empty() && verb != "get") {
    err << Usage;
    return ExitUsage;
  }
  TMusicOption key{};
  if (verb == "get" && (words.size() != 2 || !FindOption(words[1], key))) {
    err << "oxa-lib settings: unknown key" << (words.size() < 2 ? "" : " " + words[1]) << '\n' << Usage;
    return ExitUsage;
  }
  TMusicStringList root;
  if (!LoadList(fileName, root, err)) {
    return ExitFailure;
  }
  if (verb == "get") {
    const TMusicStringList* lines = KeyList(root, key);
    if (arguments.Has("json")) {
      TJsonWriter json(out);
      json.BeginObject();
      JsonKey(json, MusicOptionName(key), lines);
      json.EndObject();
    } else {
      for (int i = 0; lines != nullptr && i < lines->Count(); ++i) {
        out << (*lines)[i] << '\n';
      }
    }
    return ExitSuccess;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject().Key("file").String(fileName).Key("keys").BeginObject();
    for (int i = 0; i < root.Count(); ++i) {
      JsonKey(json, root[i], root.List(i));
    }
    json.EndObject().EndObject();
  } else {
    out << "file: " << fileName << '\n';
    for (int i = 0; i < root.Count(); ++i) {
      PrintKey(root[i], root.List(i), out);
    }
  }
  return ExitSuccess;
}
