// Vector pair kernels. Each chroma term is trunc(k * d) for d = byte - 128,
// computed as floor(d * M / 2^14) plus one for negative d; for the M below this
// equals the truncated product for all 256 byte values (the exhaustive test
// checks every kernel). The sums are clamped by the unsigned saturating pack.

#include "pixels/ConvertYUY2Kernels.h"

#if defined(__x86_64__)

#include <immintrin.h>

namespace varnholt::convert {
namespace {

// Multipliers at 2^14 for 1.370705 (R from V), 0.698001 (G from V),
// 0.337633 (G from U) and 1.732446 (B from U). Each lies well inside the range
// of values that give exact results, not at its edge.
constexpr int kRV = 22458;
constexpr int kGV = 11436;
constexpr int kGU = 5531;
constexpr int kBU = 28385;
// Chroma words come as U (low) and V (high) of each 32-bit pair lane.
constexpr int kRB = (kRV << 16) | kBU;
constexpr int kG = (kGV << 16) | kGU;

// 4 pairs: 16 source bytes to 8 pixels.
inline void BlockSse2(const std::uint8_t* source, std::uint32_t* output) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
  const __m128i y = _mm_and_si128(x, _mm_set1_epi16(0x00FF));
  const __m128i d = _mm_sub_epi16(_mm_srli_epi16(x, 8), _mm_set1_epi16(128));
  const __m128i a = _mm_slli_epi16(d, 2);
  // Subtracting the all-ones mask of negative d adds the truncation step.
  const __m128i negative = _mm_srai_epi16(d, 15);
  const __m128i rb = _mm_sub_epi16(_mm_mulhi_epi16(a, _mm_set1_epi32(kRB)), negative);
  const __m128i g2 = _mm_sub_epi16(_mm_mulhi_epi16(a, _mm_set1_epi32(kG)), negative);
  const __m128i gSum =
      _mm_add_epi16(g2, _mm_or_si128(_mm_slli_epi32(g2, 16), _mm_srli_epi32(g2, 16)));

  const __m128i r = _mm_add_epi16(y, _mm_shufflehi_epi16(_mm_shufflelo_epi16(rb, 0xF5), 0xF5));
  const __m128i b = _mm_add_epi16(y, _mm_shufflehi_epi16(_mm_shufflelo_epi16(rb, 0xA0), 0xA0));
  const __m128i g = _mm_sub_epi16(y, gSum);

  const __m128i br = _mm_packus_epi16(b, r);
  const __m128i ga = _mm_packus_epi16(g, _mm_set1_epi16(0xFF));
  const __m128i bg = _mm_unpacklo_epi8(br, ga);
  const __m128i ra = _mm_unpackhi_epi8(br, ga);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output), _mm_unpacklo_epi16(bg, ra));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(output + 4), _mm_unpackhi_epi16(bg, ra));
}

