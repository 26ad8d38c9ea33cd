// Host names that Windows names cannot hold: the stand-ins both ways, and files with such names
// found, opened, renamed and deleted through the Windows calls.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/files/Files.h"
#include "platform/files/FindFiles.h"
#include "platform/files/NameStandIns.h"
#include "platform/files/Paths.h"
#include "platform/files/WidePaths.h"
#include "tests/support/DeclaredDrives.h"

namespace {

namespace fs = std::filesystem;

// The UTF-8 of the private-use character U+F000 + byte.
std::string StandIn(unsigned char byte)
{
  const unsigned code = 0xF000U + byte;
  return {static_cast<char>(0xE0 | (code >> 12U)), static_cast<char>(0x80 | ((code >> 6U) & 0x3FU)),
          static_cast<char>(0x80 | (code & 0x3FU))};
}

std::string Bytes(std::initializer_list<unsigned char> bytes)
{
  return {bytes.begin(), bytes.end()};
}

struct TNameCase {
  const char* Name;
  std::string Host;
  std::string Windows;
};

// Host names and the Windows names the walk reports for them.
std::vector<TNameCase> NameCases()
{
  const std::string colon = StandIn(':');
  return {
      {"plain", "a.mp3", "a.mp3"},
      {"colon", "Live: 1999.mp3", "Live" + colon + " 1999.mp3"},
      {"question mark", "Why?.mp3", "Why" + StandIn('?') + ".mp3"},
      {"asterisk", "a*b", "a" + StandIn('*') + "b"},
      {"double quote", "\"q\"", StandIn('"') + "q" + StandIn('"')},
      {"angle brackets", "<a>", StandIn('<') + "a" + StandIn('>')},
      {"bar", "a|b", "a" + StandIn('|') + "b"},
      {"backslash", "AC\\DC", "AC" + StandIn('\\') + "DC"},
      {"control 0x01", "a\x01", "a" + StandIn(0x01)},
      {"tab and newline", "a\tb\n", "a" + StandIn('\t') + "b" + StandIn('\n')},
      {"0x1F, the last control", "a\x1F", "a" + StandIn(0x1F)},
      {"0x20 stays", "a b ", "a b "},
      {"0x7E stays", "a~", "a~"},
      {"0x7F stays", "a\x7F", "a\x7F"},
      {"trailing dots stay", "a..", "a.."},
      {"only forbidden characters", "<>:\"|?*\\",
       StandIn('<') + StandIn('>') + colon + StandIn('"') + StandIn('|') + StandIn('?') + StandIn('*') +
           StandIn('\\')},
      {"the colon's stand-in written literally", "a" + colon,
       "a" + StandIn(0xEF) + StandIn(0x80) + StandIn(0xBA)},
      {"a literal stand-in beside the character it stands for", colon + ":",
       StandIn(0xEF) + StandIn(0x80) + StandIn(0xBA) + colon},
      {"the stand-in of 0x80 written literally", StandIn(0x80),
       StandIn(0xEF) + StandIn(0x82) + StandIn(0x80)},
      {"the stand-in of 0xFF written literally", StandIn(0xFF),
       StandIn(0xEF) + StandIn(0x83) + StandIn(0xBF)},
      {"U+F000 stands for nothing", StandIn(0x00), StandIn(0x00)},
      {"U+F02F stands for nothing", StandIn('/'), StandIn('/')},
      {"U+F041 stands for nothing", StandIn('A'), StandIn('A')},
      {"U+F07F stands for nothing", StandIn(0x7F), StandIn(0x7F)},
      {"U+EFFF, below the range", Bytes({0xEE, 0xBF, 0xBF}), Bytes({0xEE, 0xBF, 0xBF})},
      {"U+F100, above the range", Bytes({0xEF, 0x84, 0x80}), Bytes({0xEF, 0x84, 0x80})},
      {"Latin-1 with a colon", "caf" + Bytes({0xE9}) + ":", "caf" + Bytes({0xE9}) + colon},
      {"a lone lead byte 0xEF before a colon", Bytes({0xEF}) + ":", Bytes({0xEF}) + colon},
      {"a cut stand-in before a question mark", Bytes({0xEF, 0x80}) + "?",
       Bytes({0xEF, 0x80}) + StandIn('?')},
      {"a cut stand-in at the end", "a" + Bytes({0xEF, 0x80}), "a" + Bytes({0xEF, 0x80})},
      {"a literal stand-in then a foreign byte", colon + Bytes({0x80}),
       StandIn(0xEF) + StandIn(0x80) + StandIn(0xBA) + Bytes({0x80})},
      {"UTF-8 text", "Caf\xC3\xA9 \xE2\x80\x94 Sigur R\xC3\xB3s?",
       "Caf\xC3\xA9 \xE2\x80\x94 Sigur R\xC3\xB3s" + StandIn('?')},
  };
}

TEST(NameStandIns, HostNamesMapToWindowsNamesAndBack)
{
  EXPECT_EQ(StandIn(':'), "\xEF\x80\xBA");
  EXPECT_EQ(StandIn('\\'), "\xEF\x81\x9C");
  for (const TNameCase& c : NameCases()) {
    EXPECT_EQ(WindowsNameOf(c.Host), c.Windows) << c.Name;
    EXPECT_EQ(HostNameOf(c.Windows), c.Host) << c.Name;
    EXPECT_TRUE(HostNameNeedsStandIns(c.Host) || c.Host == c.Windows) << c.Name;
    // The Windows name is one the path calls accept, and the wide calls carry it unchanged.
    std::string full;
    EXPECT_TRUE(FullWindowsPath("C:\\" + c.Windows, full)) << c.Name;
    EXPECT_EQ(PathOfWide(WidePathOf(c.Windows)), c.Windows) << c.Name;
  }
}

TEST(NameStandIns, StandInsThatNoHostNameNeedsStayThemselves)
{
  // A Windows name can never stand for a "/" or a zero byte on the host, so no name given to a
  // call can reach outside its folder or cut a host path short.
  for (const unsigned char byte : {0x00, 0x2F, 0x20, 0x41, 0x7F}) {
    EXPECT_EQ(HostNameOf("a" + StandIn(byte)), "a" + StandIn(byte)) << int(byte);
  }
  EXPECT_EQ(HostNameOf(StandIn(0x1F) + StandIn(0x7C)), "\x1F|");
  EXPECT_EQ(HostNameOf(StandIn(0x80) + StandIn(0xFF)), Bytes({0x80, 0xFF}));
}

TEST(NameStandIns, ShownNamesAreTheHostNamesWithoutControlCharacters)
{
  EXPECT_EQ(ShownNameOf("Live" + StandIn(':') + " 1999" + StandIn('?')), "Live: 1999?");
  EXPECT_EQ(ShownNameOf("a" + StandIn(0x01) + StandIn(0x1F) + "\x7F"), "a\xEF\xBF\xBD\xEF\xBF\xBD\x7F");
  EXPECT_EQ(ShownNameOf(StandIn(0xEF) + StandIn(0x80) + StandIn(0xBA)), StandIn(':'));
}

TEST(NameStandIns, EveryPairOfBytesComesBack)
{
  for (unsigned first = 1; first < 256; ++first) {
    for (unsigned second = 1; second < 256; ++second) {
      if (first == '/' || second == '/') {
        continue;
      }
      const std::string host = Bytes({static_cast<unsigned char>(first), static_cast<unsigned char>(second)});
      const std::string windows = WindowsNameOf(host);
      ASSERT_EQ(HostNameOf(windows), host) << first << " " << second;
      ASSERT_EQ(windows.find_first_of("\"*:<>?\\|"), std::string::npos) << first << " " << second;
    }
  }
}

TEST(NameStandIns, TheNameLengthLimitCountsHostBytes)
{
  // 100 colons and 155 letters: 255 bytes on the host, 455 in the Windows name.
  const std::string name = [] {
    std::string text;
    for (int i = 0; i < 100; ++i) {
      text += StandIn(':');
    }
    return text + std::string(155, 'a');
  }();
  std::string full;
  EXPECT_TRUE(FullWindowsPath("C:\\" + name, full));
  EXPECT_FALSE(FullWindowsPath("C:\\" + name + "a", full));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

std::string ReadWhole(const std::string& windowsPath)
{
  HANDLE file =
      CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return "<cannot open>";
  }
  std::string text(512, '\0');
  DWORD done = 0;
  ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  CloseHandle(file);
  text.resize(done);
  return text;
}

std::set<std::string> NamesIn(const std::string& pattern)
{
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

TEST(NameStandIns, FilesTheWalkReportsOpenRenameAndDelete)
{
  const TDeclaredMachine machine;
  const fs::path music = machine.DriveFolder('C') / "Music";
  fs::create_directories(music);
  std::set<std::string> expected = {".", ".."};
  for (const TNameCase& c : NameCases()) {
    std::ofstream(music / c.Host, std::ios::binary) << c.Host;
    expected.insert(c.Windows);
  }
  EXPECT_EQ(NamesIn("C:\\Music\\*"), expected);

  for (const TNameCase& c : NameCases()) {
    const std::string path = "C:\\Music\\" + c.Windows;
    EXPECT_EQ(ReadWhole(path), c.Host) << c.Name;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << c.Name;
    EXPECT_EQ(NamesIn(path), std::set<std::string>{c.Windows}) << c.Name << ": found by its name alone";
    std::string host;
    EXPECT_TRUE(HostPathOf(path, host) && host == (music / c.Host).string()) << c.Name;
    EXPECT_EQ(WindowsPathOf((music / c.Host).string()), path) << c.Name;

    const std::string renamed = "C:\\Music\\" + c.Windows + "?";
    ASSERT_FALSE(MoveFileA(path.c_str(), renamed.c_str())) << c.Name << ": a literal \"?\" is no name";
    const std::string moved = "C:\\Music\\" + c.Windows + StandIn('?');
    ASSERT_TRUE(MoveFileA(path.c_str(), moved.c_str())) << c.Name;
    EXPECT_TRUE(fs::exists(music / (c.Host + "?"))) << c.Name;
    EXPECT_FALSE(fs::exists(music / c.Host)) << c.Name;
    EXPECT_TRUE(DeleteFileA(moved.c_str())) << c.Name;
    EXPECT_FALSE(fs::exists(music / (c.Host + "?"))) << c.Name;
  }
  EXPECT_EQ(NamesIn("C:\\Music\\*"), (std::set<std::string>{".", ".."}));
}

TEST(NameStandIns, FoldersAreMadeWalkedAndFoundInAnyCase)
{
  const TDeclaredMachine machine;
  const fs::path c = machine.DriveFolder('C');
  const std::string folder = "C:\\Live" + StandIn(':') + " 1999";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(fs::is_directory(c / "Live: 1999"));
  std::ofstream(c / "Live: 1999" / "Why?.mp3") << "why";
  std::ofstream(c / "Live: 1999" / "a.mp3") << "a";

  const std::string why = "Why" + StandIn('?') + ".mp3";
  EXPECT_EQ(NamesIn("C:\\*"), std::set<std::string>{"Live" + StandIn(':') + " 1999"});
  EXPECT_EQ(NamesIn(folder + "\\*.mp3"), (std::set<std::string>{why, "a.mp3"}));
  // "?" in a mask is a wildcard; the stand-in in a mask matches only itself.
  EXPECT_EQ(NamesIn(folder + "\\Why?.mp3"), std::set<std::string>{why});
  EXPECT_EQ(NamesIn(folder + "\\*" + StandIn('?') + "*"), std::set<std::string>{why});
  // The host path given whole names the same folder.
  EXPECT_EQ(NamesIn((c / "Live: 1999").string() + "/*.mp3"), (std::set<std::string>{why, "a.mp3"}));
  EXPECT_EQ(ReadWhole("C:\\LIVE" + StandIn(':') + " 1999\\why" + StandIn('?') + ".MP3"), "why");

  std::string full;
  EXPECT_TRUE(FullWindowsPath((c / "Live: 1999" / "Why?.mp3").string(), full));
  EXPECT_EQ(full, folder + "\\" + why);

  ASSERT_TRUE(DeleteFileA((folder + "\\" + why).c_str()));
  ASSERT_TRUE(DeleteFileA((folder + "\\a.mp3").c_str()));
  EXPECT_TRUE(RemoveDirectoryA(folder.c_str()));
  EXPECT_FALSE(fs::exists(c / "Live: 1999"));
}

TEST(NameStandIns, NamesWhoseWindowsFormOutgrowsTheFindRecordAreLeftOut)
{
  const TDeclaredMachine machine;
  const fs::path c = machine.DriveFolder('C');
  // Three colons grow a name by six bytes; cFileName holds 259 and the terminating zero.
  const std::string fits = std::string(250, 'a') + ":::";
  const std::string outgrows = std::string(251, 'b') + ":::";
  std::ofstream(c / fits) << "x";
  std::ofstream(c / outgrows) << "x";
  const std::string fitsWindows = WindowsNameOf(fits);
  ASSERT_EQ(fitsWindows.size(), MAX_PATH - 1);
  EXPECT_EQ(NamesIn("C:\\*"), std::set<std::string>{fitsWindows});
  EXPECT_EQ(NamesIn("C:\\" + fitsWindows), std::set<std::string>{fitsWindows});
  EXPECT_TRUE(NamesIn("C:\\" + WindowsNameOf(outgrows)).empty());
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace
