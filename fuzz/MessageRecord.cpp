// The message transport's record reader: every datagram another process sends. A record that
// reads must write back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "platform/windows/MessageTransport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  if (const auto record = DecodeMessageRecord(bytes)) {
    const TRecordBytes again = EncodeMessageRecord(*record);
    if (size != again.size() || std::memcmp(again.data(), data, size) != 0) {
      std::abort();
    }
  }
  return 0;
}
