// Fuzz target: the same bytes read as FLAC, Ogg and MP4 by the TagLib tagger, and walked by the
// audio-start searches the fallback fingerprint relies on. Whatever the bytes, a read either
// fails with nothing set or gives values within their ranges, and every audio start lies in
// the stream.
#include <cstddef>
#include <cstdint>

#include "rtl/Stream.h"
#include "tags/AudioStart.h"
#include "tags/TagLibTagger.h"

namespace {

void CheckRead(TStream& stream, TTagLibFormat format)
{
  TTagLibTagger tagger;
  stream.SetPosition(0);
  if (!tagger.Read(stream, format)) {
    if (tagger.HasTag() || tagger.Duration() != 0 || tagger.Bitrate() != 0 ||
        !tagger.Fields().Title.empty()) {
      __builtin_trap();
    }
    return;
  }
  const TTagLibFields& fields = tagger.Fields();
  if (tagger.Duration() < 0 || tagger.Bitrate() < -1 || fields.Track < 0 || fields.Year.size() > 4) {
    __builtin_trap();
  }
  for (const char c : fields.Year) {
    if (c < '0' || c > '9') {
      __builtin_trap();
    }
  }
}

void CheckStart(TStream& stream, std::int64_t (*start)(TStream&))
{
  const std::int64_t position = start(stream);
  if (position < 0 || position > stream.Size()) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream stream;
  if (size > 0) {
    stream.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  for (const TTagLibFormat format : {TTagLibFormat::Flac, TTagLibFormat::Ogg, TTagLibFormat::Mp4}) {
    CheckRead(stream, format);
  }
  CheckStart(stream, FlacAudioStart);
  CheckStart(stream, OggAudioStart);
  CheckStart(stream, Mp4AudioStart);
  return 0;
}
