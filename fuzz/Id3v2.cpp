// Fuzz target: the ID3v2 loader, ReadText of every frame, and the tagger's view of the tag.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtl/Stream.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/id3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  Tid3v2tag tag;
  tag.LoadFromStream(stream, 0);
  const TFrameIndex& frames = tag.Frames();
  for (int i = 1; i <= frames.Count(); ++i) {
    std::string text;
    tag.ReadText(frames.FrameID(i), text);
  }

  TID3Version2Tagger2 tagger;
  tagger.LoadFromStream(stream, "fuzz.mp3");
  if (tagger.HasTag() && (tagger.Genre() < 0 || tagger.Genre() > 255)) {
    __builtin_trap();
  }
  return 0;
}
