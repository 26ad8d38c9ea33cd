// Fuzz target: the ID3v1 reader, and the tag it composes from what it read.
#include <cstddef>
#include <cstdint>

#include "rtl/Stream.h"
#include "tags/ID3Version1Tagger.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  TID3Version1Tagger tagger;
  if (tagger.LoadFromStream(stream) && tagger.HasTag()) {
    // What was read must compose back into a tag that reads the same title.
    const TID3Version1Tagger::TTagBytes bytes = tagger.Compose();
    TMemoryStream again;
    again.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    TID3Version1Tagger reread;
    if (!reread.LoadFromStream(again) || reread.Title() != tagger.Title() ||
        reread.Genre() != tagger.Genre()) {
      __builtin_trap();
    }
  }
  return 0;
}