// 8 pairs: 32 source bytes to 16 pixels. The quadword swap on loading puts
// pixels 0-3 and 8-11 in the low half, so the in-half unpacking at the end
// leaves the 16 pixels in order. Streaming stores need a 32-byte aligned output.
template <bool Stream>
__attribute__((target("avx2"))) inline void BlockAvx2(const std::uint8_t* source,
                                                      std::uint32_t* output) {
  // Byte picks per pair lane: both words from U, both from V, U and V swapped.
  const __m256i dupLow = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13));
  const __m256i dupHigh = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15));
  const __m256i swap = _mm256_broadcastsi128_si256(
      _mm_setr_epi8(2, 3, 0, 1, 6, 7, 4, 5, 10, 11, 8, 9, 14, 15, 12, 13));
  const __m256i x =
      _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source)), 0xD8);
  const __m256i y = _mm256_and_si256(x, _mm256_set1_epi16(0x00FF));
  const __m256i d = _mm256_sub_epi16(_mm256_srli_epi16(x, 8), _mm256_set1_epi16(128));
  const __m256i a = _mm256_slli_epi16(d, 2);
  const __m256i negative = _mm256_srai_epi16(d, 15);
  const __m256i rb = _mm256_sub_epi16(_mm256_mulhi_epi16(a, _mm256_set1_epi32(kRB)), negative);
  const __m256i g2 = _mm256_sub_epi16(_mm256_mulhi_epi16(a, _mm256_set1_epi32(kG)), negative);

  const __m256i r = _mm256_add_epi16(y, _mm256_shuffle_epi8(rb, dupHigh));
  const __m256i b = _mm256_add_epi16(y, _mm256_shuffle_epi8(rb, dupLow));
  const __m256i g = _mm256_sub_epi16(_mm256_sub_epi16(y, g2), _mm256_shuffle_epi8(g2, swap));

  const __m256i br = _mm256_packus_epi16(b, r);
  const __m256i ga = _mm256_packus_epi16(g, _mm256_set1_epi16(0xFF));
  const __m256i bg = _mm256_unpacklo_epi8(br, ga);
  const __m256i ra = _mm256_unpackhi_epi8(br, ga);
  const __m256i first = _mm256_unpacklo_epi16(bg, ra);
  const __m256i second = _mm256_unpackhi_epi16(bg, ra);
  if constexpr (Stream) {
    _mm256_stream_si256(reinterpret_cast<__m256i*>(output), first);
    _mm256_stream_si256(reinterpret_cast<__m256i*>(output + 8), second);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(output), first);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(output + 8), second);
  }
}

}  // namespace

// A run that is not a multiple of the block ends with one block overlapping
// the previous one: it rewrites the same values and spares a scalar tail.
void ConvertPairsSse2(const std::uint8_t* source, std::size_t pairs, std::uint32_t* output) {
  if (pairs < 4) {
    ConvertPairsScalar(source, pairs, output);
    return;
  }
  for (std::size_t k = 0; k + 4 <= pairs; k += 4)
    BlockSse2(source + 4 * k, output + 2 * k);
  if (pairs % 4 != 0)
    BlockSse2(source + 4 * (pairs - 4), output + 2 * (pairs - 4));
}

__attribute__((target("avx2"))) void ConvertPairsAvx2(const std::uint8_t* source, std::size_t pairs,
                                                      std::uint32_t* output) {
  if (pairs < 8) {
    ConvertPairsSse2(source, pairs, output);
    return;
  }
  for (std::size_t k = 0; k + 8 <= pairs; k += 8)
    BlockAvx2<false>(source + 4 * k, output + 2 * k);
  if (pairs % 8 != 0)
    BlockAvx2<false>(source + 4 * (pairs - 8), output + 2 * (pairs - 8));
}

// Pairs before the first 32-byte boundary of the output go through the
// tables, whole blocks after it are streamed, the rest takes the ordinary
// kernel. An output that is not 8-byte aligned (every other row of an odd
// width) cannot reach such a boundary at a pair and is stored normally.
__attribute__((target("avx2"))) void ConvertPairsAvx2Stream(const std::uint8_t* source,
                                                            std::size_t pairs,
                                                            std::uint32_t* output) {
  const std::uintptr_t misalignment = reinterpret_cast<std::uintptr_t>(output) % 32;
  const std::size_t head = (32 - misalignment) % 32 / 8;
  if (misalignment % 8 != 0 || pairs < head + 8) {
    ConvertPairsAvx2(source, pairs, output);
    return;
  }
  ConvertPairsScalar(source, head, output);
  std::size_t k = head;
  for (; k + 8 <= pairs; k += 8)
    BlockAvx2<true>(source + 4 * k, output + 2 * k);
  ConvertPairsAvx2(source + 4 * k, pairs - k, output + 2 * k);
  // Streamed lines must be visible before the caller hands the image on.
  _mm_sfence();
}

}  // namespace varnholt::convert

#endif  // __x86_64__
