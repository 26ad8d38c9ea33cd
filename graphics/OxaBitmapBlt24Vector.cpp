// The vectorised 24-bit operations (AVX2, chosen at run time). Every byte is computed with the
// same integer formula as the portable code; 24-bit pixels do not fit vector lanes, so the
// per-channel constants repeat every 3 bytes and are laid out in patterns 48 or 96 bytes long.

#include <cstring>

#include "graphics/OxaBitmapBlt24Internal.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define OXA_AVX2 __attribute__((target("avx2")))

namespace oxablt24 {
namespace {

// Byte k of a row belongs to channel k mod 3; a pattern of n lanes starting at row byte `start`.
template <class T, std::size_t N>
std::array<T, N> ChannelPattern(std::size_t start, const T (&perChannel)[3])
{
  std::array<T, N> pattern;
  for (std::size_t k = 0; k < N; ++k) {
    pattern[k] = perChannel[(start + k) % 3];
  }
  return pattern;
}

// 16 bytes widened to 16-bit lanes.
OXA_AVX2 inline __m256i Widen(const std::uint8_t* p)
{
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Two vectors of 16-bit lanes (each below 256) narrowed to 32 bytes in order.
OXA_AVX2 inline void StoreNarrowed(std::uint8_t* d, __m256i low, __m256i high)
{
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), packed);
}

OXA_AVX2 inline void StoreNarrowed16(std::uint8_t* d, __m256i lanes)
{
  const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(lanes, lanes), 0x08);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(packed));
}

// d[k] = (s[k] × multiplier + add[k mod 3]) shr 8, where every sum stays below 65536.
OXA_AVX2 void MulAddShiftRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n, int multiplier,
                             const std::uint16_t (&add)[3])
{
  const auto pattern = ChannelPattern<std::uint16_t, 48>(0, add);
  const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern.data()));
  const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern.data() + 16));
  const __m256i a2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern.data() + 32));
  const __m256i m = _mm256_set1_epi16(std::int16_t(multiplier));
  const auto lanes = [m](const std::uint8_t* p, __m256i a) OXA_AVX2 {
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(Widen(p), m), a), 8);
  };
  std::size_t k = 0;
  for (; k + 96 <= n; k += 96) {
    StoreNarrowed(d + k, lanes(s + k, a0), lanes(s + k + 16, a1));
    StoreNarrowed(d + k + 32, lanes(s + k + 32, a2), lanes(s + k + 48, a0));
    StoreNarrowed(d + k + 64, lanes(s + k + 64, a1), lanes(s + k + 80, a2));
  }
  for (; k + 48 <= n; k += 48) {
    StoreNarrowed(d + k, lanes(s + k, a0), lanes(s + k + 16, a1));
    StoreNarrowed16(d + k + 32, lanes(s + k + 32, a2));
  }
  for (; k < n; ++k) {
    d[k] = std::uint8_t((s[k] * multiplier + add[k % 3]) >> 8);
  }
}

OXA_AVX2 void FillRectVector(const TOxaSurfaceDesc& t, int x, int y, int w, int h, TOxaColor color)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  const int kept = int(color >> 24);
  if (kept == 0) {
    FillOpaque(t, x, y, w, h, color);
    return;
  }
  AssertRect(t, x, y, w, h);
  const std::uint16_t add[3] = {std::uint16_t(int((color >> 16) & 0xFF) * (255 - kept)),
                                std::uint16_t(int((color >> 8) & 0xFF) * (255 - kept)),
                                std::uint16_t(int(color & 0xFF) * (255 - kept))};
  for (int j = 0; j < h; ++j) {
    std::uint8_t* d = PixelAt(t, x, y + j);
    MulAddShiftRow(d, d, std::size_t(w) * 3, kept, add);
  }
}

template <class RowOp>
void ForEachRow(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx, int sy, int w,
                int h, RowOp op)
{
  if (w <= 0 || h <= 0) {
    return;
  }
  AssertRect(t, tx, ty, w, h);
  AssertRect(s, sx, sy, w, h);
  for (int j = 0; j < h; ++j) {
    op(PixelAt(t, tx, ty + j), PixelAt(s, sx, sy + j), std::size_t(w) * 3);
  }
}

