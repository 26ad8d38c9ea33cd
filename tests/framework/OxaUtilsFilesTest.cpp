#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "framework/OxaUtils.h"
#include "platform/files/Paths.h"
#include "tests/support/DeclaredDrives.h"

namespace {

TEST(OxaUtilsFiles, ForceDirectoriesCreatesMissingParents)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "file") << "x";
  const struct {
    const char* Path;
    bool Result;
    bool Exists;
  } cases[] = {
      {"C:\\Lib\\OxaMediaDatabase\\", true, true},
      {"C:\\lib\\oxamediadatabase", true, true},
      {"C:\\A\\B\\C\\D", true, true},
      {"C:\\", true, true},
      {"C:", true, true},
      {"C:\\file\\sub", false, false},
      {"Q:\\x", false, false},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(ForceDirectories(k.Path), k.Result) << k.Path;
    EXPECT_EQ(DirectoryExists(k.Path), k.Exists) << k.Path;
  }
  EXPECT_TRUE(std::filesystem::is_directory(c / "A" / "B" / "C" / "D"));
  EXPECT_TRUE(std::filesystem::is_directory(c / "Lib" / "OxaMediaDatabase"));
  EXPECT_FALSE(DirectoryExists("C:\\file"));
  // A relative name has no parent to force: it is made in the current folder.
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(c);
  EXPECT_TRUE(ForceDirectories("Relative\\"));
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::is_directory(c / "Relative"));
  try {
    ForceDirectories("");
    ADD_FAILURE() << "no exception";
  } catch (const EOxaFatal& error) {
    EXPECT_EQ(error.Message(), "Illegal path ");
  }
}

TEST(OxaUtilsFiles, FileInformationOfAFileHeldExclusively)
{
  const TDeclaredMachine machine;
  std::ofstream(machine.DriveFolder('C') / "song.mp3") << "12345";
  HANDLE held =
      CreateFileA("C:\\song.mp3", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION info{};
  ASSERT_TRUE(GetFileInformation("C:\\SONG.MP3", info));
  EXPECT_EQ(info.nFileSizeLow, 5U);
  EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  CloseHandle(held);
  EXPECT_FALSE(GetFileInformation("C:\\none.mp3", info));
}

TEST(OxaUtilsFiles, RunProcessStartsInTheApplicationsFolderAndWaitsWhenAsked)
{
  const TDeclaredMachine machine;
  const std::string helper = WindowsPathOf(OXA_PLATFORM_HELPER);
  const std::string folder = std::filesystem::path(OXA_PLATFORM_HELPER).parent_path().string();
  const std::string output = "run-" + std::to_string(GetCurrentProcessId()) + ".txt";
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(RunProcess(helper, "helper --args-to " + output + " A", info, TProcessWait::Exit, false, 1, 0));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 7U);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const auto written = folder + "/" + output;
  std::ifstream in(written);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "helper");
  std::filesystem::remove(written);

  ASSERT_TRUE(RunProcess(helper, "", info, TProcessWait::None, true, 1, 0));
  // Without arguments the helper reads commands; ending its input is not needed here.
  EXPECT_TRUE(TerminateProcess(info.hProcess, 1));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  EXPECT_FALSE(RunProcess("C:\\none.exe", "", info, TProcessWait::Exit, false, 1, 0));
}

}  // namespace
