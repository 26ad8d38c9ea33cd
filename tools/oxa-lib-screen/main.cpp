// oxa-lib-screen: the commands of oxa-lib that draw or ask the display. oxa-lib runs this program
// for them, so that it links no X or font library itself; it can be run on its own too.

#include <iostream>
#include <string>
#include <vector>

#include "platform/display/Display.h"
#include "tools/oxa-lib/Commands.h"

int main(int argc, char** argv)
{
  // "display" describes the back end DISPLAY selects, as the program sees it.
  InstallDisplay();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const struct {
    std::string_view Name;
    TCommandFunction Run;
  } commands[] = {{"display", &RunDisplay}, {"skin", &RunSkin}};
  for (const auto& command : commands) {
    if (!args.empty() && command.Name == args[0]) {
      return RunCommand(command.Run, args);
    }
  }
  std::cerr << "usage: oxa-lib-screen display [--json] | skin ... (see oxa-lib --help)\n";
  return ExitUsage;
}
