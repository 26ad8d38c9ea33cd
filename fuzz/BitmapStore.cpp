// The Data blob of a named image store. A blob the store accepts must write back to the same
// bytes; a blob it refuses must leave the store as it was. Read from bytes (images made on
// their first lookup) and from a stream (all made at once), a blob is accepted or refused alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "graphics/OxaBitmap.h"
#include "graphics/OxaGraphics.h"
#include "rtl/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view blob(reinterpret_cast<const char*>(data), size);
  TOwnedObject<TOxaBitmaps> eager(new TOxaBitmaps(nullptr));
  bool eagerAccepted = true;
  try {
    TMemoryStream stream;
    stream.WriteBuffer(data, std::int64_t(size));
    stream.SetPosition(0);
    eager->ReadData(stream);
  } catch (const EOxaFatal&) {
    eagerAccepted = false;
  }
  TOwnedObject<TOxaBitmaps> store(new TOxaBitmaps(nullptr));
  store->SetNote("before");
  try {
    store->ReadData(blob);
  } catch (const EOxaFatal&) {
    if (store->Count() != 0 || store->Note() != "before" || eagerAccepted) {
      std::abort();
    }
    return 0;
  }
  if (!eagerAccepted || eager->Data() != store->Data()) {
    std::abort();
  }
  const std::string written = store->Data();
  // The blob may carry bytes after the last image; those are not part of the store.
  if (written.size() > size || blob.substr(0, written.size()) != written) {
    std::abort();
  }
  return 0;
}
