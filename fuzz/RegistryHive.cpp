// The registry hive reader: whole images (magic, length, checksum) and bare payloads, so the
// fuzzer reaches the key and value records past the checksum. A parsed hive must write back to
// an image that parses to the same hive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/files/RegistryHive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
  TRegKey root;
  if (ParseHive(bytes, root)) {
    const auto image = SerializeHive(root);
    TRegKey again;
    if (!ParseHive(image, again) || SerializeHive(again) != image) {
      std::abort();
    }
  }
  TRegKey payload;
  if (ParseHivePayload(bytes, payload)) {
    const auto image = SerializeHive(payload);
    TRegKey again;
    if (!ParseHive(image, again)) {
      std::abort();
    }
  }
  return 0;
}
