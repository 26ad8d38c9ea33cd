// Drive information, the music-file rule and the search options, on throw-away machines with
// declared drives.
#include "scan/OxaSearchOptions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/Drives.h"
#include "rtl/AnsiText.h"
#include "rtl/Exception.h"
#include "rtl/FilePaths.h"
#include "rtl/Registry.h"
#include "settings/OxaMusicPlayerTypes.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::vector<std::string> Lines(const TStringList& list)
{
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) {
    lines.push_back(list[i]);
  }
  return lines;
}

// A declared machine whose settings file lives on its own C:.
class TSettingsMachine : public TDeclaredMachine {
 public:
  explicit TSettingsMachine(std::vector<TDrive> drives = StandardDrives())
      : TDeclaredMachine(std::move(drives))
  {
    TRegistry registry;
    registry.SetRootKey(HKEY_CURRENT_USER);
    registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", true);
    registry.WriteString("AppData", "C:\\AppData");
    ResetSettingsFileName();
  }
  ~TSettingsMachine() { ResetSettingsFileName(); }
  TSettingsMachine(const TSettingsMachine&) = delete;
  TSettingsMachine& operator=(const TSettingsMachine&) = delete;
};

}  // namespace

TEST(DriveInformation, KindsSizesAndNamesOfTheDeclaredDrives)
{
  std::vector<TDrive> drives = TDeclaredMachine::StandardDrives();
  drives.push_back(TDrive{'U', "", DRIVE_UNKNOWN, "Odd", TDeclaredMachine::kTenGiB, "", ""});
  const TDeclaredMachine machine(drives);
  const TOxaDriveInformation information;

  struct TExpected {
    const char* Root;
    TDriveKind Kind;
    const char* Name;
  };
  const TExpected expected[] = {
      {"C:\\", TDriveKind::dkFixed, "System"}, {"D:\\", TDriveKind::dkCDRom, "Compact disc"},
      {"E:\\", TDriveKind::dkRemovable, ""},   {"N:\\", TDriveKind::dkNetwork, "Network drive"},
      {"R:\\", TDriveKind::dkRamDisk, "RAM"},  {"U:\\", TDriveKind::dkUnknown, ""},
      {"Z:\\", TDriveKind::dkUnknown, ""},
  };
  ASSERT_EQ(information.Count(), static_cast<int>(std::size(expected)));
  for (int i = 0; i < information.Count(); ++i) {
    const TDriveInfo drive = information.Items(i);
    SCOPED_TRACE(drive.Root);
    EXPECT_EQ(drive.Root, expected[i].Root);
    EXPECT_EQ(drive.Kind, expected[i].Kind);
    EXPECT_EQ(drive.Name, expected[i].Name);
    const bool measured = drive.Kind == TDriveKind::dkFixed || drive.Kind == TDriveKind::dkRamDisk;
    EXPECT_EQ(drive.Size > 0, measured);
  }
  EXPECT_EQ(information.Items(0).Size / (1024 * 1024), 10240);
  EXPECT_THROW(information.Items(information.Count()), EListError);
}

TEST(DriveInformation, DriveKindOfEveryDriveType)
{
  const std::pair<UINT, TDriveKind> cases[] = {
      {DRIVE_UNKNOWN, TDriveKind::dkUnknown},     {DRIVE_NO_ROOT_DIR, TDriveKind::dkUnknown},
      {DRIVE_REMOVABLE, TDriveKind::dkRemovable}, {DRIVE_FIXED, TDriveKind::dkFixed},
      {DRIVE_REMOTE, TDriveKind::dkNetwork},      {DRIVE_CDROM, TDriveKind::dkCDRom},
      {DRIVE_RAMDISK, TDriveKind::dkRamDisk},     {7, TDriveKind::dkUnknown},
  };
  for (const auto& [type, kind] : cases) {
    EXPECT_EQ(DriveKindOf(type), kind) << type;
  }
}

TEST(DriveInformation, QueriesTakeARootOrAPathOnTheDrive)
{
  const TDeclaredMachine machine;
  std::filesystem::remove_all(machine.DriveFolder('E'));

  EXPECT_TRUE(IsDriveReady("C:\\"));
  EXPECT_TRUE(IsDriveReady("C:\\Music\\Rock\\"));
  EXPECT_EQ(DriveSize("C:\\Music\\"), static_cast<std::int64_t>(TDeclaredMachine::kTenGiB));
  EXPECT_EQ(DriveSize("c:\\"), static_cast<std::int64_t>(TDeclaredMachine::kTenGiB));

  EXPECT_TRUE(IsRemovableDrive("E:\\Album\\"));
  EXPECT_FALSE(IsDriveReady("E:\\"));  // no medium
  EXPECT_EQ(DriveSize("E:\\"), 0);
  EXPECT_FALSE(IsRemovableDrive("C:\\"));

  std::string name = "left over";
  EXPECT_TRUE(GetVolumeName("C:\\Music\\", name));
  EXPECT_EQ(name, "System");
  name = "left over";
  EXPECT_FALSE(GetVolumeName("Q:\\", name));
  EXPECT_EQ(name, "");
  EXPECT_FALSE(IsDriveReady("Q:\\"));
  EXPECT_EQ(DriveSize("Q:\\"), 0);
}

