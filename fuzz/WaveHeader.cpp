// Fuzz target: the WAV chunk walk over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "rtl/Stream.h"
#include "tags/WaveHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  TWaveHeader header;
  header.Analyse(stream);
  if (header.Duration() < 0 || header.Bitrate() < 0 || header.DataSize() < 0 ||
      header.DataSize() > static_cast<std::int64_t>(size)) {
    __builtin_trap();
  }
  return 0;
}
