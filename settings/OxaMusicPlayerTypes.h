#pragma once
// Where the program keeps its data and settings: the library directory (registry value
// "Database"), the settings file "SearchInfomation.oxa" in it with its named lists, the triangle
// window's placement in the registry, and the shell folders the directory walk looks at.
// Every read and write goes to the file or the registry at once; nothing is cached but the
// settings file's path.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "rtl/StringList.h"

// The settings file's keys, in the order of their numbers (only the names are stored).
enum class TMusicOption {
  Roots = 0,        // folders holding music, each with a trailing backslash
  Cuts = 1,         // folders under a root that an update walk skips
  Masks = 2,        // music file extensions with their dot
  WhiteDrives = 3,  // drive roots selected for a full scan
  GreyDrives = 4,   // drive roots already covered by a full scan
  Version = 5,      // unused
  UnhideFiles = 6,  // folders whose hidden tracks are shown again
  DeleteFiles = 7,  // folders whose tracks are removed from the library
  Random = 8,       // "1" when shuffle is on
  LastPlayed = 9,   // the last-played item, five lines
  AddedMasks = 10,  // the music extensions the program added to "Masks" on its own
};

constexpr std::string_view SettingsFileTitle = "SearchInfomation.oxa";
constexpr std::string_view DatabaseFolderName = "OxaMediaDatabase";
constexpr std::string_view PlayerRegistryKey = "Software\\Kestrom\\OxaPlayer";
constexpr std::string_view TriangleRegistryKey = "Software\\Kestrom\\OxaPlayer\\TriangleSettings";

// The stored name of a key ("Roots", ...).
std::string_view MusicOptionName(TMusicOption key) noexcept;

// The library directory with a trailing backslash: the registry value "Database", else the
// application-data folder followed by "OxaMediaDatabase" (written to "Database"), else the
// executable's folder followed by "OxaMediaDatabase". The directory is created with its
// parents when missing (an empty path raises EOxaFatal "Illegal path ").
std::string GetDatabasePath();

// The full path of the settings file, computed on first use from GetDatabasePath.
const std::string& SettingsFileName();
// Forgets the computed path (the library directory changed, or a test set up a new machine).
void ResetSettingsFileName();

// Replaces list's contents with the key's list from the settings file (empty when absent or the
// file cannot be read; a damaged file is kept beside as ".corrupt"), sorted by AnsiCompareText except for
// LastPlayed.
void ReadOption(TMusicOption key, TStringList& list);
// Replaces the key's list in the settings file with a copy of list; other keys, including ones
// another process wrote meanwhile, are kept. False when nothing could be stored (locked,
// unreadable, or the write failed; a trace line says why).
bool WriteOption(TMusicOption key, const TStringList& list);

// The same for several keys in one look at the file: one lock, one read (a consistent set), and
// for writing one save.
struct TOptionTarget {
  TMusicOption Key;
  TStringList* List;
};
struct TOptionSource {
  TMusicOption Key;
  const TStringList* List;
};
void ReadOptions(std::span<const TOptionTarget> lists);
bool WriteOptions(std::span<const TOptionSource> lists);

// The triangle window's placement.
struct TTriangleSettings {
  bool AutoHide = false;
  std::int32_t Top = 0;
  std::int32_t Height = 26;
  std::int32_t Width = 13;
};

// Reads the placement, writing the defaults of missing values first (AutoHide true, Top half
// the screen height, Height 26, Width 13). A Top outside 0..screen height reads as half the
// screen height, a Height or Width of 0 as its default; such corrections are not written back.
TTriangleSettings ReadTriangleSettings();
void WriteTriangleSettings(bool autoHide, std::int32_t top, std::int32_t width, std::int32_t height);

// The shell folders "Desktop" and HKLM "CommonFilesDir"; empty when they cannot be read.
std::string GetDesktopPath();
std::string GetCommonFilesPath();

// "Random": on only when the list is exactly the one line "1".
bool ReadRandom();
// The stored "Random" lines read as the setting: on only as the one line "1".
bool RandomOf(const TStringList& lines);
void WriteRandom(bool on);

// "LastPlayed": view, group and file ids, caption and order, one per line. The library check of
// the item is the player's.
struct TLastPlayed {
  std::int32_t View = -1;
  std::int32_t GroupId = -1;
  std::int32_t FileId = -1;
  std::string Caption;
  std::int32_t Order = -1;
};
// False (and an unset record) when the list does not have exactly five lines or a number does
// not parse.
bool ReadLastPlayed(TLastPlayed& item);
// The same from the lines read already (with other keys in one look at the file).
bool ParseLastPlayed(const TStringList& lines, TLastPlayed& item);
void WriteLastPlayed(const TLastPlayed& item);
