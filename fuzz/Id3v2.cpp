// Fuzz target: the ID3v2 loader, ReadText of every frame, the tagger's view of the tag, and a
// save of an edited tag that must load back with the same frames and the same audio after it.
#include <algorithm>
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

  if (!tag.Loaded()) {
    return 0;
  }
  const std::int64_t oldEnd = 10 + static_cast<std::int64_t>(tag.Size());
  tag.WriteText("TIT2", "Fuzzed title");
  TMemoryStream saved;
  if (!Id3StatusOk(tag.SaveToStream(stream, saved))) {
    return 0;
  }
  Tid3v2tag reread;
  std::string title;
  if (!Id3StatusOk(reread.LoadFromStream(saved, 0)) || reread.Frames().Count() != frames.Count() ||
      reread.ReadText("TIT2", title) != trFound || title != "Fuzzed title") {
    __builtin_trap();
  }
  const std::int64_t newEnd = 10 + static_cast<std::int64_t>(reread.Size());
  const auto before = stream.Bytes().subspan(static_cast<std::size_t>(oldEnd));
  const auto after = saved.Bytes().subspan(static_cast<std::size_t>(newEnd));
  if (!std::equal(before.begin(), before.end(), after.begin(), after.end())) {
    __builtin_trap();
  }
  return 0;
}
