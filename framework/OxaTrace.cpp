#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

#include "framework/OxaUtils.h"

namespace {

// The trace sink: the file OXA_TRACE names, or nothing. The variable is looked at for every line,
// so a process (or test) that sets it later still gets its lines.
class TTraceSink {
 public:
  TTraceSink() = default;
  ~TTraceSink()
  {
    if (FFile != nullptr) {
      std::fclose(FFile);
    }
  }
  TTraceSink(const TTraceSink&) = delete;
  TTraceSink& operator=(const TTraceSink&) = delete;

  void Write(std::string_view line) noexcept
  {
    const std::lock_guard guard(FLock);
    const char* name = std::getenv("OXA_TRACE");
    if (name == nullptr || *name == '\0') {
      return;
    }
    if (FFile == nullptr || FName != name) {
      if (FFile != nullptr) {
        std::fclose(FFile);
      }
      FName = name;
      FFile = std::fopen(name, "a");
      if (FFile == nullptr) {
        return;
      }
    }
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &parts);
    std::fprintf(FFile, "%s.%03d %.*s\n", stamp, static_cast<int>(millis), static_cast<int>(line.size()),
                 line.data());
    std::fflush(FFile);
  }

 private:
  std::mutex FLock;  // one line at a time; guards FName and FFile
  std::string FName;
  std::FILE* FFile = nullptr;
};

TTraceSink& Sink()
{
  static TTraceSink sink;
  return sink;
}

std::string FormatOrIllegal(std::string_view format, std::span<const TFormatArg> args)
{
  try {
    return FormatArgs(format, args);
  } catch (const std::exception&) {
    return "Illegal Format String: " + std::string(format);
  }
}

}  // namespace

void TraceLine(std::string_view line) noexcept
{
  Sink().Write(line);
}

void TraceArgs(std::string_view format, std::span<const TFormatArg> args) noexcept
{
  try {
    TraceLine(FormatOrIllegal(format, args));
  } catch (...) {
    // Tracing never raises, not even when memory runs out.
  }
}

void TraceObject(const TObject* object, std::string_view text) noexcept
{
  try {
    TraceLine((object != nullptr ? object->ClassName() : std::string("nil")) + "." + std::string(text));
  } catch (...) {
  }
}

void TraceObjectArgs(const TObject* object, std::string_view format,
                     std::span<const TFormatArg> args) noexcept
{
  try {
    TraceObject(object, FormatOrIllegal(format, args));
  } catch (...) {
  }
}
