#pragma once
// SHA-256 (FIPS 180-4), for the fingerprint of files whose audio offers no varied window: the
// digest of their tail must tell different music apart as surely as the window does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

using TSha256Digest = std::array<std::uint8_t, 32>;

class TSha256 {
 public:
  TSha256() noexcept;

  void Update(std::span<const std::uint8_t> bytes) noexcept;
  // The digest of everything given so far; the object is spent afterwards.
  TSha256Digest Final() noexcept;

  static TSha256Digest Of(std::span<const std::uint8_t> bytes) noexcept;

 private:
  void Block(const std::uint8_t* block) noexcept;

  std::array<std::uint32_t, 8> FState;
  std::array<std::uint8_t, 64> FBuffer{};
  std::size_t FBuffered = 0;
  std::uint64_t FLength = 0;  // bytes given
};
