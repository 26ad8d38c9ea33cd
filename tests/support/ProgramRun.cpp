#include "tests/support/ProgramRun.h"

#include "tests/support/ChildProcess.h"

TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments)
{
  TChildProcess child(program, arguments);
  TProgramRun run;
  while (const auto line = child.ReadLine()) {
    run.Output += *line + '\n';
  }
  run.ExitCode = child.Wait();
  return run;
}
