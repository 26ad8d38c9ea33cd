#pragma once
// Where the audio of a FLAC, Ogg or MP4 file begins, past the metadata its tags live in. The
// fallback fingerprint digests the audio from there, so rewriting the tags leaves it alone.
// Each walk reads only block, page or atom headers, checks every length against the stream and
// gives up after a bounded number of steps; anything it cannot follow gives 0 (the whole file).

#include <cstdint>

#include "rtl/Stream.h"

// After the last metadata block of a FLAC stream, itself after any ID3v2 tag at the start.
std::int64_t FlacAudioStart(TStream& stream);
// The first Ogg page that completes an audio packet: its granule position is neither 0 (header
// pages) nor -1 (a page no packet ends on).
std::int64_t OggAudioStart(TStream& stream);
// The body of the first top-level "mdat" atom of an MP4 file.
std::int64_t Mp4AudioStart(TStream& stream);
