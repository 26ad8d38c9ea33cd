#include "settings/OxaMusicPlayerTypes.h"

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/OxaUtils.h"
#include "platform/files/Paths.h"
#include "platform/objects/Processes.h"
#include "platform/windows/Metrics.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/Registry.h"
#include "rtl/Strings.h"
#include "settings/MusicStringList.h"

namespace {

constexpr std::string_view ShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view CurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr std::int32_t DefaultTriangleHeight = 26;
constexpr std::int32_t DefaultTriangleWidth = 13;
constexpr int LastPlayedLines = 5;

// The executable's folder in UNC form (for a program started from a network drive), with a
// trailing backslash.
std::string ExecutableFolder()
{
  std::array<char, 4096> module{};
  const DWORD length = GetModuleFileNameA(nullptr, module.data(), static_cast<DWORD>(module.size()));
  std::string path(module.data(), length);
  std::array<char, 4096> universal{};
  DWORD size = static_cast<DWORD>(universal.size());
  if (WNetGetUniversalNameA(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, universal.data(), &size) == 0) {
    path = reinterpret_cast<UNIVERSAL_NAME_INFOA*>(universal.data())->lpUniversalName;
  }
  return ExtractFilePath(path);
}

// A shell folder, empty when the key cannot be opened or the value is missing or not text.
std::string ReadShellFolder(HKEY root, std::string_view key, std::string_view value)
{
  TRegistry registry;
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(std::string(key))) {
    return {};
  }
  try {
    return registry.ReadString(std::string(value));
  } catch (const ERegistryException& e) {
    Trace("Shell folder %s unusable: %s", std::string(value), e.Message());
    return {};
  }
}

// The library folder as "Database" names it; empty when it names none, or names it as
// something other than text (a value the user's own edits could leave); the fallback for a
// host path that no drive holds.
std::string StoredDatabasePath(const TRegistry& registry, const std::string& fallback)
{
  std::string path;
  try {
    path = registry.ReadString("Database");
  } catch (const ERegistryException& e) {
    Trace("GetDatabasePath: \"Database\" unusable (%s); replaced", e.Message());
    return {};
  }
  // A host path ("/home/me/lib", as a user or script may write it) is taken in its Windows
  // form; the value stays as written.
  if (path.starts_with('/')) {
    std::string windowsPath = WindowsPathOf(path);
    if (windowsPath.empty()) {
      Trace("GetDatabasePath: \"Database\" names %s, which no drive holds; using %s", path, fallback);
      return fallback;
    }
    return windowsPath;
  }
  return path;
}

// Writes value as text, or leaves a trace line when the hive refuses it.
void WriteStringOrTrace(TRegistry& registry, const std::string& name, const std::string& value)
{
  try {
    registry.WriteString(name, value);
  } catch (const ERegistryException& e) {
    Trace("Cannot write %s: %s", name, e.Message());
  }
}

// An integer value, written with defaultValue first when missing. A value that cannot be read
// as an integer reads as defaultValue and is replaced by it where the hive allows.
std::int32_t ReadIntegerOrDefault(TRegistry& registry, const std::string& name, std::int32_t defaultValue)
{
  try {
    if (!registry.ValueExists(name)) {
      registry.WriteInteger(name, defaultValue);
    }
    return registry.ReadInteger(name);
  } catch (const ERegistryException& e) {
    Trace("Triangle setting %s unusable (%s); default %d used", name, e.Message(), defaultValue);
  }
  try {
    registry.WriteInteger(name, defaultValue);
  } catch (const ERegistryException&) {
    // The hive is read-only; the default serves this time and the next.
  }
  return defaultValue;
}

// The settings file's path, computed once; guarded because the scan thread reads settings too.
struct TSettingsPath {
  std::mutex Lock;  // guards Path
  std::string Path;
};

TSettingsPath& SettingsPath()
{
  static TSettingsPath path;
  return path;
}

std::int32_t ScreenHeight()
{
  return GetSystemMetrics(SM_CYSCREEN);
}

}  // namespace

std::string_view MusicOptionName(TMusicOption key) noexcept
{
  static constexpr std::array<std::string_view, 11> names{
      "Roots",       "Cuts",        "Masks",  "WhiteDrives", "GreyDrives", "Version",
      "UnhideFiles", "DeleteFiles", "Random", "LastPlayed",  "AddedMasks"};
  return names[static_cast<std::size_t>(key)];
}

std::string GetDatabasePath()
{
  const std::string fallback = ExecutableFolder() + std::string(DatabaseFolderName);
  std::string path;
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (registry.OpenKey(std::string(PlayerRegistryKey), true)) {
    path = StoredDatabasePath(registry, fallback);
    if (path.empty()) {
      const std::string appData = ReadShellFolder(HKEY_CURRENT_USER, ShellFoldersKey, "AppData");
      path = appData.empty() ? fallback : IncludeTrailingBackslash(appData) + std::string(DatabaseFolderName);
      WriteStringOrTrace(registry, "Database", path);
    }
  } else {
    path = fallback;
  }
  // A folder that cannot be made (a drive that is gone, no access) is unusable as well; the
  // stored value stays, for the day its drive is back.
  if (!DirectoryExists(path) && !ForceDirectories(path) && path != fallback) {
    Trace("GetDatabasePath: cannot create %s; using %s", path, fallback);
    path = fallback;
    ForceDirectories(path);
  }
  return IncludeTrailingBackslash(path);
}

