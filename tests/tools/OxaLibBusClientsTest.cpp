// oxa-lib bus notify, call, prop and watch against a member process with a client.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/TempFolder.h"

namespace {

TProgramRun OxaLib(const std::vector<std::string>& arguments)
{
  return RunProgram(OXA_LIB_PROGRAM, arguments);
}

// Standard error joined to the output, for the messages of failures.
TProgramRun OxaLibSaying(const std::vector<std::string>& arguments)
{
  std::string line = OXA_LIB_PROGRAM;
  for (const auto& argument : arguments) {
    line += " '" + argument + "'";
  }
  return RunProgram("/bin/sh", {"-c", line + " 2>&1"});
}

bool Contains(const std::string& text, const std::string& part)
{
  return text.find(part) != std::string::npos;
}

class OxaLibBusClients : public ::testing::Test {
 protected:
  // A member serving the client "Svc", which echoes calls.
  void StartMember()
  {
    FMember = std::make_unique<TChildProcess>(OXA_IPC_CLIENT_HELPER, std::vector<std::string>{});
    ASSERT_EQ(FMember->Ask("open VantelPC"), "ok");
    ASSERT_EQ(FMember->Ask("register Svc"), "ok");
  }
  TTempMachine FMachine;
  std::unique_ptr<TChildProcess> FMember;
};

TEST_F(OxaLibBusClients, NoBusOrNoClientIsAFailure)
{
  const TProgramRun alone = OxaLibSaying({"bus", "notify", "Svc", "Note"});
  EXPECT_EQ(alone.ExitCode, 1);
  EXPECT_TRUE(Contains(alone.Output, "no bus VantelPC")) << alone.Output;
  StartMember();
  struct TCase {
    std::vector<std::string> Arguments;
  };
  const TCase cases[] = {
      {{"bus", "notify", "Nobody", "Note"}},
      {{"bus", "call", "Nobody", "Ask", "--timeout", "100"}},
      {{"bus", "prop", "get", "Nobody", "Volume"}},
  };
  for (const auto& c : cases) {
    const TProgramRun run = OxaLibSaying(c.Arguments);
    EXPECT_EQ(run.ExitCode, 1) << c.Arguments[1];
    EXPECT_TRUE(Contains(run.Output, "no client Nobody on bus VantelPC")) << run.Output;
  }
}

TEST_F(OxaLibBusClients, BadArgumentsAreUsageErrors)
{
  const std::vector<std::string> cases[] = {
      {"bus", "notify", "Svc"},
      {"bus", "notify", "Svc", "Note", "--hex", "0"},
      {"bus", "notify", "Svc", "Note", "--hex", "zz"},
      {"bus", "notify", "Svc", "Note", "--hex", "00", "--text", "a"},
      {"bus", "prop", "put", "Svc", "Volume"},
      {"bus", "watch", "extra"},
  };
  StartMember();
  for (const auto& arguments : cases) {
    EXPECT_EQ(OxaLib(arguments).ExitCode, 2) << arguments.back();
  }
}

TEST_F(OxaLibBusClients, NotifyCallAndProperties)
{
  StartMember();
  const TProgramRun notify = OxaLib({"bus", "notify", "Svc", "Note", "--text", "hi"});
  EXPECT_EQ(notify.ExitCode, 0);
  EXPECT_EQ(notify.Output, "notified Svc Note (3 bytes)\n");
  ASSERT_EQ(FMember->Ask("settle"), "ok");
  EXPECT_TRUE(Contains(FMember->Ask("received Svc"), "Note:hi"));

  FMember->WriteLine("pump 3000");
  const TProgramRun call = OxaLib({"bus", "call", "Svc", "Ask", "--hex", "7100", "--timeout", "2000"});
  EXPECT_EQ(call.ExitCode, 0);
  EXPECT_EQ(call.Output, "result: 4 bytes\nhex: 72653a71\n");  // "re:q"
  ASSERT_EQ(FMember->ReadLine(), "ok");
  // Nobody drains now: the call times out.
  const TProgramRun late = OxaLibSaying({"bus", "call", "Svc", "Ask", "--timeout", "200"});
  EXPECT_EQ(late.ExitCode, 1);
  // The time told is the time waited, never less than the limit.
  const std::size_t told = late.Output.find("timed out after ");
  ASSERT_NE(told, std::string::npos) << late.Output;
  const int waited = std::stoi(late.Output.substr(told + 16));
  EXPECT_GE(waited, 200) << late.Output;
  EXPECT_LT(waited, 5000) << late.Output;

  EXPECT_EQ(OxaLib({"bus", "prop", "get", "Svc", "Volume"}).ExitCode, 1);
  const TProgramRun set = OxaLib({"bus", "prop", "set", "Svc", "Volume", "--hex", "0708"});
  EXPECT_EQ(set.ExitCode, 0);
  const TProgramRun get = OxaLib({"bus", "prop", "get", "Svc", "Volume"});
  EXPECT_EQ(get.ExitCode, 0);
  EXPECT_EQ(get.Output, "size: 2\nhex: 0708\n");
}

// Each command registers a client of its own and leaves; the next one takes its name again, so
// the bus's names and body stay as they are however many commands run.
TEST_F(OxaLibBusClients, CommandsThatLeftLeaveNoNamesBehind)
{
  StartMember();
  const auto names = [] {
    const TProgramRun show = OxaLib({"bus", "show"});
    const std::size_t at = show.Output.find("names: ");
    return at == std::string::npos ? -1 : std::stoi(show.Output.substr(at + 7));
  };
  // The first of each kind interns the message and property names it uses.
  ASSERT_EQ(OxaLib({"bus", "notify", "Svc", "Note", "--text", "hi"}).ExitCode, 0);
  ASSERT_EQ(OxaLib({"bus", "prop", "get", "Svc", "Volume"}).ExitCode, 1);
  const int before = names();
  ASSERT_GT(before, 0);
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(OxaLib({"bus", "notify", "Svc", "Note", "--text", "hi"}).ExitCode, 0);
    ASSERT_EQ(OxaLib({"bus", "prop", "get", "Svc", "Volume"}).ExitCode, 1);
  }
  EXPECT_EQ(names(), before);
}

TEST_F(OxaLibBusClients, WatchPrintsEveryCopy)
{
  StartMember();
  ASSERT_EQ(FMember->Ask("register Other"), "ok");
  // Its own arrival is announced to it first.
  TChildProcess watch(OXA_LIB_PROGRAM, {"bus", "watch", "--count", "3", "--timeout", "20000"});
  ASSERT_EQ(watch.ReadLine(), "watching VantelPC");
  ASSERT_EQ(FMember->Ask("notify Other Svc Note abc"), "ok");
  ASSERT_EQ(FMember->Ask("notify Other Debug Direct x"), "ok");
  std::vector<std::string> lines;
  while (const auto line = watch.ReadLine()) {
    if (line->rfind("OnAttach ", 0) != 0) {
      lines.push_back(*line);
    }
  }
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(Contains(lines[0], "OnNotify sender Other target Svc name Note serial ")) << lines[0];
  EXPECT_TRUE(Contains(lines[0], " size 4")) << lines[0];
  EXPECT_TRUE(Contains(lines[1], "Direct sender Other target Debug name Direct serial ")) << lines[1];
  EXPECT_TRUE(Contains(lines[1], " size 2")) << lines[1];
  EXPECT_EQ(watch.Wait(), 0);
}

}  // namespace
