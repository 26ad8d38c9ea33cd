// The cover decoder and scaler behind the info panel and the album rows. A picture it accepts
// must be within the caps, and its scaled surface must fit the box it was asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/windows/CoverPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TCoverPixels pixels;
  if (!DecodeCoverPicture(std::span(data, size), pixels, 48, 48)) {
    return 0;
  }
  if (!CoverSizeAllowed(static_cast<std::uint64_t>(pixels.Width),
                        static_cast<std::uint64_t>(pixels.Height)) ||
      pixels.Rgb.size() !=
          static_cast<std::size_t>(pixels.Width) * static_cast<std::size_t>(pixels.Height) * 3) {
    std::abort();
  }
  const auto surface = ScaleCoverPicture(pixels, 48, 48);
  if (!surface || surface->Width() > 48 || surface->Height() > 48 || surface->BitsPerPixel() != 24 ||
      !surface->BottomUp()) {
    std::abort();
  }
  return 0;
}
