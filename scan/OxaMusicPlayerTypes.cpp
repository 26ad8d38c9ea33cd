#include "scan/OxaMusicPlayerTypes.h"

#include <array>
#include <memory>
#include <mutex>

#include "framework/OxaUtils.h"
#include "platform/Metrics.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "rtl/AnsiText.h"
#include "rtl/FilePaths.h"
#include "rtl/Registry.h"
#include "rtl/Strings.h"
#include "scan/MusicStringList.h"

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

std::string ReadShellFolder(HKEY root, std::string_view key, std::string_view value)
{
  TRegistry registry;
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(std::string(key))) {
    return {};
  }
  return registry.ValueExists(std::string(value)) ? registry.ReadString(std::string(value)) : std::string();
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
  static constexpr std::array<std::string_view, 10> names{
      "Roots",   "Cuts",        "Masks",       "WhiteDrives", "GreyDrives",
      "Version", "UnhideFiles", "DeleteFiles", "Random",      "LastPlayed"};
  return names[static_cast<std::size_t>(key)];
}

std::string GetDatabasePath()
{
  const std::string fallback = ExecutableFolder() + std::string(DatabaseFolderName);
  std::string path;
  TRegistry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (registry.OpenKey(std::string(PlayerRegistryKey), true)) {
    path = registry.ValueExists("Database") ? registry.ReadString("Database") : std::string();
    if (path.empty()) {
      const std::string appData = ReadShellFolder(HKEY_CURRENT_USER, ShellFoldersKey, "AppData");
      path = appData.empty() ? fallback : IncludeTrailingBackslash(appData) + std::string(DatabaseFolderName);
      registry.WriteString("Database", path);
    }
  } else {
    path = fallback;
  }
  if (!DirectoryExists(path)) {
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

void ReadOption(TMusicOption key, TStringList& list)
{
  TMusicStringOptions options;
  options.Load(SettingsFileName());
  const TMusicStringList& values = options.Values(MusicOptionName(key));
  list.Clear();
  for (int i = 0; i < values.Count(); ++i) {
    list.Add(values[i]);
  }
  if (key != TMusicOption::LastPlayed) {
    list.CustomSort([](const TStringList& l, int a, int b) { return AnsiCompareText(l[a], l[b]); });
  }
}

void WriteOption(TMusicOption key, const TStringList& list)
{
  TMusicStringOptions options;
  options.Values(MusicOptionName(key)).Assign(list);
  const std::array<std::string, 1> keys{std::string(MusicOptionName(key))};
  options.Store(SettingsFileName(), keys);
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
  if (!registry.ValueExists("AutoHide")) {
    registry.WriteBool("AutoHide", true);
  }
  settings.AutoHide = registry.ReadBool("AutoHide");
  const auto readInteger = [&](const char* name, std::int32_t defaultValue) {
    if (!registry.ValueExists(name)) {
      registry.WriteInteger(name, defaultValue);
    }
    return registry.ReadInteger(name);
  };
  settings.Top = readInteger("Top", screenHeight / 2);
  settings.Height = readInteger("Height", DefaultTriangleHeight);
  settings.Width = readInteger("Width", DefaultTriangleWidth);
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

bool ReadRandom()
{
  TStringList lines;
  ReadOption(TMusicOption::Random, lines);
  return lines.Count() == 1 && lines[0] == "1";
}

void WriteRandom(bool on)
{
  TStringList lines;
  lines.Add(on ? "1" : "0");
  WriteOption(TMusicOption::Random, lines);
}

bool ReadLastPlayed(TLastPlayed& item)
{
  item = TLastPlayed{};
  TStringList lines;
  ReadOption(TMusicOption::LastPlayed, lines);
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
