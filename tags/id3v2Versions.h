#pragma once
// ID3v2.2 and ID3v2.4 tags, read beside the ID3v2.3 container (which refuses them with status
// 0x1100) and converted into ID3v2.3 frames, so the program reads them and a save replaces them
// by one ID3v2.3 tag. Kept: text frames (TDRC becomes TYER, v2.2's three-letter IDs their
// four-letter names), COMM and APIC (v2.2's PIC); their texts are re-encoded as ISO-8859-1 or
// UTF-16 with a byte-order mark. Frames that do not convert cleanly (encrypted ones, those
// without an ID3v2.3 meaning) are dropped.

#include <cstdint>
#include <vector>

#include "rtl/Stream.h"
#include "tags/id3v2.h"

struct TConvertedId3v2Tag {
  int Version = 0;                // 2 or 4
  std::int64_t Space = 0;         // bytes the tag takes at the start of the file, header and footer included
  std::vector<TId3Frame> Frames;  // ID3v2.3 frames with plain data and no flags
};

// A tag bigger than this is taken for damage.
constexpr std::uint32_t MaxConvertedTagSize = 64U << 20U;

// Reads the ID3v2.2 or v2.4 tag at the start of the stream. False when there is none, it lies
// beyond the end of the stream, or it is damaged as a whole (a v2.2 tag marked compressed, an
// extended header larger than the tag); tag is then unspecified. A damaged frame (an invalid ID,
// a size beyond the tag) is left out and the sound frames around it are kept. Read errors of
// the stream propagate.
bool ReadConvertedId3v2Tag(TStream& stream, TConvertedId3v2Tag& tag);
