// The node image record behind TOxaBitmap::LoadFromStream. A record it accepts must save to the
// same bytes it was read from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "graphics/OxaBitmap.h"
#include "rtl/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream input;
  input.WriteBuffer(data, std::int64_t(size));
  input.SetPosition(0);
  TOwnedObject<TOxaBitmap> node(new TOxaBitmap(nullptr));
  try {
    node->LoadFromStream(input);
  } catch (const EOxaFatal&) {
    return 0;
  }
  TMemoryStream output;
  node->SaveToStream(output);
  const std::int64_t used = input.Position();
  if (output.Size() != used || std::memcmp(output.Memory(), data, std::size_t(used)) != 0) {
    std::abort();
  }
  return 0;
}
