#pragma once
// A child process for multi-process tests: started with its standard input and output on pipes,
// spoken to line by line, and killed (if still running) when the object goes.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class TChildProcess {
 public:
  // Starts program with arguments; the environment is the test's (OXA_MACHINE included).
  TChildProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  void WriteLine(const std::string& line);
  // The next line of the child's output without its line feed; nothing when the time-out passes
  // or the child closed its output first.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Writes a command and returns the answer line ("" when none came).
  std::string Ask(const std::string& line, std::chrono::milliseconds timeout = std::chrono::seconds(20));

  pid_t Pid() const noexcept { return FPid; }
  // Kills the child with SIGKILL (a crash) and reaps it.
  void Kill();
  // Waits for the child to end and returns its exit status (-1 on time-out, 128 + n for signal n).
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  pid_t FPid = -1;
  int FInput = -1;
  int FOutput = -1;
  std::string FBuffer;
  bool FReaped = false;
};