const std::string& SettingsFileName()
{
  auto& settings = SettingsPath();
  const std::lock_guard guard(settings.Lock);
  if (settings.Path.empty()) {
    settings.Path = GetDatabasePath() + std::string(SettingsFileTitle);
  }
  return settings.Path;
}

void ResetSettingsFileName()
{
  auto& settings = SettingsPath();
  const std::lock_guard guard(settings.Lock);
  settings.Path.clear();
}

namespace {

void CopyOption(TMusicStringOptions& options, TMusicOption key, TStringList& list)
{
  const TMusicStringList& values = options.Values(MusicOptionName(key));
  list.Clear();
  for (int i = 0; i < values.Count(); ++i) {
    list.Add(values[i]);
  }
  if (key != TMusicOption::LastPlayed) {
    list.CustomSort([](const TStringList& l, int a, int b) { return AnsiCompareText(l[a], l[b]); });
  }
}

}  // namespace

void ReadOption(TMusicOption key, TStringList& list)
{
  const TOptionTarget one[] = {{key, &list}};
  ReadOptions(one);
}

bool WriteOption(TMusicOption key, const TStringList& list)
{
  const TOptionSource one[] = {{key, &list}};
  return WriteOptions(one);
}

void ReadOptions(std::span<const TOptionTarget> lists)
{
  TMusicStringOptions options;
  options.Load(SettingsFileName());
  for (const TOptionTarget& option : lists) {
    CopyOption(options, option.Key, *option.List);
  }
}

bool WriteOptions(std::span<const TOptionSource> lists)
{
  TMusicStringOptions options;
  std::vector<std::string> keys;
  for (const TOptionSource& option : lists) {
    options.Values(MusicOptionName(option.Key)).Assign(*option.List);
    keys.emplace_back(MusicOptionName(option.Key));
  }
  return options.Store(SettingsFileName(), keys) == TMusicStringOptions::TStoreResult::Stored;
}

TTriangleSettings ReadTriangleSettings()
{
  const std::int32_t screenHeight = ScreenHeight();
  TTriangleSettings settings;
  settings.Top = screenHeight / 2;
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKey(std::string(TriangleRegistryKey), true)) {
    return settings;
  }
  settings.AutoHide = ReadIntegerOrDefault(registry, "AutoHide", 1) != 0;
  settings.Top = ReadIntegerOrDefault(registry, "Top", screenHeight / 2);
  settings.Height = ReadIntegerOrDefault(registry, "Height", DefaultTriangleHeight);
  settings.Width = ReadIntegerOrDefault(registry, "Width", DefaultTriangleWidth);
  if (settings.Top < 0 || settings.Top > screenHeight) {
    settings.Top = screenHeight / 2;
  }
  if (settings.Height == 0) {
    settings.Height = DefaultTriangleHeight;
  }
  if (settings.Width == 0) {
    settings.Width = DefaultTriangleWidth;
  }
  return settings;
}

void WriteTriangleSettings(bool autoHide, std::int32_t top, std::int32_t width, std::int32_t height)
{
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKey(std::string(TriangleRegistryKey), true)) {
    return;
  }
  registry.WriteBool("AutoHide", autoHide);
  registry.WriteInteger("Top", top);
  registry.WriteInteger("Height", height);
  registry.WriteInteger("Width", width);
}

std::string GetDesktopPath()
{
  return ReadShellFolder(HKEY_CURRENT_USER, ShellFoldersKey, "Desktop");
}

std::string GetCommonFilesPath()
{
  return ReadShellFolder(HKEY_LOCAL_MACHINE, CurrentVersionKey, "CommonFilesDir");
}

bool RandomOf(const TStringList& lines)
{
  return lines.Count() == 1 && lines[0] == "1";
}

bool ReadRandom()
{
  TStringList lines;
  ReadOption(TMusicOption::Random, lines);
  return RandomOf(lines);
}

void WriteRandom(bool on)
{
  TStringList lines;
  lines.Add(on ? "1" : "0");
  WriteOption(TMusicOption::Random, lines);
}

bool ReadLastPlayed(TLastPlayed& item)
{
  TStringList lines;
  ReadOption(TMusicOption::LastPlayed, lines);
  return ParseLastPlayed(lines, item);
}

bool ParseLastPlayed(const TStringList& lines, TLastPlayed& item)
{
  item = TLastPlayed{};
  if (lines.Count() != LastPlayedLines) {
    return false;
  }
  TLastPlayed read;
  read.Caption = lines[3];
  if (!TryStrToInt(lines[0], read.View) || !TryStrToInt(lines[1], read.GroupId) ||
      !TryStrToInt(lines[2], read.FileId) || !TryStrToInt(lines[4], read.Order)) {
    return false;
  }
  item = read;
  return true;
}

void WriteLastPlayed(const TLastPlayed& item)
{
  TStringList lines;
  lines.Add(IntToStr(item.View));
  lines.Add(IntToStr(item.GroupId));
  lines.Add(IntToStr(item.FileId));
  lines.Add(item.Caption);
  lines.Add(IntToStr(item.Order));
  WriteOption(TMusicOption::LastPlayed, lines);
}
