#include "tests/support/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

extern char** environ;

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& arguments)
{
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) {
    throw std::runtime_error("cannot create pipes");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const int result = posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  FInput = toChild[1];
  FOutput = fromChild[0];
  if (result != 0) {
    close(FInput);
    close(FOutput);
    throw std::runtime_error("cannot start " + program);
  }
}

TChildProcess::~TChildProcess()
{
  if (!FReaped) {
    Kill();
  }
  close(FInput);
  close(FOutput);
}

void TChildProcess::WriteLine(const std::string& line)
{
  const std::string text = line + "\n";
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = write(FInput, text.data() + written, text.size() - written);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) {
        continue;
      }
      throw std::runtime_error("cannot write to the child");
    }
    written += static_cast<std::size_t>(n);
  }
}

std::optional<std::string> TChildProcess::ReadLine(std::chrono::milliseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (const auto end = FBuffer.find('\n'); end != std::string::npos) {
      std::string line = FBuffer.substr(0, end);
      FBuffer.erase(0, end + 1);
      return line;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return std::nullopt;
    }
    pollfd ready{FOutput, POLLIN, 0};
    const int polled = poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) {
      continue;
    }
    if (polled <= 0) {
      return std::nullopt;
    }
    char chunk[4096];
    const ssize_t n = read(FOutput, chunk, sizeof(chunk));
    if (n <= 0) {
      return std::nullopt;
    }
    FBuffer.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string TChildProcess::Ask(const std::string& line, std::chrono::milliseconds timeout)
{
  WriteLine(line);
  return ReadLine(timeout).value_or("");
}

void TChildProcess::Kill()
{
  if (FReaped) {
    return;
  }
  kill(FPid, SIGKILL);
  int status = 0;
  waitpid(FPid, &status, 0);
  FReaped = true;
}

int TChildProcess::Wait(std::chrono::milliseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(FPid, &status, WNOHANG);
    if (done == FPid) {
      FReaped = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}
