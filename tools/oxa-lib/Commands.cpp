#include "tools/oxa-lib/Commands.h"

#include <array>

std::span<const TCommand> Commands()
{
  static constexpr std::array commands{
      TCommand{"version", "version [--json]", "print the program's version", &RunVersion},
  };
  return commands;
}
