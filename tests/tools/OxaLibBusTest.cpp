#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpc.h"
#include "platform/files/Paths.h"
#include "platform/files/Registry.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

std::string RegistryValue(const std::string& client, const char* name)
{
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\Kestrom\\OxaIpc\\VantelPC\\" + client).c_str(), 0,
                    KEY_READ, &key) != 0) {
    return "<no key>";
  }
  char data[1024] = {};
  DWORD size = sizeof(data) - 1;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return result == 0 ? data : "<no value>";
}

class OxaLibBus : public ::testing::Test {
 protected:
  TTempMachine FMachine;
};

TEST_F(OxaLibBus, ShowsANewBus)
{
  const TProgramRun run = OxaLib({"bus", "show"});
  EXPECT_EQ(run.ExitCode, 0);
  for (const char* line : {"group: VANTELPC\n", "magic: 207\n", "generation: 1\n", "body size: 16384\n",
                           "processes: 1\n", "clients: 0\n", "check: clean\n"}) {
    EXPECT_TRUE(Contains(run.Output, line)) << line << run.Output;
  }
}

TEST_F(OxaLibBus, ShowsMembersClientsAndNames)
{
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName("Other");
  ASSERT_TRUE(ipc.Open(false));
  const std::uint32_t id = ipc.NameToId("Pyrmel");
  ASSERT_TRUE(ipc.Lock(1000));
  ASSERT_TRUE(ipc.CheckGeneration());
  ASSERT_NE(ipc.CreateClientRecord(id), 0u);
  ipc.Unlock();
  const TProgramRun run = OxaLib({"bus", "show", "--group", "Other"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_TRUE(Contains(run.Output, "processes: 2\n")) << run.Output;
  EXPECT_TRUE(Contains(run.Output, "  pid 1 generation 1 window ")) << run.Output;
  EXPECT_TRUE(Contains(run.Output, " pending 0 alive\n")) << run.Output;
  EXPECT_TRUE(Contains(run.Output, "clients: 1\n  " + std::to_string(id) + " Pyrmel\n")) << run.Output;
  const TProgramRun json = OxaLib({"bus", "show", "--group", "Other", "--json"});
  EXPECT_EQ(json.ExitCode, 0);
  EXPECT_TRUE(Contains(json.Output, "\"magic\":207")) << json.Output;
  EXPECT_TRUE(Contains(json.Output, "{\"id\":" + std::to_string(id) + ",\"name\":\"Pyrmel\"}"))
      << json.Output;
}

TEST_F(OxaLibBus, ADamagedBusIsReportedAndLeftAlone)
{
  TOxaMutex mutex;
  bool existed = false;
  mutex.Open(OxaIpcMutexName("VANTELPC"), existed);
  TOxaProcessMemory head;
  head.Open(mutex, OxaIpcHeadName("VANTELPC"), OxaIpcHeadHeaderSize, 0);
  auto& header = *static_cast<TOxaIpcHeadHeader*>(head.GetHeader());
  std::strcpy(header.Name, "VANTELPC");
  header.Magic = 99;
  const std::vector<std::uint8_t> before(reinterpret_cast<std::uint8_t*>(&header),
                                         reinterpret_cast<std::uint8_t*>(&header) + sizeof(header));
  const TProgramRun run = OxaLib({"bus", "show"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "");
  EXPECT_EQ(std::vector<std::uint8_t>(reinterpret_cast<std::uint8_t*>(&header),
                                      reinterpret_cast<std::uint8_t*>(&header) + sizeof(header)),
            before);
}

TEST_F(OxaLibBus, RegistersClients)
{
  const std::string program = WindowsPathOf(OXA_LIB_PROGRAM);
  const TProgramRun run = OxaLib({"bus", "register", "One;Two", "missing.exe;" + program, "a=1", "b=c=2"});
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, "registered One;Two\n");
  for (const char* client : {"One", "Two"}) {
    EXPECT_EQ(RegistryValue(client, "Parameters"), "a=1;b=c%3D2");
    EXPECT_NE(RegistryValue(client, "Application"), "<no value>");
  }
  EXPECT_EQ(OxaLib({"bus", "register", "One", "missing.exe"}).ExitCode, 1);
  EXPECT_EQ(OxaLib({"bus", "register", "One", program, "novalue"}).ExitCode, 2);
}

TEST_F(OxaLibBus, LaunchOfAnUnknownClientFails)
{
  const TProgramRun run = OxaLib({"bus", "launch", "Nobody", "--timeout", "100"});
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "");
  EXPECT_EQ(OxaLib({"bus", "launch", "Nobody", "--timeout", "soon"}).ExitCode, 2);
}

TEST_F(OxaLibBus, Usage)
{
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"bus"},
                                                    {"bus", "show", "extra"},
                                                    {"bus", "register", "One"},
                                                    {"bus", "launch"},
                                                    {"bus", "frobnicate"},
                                                    {"bus", "show", "--colour"}}) {
    EXPECT_EQ(OxaLib(arguments).ExitCode, 2);
  }
}

}  // namespace
