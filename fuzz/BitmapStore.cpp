// The Data blob of a named image store. A blob the store accepts must write back to the same
// bytes; a blob it refuses must leave the store as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view blob(reinterpret_cast<const char*>(data), size);
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  store->SetNote("before");
  try {
    store->ReadData(blob);
  } catch (const EOxaFatal&) {
    if (store->Count() != 0 || store->Note() != "before") {
      std::abort();
    }
    return 0;
  }
  const std::string written = store->Data();
  // The blob may carry bytes after the last image; those are not part of the store.
  if (written.size() > size || blob.substr(0, written.size()) != written) {
    std::abort();
  }
  return 0;
}
