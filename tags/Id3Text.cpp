#include "tags/Id3Text.h"

#include "platform/core/ByteOrder.h"
#include "rtl/Utf8.h"

namespace {

// Without a byte-order mark a writer still has an order; text in Latin scripts has a zero high
// byte in most units, which shows where the high byte sits.
bool LooksLittleEndian(std::span<const std::uint8_t> data, std::size_t pos) noexcept
{
  int zeroEven = 0;
  int zeroOdd = 0;
  for (std::size_t i = pos; i + 1 < data.size(); i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) {
      break;
    }
    zeroEven += data[i] == 0 ? 1 : 0;
    zeroOdd += data[i + 1] == 0 ? 1 : 0;
  }
  return zeroOdd > zeroEven;
}

void DecodeUtf16(std::span<const std::uint8_t> data, std::size_t& pos, bool bigEndian, std::string& text)
{
  std::u16string units;
  while (pos + 1 < data.size()) {
    const auto unit =
        static_cast<char16_t>(bigEndian ? ByteOrder::LoadBE16(&data[pos]) : ByteOrder::LoadLE16(&data[pos]));
    pos += 2;
    if (unit == 0) {
      text = Utf16ToUtf8(units);
      return;
    }
    units.push_back(unit);
  }
  // An odd byte at the end is no unit.
  pos = data.size();
  text = Utf16ToUtf8(units);
}

}  // namespace

bool DecodeId3String(std::uint8_t encoding, std::span<const std::uint8_t> data, std::size_t& pos,
                     std::string& text)
{
  text.clear();
  if (pos > data.size()) {
    pos = data.size();
  }
  switch (encoding) {
    case ieLatin1:
    case ieUtf8: {
      const std::size_t start = pos;
      while (pos < data.size() && data[pos] != 0) {
        ++pos;
      }
      const std::string_view bytes(reinterpret_cast<const char*>(data.data()) + start, pos - start);
      if (encoding == ieLatin1) {
        text = Latin1ToUtf8(bytes);
      } else {
        // Re-encoding turns malformed sequences into U+FFFD, so the library only ever holds UTF-8.
        std::size_t at = 0;
        while (at < bytes.size()) {
          AppendCodePoint(text, NextCodePoint(bytes, at));
        }
      }
      pos = pos < data.size() ? pos + 1 : pos;
      return true;
    }
    case ieUtf16: {
      bool bigEndian = false;
      if (pos + 1 < data.size() && data[pos] == 0xFE && data[pos + 1] == 0xFF) {
        bigEndian = true;
        pos += 2;
      } else if (pos + 1 < data.size() && data[pos] == 0xFF && data[pos + 1] == 0xFE) {
        pos += 2;
      } else {
        bigEndian = !LooksLittleEndian(data, pos);
      }
      DecodeUtf16(data, pos, bigEndian, text);
      return true;
    }
    case ieUtf16BigEndian:
      DecodeUtf16(data, pos, true, text);
      return true;
    default:
      return false;
  }
}

TId3Encoding Id3EncodingFor(std::string_view text) noexcept
{
  return FitsLatin1(text) ? ieLatin1 : ieUtf16;
}

void EncodeId3String(TId3Encoding encoding, std::string_view text, std::vector<std::uint8_t>& out,
                     TTerminate terminate)
{
  if (encoding == ieLatin1) {
    const std::string latin1 = Utf8ToLatin1(text);
    out.insert(out.end(), latin1.begin(), latin1.end());
    if (terminate == TTerminate::Yes) {
      out.push_back(0);
    }
    return;
  }
  const std::u16string units = Utf8ToUtf16(text);
  out.reserve(out.size() + 2 * units.size() + 4);
  out.push_back(0xFF);
  out.push_back(0xFE);
  for (const char16_t unit : units) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  if (terminate == TTerminate::Yes) {
    out.push_back(0);
    out.push_back(0);
  }
}
