// Host names and Windows names: any bytes taken as a host name map to a Windows name holding no
// character a Windows name cannot hold, and back to the same bytes; any bytes taken as a Windows
// name map to a host name without adding a "/" or a zero byte.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/files/NameStandIns.h"

namespace {

bool HoldsForbidden(std::string_view name)
{
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x01 && byte < 0x20) || std::string_view("\"*:<>?\\|").find(c) != std::string_view::npos;
  });
}

void Check(bool holds)
{
  if (!holds) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string windows = WindowsNameOf(bytes);
  Check(HostNameOf(windows) == bytes);
  Check(!HoldsForbidden(windows));
  Check(WindowsNameOf(HostNameOf(windows)) == windows);
  Check(HostNameNeedsStandIns(bytes) || windows == bytes);

  const std::string mask = WindowsMaskOf(bytes);
  Check(HostNameOf(mask) == bytes);
  Check(std::count(mask.begin(), mask.end(), '*') == std::count(bytes.begin(), bytes.end(), '*'));

  const std::string host = HostNameOf(bytes);
  Check(std::count(host.begin(), host.end(), '/') == std::count(bytes.begin(), bytes.end(), '/'));
  Check(std::count(host.begin(), host.end(), '\0') == std::count(bytes.begin(), bytes.end(), '\0'));
  Check(WindowsNameMayHoldStandIns(bytes) || host == bytes);
  return 0;
}
