#include "tests/support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace {

// How long Xvfb may take to come up on a busy machine.
constexpr int StartTimeoutMilliseconds = 30000;

}  // namespace

TXvfbServer::TXvfbServer(const std::string& screen, const std::vector<std::string>& serverArguments)
{
  std::vector<std::string> arguments = {"Xvfb", "-displayfd", "",    "-screen", "0",
                                        screen, "-nolisten",  "tcp", "-br"};
  arguments.insert(arguments.end(), serverArguments.begin(), serverArguments.end());
  // Everything exec needs is made before the fork: the child of a threaded process must not
  // allocate. The descriptor's number is written into the room kept for it.
  char fdText[16] = {};
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv[2] = fdText;
  argv.push_back(nullptr);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  FPid = fork();
  if (FPid < 0) {
    throw std::runtime_error("fork failed");
  }
  if (FPid == 0) {
    // The report end must survive exec.
    const int fd = dup(report[1]);
    char digits[16] = {};
    int count = 0;
    for (int rest = fd; count == 0 || rest > 0; rest /= 10) {
      digits[count++] = static_cast<char>('0' + rest % 10);
    }
    for (int i = 0; i < count; ++i) {
      fdText[i] = digits[count - 1 - i];
    }
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    execvp("Xvfb", argv.data());
    _exit(127);
  }
  close(report[1]);
  std::string number;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(StartTimeoutMilliseconds);
  while (number.empty() || number.back() != '\n') {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{report[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
      break;
    }
    char c = 0;
    if (read(report[0], &c, 1) != 1) {
      break;
    }
    number += c;
  }
  close(report[0]);
  if (number.empty() || number.back() != '\n') {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
    throw std::runtime_error("Xvfb did not report a display");
  }
  number.pop_back();
  FName = ":" + number;
  if (const char* previous = std::getenv("DISPLAY")) {
    FHadDisplay = true;
    FPreviousDisplay = previous;
  }
  setenv("DISPLAY", FName.c_str(), 1);
  if (const char* choice = std::getenv("OXA_DISPLAY")) {
    FHadChoice = true;
    FPreviousChoice = choice;
  }
  unsetenv("OXA_DISPLAY");
}

TXvfbServer::~TXvfbServer()
{
  if (FHadDisplay) {
    setenv("DISPLAY", FPreviousDisplay.c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
  if (FHadChoice) {
    setenv("OXA_DISPLAY", FPreviousChoice.c_str(), 1);
  }
  kill(FPid, SIGTERM);
  waitpid(FPid, nullptr, 0);
}
