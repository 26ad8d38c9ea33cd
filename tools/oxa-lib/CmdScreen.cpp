#include <iostream>
#include <string>

#include "platform/core/HandleOwner.h"
#include "platform/core/LastError.h"
#include "platform/objects/Processes.h"
#include "tools/oxa-lib/Commands.h"

namespace {

constexpr const char* ScreenProgram = "oxa-lib-screen";

// One argument of a Windows command line, read back whole by SplitCommandLine: quoted, with the
// backslashes before a quote (and before the closing one) doubled and the quote escaped.
std::string Quoted(std::string_view argument)
{
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + '"';
}

// The screen program's Windows path: this program's folder holds it, in the build as installed.
std::string ScreenProgramPath()
{
  std::string self(MAX_PATH, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, self.data(), MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return {};
  }
  self.resize(length);
  const std::size_t folderEnd = self.find_last_of('\\');
  return folderEnd == std::string::npos ? std::string() : self.substr(0, folderEnd + 1) + ScreenProgram;
}

}  // namespace

int RunScreenCommand(std::string_view name, TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const std::string program = ScreenProgramPath();
  if (program.empty()) {
    err << "oxa-lib " << name << ": cannot find the folder of this program\n";
    return ExitFailure;
  }
  std::string commandLine = Quoted(program) + ' ' + std::string(name);
  for (const auto& argument : args) {
    commandLine += ' ' + Quoted(argument);
  }
  // The child writes to the same standard streams: what this program said comes first.
  out.flush();
  err.flush();
  std::cout.flush();
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &started)) {
    err << "oxa-lib " << name << ": cannot start " << program << " (error " << GetLastError() << ")\n";
    return ExitFailure;
  }
  const THandleOwner process(started.hProcess);
  const THandleOwner thread(started.hThread);
  DWORD exitCode = ExitFailure;
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.Get(), &exitCode)) {
    err << "oxa-lib " << name << ": lost " << program << " (error " << GetLastError() << ")\n";
    return ExitFailure;
  }
  return static_cast<int>(exitCode);
}

int RunDisplay(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  return RunScreenCommand("display", args, out, err);
}

int RunSkin(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  return RunScreenCommand("skin", args, out, err);
}
