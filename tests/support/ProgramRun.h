#pragma once
// Runs a command-line program to its end, as a user at a terminal would, and keeps what it said.

#include <string>
#include <vector>

struct TProgramRun {
  int ExitCode = -1;   // as TChildProcess::Wait reports it
  std::string Output;  // every line of the standard output, each ended by a line feed
};

// Runs program with arguments (environment: the test's, OXA_MACHINE included).
TProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments);
