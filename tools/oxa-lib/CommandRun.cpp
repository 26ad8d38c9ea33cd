#include <exception>
#include <iostream>

#include "tools/oxa-lib/Commands.h"

int RunCommand(TCommandFunction run, const std::vector<std::string>& args)
{
  try {
    return run(TCommandArgs(args).subspan(1), std::cout, std::cerr);
  } catch (const std::exception& e) {
    std::cerr << "oxa-lib " << args[0] << ": " << e.what() << '\n';
    return ExitFailure;
  }
}
