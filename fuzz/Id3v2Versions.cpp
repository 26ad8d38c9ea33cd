// Fuzz target: the ID3v2.2 and v2.4 reader and its conversion to ID3v2.3 frames, the tagger's
// view of the converted tag, and a save that must put one ID3v2.3 tag in place of the old one
// with the same audio after it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "rtl/Stream.h"
#include "tags/ID3Version2Tagger2.h"
#include "tags/id3v2.h"
#include "tags/id3v2Versions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  TConvertedId3v2Tag converted;
  if (ReadConvertedId3v2Tag(stream, converted) &&
      (converted.Space > stream.Size() || converted.Space < 10 ||
       std::any_of(converted.Frames.begin(), converted.Frames.end(),
                   [](const TId3Frame& frame) { return !TFrameIndex::ValidId(frame.Id); }))) {
    __builtin_trap();
  }

  TID3Version2Tagger2 tagger;
  tagger.LoadFromStream(stream, "fuzz.mp3");
  if (tagger.HasTag() && (tagger.Genre() < 0 || tagger.Genre() > 255 || tagger.Track() < 0)) {
    __builtin_trap();
  }

  Tid3v2tag tag;
  if (!Id3StatusOk(tag.LoadConverted(stream))) {
    return 0;
  }
  const std::int64_t oldEnd = converted.Space;
  tag.WriteText("TIT2", "Fuzzed \xE6\x98\x9F");
  TMemoryStream saved;
  if (!Id3StatusOk(tag.SaveToStream(stream, saved))) {
    return 0;
  }
  Tid3v2tag reread;
  std::string title;
  if (!Id3StatusOk(reread.LoadFromStream(saved, 0)) || reread.MajorVersion() != 3 ||
      reread.ReadText("TIT2", title) != trFound || title != "Fuzzed \xE6\x98\x9F") {
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
