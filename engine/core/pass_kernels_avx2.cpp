// AVX2 versions of the row kernels. The file is compiled for the baseline
// x86-64 target; only these functions carry the AVX2 target attribute, and
// they are called only after the CPU has been asked whether it supports them.
#include "engine/core/pass_kernels_x86.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVL_HAVE_AVX2_KERNELS 1
#include <immintrin.h>

#include <cstring>

#include "engine/core/blend_arithmetic.h"
#endif

namespace ovl {

#ifdef OVL_HAVE_AVX2_KERNELS
namespace {

#define OVL_AVX2 __attribute__((target("avx2")))

void CopyAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels) {
  std::memcpy(out, layer, pixels * 3);
}

// Eight pixels per step: each 128-bit half takes four pixels (12 bytes) and
// spreads them into 32-bit lanes so a pixel compares as one integer. The
// blend mask is folded back to bytes, the two 12-byte halves are packed
// together and exactly the step's 24 bytes are stored, so the next step's
// loads never overlap a store still in flight (which would stall them).
// A step loads 28 bytes, so it runs while 10 or more pixels remain.
OVL_AVX2 void ColorKeyAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels,
                           std::uint32_t colorref) {
  if ((colorref >> 24) != 0) {  // no 24-bit pixel can match: plain copy
    std::memcpy(out, layer, pixels * 3);
    return;
  }
  const std::uint32_t memoryKey = KeyInMemoryOrder(colorref);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(memoryKey));
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i fold = _mm256_setr_epi8(0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1,
                                        0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1);
  const __m256i pack = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);  // 12 + 12 bytes, then don't-care
  std::size_t i = 0;
  for (; i + 10 <= pixels; i += 8) {
    std::uint8_t* o = out + 3 * i;
    const std::uint8_t* l = layer + 3 * i;
    const __m256i layerBytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 12)), 1);
    const __m256i outBytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(o))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 12)), 1);
    const __m256i keyed = _mm256_cmpeq_epi32(_mm256_shuffle_epi8(layerBytes, spread), key);
    // Bytes of keyed pixels come from the output, all others from the layer.
    const __m256i keepOut = _mm256_shuffle_epi8(keyed, fold);
    const __m256i result = _mm256_permutevar8x32_epi32(_mm256_blendv_epi8(layerBytes, outBytes, keepOut), pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(result));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), _mm256_extracti128_si256(result, 1));
  }
  ScalarPassKernels().colorKey(out + 3 * i, layer + 3 * i, pixels - i, colorref);
}

// Sixteen pixels (48 bytes, one 32- and one 16-byte load) per step: the
// bytes are compared with the key repeated, and a pixel matches when all
// three of its bytes do. Stops at the first match.
OVL_AVX2 bool AnyKeyAvx2(const std::uint8_t* layer, std::size_t pixels, std::uint32_t colorref) {
  if ((colorref >> 24) != 0) return false;
  const std::uint32_t memoryKey = KeyInMemoryOrder(colorref);
  std::uint8_t pattern[48];
  for (int b = 0; b < 48; ++b) pattern[b] = static_cast<std::uint8_t>(memoryKey >> (8 * (b % 3)));
  const __m256i keyLow = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pattern));
  const __m128i keyHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pattern + 32));
  std::size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const std::uint8_t* l = layer + 3 * i;
    const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(l)), keyLow)));
    const auto high = static_cast<std::uint32_t>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 32)), keyHigh)));
    const std::uint64_t equal = low | (std::uint64_t{high} << 32);
    if (KeyedPixelStarts(equal) != 0) return true;
  }
  return ScalarPassKernels().anyKey(layer + 3 * i, pixels - i, colorref);
}

// Exact in 16-bit lanes: (out * (65536 - B) + layer * B) >> 16 equals
//  B < 32768:  out + floor((layer - out) * B / 65536)
//  B >= 32768: layer + floor((out - layer) * (65536 - B) / 65536)
// and both weights fit the signed multiply (mulhi rounds toward -inf).
template <bool kFromLayer>
OVL_AVX2 void OpacityRunAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes,
                             std::uint32_t weight) {
  const __m256i w = _mm256_set1_epi16(static_cast<short>(kFromLayer ? 65536 - weight : weight));
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layer + i));
    const __m256i base = kFromLayer ? l : o;
    const __m256i other = kFromLayer ? o : l;
    const __m256i baseLow = _mm256_unpacklo_epi8(base, zero);
    const __m256i baseHigh = _mm256_unpackhi_epi8(base, zero);
    const __m256i rLow = _mm256_add_epi16(
        baseLow, _mm256_mulhi_epi16(_mm256_sub_epi16(_mm256_unpacklo_epi8(other, zero), baseLow), w));
    const __m256i rHigh = _mm256_add_epi16(
        baseHigh, _mm256_mulhi_epi16(_mm256_sub_epi16(_mm256_unpackhi_epi8(other, zero), baseHigh), w));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(rLow, rHigh));
  }
  for (; i < bytes; ++i) out[i] = OpacityBlend(out[i], layer[i], weight);
}

void OpacityAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes, std::uint8_t level) {
  const std::uint32_t weight = OpacityLayerWeight(level);
  if (weight < 32768) {
    OpacityRunAvx2<false>(out, layer, bytes, weight);
  } else {
    OpacityRunAvx2<true>(out, layer, bytes, weight);
  }
}

