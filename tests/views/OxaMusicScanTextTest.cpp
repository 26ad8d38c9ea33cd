// The scan panel's texts: drive captions in both styles and the shortened status path.
#include "views/scan/OxaMusicScanText.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/DeclaredDrives.h"

namespace {

TOxaScanDrive Drive(TDriveKind kind, std::int64_t size, const char* label, bool ready,
                    const char* root = "C:\\")
{
  TOxaScanDrive drive;
  drive.Root = root;
  drive.Kind = kind;
  drive.Size = size;
  drive.Label = label;
  drive.Ready = ready;
  return drive;
}

TEST(OxaMusicScanText, DriveCaptions)
{
  struct TCase {
    TOxaScanDrive Drive;
    const char* Detailed;
    const char* Short;
  };
  const std::int64_t tenGiB = 10LL * 1073741824;
  const TCase cases[] = {
      {Drive(TDriveKind::dkFixed, tenGiB, "System", true), "Fixed drive on C: (10240 MB)", "System (C:)"},
      // Below one MB the size reads 0 MB; one byte short of 10 GiB reads 10239.
      {Drive(TDriveKind::dkFixed, tenGiB - 1, "", true), "Fixed drive on C: (10239 MB)", "Fixed drive (C:)"},
      {Drive(TDriveKind::dkFixed, 1048575, "", true), "Fixed drive on C: (0 MB)", "Fixed drive (C:)"},
      {Drive(TDriveKind::dkFixed, 1048576, "", true), "Fixed drive on C: (1 MB)", "Fixed drive (C:)"},
      {Drive(TDriveKind::dkFixed, tenGiB, "", false), "Fixed drive on C: is not ready", "Fixed drive (C:)"},
      // Never measured: a ready removable, optical or network drive shows no size, and is ready.
      {Drive(TDriveKind::dkRemovable, 0, "STICK", true, "E:\\"), "Removable drive on E:", "STICK (E:)"},
      {Drive(TDriveKind::dkCDRom, 0, "", true, "D:\\"), "Compact disc on D:", "Compact disc (D:)"},
      {Drive(TDriveKind::dkCDRom, 0, "", false, "D:\\"), "Compact disc on D: is not ready",
       "Compact disc (D:)"},
      {Drive(TDriveKind::dkNetwork, 0, "", true, "N:\\"), "Network drive on N:", "Network drive (N:)"},
      {Drive(TDriveKind::dkRamDisk, 2097152, "RAM", true, "R:\\"), "RAM drive on R: (2 MB)", "RAM (R:)"},
      {Drive(TDriveKind::dkUnknown, 0, "", true, "Q:\\"), "Unknown drive on Q:", "Unknown drive (Q:)"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(OxaDriveCaption(c.Drive, TOxaDriveCaptionStyle::Detailed), c.Detailed);
    EXPECT_EQ(OxaDriveCaption(c.Drive, TOxaDriveCaptionStyle::Short), c.Short);
  }
}

TEST(OxaMusicScanText, DefaultFlagMeansAFixedDisk)
{
  EXPECT_TRUE(Drive(TDriveKind::dkFixed, 0, "", false).Default());
  for (TDriveKind kind : {TDriveKind::dkRemovable, TDriveKind::dkNetwork, TDriveKind::dkCDRom,
                          TDriveKind::dkRamDisk, TDriveKind::dkUnknown}) {
    EXPECT_FALSE(Drive(kind, 1 << 30, "", true).Default()) << int(kind);
  }
}

TEST(OxaMusicScanText, DrivesFromTheSnapshotOfADeclaredMachine)
{
  TDeclaredMachine machine;
  TOxaDriveInformation information;
  std::map<std::string, std::string> detailed;
  std::map<std::string, std::string> shortCaptions;
  for (int i = 0; i < information.Count(); ++i) {
    const TOxaScanDrive drive = OxaScanDriveOf(information.Items(i));
    detailed[drive.Root] = OxaDriveCaption(drive, TOxaDriveCaptionStyle::Detailed);
    shortCaptions[drive.Root] = OxaDriveCaption(drive, TOxaDriveCaptionStyle::Short);
  }
  EXPECT_EQ(detailed["C:\\"], "Fixed drive on C: (10240 MB)");
  EXPECT_EQ(detailed["D:\\"], "Compact disc on D:");
  EXPECT_EQ(detailed["E:\\"], "Removable drive on E:");
  EXPECT_EQ(detailed["N:\\"], "Network drive on N:");
  EXPECT_EQ(shortCaptions["C:\\"], "System (C:)");
  EXPECT_EQ(shortCaptions["N:\\"], "Network drive (N:)");
}

// One pixel per byte, counting how often it is asked.
struct TCountingWidth {
  int* Calls;
  int operator()(std::string_view text) const
  {
    ++*Calls;
    return int(text.size());
  }
};

TEST(OxaMusicScanText, ShortenPathCutsFoldersFromTheLeft)
{
  struct TCase {
    const char* Path;
    int Width;
    const char* Shown;
  };
  const TCase cases[] = {
      {"C:\\Music\\Rock\\a.mp3", 100, "C:\\Music\\Rock\\a.mp3"},
      // 19 bytes: a line of 20 takes it, a line of exactly 19 does not.
      {"C:\\Music\\Rock\\a.mp3", 20, "C:\\Music\\Rock\\a.mp3"},
      // "...\\" is wider than "C:\\", so the first cut that fits drops two folders.
      {"C:\\Music\\Rock\\a.mp3", 19, "...\\Rock\\a.mp3"},
      {"C:\\Music\\Rock\\a.mp3", 15, "...\\Rock\\a.mp3"},
      {"C:\\Music\\Rock\\a.mp3", 10, "...\\a.mp3"},
      // Only the name is left: eight characters at a time go from its front.
      {"C:\\Music\\averyveryverylongname.mp3", 22, "...\\yverylongname.mp3"},
      {"C:\\Music\\averyveryverylongname.mp3", 21, "...\\gname.mp3"},
      {"C:\\Music\\averyveryverylongname.mp3", 5, "...\\"},
      // Nothing fits: it ends rather than cutting for ever.
      {"C:\\x.mp3", 1, "...\\"},
      {"C:\\x.mp3", 0, "C:\\x.mp3"},
      {"C:\\x.mp3", -4, "C:\\x.mp3"},
      {"", 10, ""},
  };
  for (const TCase& c : cases) {
    int calls = 0;
    EXPECT_EQ(OxaShortenPath(c.Path, c.Width, TCountingWidth{&calls}), c.Shown) << c.Path << " " << c.Width;
  }
}

TEST(OxaMusicScanText, ShortenPathKeepsUtf8Whole)
{
  int calls = 0;
  // Eight characters of the name, each two bytes, go in one step.
  const std::string path = "C:\\\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x.mp3";
  EXPECT_EQ(OxaShortenPath(path, 12, TCountingWidth{&calls}), "...\\x.mp3");
}

TEST(OxaMusicScanText, ShortenPathMeasuresFewCandidates)
{
  std::string path = "C:";
  for (int i = 0; i < 40; ++i) {
    path += "\\folder" + std::to_string(i);
  }
  path += "\\track.mp3";
  int calls = 0;
  const std::string shown = OxaShortenPath(path, 40, TCountingWidth{&calls});
  EXPECT_LT(int(shown.size()), 40);
  EXPECT_EQ(shown.substr(0, 4), "...\\");
  EXPECT_LE(calls, 8);
}

TEST(OxaMusicScanText, StatusCaptionPutsThePathOnTheSecondLine)
{
  EXPECT_EQ(OxaStatusCaption("Update scan", "...\\a.mp3"), "Update scan\r...\\a.mp3");
  EXPECT_EQ(OxaStatusCaption("Scan stopped", ""), "Scan stopped\r");
}

}  // namespace
