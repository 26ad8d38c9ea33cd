// Feeds any bytes to the string-list stream reader; a list that loads must save and load back to
// the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "rtl/Exception.h"
#include "settings/MusicStringList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  TMemoryStream input;
  input.WriteBuffer(data, static_cast<std::int64_t>(size));
  input.SetPosition(0);
  TMusicStringList list;
  try {
    list.LoadFromStream(input);
  } catch (const EReadError&) {
    return 0;
  }
  TMemoryStream saved;
  list.SaveToStream(saved);
  saved.SetPosition(0);
  TMusicStringList again;
  again.LoadFromStream(saved);
  TMemoryStream resaved;
  again.SaveToStream(resaved);
  if (resaved.Size() != saved.Size() ||
      std::memcmp(resaved.Memory(), saved.Memory(), static_cast<std::size_t>(saved.Size())) != 0) {
    std::abort();
  }
  return 0;
}
