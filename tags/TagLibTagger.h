#pragma once
// TTagLibTagger: the tags and stream properties of FLAC, Ogg (Vorbis, Opus, FLAC) and MP4 files,
// read and written with TagLib. TagLib is trusted with the formats; what this unit adds is the
// program's reading of them: which field means what, "n/m" tracks, the year from the first
// digits of a date, genre numbers, and the bit rate and playing time the library records.
//
// Reading goes through a TStream, so a scan reads only what TagLib asks for, and tests and
// fuzzers can feed memory. Writing composes the whole new file in memory and replaces the old
// one through TReplacementFile; the file is never written in place.

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/Stream.h"
#include "tags/TagFiles.h"

// The container a file's extension names. An Ogg file may hold Vorbis, Opus or FLAC; reading
// finds out which.
enum class TTagLibFormat : std::uint8_t { None, Flac, Ogg, Mp4 };

// ".flac"; ".ogg", ".oga", ".opus"; ".m4a" (lower case, with the dot). None for anything else.
TTagLibFormat TagLibFormatOf(std::string_view extension) noexcept;

// The tag's values as the file holds them (UTF-8, uncleaned). Year is the leading digits of the
// date (at most four), Track the number before any "/".
struct TTagLibFields {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Comment;
  std::string Genre;  // a stored genre number already turned into its name
  std::string Year;
  std::int32_t Track = 0;
};

// The fields of a write, as bits.
enum TTagLibField : unsigned {
  tfTitle = 1,
  tfArtist = 2,
  tfAlbum = 4,
  tfComment = 8,
  tfGenre = 16,
  tfYear = 32,
  tfTrack = 64,
};

// What the quality line says of a stream.
struct TTagLibStreamFormat {
  std::string Codec;  // "FLAC", "ALAC", "Vorbis", "Opus", "AAC"; empty when unknown
  bool Lossless = false;
  std::int32_t BitsPerSample = 0;  // lossless streams; 0 when unknown
  std::int32_t SampleRate = 0;     // Hz
};

class TTagLibTagger {
 public:
  // Files are composed in memory for a write; larger ones are refused.
  static constexpr std::int64_t MaxRewriteSize = std::int64_t{1} << 30;

  // Reads the tag and the stream properties from stream (borrowed for the call). False when the
  // bytes are not a readable file of the format, have no audio after their metadata (a file cut
  // in its headers), or a read of the stream failed; the values are then empty. A FLAC file's fields come
  // from its Vorbis comments, each one they lack from an ID3v2 tag where the file has one.
  bool Read(TStream& stream, TTagLibFormat format);

  // True after Read when the file holds any of the fields.
  bool HasTag() const noexcept { return FHasTag; }
  const TTagLibFields& Fields() const noexcept { return FFields; }
  // kbit/s: the nominal rate of Vorbis, the average of Opus and AAC, -1 for lossless streams.
  std::int32_t Bitrate() const noexcept { return FBitrate; }
  // Whole seconds, rounded.
  std::int32_t Duration() const noexcept { return FDuration; }
  const TTagLibStreamFormat& StreamFormat() const noexcept { return FStreamFormat; }
  // Where the audio begins, past the metadata (tags/AudioStart.h); above 0 after a Read.
  std::int64_t AudioStart() const noexcept { return FAudioStart; }

  // Writes the fields named by the bits of `fields` from values into the file (a Windows or host
  // path) and nothing else: a track keeps the file's "/m" total, a year the rest of the file's
  // date. A FLAC file's values go to its Vorbis comments (created when missing). True when the
  // new file replaced the old one; false, with the file as it was, when it cannot be read as
  // the format, is larger than MaxRewriteSize, or the new file cannot be written. `create` makes
  // the new file's stream (tests hand in failing ones).
  static bool Write(const std::string& fileName, TTagLibFormat format, unsigned fields,
                    const TTagLibFields& values, const TCreateFileStream& create = {});

 private:
  void Reset();

  bool FHasTag = false;
  TTagLibFields FFields;
  std::int32_t FBitrate = 0;
  std::int32_t FDuration = 0;
  TTagLibStreamFormat FStreamFormat;
  std::int64_t FAudioStart = 0;
};
