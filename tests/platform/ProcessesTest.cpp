#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/LastError.h"
#include "platform/files/Paths.h"
#include "platform/objects/Processes.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::vector<std::string> Lines(const std::filesystem::path& file)
{
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

TEST(Processes, CommandLinesSplitAsWindowsProgramsSplitThem)
{
  const struct {
    const char* Line;
    std::vector<std::string> Words;
  } cases[] = {
      {"prog a b", {"prog", "a", "b"}},
      {"\"C:\\Program Files\\x.exe\" DEBUG", {"C:\\Program Files\\x.exe", "DEBUG"}},
      {"C:\\dir\\x.exe   \"two words\"  last", {"C:\\dir\\x.exe", "two words", "last"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p \"a\\\\\" b", {"p", "a\\", "b"}},
      {"p a\\b\\c", {"p", "a\\b\\c"}},
      {"p \"say \"\"hi\"\"\"", {"p", "say \"hi\""}},
      {"p \"\"", {"p", ""}},
      {"\"C:\\a\\b\"", {"C:\\a\\b"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.Line), c.Words) << c.Line;
  }
}

TEST(Processes, StartedProcessGetsArgumentsFolderAndItsExitCodeIsSeen)
{
  const TDeclaredMachine machine;
  const std::string helper = WindowsPathOf(OXA_PLATFORM_HELPER);
  ASSERT_FALSE(helper.empty());
  // A relative output name lands in the working folder given.
  std::string line = "\"" + helper + "\" --args-to args.txt \"two words\" x";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                             "C:\\", &startup, &info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(info.hThread, 0), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 7U);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  const auto written = Lines(machine.DriveFolder('C') / "args.txt");
  ASSERT_EQ(written.size(), 5U);
  EXPECT_EQ(written[3], "two words");
  EXPECT_EQ(written[4], "x");
}

TEST(Processes, WaitTimesOutForARunningProcessAndTerminateSetsTheExitCode)
{
  const TDeclaredMachine machine;
  std::string line = "sleeper 30";
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  ASSERT_TRUE(CreateProcessA("Z:\\bin\\sleep.EXE", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  ASSERT_TRUE(TerminateProcess(info.hProcess, 42));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 20000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeProcess(info.hProcess, &code));
  EXPECT_EQ(code, 42U);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
}

TEST(Processes, MissingProgramsAndFoldersFail)
{
  const TDeclaredMachine machine;
  PROCESS_INFORMATION info{};
  STARTUPINFOA startup{};
  EXPECT_FALSE(
      CreateProcessA("C:\\none.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateProcessA("Z:\\bin\\true", nullptr, nullptr, nullptr, FALSE, 0, nullptr, "C:\\NoFolder",
                              &startup, &info));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeProcess(reinterpret_cast<HANDLE>(0x7777), &code));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(Processes, ModuleFileNameIsTheExecutablesWindowsPath)
{
  const TDeclaredMachine machine;
  char host[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", host, sizeof host - 1), 0);
  const std::string expected = WindowsPathOf(host);
  char buffer[4096];
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof buffer), expected.size());
  EXPECT_EQ(buffer, expected);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 5), 5U);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(buffer), expected.substr(0, 4));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
}

}  // namespace
