#pragma once
// The commands of oxa-lib. Each command is a function in its own file (CmdX.cpp) that gets the
// arguments after its name and writes to out (results) and err (errors).

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

using TCommandArgs = std::span<const std::string>;
using TCommandFunction = int (*)(TCommandArgs args, std::ostream& out, std::ostream& err);

struct TCommand {
  std::string_view Name;
  std::string_view Usage;    // "version", "db info [--dir D]"
  std::string_view Summary;  // one line for --help
  TCommandFunction Run;
};

// Runs the command args[0] names with the arguments after it on the standard streams; an
// exception it lets out is reported as "oxa-lib NAME: what" and ExitFailure.
int RunCommand(TCommandFunction run, const std::vector<std::string>& args);

// Every command, in the order --help lists them.
std::span<const TCommand> Commands();

int RunVersion(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunDrives(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunPath(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunReg(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunMpeg(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunFingerprint(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunId3v1(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunId3v2(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunTags(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunDb(TCommandArgs args, std::ostream& out, std::ostream& err);
// The catalogue actions of "db" (import, files, groups, hide, remove-under), dispatched by RunDb.
bool IsDbCatalogueAction(std::string_view action);
int RunDbCatalogue(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunList(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunFav(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunWalk(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunScan(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunSettings(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunHeap(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunBus(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunPlay(TCommandArgs args, std::ostream& out, std::ostream& err);
// The two commands that draw or ask the display (CmdScreen.cpp): oxa-lib runs them in oxa-lib-screen,
// which defines them for real, so that oxa-lib itself links no X or font library.
int RunDisplay(TCommandArgs args, std::ostream& out, std::ostream& err);
int RunSkin(TCommandArgs args, std::ostream& out, std::ostream& err);
// Runs oxa-lib-screen (beside this program) with the command and its arguments, on this
// program's own standard streams; its exit code, ExitFailure when it cannot be started.
int RunScreenCommand(std::string_view name, TCommandArgs args, std::ostream& out, std::ostream& err);
