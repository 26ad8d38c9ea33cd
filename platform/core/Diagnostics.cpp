#include "platform/core/Diagnostics.h"

#include <cstdio>
#include <utility>

namespace {

TPlatformTraceSink& Sink()
{
  static TPlatformTraceSink sink;
  return sink;
}

}  // namespace

void SetPlatformTraceSink(TPlatformTraceSink sink)
{
  Sink() = std::move(sink);
}

void PlatformTrace(std::string_view line) noexcept
{
  try {
    if (Sink()) {
      Sink()(line);
      return;
    }
  } catch (...) {
    return;
  }
  std::fprintf(stderr, "oxa-platform: %.*s\n", static_cast<int>(line.size()), line.data());
}
