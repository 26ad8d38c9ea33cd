// Feeds any bytes to the key-mapping reader: every binding it keeps has a valid name and an
// action that names back to itself, and there are never more than the defaults and the cap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Music/control/MusicOutsideKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TOutsideKeyMap map = TOutsideKeyMap::Defaults();
  const std::size_t defaults = map.Bindings().size();
  map.Apply(text);
  if (map.Bindings().size() > defaults + TOutsideKeyMap::MaxBindings) {
    std::abort();
  }
  for (const TOutsideKeyMap::TBinding& binding : map.Bindings()) {
    if (binding.Name.empty() || binding.Name.size() > TOutsideKeyMap::MaxKeyName) {
      std::abort();
    }
    const auto named = OutsideActionNamed(OutsideActionName(binding.Action));
    if (!named || !(*named == binding.Action)) {
      std::abort();
    }
  }
  return 0;
}
