#pragma once
// The suite's small utilities: its exception classes, the trace facility, the 64-bit tick
// counter, the easing curve of every animation, and text helpers.

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/WinTypes.h"
#include "platform/files/Files.h"
#include "platform/objects/Processes.h"
#include "platform/windows/Windows.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Object.h"
#include "rtl/QuickSort.h"

// The suite's exceptions. EOxaFatal marks a programming error (misuse of an object, message
// "Class.Operation: what went wrong"); the others report the resource state their name says.
class EOxaException : public Exception {
 public:
  using Exception::Exception;
};
class EOxaOutOfMemory : public EOxaException {
 public:
  using EOxaException::EOxaException;
};
class EOxaAlreadyOpen : public EOxaException {
 public:
  using EOxaException::EOxaException;
};
class EOxaNotOpen : public EOxaException {
 public:
  using EOxaException::EOxaException;
};
class EOxaNotLocked : public EOxaException {
 public:
  using EOxaException::EOxaException;
};
class EOxaFailed : public EOxaException {
 public:
  using EOxaException::EOxaException;
};
class EOxaFatal : public EOxaException {
 public:
  using EOxaException::EOxaException;
};

// Trace: diagnostic lines. The sink discards them unless the environment variable OXA_TRACE
// names a file, to which each line is appended with a time stamp. Never throws.
void TraceLine(std::string_view line) noexcept;
// Formats at run time; a format that does not fit its arguments gives the line
// "Illegal Format String: " followed by the format.
void TraceArgs(std::string_view format, std::span<const TFormatArg> args) noexcept;
// The line is the object's class name, "." and text ("nil." and text without an object).
void TraceObject(const TObject* object, std::string_view text) noexcept;
void TraceObjectArgs(const TObject* object, std::string_view format,
                     std::span<const TFormatArg> args) noexcept;

template <class... Args>
void Trace(std::string_view format, const Args&... args) noexcept
{
  const TFormatArg packed[sizeof...(Args) + 1] = {TFormatArg(args)..., TFormatArg(0)};
  TraceArgs(format, std::span<const TFormatArg>(packed, sizeof...(Args)));
}

template <class... Args>
void TraceObject(const TObject* object, std::string_view format, const Args&... args) noexcept
{
  const TFormatArg packed[sizeof...(Args) + 1] = {TFormatArg(args)..., TFormatArg(0)};
  TraceObjectArgs(object, format, std::span<const TFormatArg>(packed, sizeof...(Args)));
}

// Extends a 32-bit millisecond tick that wraps after about 49.7 days to 64 bits: a reading
// smaller than the previous one counts one more wrap. Thread-safe.
class TTickExtender {
 public:
  std::uint64_t Extend(DWORD reading);

 private:
  std::mutex FLock;  // guards FLast and FWraps
  DWORD FLast = 0;
  DWORD FWraps = 0;
};

// The system tick extended to 64 bits by the process's one extender.
std::uint64_t GetTickCount64();

// Whether the primary mouse button is down right now (the right one when the buttons are swapped).
bool IsMouseButtonDown();

// The easing of animated scrolling and fading: Max times f(Index / Count) rounded half to even,
// with f(t) = 2t^2 below one half, (4 - 2t)t - 1 from there, and 1 from t = 1 on. Count below 1
// or a negative Index writes a trace line and gives 0.
std::int32_t OxaAccelerate(std::int32_t index, std::int32_t count, std::int32_t max);

// Every character of text that occurs in chars becomes "%" and two upper-case hex digits.
std::string PercentEncode(std::string_view text, std::string_view chars);

enum class TSplitEmpty { Drop, Keep };
// Cuts text at every occurrence of separator; an empty text or separator gives no pieces.
std::vector<std::string> Split(std::string_view separator, std::string_view text, TSplitEmpty empty);

// Title case: "_" is a space, characters below the space are dropped, runs of spaces shrink to
// one, leading and trailing spaces go; the first character and every one after a space, "(",
// ")", ",", "-", "." or a digit is upper-cased, the others keep their case.
std::u16string ProperCase(std::u16string_view text);
std::string ProperCase(std::string_view text);

// Files and processes (framework/OxaUtilsFiles.cpp), on Windows paths.
bool DirectoryExists(const std::string& path);
// Creates a folder with its missing parents. An empty path raises EOxaFatal "Illegal path %s";
// a trailing backslash is ignored; a path of fewer than 3 characters, or an existing folder,
// is true at once. False when a folder cannot be created.
bool ForceDirectories(const std::string& path);
// The system's by-handle information of a file opened with full sharing; false when it cannot
// be opened.
bool GetFileInformation(const std::string& fileName, BY_HANDLE_FILE_INFORMATION& info);
enum class TProcessWait { None = 0, InputIdle = 1, Exit = 2 };
// Starts application with commandLine (passed unchanged as its command line) in the
// application's own folder, with the show command and the busy-cursor feedback on or off, and
// waits as waitMode says (InputIdle: until its main thread first waits for messages, or it
// ends, or InputIdleLimitMs pass, which leaves a trace line). The caller closes the two handles
// in processInfo. False when the process cannot be started.
constexpr DWORD InputIdleLimitMs = 10000;
bool RunProcess(const std::string& application, const std::string& commandLine,
                PROCESS_INFORMATION& processInfo, TProcessWait waitMode, bool feedback, WORD showCommand,
                DWORD creationFlags);

// Messages (framework/OxaUtilsMessages.cpp).
// Sends message to window and returns the window procedure's result. With block, a send with
// timeout during which this thread handles no other message sent to it (SMTO_BLOCK);
// otherwise, with timeout INFINITE (-1), a plain send without time-out, else a send with
// timeout. A failed or timed-out send yields 0.
LRESULT SendMessageEx(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeout, bool block);
