#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Music/form/Music.h"
#include "OxaIPC/OxaIpcApplication.h"
#include "platform/windows/Messages.h"
#include "platform/windows/Windows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(TMusicEntry, SwitchWordsMatchWholeWordsInAnyCase)
{
  struct TCase {
    std::vector<std::string> Arguments;
    bool Debug;
    bool AfterInstall;
    bool StartFromMl;
  };
  const TCase cases[] = {
      {{}, false, false, false},
      {{"debug"}, true, false, false},
      {{"AfterInstall", "C:\\Music\\a.mp3"}, false, true, false},
      {{"sTaRtFrOmMl", "DEBUG"}, true, false, true},
      {{"-DEBUG", "/STARTFROMML", "AFTERINSTALL2", " DEBUG"}, false, false, false},
  };
  for (const auto& c : cases) {
    const TStartSwitches switches = ReadStartSwitches(c.Arguments);
    EXPECT_EQ(switches.DebugSwitch, c.Debug);
    EXPECT_EQ(switches.AfterInstallSwitch, c.AfterInstall);
    EXPECT_EQ(switches.StartFromMlSwitch, c.StartFromMl);
  }
}

TEST(TMusicEntry, ApplicationLockIsNamedAfterTheUpperCasedPath)
{
  EXPECT_EQ(ApplicationLockName("\\\\Server\\Share\\Oxa\\OxaNetMusic.exe"),
            "OxaIpc.a.//SERVER/SHARE/OXA/OXANETMUSIC.EXE");
  EXPECT_EQ(ApplicationLockName("C:\\Programme\\Oxa\\oxanetmusic"), "OxaIpc.a.C:/PROGRAMME/OXA/OXANETMUSIC");
}

// Starts the program and waits until its message loop runs.
std::unique_ptr<TChildProcess> StartRunning()
{
  auto program = std::make_unique<TChildProcess>(OXA_MUSIC_PROGRAM, std::vector<std::string>{"DEBUG"});
  EXPECT_EQ(WaitForProcessInputIdle(static_cast<DWORD>(program->Pid()), 30000), 0U);
  return program;
}

TEST(TMusicEntry, OneInstancePerExecutable)
{
  const TTempMachine machine;
  auto first = StartRunning();
  const HWND mainWindow = FindWindowA("TMusicForm", "OxaNetMusic");
  ASSERT_NE(mainWindow, nullptr);
  DWORD process = 0;
  GetWindowThreadProcessId(mainWindow, &process);
  EXPECT_EQ(process, static_cast<DWORD>(first->Pid()));

  TChildProcess second(OXA_MUSIC_PROGRAM, {});
  EXPECT_EQ(second.Wait(std::chrono::seconds(30)), 0) << "a second start ends at once";
  EXPECT_TRUE(IsWindow(mainWindow));

  ASSERT_TRUE(PostMessageA(mainWindow, WM_CLOSE, 0, 0));
  EXPECT_EQ(first->Wait(std::chrono::seconds(30)), 0) << "WM_CLOSE ends the program cleanly";
  EXPECT_EQ(FindWindowA("TMusicForm", nullptr), nullptr);

  auto third = StartRunning();
  const HWND thirdWindow = FindWindowA("TMusicForm", nullptr);
  ASSERT_NE(thirdWindow, nullptr);
  EXPECT_NE(thirdWindow, mainWindow);
  PostMessageA(thirdWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(third->Wait(std::chrono::seconds(30)), 0);
}

}  // namespace
