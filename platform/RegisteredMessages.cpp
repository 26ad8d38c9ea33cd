// RegisterWindowMessageA: the machine's table of registered message names is the file
// "messages" in the machine folder, one "<number in hex> <name length> <name>" line per name,
// read and rewritten (through a temporary file and a rename) under an flock on "messages.lock",
// so every process of the machine hands out the same number for the same name.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/LastError.h"
#include "platform/Machine.h"
#include "platform/Messages.h"
#include "platform/RegisteredMessages.h"

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

bool ReadAll(int fd, std::string& text)
{
  char chunk[8192];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      return true;
    }
    text.append(chunk, static_cast<std::size_t>(n));
    if (text.size() > MaxTableBytes) {
      return false;
    }
  }
}

bool WriteAll(int fd, std::string_view text)
{
  while (!text.empty()) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n <= 0) {
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
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

  const int lockFile = open((folder / "messages.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFile < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  while (flock(lockFile, LOCK_EX) != 0) {
  }
  UINT number = 0;
  std::string text;
  const std::filesystem::path tablePath = folder / "messages";
  if (const int table = open(tablePath.c_str(), O_RDONLY | O_CLOEXEC); table >= 0) {
    ReadAll(table, text);
    close(table);
  }
  // A damaged tail (a crash cannot leave one, but a hand edit can) ends the table there.
  const auto entries = ParseRegisteredMessages(text);
  UINT highest = FirstRegisteredMessage - 1;
  std::string kept;
  for (const auto& entry : entries) {
    highest = std::max(highest, entry.Number);
    char line[16];
    std::snprintf(line, sizeof(line), "%X ", entry.Number);
    kept += line + std::to_string(entry.Name.size()) + " " + entry.Name + "\n";
    if (FoldCase(entry.Name) == folded) {
      number = entry.Number;
    }
  }
  if (number == 0 && highest < LastRegisteredMessage) {
    number = highest + 1;
    char line[16];
    std::snprintf(line, sizeof(line), "%X ", number);
    kept += line + std::to_string(std::string_view(name).size()) + " " + name + "\n";
    const std::filesystem::path temporary = folder / "messages.tmp";
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const bool written = out >= 0 && WriteAll(out, kept) && fsync(out) == 0;
    if (out >= 0) {
      close(out);
    }
    if (!written || rename(temporary.c_str(), tablePath.c_str()) != 0) {
      number = 0;
    }
  }
  close(lockFile);
  if (number == 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  known.Numbers.emplace(key, number);
  return number;
}
