// The bus's reader of its shared body: any bytes, taken as a body another member wrote, go
// through the list checks and the record reads. None may crash, loop or read outside the body;
// a fault is only ever EOxaIpcDamaged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "OxaIPC/OxaIpcRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size == 0 || size > 8192) {
    return 0;
  }
  std::vector<std::uint8_t> bytes(data, data + size);
  TOxaIpcBody body(bytes.data(), static_cast<std::uint32_t>(size));
  try {
    OxaIpcValidateBody(body);
  } catch (const EOxaIpcDamaged&) {
  }
  for (std::uint32_t offset = 0; offset < size; offset += 4) {
    try {
      if (body.IsBlock(offset, 0)) {
        static_cast<void>(body.Read<TOxaIpcMessageRecord>(offset));
        static_cast<void>(body.RecordName(offset));
      }
    } catch (const EOxaIpcDamaged&) {
    }
  }
  if (std::memcmp(bytes.data(), data, size) != 0) {
    std::abort();  // reading never writes
  }
  return 0;
}
