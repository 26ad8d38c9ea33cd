// Fuzz target: the pictures of an ID3v2 tag (v2.2, v2.3 or v2.4) and the APIC frame reader on
// its own, whose pictures must lie within the bytes given and the size cap.
#include <cstddef>
#include <cstdint>
#include <span>

#include "rtl/Stream.h"
#include "tags/EmbeddedPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  stream.Seek(0, TSeekOrigin::soBeginning);
  for (const TEmbeddedPicture& picture : Id3v2Pictures(stream)) {
    if (picture.Bytes.empty() || picture.Bytes.size() > MaxEmbeddedPictureBytes) {
      __builtin_trap();
    }
  }
  TEmbeddedPicture picture;
  if (ParseApicFrame(std::span(data, size), picture) &&
      (picture.Bytes.empty() || picture.Bytes.size() >= size || picture.MimeType.size() >= size)) {
    __builtin_trap();
  }
  return 0;
}
