// oxa-lib: the library, tags and settings of OxaNetMusic from the command line.

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tableengine/WriteFaults.h"
#include "tools/oxa-lib/Commands.h"

namespace {

void PrintHelp(std::ostream& out)
{
  out << "usage: oxa-lib COMMAND [ARGUMENTS]\n\n"
         "The headless face of OxaNetMusic: drives, paths, registry, settings, tags and the\n"
         "music library of the machine in use (OXA_MACHINE selects another machine folder).\n\n"
         "Commands:\n";
  for (const auto& command : Commands()) {
    out << "  " << command.Usage << "\n      " << command.Summary << '\n';
  }
  out << "\nExit codes: 0 success, 1 failure, 2 usage error.\n";
}

}  // namespace

int main(int argc, char** argv)
{
  // For the tests of what a failed library write leaves behind: OXA_FAIL_TABLE_WRITE=N makes
  // the Nth write of the table engine fail.
  if (const char* failAt = std::getenv("OXA_FAIL_TABLE_WRITE"); failAt != nullptr) {
    FailNthTableWrite(static_cast<std::uint32_t>(std::strtoul(failAt, nullptr, 10)));
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(std::cout);
    return args.empty() ? ExitUsage : ExitSuccess;
  }
  for (const auto& command : Commands()) {
    if (command.Name == args[0]) {
      return RunCommand(command.Run, args);
    }
  }
  std::cerr << "oxa-lib: unknown command '" << args[0] << "' (see oxa-lib --help)\n";
  return ExitUsage;
}
