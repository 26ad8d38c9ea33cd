#pragma once
// The ASF header object read straight from its bytes: the content description, every attribute
// of the extended content description, metadata and metadata library objects in file order, the
// play length and the audio bit rate. Reading is what a scan does thousands of times, so this
// walks the bytes once without building a general object model; writing stays with TagLib.
//
// Every length is checked against the bytes that hold it: a header that lies about a size is
// refused whole, never read past.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace wmvcore {

// The attribute value types as ASF stores them (not the runtime's WMT_ATTR_DATATYPE numbering).
enum class TAsfType : std::uint16_t {
  Unicode = 0,
  Bytes = 1,
  Bool = 2,
  DWord = 3,
  QWord = 4,
  Word = 5,
  Guid = 6
};

struct TAsfAttribute {
  std::u16string Name;
  TAsfType Type = TAsfType::Bytes;
  std::uint16_t Stream = 0;
  std::uint16_t Language = 0;
  std::u16string Text;              // Unicode: the text without its trailing zeros
  std::uint64_t Number = 0;         // Bool (0 or 1), DWord, QWord, Word
  std::vector<std::uint8_t> Bytes;  // Bytes, Guid
  std::size_t StoredSize = 0;       // the value's size as stored, for the caller's own limits
};

struct TAsfHeader {
  // The content description object's five texts, empty when it is missing.
  std::u16string Title;
  std::u16string Author;
  std::u16string Copyright;
  std::u16string Description;
  std::u16string Rating;
  std::vector<TAsfAttribute> Attributes;
  // Play duration less preroll, rounded to milliseconds; never negative.
  std::int64_t LengthMilliseconds = 0;
  // Of the last stream properties object, in kbit/s rounded.
  std::int32_t BitrateKbps = 0;
};

// Parses the whole header object (its 30-byte start included). False for anything that is not a
// well-formed header object with a file properties object.
bool ParseAsfHeader(std::span<const std::uint8_t> bytes, TAsfHeader& header);

// Writes size into the file properties object's file size, which has to follow the header when
// a rewrite grows or shrinks it. A broadcast file's size is not valid by definition and is left.
// False when the bytes hold no well-formed header object with file properties.
bool RecordFileSize(std::span<std::uint8_t> bytes, std::uint64_t size);

}  // namespace wmvcore