OXA_AVX2 void AlphaRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n, int a)
{
  const __m256i ms = _mm256_set1_epi16(std::int16_t(a));
  const __m256i md = _mm256_set1_epi16(std::int16_t(255 - a));
  const auto lanes = [ms, md](const std::uint8_t* p, const std::uint8_t* q) OXA_AVX2 {
    return _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_mullo_epi16(Widen(p), ms), _mm256_mullo_epi16(Widen(q), md)), 8);
  };
  std::size_t k = 0;
  for (; k + 32 <= n; k += 32) {
    StoreNarrowed(d + k, lanes(s + k, d + k), lanes(s + k + 16, d + k + 16));
  }
  for (; k < n; ++k) {
    d[k] = std::uint8_t((s[k] * a + d[k] * (255 - a)) >> 8);
  }
}

OXA_AVX2 void AlphaCopyVector(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx,
                              int sy, int w, int h, std::uint32_t alpha)
{
  const int a = int(alpha & 0xFF);
  ForEachRow(t, s, tx, ty, sx, sy, w, h,
             [a](std::uint8_t* d, const std::uint8_t* p, std::size_t n) { AlphaRow(d, p, n, a); });
}

// d[k] = clamp(s[k] + offset[k mod 3], 0, 255) as a saturating add of the positive part and a
// saturating subtraction of the negative part.
OXA_AVX2 void OffsetRow(std::uint8_t* d, const std::uint8_t* s, std::size_t n, const std::uint8_t (&up)[3],
                        const std::uint8_t (&down)[3])
{
  const auto upPattern = ChannelPattern<std::uint8_t, 96>(0, up);
  const auto downPattern = ChannelPattern<std::uint8_t, 96>(0, down);
  __m256i u[3], v[3];
  for (int i = 0; i < 3; ++i) {
    u[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upPattern.data() + 32 * i));
    v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(downPattern.data() + 32 * i));
  }
  std::size_t k = 0;
  for (int i = 0; k + 32 <= n; k += 32, i = i == 2 ? 0 : i + 1) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + k), _mm256_subs_epu8(_mm256_adds_epu8(x, u[i]), v[i]));
  }
  for (; k < n; ++k) {
    d[k] = Clamp255(s[k] + up[k % 3] - down[k % 3]);
  }
}

OXA_AVX2 void BrightnessCopyVector(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx,
                                   int sy, int w, int h, int red, int green, int blue)
{
  if (red == 0 && green == 0 && blue == 0) {
    Copy(t, s, tx, ty, sx, sy, w, h);
    return;
  }
  const int offsets[3] = {std::clamp(blue, -255, 255), std::clamp(green, -255, 255),
                          std::clamp(red, -255, 255)};
  std::uint8_t up[3], down[3];
  for (int c = 0; c < 3; ++c) {
    up[c] = std::uint8_t(std::max(offsets[c], 0));
    down[c] = std::uint8_t(std::max(-offsets[c], 0));
  }
  ForEachRow(t, s, tx, ty, sx, sy, w, h,
             [&](std::uint8_t* d, const std::uint8_t* p, std::size_t n) { OffsetRow(d, p, n, up, down); });
}

OXA_AVX2 void TintCopyVector(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx,
                             int sy, int w, int h, TOxaColor tint)
{
  const int a = int(tint >> 24);
  if (a == 0) {
    Copy(t, s, tx, ty, sx, sy, w, h);
    return;
  }
  const std::uint16_t add[3] = {std::uint16_t(int(tint & 0xFF) * a),
                                std::uint16_t(int((tint >> 8) & 0xFF) * a),
                                std::uint16_t(int((tint >> 16) & 0xFF) * a)};
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [&](std::uint8_t* d, const std::uint8_t* p, std::size_t n) {
    MulAddShiftRow(d, p, n, 255 - a, add);
  });
}

