// Fuzz target: the fingerprint search over arbitrary bytes, as a whole file and as the end of a
// larger one (so the two-pass block search runs too); the fallback fingerprint after the ASF
// header the bytes may start with.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "rtl/Stream.h"
#include "tags/MusicCheckSum.h"

namespace {

void Check(TStream& stream)
{
  for (const bool hasTail : {false, true}) {
    TOxaMusicCheckSum checkSum;
    TMusicCheckSum sum;
    checkSum.Compute(stream, hasTail, sum);
    bool zero = true;
    for (const std::uint8_t b : sum) {
      zero = zero && b == 0;
    }
    // A result is either all zero or an accepted window.
    if (!zero && !TOxaMusicCheckSum::Accepted(sum.data() + 4)) {
      __builtin_trap();
    }
    const std::int64_t audioStart = TOxaMusicCheckSum::AsfAudioStart(stream);
    if (audioStart < 0 || audioStart > stream.Size()) {
      __builtin_trap();
    }
    checkSum.ComputeFallback(stream, hasTail, audioStart, sum);
    if (!TOxaMusicCheckSum::IsFallback(sum)) {
      __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream whole;
  if (size > 0) {
    whole.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  Check(whole);

  TMemoryStream large;
  const std::vector<std::uint8_t> silence(150'000, 0);
  large.WriteBuffer(silence.data(), static_cast<std::int64_t>(silence.size()));
  if (size > 0) {
    large.WriteBuffer(data, static_cast<std::int64_t>(size));
  }
  Check(large);
  return 0;
}