TEST(MusicFileRule, SizeExtensionAndAttributeBoundaries)
{
  TStringList masks;
  masks.Add(".MP3");
  masks.Add(".Wav");
  masks.Add(".wma");
  const TMusicFileRule rule(masks);
  constexpr DWORD file = 0x20;
  constexpr DWORD hidden = 0x22;
  constexpr DWORD folder = 0x10;
  struct TCase {
    const char* Name;
    std::int64_t Size;
    DWORD Attributes;
    bool Music;
  };
  const TCase cases[] = {
      {"a.mp3", 128, file, true},
      {"a.mp3", 127, file, false},
      {"A.Mp3", 4000, hidden, true},
      {"song.wma", 128, file, true},
      {"take.wav", MinWaveFileSize - 1, file, false},
      {"take.wav", MinWaveFileSize, file, true},
      {"TAKE.WAV", MinWaveFileSize - 1, file, false},
      {"album.mp3", 4000, folder, false},
      {"a.mp3.txt", 4000, file, false},
      {"mp3", 4000, file, false},
      {"a.ogg", 4000, file, false},
      {"a.mp4", 4000, file, false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(rule.IsMusicFile(c.Name, c.Size, c.Attributes), c.Music) << c.Name << " " << c.Size;
  }
  EXPECT_TRUE(rule.HasMusicExtension("C:\\Music\\tiny.mP3"));
  EXPECT_FALSE(rule.HasMusicExtension("C:\\Music.mp3\\readme"));
  // The extension is what ExtractFileExt takes: after the last dot, unless a backslash or a
  // colon comes after it.
  const char* names[] = {"",         ".mp3",        "a.",          "a..mp3",     "C:.mp3",   "C:mp3",
                         "C:\\.mp3", "C:\\x.mp3\\", "x.mp3:y",     "x:y.mp3",    "x\\y.mp3", "x.wav.mp3",
                         "x.mp3.",   "x.mp3 ",      "\\\\s\\.mp3", "\u00e4.mp3", ".MP3.wav"};
  for (const char* name : names) {
    const std::string extension = ExtractFileExt(name);
    const bool expected =
        AnsiSameText(extension, ".mp3") || AnsiSameText(extension, ".wav") || AnsiSameText(extension, ".wma");
    EXPECT_EQ(rule.HasMusicExtension(name), expected) << name;
  }
}

TEST(MusicFileRule, TodaysFormatsCountFromTheSmallestSizeAndOnlyWavNeedsFiveMebibytes)
{
  TStringList masks;
  for (const std::string_view mask : DefaultMasks) {
    masks.Add(std::string(mask));
  }
  const TMusicFileRule rule(masks);
  for (const char* name : {"a.flac", "a.FLAC", "a.ogg", "a.oga", "a.Opus", "a.m4a"}) {
    EXPECT_TRUE(rule.IsMusicFile(name, MinMusicFileSize, 0x20)) << name;
    EXPECT_FALSE(rule.IsMusicFile(name, MinMusicFileSize - 1, 0x20)) << name;
    EXPECT_TRUE(rule.IsMusicFile(name, MinWaveFileSize - 1, 0x20)) << name;
  }
  EXPECT_FALSE(rule.IsMusicFile("a.wav", MinWaveFileSize - 1, 0x20));
  EXPECT_TRUE(rule.IsMusicFile("a.wav", MinWaveFileSize, 0x20));
  for (const char* name : {"a.fla", "a.mp4", "a.m4b", "a.aac", "a.ogx", "a.flac.txt"}) {
    EXPECT_FALSE(rule.IsMusicFile(name, 4000, 0x20)) << name;
  }
}

TEST(MusicFileRule, NonAsciiExtensionsFoldAsTheCollatorDoes)
{
  TStringList masks;
  masks.Add(".flÄc");
  const TMusicFileRule rule(masks);
  EXPECT_TRUE(rule.HasMusicExtension("x.FLäC"));
  EXPECT_FALSE(rule.HasMusicExtension("x.flac"));
}

TEST(SearchOptions, FirstRunSelectsEveryFixedDiskAndWritesTheDefaultMasks)
{
  std::vector<TDrive> drives = TDeclaredMachine::StandardDrives();
  drives.push_back(TDrive{'F', "", DRIVE_FIXED, "Data", TDeclaredMachine::kTenGiB, "", ""});
  const TSettingsMachine machine(drives);
  TOxaSearchOptions o;

  EXPECT_EQ(Lines(o.WhiteDrives()), (std::vector<std::string>{"C:\\", "F:\\"}));
  const std::vector<std::string> defaults{".mp3", ".wav", ".wma", ".flac", ".ogg", ".oga", ".opus", ".m4a"};
  EXPECT_EQ(Lines(o.Masks()), defaults);
  EXPECT_EQ(o.GreyDrives().Count(), 0);
  EXPECT_EQ(o.DriveInformation().Count(), 7);

  TStringList stored;
  ReadOption(TMusicOption::Masks, stored);
  EXPECT_EQ(Lines(stored),
            (std::vector<std::string>{".flac", ".m4a", ".mp3", ".oga", ".ogg", ".opus", ".wav", ".wma"}));
  // A user who takes a new format out again keeps it out.
  stored.Delete(stored.IndexOf(".flac"));
  WriteOption(TMusicOption::Masks, stored);
  EXPECT_EQ(TOxaSearchOptions().Masks().IndexOf(".flac"), -1);
}

TEST(SearchOptions, TheFirstDefaultMasksGetTodaysFormatsOnce)
{
  struct TCase {
    std::vector<std::string> Stored;
    bool Added;
  };
  const TCase cases[] = {
      {{".mp3", ".wav", ".wma"}, true},  {{".WMA", ".Mp3", ".WAV"}, true},
      {{".mp3", ".wma"}, false},         {{".mp3", ".wav", ".wma", ".aiff"}, false},
      {{".mp3", ".wav", ".mp3"}, false}, {{".flac"}, false},
  };
  for (const TCase& c : cases) {
    const TSettingsMachine machine;
    TStringList masks;
    for (const std::string& mask : c.Stored) {
      masks.Add(mask);
    }
    WriteOption(TMusicOption::Masks, masks);

    TOxaSearchOptions options;
    const TMusicFileRule rule(options.Masks());
    EXPECT_EQ(rule.HasMusicExtension("a.flac"), c.Added || c.Stored == std::vector<std::string>{".flac"})
        << c.Stored.size();
    EXPECT_EQ(options.Masks().Count(), static_cast<int>(c.Stored.size()) + (c.Added ? 5 : 0));
    TStringList added;
    ReadOption(TMusicOption::AddedMasks, added);
    EXPECT_EQ(added.Count(), c.Added ? 5 : 0);
    if (!c.Added) {
      continue;
    }
    TStringList stored;
    ReadOption(TMusicOption::Masks, stored);
    EXPECT_EQ(stored.Count(), 8);
    // Back to the three by the user's hand: that is what stays.
    WriteOption(TMusicOption::Masks, masks);
    EXPECT_EQ(TOxaSearchOptions().Masks().Count(), 3);
    ReadOption(TMusicOption::Masks, stored);
    EXPECT_EQ(stored.Count(), 3);
  }
}

TEST(SearchOptions, NoFixedDiskGivesNoDefaultWhiteDrives)
{
  const TSettingsMachine machine({TDrive{'C', "", DRIVE_REMOVABLE}, TDrive{'D', "", DRIVE_CDROM}});
  TOxaSearchOptions options;
  EXPECT_EQ(options.WhiteDrives().Count(), 0);
}

TEST(SearchOptions, StoredGreyDrivesAndMasksAreKept)
{
  const TSettingsMachine machine;
  TStringList grey;
  grey.Add("E:\\");
  WriteOption(TMusicOption::GreyDrives, grey);
  TStringList white;
  white.Add("D:\\");
  WriteOption(TMusicOption::WhiteDrives, white);
  TStringList masks;
  masks.Add(".WMA");
  masks.Add(".MP3");
  WriteOption(TMusicOption::Masks, masks);

  TOxaSearchOptions options;
  EXPECT_EQ(options.WhiteDrives().Count(), 0);
  EXPECT_EQ(Lines(options.GreyDrives()), (std::vector<std::string>{"E:\\"}));
  EXPECT_EQ(Lines(options.Masks()), (std::vector<std::string>{".MP3", ".WMA"}));
  const TMusicFileRule rule(options.Masks());
  EXPECT_TRUE(rule.IsMusicFile("song.mp3", 4000, 0x20));
  EXPECT_TRUE(rule.IsMusicFile("Song.Wma", 4000, 0x20));
  EXPECT_FALSE(rule.IsMusicFile("take.wav", MinWaveFileSize, 0x20));

  grey.Add("C:\\");
  WriteOption(TMusicOption::GreyDrives, grey);
  EXPECT_EQ(Lines(options.ReloadGreyDrives()), (std::vector<std::string>{"C:\\", "E:\\"}));
}
