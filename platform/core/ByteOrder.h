#pragma once
// Loads and stores of fixed-width integers in a stated byte order, for every reader and writer of
// outside data (tags, registry hives, message and bus records, the settings file). Callers check
// that the bytes are there before loading; these helpers only assemble them.
#include <cstddef>
#include <cstdint>

namespace ByteOrder {

namespace detail {
inline std::uint8_t At(const void* data, std::size_t index) noexcept
{
  return static_cast<const std::uint8_t*>(data)[index];
}
inline void Put(void* data, std::size_t index, std::uint64_t value, unsigned shift) noexcept
{
  static_cast<std::uint8_t*>(data)[index] = static_cast<std::uint8_t>(value >> shift);
}
}  // namespace detail

inline std::uint16_t LoadLE16(const void* data) noexcept
{
  return static_cast<std::uint16_t>(detail::At(data, 0) | (detail::At(data, 1) << 8));
}
inline std::uint32_t LoadLE32(const void* data) noexcept
{
  return std::uint32_t{detail::At(data, 0)} | (std::uint32_t{detail::At(data, 1)} << 8) |
         (std::uint32_t{detail::At(data, 2)} << 16) | (std::uint32_t{detail::At(data, 3)} << 24);
}
inline std::uint64_t LoadLE64(const void* data) noexcept
{
  return std::uint64_t{LoadLE32(data)} |
         (std::uint64_t{LoadLE32(static_cast<const std::uint8_t*>(data) + 4)} << 32);
}
inline std::uint16_t LoadBE16(const void* data) noexcept
{
  return static_cast<std::uint16_t>((detail::At(data, 0) << 8) | detail::At(data, 1));
}
inline std::uint32_t LoadBE24(const void* data) noexcept
{
  return (std::uint32_t{detail::At(data, 0)} << 16) | (std::uint32_t{detail::At(data, 1)} << 8) |
         std::uint32_t{detail::At(data, 2)};
}
inline std::uint32_t LoadBE32(const void* data) noexcept
{
  return (std::uint32_t{detail::At(data, 0)} << 24) | (std::uint32_t{detail::At(data, 1)} << 16) |
         (std::uint32_t{detail::At(data, 2)} << 8) | std::uint32_t{detail::At(data, 3)};
}
inline std::uint64_t LoadBE64(const void* data) noexcept
{
  return (std::uint64_t{LoadBE32(data)} << 32) |
         std::uint64_t{LoadBE32(static_cast<const std::uint8_t*>(data) + 4)};
}

inline void StoreLE16(void* data, std::uint16_t value) noexcept
{
  detail::Put(data, 0, value, 0);
  detail::Put(data, 1, value, 8);
}
inline void StoreLE32(void* data, std::uint32_t value) noexcept
{
  for (unsigned i = 0; i < 4; ++i) {
    detail::Put(data, i, value, 8 * i);
  }
}
inline void StoreLE64(void* data, std::uint64_t value) noexcept
{
  for (unsigned i = 0; i < 8; ++i) {
    detail::Put(data, i, value, 8 * i);
  }
}
inline void StoreBE16(void* data, std::uint16_t value) noexcept
{
  detail::Put(data, 0, value, 8);
  detail::Put(data, 1, value, 0);
}
inline void StoreBE32(void* data, std::uint32_t value) noexcept
{
  for (unsigned i = 0; i < 4; ++i) {
    detail::Put(data, i, value, 24 - 8 * i);
  }
}
inline void StoreBE64(void* data, std::uint64_t value) noexcept
{
  for (unsigned i = 0; i < 8; ++i) {
    detail::Put(data, i, value, 56 - 8 * i);
  }
}

// ID3v2.4 sizes and v2.3 extended headers keep 7 bits a byte so no 0xFF 0xE0 pattern appears.
inline std::uint32_t LoadSynchsafe32(const void* data) noexcept
{
  return (std::uint32_t{detail::At(data, 0) & 0x7Fu} << 21) |
         (std::uint32_t{detail::At(data, 1) & 0x7Fu} << 14) |
         (std::uint32_t{detail::At(data, 2) & 0x7Fu} << 7) | std::uint32_t{detail::At(data, 3) & 0x7Fu};
}
inline void StoreSynchsafe32(void* data, std::uint32_t value) noexcept
{
  for (unsigned i = 0; i < 4; ++i) {
    static_cast<std::uint8_t*>(data)[i] = static_cast<std::uint8_t>((value >> (21 - 7 * i)) & 0x7Fu);
  }
}

}  // namespace ByteOrder
