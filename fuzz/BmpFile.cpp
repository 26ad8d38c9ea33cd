// The BMP reader behind LoadImageA. A picture it accepts must write back to a file that reads to
// the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/windows/BmpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const auto surface = ParseBmp(std::span(data, size));
  if (!surface) {
    return 0;
  }
  const auto again = ParseBmp(SerializeBmp(*surface));
  if (!again || again->Width() != surface->Width() || again->Height() != surface->Height()) {
    std::abort();
  }
  for (LONG y = 0; y < surface->Height(); y += 7) {
    for (LONG x = 0; x < surface->Width(); x += 7) {
      if (again->Get(x, y) != surface->Get(x, y)) {
        std::abort();
      }
    }
  }
  return 0;
}
