#pragma once
// The pictures music files carry: ID3v2 APIC frames (ID3v2.2's PIC arrives converted to APIC),
// FLAC and Ogg picture blocks, MP4 "covr" items and WMA "WM/Picture" attributes (through
// TagLib), and the choice of the front cover among them. Picture bytes are taken as they are; decoding them
// is the caller's.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rtl/Stream.h"
#include "tags/TagLibTagger.h"

// A picture bigger than this is not a cover anyone shows; it is left out.
constexpr std::size_t MaxEmbeddedPictureBytes = std::size_t{16} << 20;
// The picture type of a front cover (ID3v2, FLAC and WMA agree on the numbers).
constexpr std::uint8_t FrontCoverPictureType = 3;

struct TEmbeddedPicture {
  std::uint8_t Type = 0;
  std::string MimeType;  // as stored; may be empty or wrong
  std::vector<std::uint8_t> Bytes;
};

// An ID3v2.3 APIC frame's plain data: text encoding, MIME type, picture type, description
// (terminated as its encoding says), picture bytes. False when a field runs past the data, the
// encoding is unknown, there are no picture bytes, or they exceed MaxEmbeddedPictureBytes.
bool ParseApicFrame(std::span<const std::uint8_t> data, TEmbeddedPicture& picture);

// The pictures of the ID3v2 tag (v2.2, v2.3 or v2.4) at the start of the stream, in tag order;
// frames that are encrypted, damaged or do not parse are left out. Never throws for bad bytes;
// read errors of the stream give no pictures.
std::vector<TEmbeddedPicture> Id3v2Pictures(TStream& stream);

// The pictures of a FLAC, Ogg or MP4 file (MP4 covers have no type and count as front covers).
// None when TagLib cannot read the file.
std::vector<TEmbeddedPicture> TagLibPictures(TStream& stream, TTagLibFormat format);

// The WM/Picture attributes of a WMA or ASF file's header, read with TagLib (the media-format
// runtime's attribute calls stop at 64 KiB, less than most covers). None when it cannot be read.
std::vector<TEmbeddedPicture> AsfPictures(TStream& stream);

// The first front cover, else the first picture; nullptr when there are none.
const TEmbeddedPicture* ChooseFrontCover(const std::vector<TEmbeddedPicture>& pictures) noexcept;

// The front cover of a music file (a Windows or host path), by its extension: ".mp3" reads the
// ID3v2 tag, ".wma" and ".asf" the header's pictures, ".flac", ".ogg", ".oga", ".opus" and
// ".m4a" go through TagLib. False when the file
// has none or cannot be read.
bool ReadEmbeddedFrontCover(const std::string& fileName, TEmbeddedPicture& picture);
