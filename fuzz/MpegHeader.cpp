// Fuzz target: the MPEG frame walk over arbitrary bytes, with and without tail and ID3v2 skip.
#include <cstddef>
#include <cstdint>

#include "rtl/Stream.h"
#include "tags/MPegHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  for (const bool hasTail : {false, true}) {
    for (const bool skipId3v2 : {false, true}) {
      TMPegHeader header;
      header.Analyse(stream, hasTail, skipId3v2);
      if (header.FrameCount() > TMPegHeader::MaxFrames || header.Duration() < 0) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
