// Recording which executable serves a client, and starting it.

#include <chrono>
#include <thread>

#include "platform/files/Paths.h"
#include "platform/files/Registry.h"
#include "rtl/AnsiText.h"
#include "rtl/FileUtils.h"
#include "tests/OxaIPC/OxaIpcTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string HelperPath()
{
  return WindowsPathOf(OXA_IPC_HELPER);
}

std::string ReadValue(const std::string& client, const char* name)
{
  HKEY key = nullptr;
  const std::string path = "Software\\Kestrom\\OxaIpc\\VantelPC\\" + client;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != 0) {
    return "<no key>";
  }
  char data[4096] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return result == 0 ? std::string(data) : "<no value>";
}

class TLaunch : public TBusTest {
 protected:
  std::string Serve(const std::string& client, int seconds = 4)
  {
    return "oxaipc_test_helper --serve VantelPC " + client + " " + std::to_string(seconds);
  }
};

TEST_F(TLaunch, RegisterApplicationWritesEveryClient)
{
  struct TCase {
    std::vector<std::pair<std::string, std::string>> Parameters;
    std::string Text;
  };
  const TCase cases[] = {
      {{}, ""},
      {{{"a", "b"}}, "a=b"},
      {{{"a", "b"}, {"c", ""}}, "a=b;c="},
      {{{"x=y", "1;2"}}, "x%3Dy=1%3B2"},
      {{{"%", "a b"}}, "%=a b"},  // only "=" and ";" are written as codes
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Ipc().RegisterApplication("One;Two", "missing.exe;" + HelperPath(), c.Parameters));
    for (const char* client : {"One", "Two"}) {
      EXPECT_EQ(ReadValue(client, "Parameters"), c.Text);
      EXPECT_TRUE(AnsiSameText(ReadValue(client, "Application"), HelperPath()))
          << ReadValue(client, "Application");
    }
  }
}

TEST_F(TLaunch, RegisterApplicationNeedsAGroupAndAnExistingFile)
{
  EXPECT_FALSE(Ipc().RegisterApplication("One", "missing.exe;also-missing.exe", {}));
  EXPECT_EQ(ReadValue("One", "Application"), "<no key>");
  Ipc().SetGroupName("");
  EXPECT_FALSE(Ipc().RegisterApplication("One", HelperPath(), {}));
  EXPECT_FALSE(Ipc().Launch("One", "", 0));
}

TEST_F(TLaunch, LaunchWithoutAKeyIsFalse)
{
  EXPECT_FALSE(Ipc().Launch("Nobody", "", 0));
  ASSERT_TRUE(Ipc().Open(false));
  EXPECT_FALSE(Ipc().Launch("Nobody", "", 0));
}

TEST_F(TLaunch, LaunchStartsTheApplicationAndWaitsForItsClient)
{
  ASSERT_TRUE(Ipc().RegisterApplication("Svc", HelperPath(), {}));
  ASSERT_TRUE(Ipc().Open(false));
  EXPECT_TRUE(Ipc().Launch("Svc", Serve("Svc"), 10000));
  EXPECT_TRUE(Ipc().Exists(Ipc().NameToId("Svc"), 0));
  EXPECT_EQ(Ipc().Processes().size(), 2u);
  // Running: a second launch starts nothing.
  EXPECT_TRUE(Ipc().Launch("Svc", Serve("Svc"), 10000));
  EXPECT_EQ(Ipc().Processes().size(), 2u);
}

TEST_F(TLaunch, LaunchOnAnInactiveBusAnswersWhetherItStarted)
{
  ASSERT_TRUE(Ipc().RegisterApplication("Svc", HelperPath(), {}));
  EXPECT_TRUE(Ipc().Launch("Svc", Serve("Svc"), 5000));
  TOxaIpc other(nullptr);
  ASSERT_TRUE(other.Open(false));
  EXPECT_TRUE(other.Exists(other.NameToId("Svc"), 5000));
}

TEST_F(TLaunch, ARunningApplicationIsOnlyWaitedFor)
{
  ASSERT_TRUE(Ipc().RegisterApplication("Svc", HelperPath(), {}));
  ASSERT_TRUE(Ipc().Open(false));
  // The application runs (and holds its lock) but serves another client.
  TChildProcess running(OXA_IPC_HELPER, {"--serve", "VantelPC", "Other", "20"});
  ASSERT_TRUE(Ipc().Exists(Ipc().NameToId("Other"), 10000));
  const auto start = steady_clock::now();
  EXPECT_FALSE(Ipc().Launch("Svc", Serve("Svc"), 600));
  EXPECT_GE(steady_clock::now() - start, milliseconds(600));
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(Ipc().Processes().size(), 2u);  // nothing was started
}

TEST_F(TLaunch, TheDecisionLockIsGivenBackOnlyByWhoTookIt)
{
  ASSERT_TRUE(Ipc().RegisterApplication("Svc", HelperPath(), {}));
  ASSERT_TRUE(Ipc().Open(false));
  const std::string decision = OxaIpcLaunchMutexName(ExpandFileName(HelperPath()));
  // Somebody else is deciding: the launch only waits and leaves that lock alone.
  bool released = false;
  std::thread other([&] {
    TOxaMutex mutex;
    bool existed = false;
    mutex.Open(decision, existed);
    EXPECT_TRUE(mutex.Lock(0));
    std::this_thread::sleep_for(milliseconds(2500));
    mutex.Unlock();
    released = true;
  });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(Ipc().Launch("Svc", Serve("Svc"), 200));
  EXPECT_EQ(Ipc().Processes().size(), 1u);
  other.join();
  EXPECT_TRUE(released);
  // Taken and given back by the launch: free at once afterwards.
  EXPECT_TRUE(Ipc().Launch("Svc", Serve("Svc"), 10000));
  std::thread after([&] {
    TOxaMutex mutex;
    bool existed = false;
    mutex.Open(decision, existed);
    EXPECT_TRUE(mutex.Lock(0));
  });
  after.join();
}

}  // namespace
