#pragma once
// The text encodings of ID3v2 frames, to and from the program's UTF-8: ISO-8859-1 (0), UTF-16
// with a byte-order mark (1), UTF-16 big-endian (2) and UTF-8 (3). Frames written here are
// ISO-8859-1 when the text fits and UTF-16 with a byte-order mark otherwise, which every reader
// of ID3v2.3 understands.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum TId3Encoding : std::uint8_t {
  ieLatin1 = 0,
  ieUtf16 = 1,
  ieUtf16BigEndian = 2,
  ieUtf8 = 3,
};

// Decodes one string of the encoding from data[pos]: up to its terminator (one zero byte, or a
// zero unit in UTF-16) or the end of the data; pos moves past the terminator. UTF-16 without a
// byte-order mark is taken as big-endian unless its zero bytes say little-endian. Unpaired
// surrogates and malformed UTF-8 become U+FFFD. False for an unknown encoding byte.
bool DecodeId3String(std::uint8_t encoding, std::span<const std::uint8_t> data, std::size_t& pos,
                     std::string& text);

// The encoding a frame written for this text gets: ISO-8859-1 when every character fits.
TId3Encoding Id3EncodingFor(std::string_view text) noexcept;
// Appends the text in the encoding (ieLatin1 or ieUtf16, the latter with the mark FF FE), and a
// terminator of the encoding when `terminate` says so.
enum class TTerminate { No, Yes };
void EncodeId3String(TId3Encoding encoding, std::string_view text, std::vector<std::uint8_t>& out,
                     TTerminate terminate);
