// RegisterWindowMessageA: the machine's table of registered message names is the file
// "messages" in the machine folder, one "<number in hex> <name length> <name>" line per name,
// read and rewritten (through a temporary file and a rename) under an flock on "messages.lock",
// so every process of the machine hands out the same number for the same name.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/core/FaultInjection.h"
#include "platform/core/HostErrors.h"
#include "platform/core/LastError.h"
#include "platform/core/Machine.h"
#include "platform/files/FileDescriptor.h"
#include "platform/files/LockFile.h"
#include "platform/files/ReplaceFile.h"
#include "platform/windows/Messages.h"
#include "platform/windows/RegisteredMessages.h"

namespace {

constexpr UINT FirstRegisteredMessage = 0xC000;
constexpr UINT LastRegisteredMessage = 0xFFFF;
constexpr std::size_t MaxTableBytes = 4U << 20;

std::string FoldCase(std::string_view name)
{
  std::string folded(name);
  for (char& c : folded) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return folded;
}

// The numbers this process already knows, by machine folder and folded name.
struct TKnownMessages {
  std::mutex Lock;  // guards Numbers
  std::map<std::string, UINT> Numbers;
};

TKnownMessages& Known()
{
  static TKnownMessages known;
  return known;
}

// False (errno set) on a read error or a table beyond MaxTableBytes, which no run of this
// program writes: rewriting what was read of either would lose names.
bool ReadAll(int fd, std::string& text)
{
  char chunk[8192];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    text.append(chunk, static_cast<std::size_t>(n));
    if (text.size() > MaxTableBytes) {
      errno = EFBIG;
      return false;
    }
  }
}

std::string TableLine(UINT number, std::string_view name)
{
  char head[16];
  std::snprintf(head, sizeof(head), "%X ", number);
  return head + std::to_string(name.size()) + " " + std::string(name) + "\n";
}

// Replaces the table by text through a temporary file; the Win32 error, ERROR_SUCCESS when done.
DWORD WriteTable(const std::filesystem::path& tablePath, std::string_view text)
{
  if (PlatformCallFails()) {
    return ERROR_DISK_FULL;
  }
  if (const int error = ReplaceHostFile(tablePath, text, TReplaceOptions{.Mode = 0600}); error != 0) {
    return Win32ErrorFromErrno(error);
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::vector<TRegisteredMessage> ParseRegisteredMessages(std::string_view text)
{
  std::vector<TRegisteredMessage> entries;
  while (!text.empty()) {
    TRegisteredMessage entry{};
    std::size_t length = 0;
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    auto parsed = std::from_chars(begin, end, entry.Number, 16);
    if (parsed.ec != std::errc() || parsed.ptr == end || *parsed.ptr != ' ' ||
        entry.Number < FirstRegisteredMessage || entry.Number > LastRegisteredMessage) {
      break;
    }
    parsed = std::from_chars(parsed.ptr + 1, end, length, 10);
    // After the number: a space, the name, a line feed.
    const auto remaining = static_cast<std::size_t>(end - parsed.ptr);
    if (parsed.ec != std::errc() || remaining < 2 || *parsed.ptr != ' ' || length == 0 ||
        length > remaining - 2 || parsed.ptr[1 + length] != '\n') {
      break;
    }
    entry.Name.assign(parsed.ptr + 1, length);
    entries.push_back(std::move(entry));
    text.remove_prefix(static_cast<std::size_t>(parsed.ptr + 1 + length + 1 - begin));
  }
  return entries;
}

UINT RegisterWindowMessageA(const char* name)
{
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string folded = FoldCase(name);
  const std::filesystem::path folder = MachineFolder();
  const std::string key = folder.string() + '\n' + folded;
  auto& known = Known();
  const std::lock_guard guard(known.Lock);
  if (const auto found = known.Numbers.find(key); found != known.Numbers.end()) {
    return found->second;
  }

  const TLockFile lock(folder / "messages.lock", 0600);
  if (!lock.Held()) {
    SetLastError(Win32ErrorFromErrno(lock.Error()));
    return 0;
  }
  std::string text;
  const std::filesystem::path tablePath = folder / "messages";
  if (const TFileDescriptor table(open(tablePath.c_str(), O_RDONLY | O_CLOEXEC)); table.Valid()) {
    if (!ReadAll(table.Get(), text)) {
      SetLastError(Win32ErrorFromErrno(errno));
      return 0;
    }
  } else if (errno != ENOENT) {
    SetLastError(Win32ErrorFromErrno(errno));
    return 0;
  }
  // A damaged tail (a crash cannot leave one, but a hand edit can) ends the table there.
  const auto entries = ParseRegisteredMessages(text);
  UINT number = 0;
  UINT highest = FirstRegisteredMessage - 1;
  std::string kept;
  for (const auto& entry : entries) {
    highest = std::max(highest, entry.Number);
    kept += TableLine(entry.Number, entry.Name);
    if (FoldCase(entry.Name) == folded) {
      number = entry.Number;
    }
  }
  if (number == 0) {
    if (highest == LastRegisteredMessage) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);  // every number is handed out
      return 0;
    }
    number = highest + 1;
    kept += TableLine(number, name);
    if (const DWORD written = WriteTable(tablePath, kept); written != ERROR_SUCCESS) {
      SetLastError(written);
      return 0;
    }
  }
  known.Numbers.emplace(key, number);
  return number;
}