// The double formula for all 16 lanes of a group, as written:
// trunc(l * (1.0 - w) + o * w) with w = m / 255.0, four lanes at a time.
OVL_AVX2 __m256i MaskGroupInDoubles(__m256i o16, __m256i l16, __m256i m16) {
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d divisor = _mm256_set1_pd(255.0);
  __m128i packed[4];
  for (int k = 0; k < 4; ++k) {
    const __m128i o8 = k < 2 ? _mm256_castsi256_si128(o16) : _mm256_extracti128_si256(o16, 1);
    const __m128i l8 = k < 2 ? _mm256_castsi256_si128(l16) : _mm256_extracti128_si256(l16, 1);
    const __m128i m8 = k < 2 ? _mm256_castsi256_si128(m16) : _mm256_extracti128_si256(m16, 1);
    const int shift = (k & 1) * 8;  // bytes: words 4..7 of the half
    const __m128i oi = _mm_cvtepu16_epi32(shift ? _mm_srli_si128(o8, 8) : o8);
    const __m128i li = _mm_cvtepu16_epi32(shift ? _mm_srli_si128(l8, 8) : l8);
    const __m128i mi = _mm_cvtepu16_epi32(shift ? _mm_srli_si128(m8, 8) : m8);
    const __m256d w = _mm256_div_pd(_mm256_cvtepi32_pd(mi), divisor);
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(li), _mm256_sub_pd(one, w)),
                                      _mm256_mul_pd(_mm256_cvtepi32_pd(oi), w));
    packed[k] = _mm256_cvttpd_epi32(sum);
  }
  const __m128i low = _mm_packus_epi32(packed[0], packed[1]);
  const __m128i high = _mm_packus_epi32(packed[2], packed[3]);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Sixteen pixels (48 bytes) per step: the 16 mask values are spread to the
// three bytes of their pixels, then each 16-byte group is blended in 16-bit
// lanes as floor(N / 255). Lanes with N a multiple of 255 (and m neither 0
// nor 255, where the integers are exact too) are redone with the double
// formula (see blend_arithmetic.h): one by one when there are a few, the
// whole group in vectors when there are many.
OVL_AVX2 void MaskAvx2(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                       std::size_t pixels) {
  const __m128i spread[3] = {
      _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
      _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
      _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)};
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i reciprocal = _mm256_set1_epi16(static_cast<short>(0x8081));
  const __m128i one = _mm_set1_epi8(1);
  const __m128i notZeroOr255 = _mm_set1_epi8(-2);
  std::size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    std::uint8_t* o = out + 3 * i;
    const std::uint8_t* l = layer + 3 * i;
    for (int g = 0; g < 3; ++g) {
      const __m128i oBytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 16 * g));
      const __m128i mBytes = _mm_shuffle_epi8(m, spread[g]);
      const __m256i o16 = _mm256_cvtepu8_epi16(oBytes);
      const __m256i l16 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 16 * g)));
      const __m256i m16 = _mm256_cvtepu8_epi16(mBytes);
      const __m256i n = _mm256_add_epi16(_mm256_mullo_epi16(l16, _mm256_sub_epi16(full, m16)),
                                         _mm256_mullo_epi16(o16, m16));
      __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(n, reciprocal), 7);
      const __m256i exact = _mm256_cmpeq_epi16(_mm256_mullo_epi16(q, full), n);
      const __m128i exactBytes = _mm_packs_epi16(_mm256_castsi256_si128(exact), _mm256_extracti128_si256(exact, 1));
      const __m128i edge =  // m is 0 or 255
          _mm_cmpeq_epi8(_mm_and_si128(_mm_add_epi8(mBytes, one), notZeroOr255), _mm_setzero_si128());
      unsigned lanes = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(edge, exactBytes)));
      if (__builtin_popcount(lanes) > 4) {
        q = MaskGroupInDoubles(o16, l16, m16);
        lanes = 0;
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * g),
                       _mm_packus_epi16(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1)));
      if (lanes != 0) {
        alignas(16) std::uint8_t before[16], mValues[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(before), oBytes);
        _mm_store_si128(reinterpret_cast<__m128i*>(mValues), mBytes);
        do {
          const int j = __builtin_ctz(lanes);
          o[16 * g + j] = MaskBlendDouble(before[j], l[16 * g + j], mValues[j]);
          lanes &= lanes - 1;
        } while (lanes != 0);
      }
    }
  }
  ScalarPassKernels().mask(out + 3 * i, layer + 3 * i, mask + i, pixels - i);
}

void MaskTableAvx2(std::uint8_t* out, const std::uint8_t* table, const std::uint8_t* mask, std::size_t pixels) {
  ScalarPassKernels().maskTable(out, table, mask, pixels);
}

const PassKernels kAvx2{"avx2", CopyAvx2, ColorKeyAvx2, AnyKeyAvx2, OpacityAvx2, MaskAvx2, MaskTableAvx2};

}  // namespace

const PassKernels* Avx2PassKernels() {
  return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

#else

const PassKernels* Avx2PassKernels() { return nullptr; }

#endif

}  // namespace ovl
