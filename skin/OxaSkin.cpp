#include "skin/OxaSkin.h"

#include "platform/windows/Input.h"
#include "skin/OxaSkinData.h"

std::optional<std::string_view> OxaSkinStoreBytes(std::string_view storeName)
{
  for (std::size_t i = 0; i < kOxaSkinStoreCount; ++i)
    if (storeName == kOxaSkinStores[i].Name)
      return std::string_view(reinterpret_cast<const char*>(kOxaSkinStores[i].Bytes), kOxaSkinStores[i].Size);
  return std::nullopt;
}

std::optional<std::string> OxaSkinStore(std::string_view storeName)
{
  if (const std::optional<std::string_view> bytes = OxaSkinStoreBytes(storeName))
    return std::string(*bytes);
  return std::nullopt;
}

std::vector<std::string> OxaSkinStoreNames()
{
  std::vector<std::string> names;
  for (std::size_t i = 0; i < kOxaSkinStoreCount; ++i)
    names.emplace_back(kOxaSkinStores[i].Name);
  return names;
}

std::vector<TOxaSkinCursor> OxaSkinCursors()
{
  std::vector<TOxaSkinCursor> cursors;
  for (std::size_t i = 0; i < kOxaSkinCursorCount; ++i) {
    const TOxaSkinCursorRecord& r = kOxaSkinCursorRecords[i];
    TOxaSkinCursor cursor{r.Name, r.Width, r.Height, r.HotspotX, r.HotspotY, {}};
    const std::size_t count = std::size_t(r.Width) * std::size_t(r.Height);
    cursor.Argb.resize(count);
    const unsigned char* p = kOxaSkinCursorPixels + r.FirstPixel * 4;
    for (std::size_t k = 0; k < count; ++k, p += 4)
      cursor.Argb[k] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                       std::uint32_t(p[3]) << 24;
    cursors.push_back(std::move(cursor));
  }
  return cursors;
}

bool OxaSkinRegisterCursors()
{
  bool all = true;
  for (const TOxaSkinCursor& c : OxaSkinCursors())
    all = RegisterCursorResource(c.Name.c_str(), c.Width, c.Height, c.HotspotX, c.HotspotY, c.Argb.data(),
                                 c.Argb.size()) &&
          all;
  return all;
}