// Shuffle masks that gather channel c of 16 pixels (48 bytes in three registers) from register r.
struct TGrayMasks {
  alignas(16) std::uint8_t Gather[3][3][16];
  alignas(16) std::uint8_t Spread[3][16];
};

constexpr TGrayMasks MakeGrayMasks()
{
  TGrayMasks masks{};
  for (int c = 0; c < 3; ++c) {
    for (int r = 0; r < 3; ++r) {
      for (int p = 0; p < 16; ++p) {
        const int byte = 3 * p + c;
        masks.Gather[c][r][p] = byte / 16 == r ? std::uint8_t(byte % 16) : 0x80;
      }
    }
  }
  for (int r = 0; r < 3; ++r) {
    for (int j = 0; j < 16; ++j) {
      masks.Spread[r][j] = std::uint8_t((16 * r + j) / 3);
    }
  }
  return masks;
}

constexpr TGrayMasks kGrayMasks = MakeGrayMasks();

OXA_AVX2 inline __m128i Mask(const std::uint8_t* m)
{
  return _mm_load_si128(reinterpret_cast<const __m128i*>(m));
}

OXA_AVX2 void GrayRow(std::uint8_t* d, const std::uint8_t* s, std::size_t pixels, int offset)
{
  const __m256i third = _mm256_set1_epi16(std::int16_t(0xAAAB));
  const __m256i shift = _mm256_set1_epi16(std::int16_t(LimitOffset(offset)));
  std::size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const std::uint8_t* p = s + 3 * i;
    const __m128i x[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
    __m256i sum = _mm256_setzero_si256();
    for (int c = 0; c < 3; ++c) {
      const __m128i channel =
          _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(x[0], Mask(kGrayMasks.Gather[c][0])),
                                    _mm_shuffle_epi8(x[1], Mask(kGrayMasks.Gather[c][1]))),
                       _mm_shuffle_epi8(x[2], Mask(kGrayMasks.Gather[c][2])));
      sum = _mm256_add_epi16(sum, _mm256_cvtepu8_epi16(channel));
    }
    // sum div 3 for sums up to 765: (sum × 43691) shr 17.
    __m256i gray = _mm256_srli_epi16(_mm256_mulhi_epu16(sum, third), 1);
    gray = _mm256_add_epi16(gray, shift);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(gray, gray), 0x08);
    const __m128i g = _mm256_castsi256_si128(packed);
    std::uint8_t* q = d + 3 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q), _mm_shuffle_epi8(g, Mask(kGrayMasks.Spread[0])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 16), _mm_shuffle_epi8(g, Mask(kGrayMasks.Spread[1])));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + 32), _mm_shuffle_epi8(g, Mask(kGrayMasks.Spread[2])));
  }
  for (; i < pixels; ++i) {
    const std::uint8_t* p = s + 3 * i;
    const std::uint8_t g = Clamp255((p[0] + p[1] + p[2]) / 3 + offset);
    d[3 * i] = g;
    d[3 * i + 1] = g;
    d[3 * i + 2] = g;
  }
}

OXA_AVX2 void GrayCopyVector(const TOxaSurfaceDesc& t, const TOxaSurfaceDesc& s, int tx, int ty, int sx,
                             int sy, int w, int h, int offset)
{
  ForEachRow(t, s, tx, ty, sx, sy, w, h, [offset](std::uint8_t* d, const std::uint8_t* p, std::size_t n) {
    GrayRow(d, p, n / 3, offset);
  });
}

const TOxaBltTable kVectorTable = {
    GetPixel,
    SetPixel,
    FillRectVector,
    FrameRect,
    Copy,
    AlphaCopyVector,
    BrightnessCopyVector,
    TintCopyVector,
    TransparentCopy,
    TransparentAlphaCopy,
    GrayCopyVector,
    StretchCopy,
    StretchTintCopy,
    StretchSmoothCopy,
};

}  // namespace

const TOxaBltTable* VectorTable() noexcept
{
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported ? &kVectorTable : nullptr;
}

}  // namespace oxablt24

#else

namespace oxablt24 {

const TOxaBltTable* VectorTable() noexcept
{
  return nullptr;
}

}  // namespace oxablt24

#endif
