// AVX2 versions of the row kernels. The file is compiled for the baseline
// x86-64 target; only these functions carry the AVX2 target attribute, and
// they are called only after the CPU has been asked whether it supports them.
#include "engine/pass_kernels_x86.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVL_HAVE_AVX2_KERNELS 1
#include <immintrin.h>

#include <cstring>

#include "engine/blend_arithmetic.h"
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
// blend mask is folded back to bytes with the four bytes after each group
// marked "keep", so the 16-byte stores rewrite those bytes with their own
// values. A step touches 28 bytes, so it runs while 10 or more pixels remain.
OVL_AVX2 void ColorKeyAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels,
                           std::uint32_t colorref) {
  if ((colorref >> 24) != 0) {  // no 24-bit pixel can match: plain copy
    std::memcpy(out, layer, pixels * 3);
    return;
  }
  // Memory order of a pixel is blue, green, red: as a little-endian integer
  // that is red in bits 16..23, the byte-swapped COLORREF.
  const std::uint32_t memoryKey =
      ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(memoryKey));
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i fold = _mm256_setr_epi8(0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1,
                                        0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1);
  const __m256i ones = _mm256_set1_epi32(-1);
  std::size_t i = 0;
  for (; i + 10 <= pixels; i += 8) {
    std::uint8_t* o = out + 3 * i;
    const std::uint8_t* l = layer + 3 * i;
    const __m256i layerBytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 12)), 1);
    const __m128i outLow = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o));
    const __m128i outHigh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 12));
    const __m256i outBytes = _mm256_inserti128_si256(_mm256_castsi128_si256(outLow), outHigh, 1);
    const __m256i pixelsAsInts = _mm256_shuffle_epi8(layerBytes, spread);
    const __m256i takeLayer =
        _mm256_xor_si256(_mm256_cmpeq_epi32(pixelsAsInts, key), ones);  // not keyed out
    const __m256i byteMask = _mm256_shuffle_epi8(takeLayer, fold);
    const __m256i result = _mm256_blendv_epi8(outBytes, layerBytes, byteMask);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(result));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_extracti128_si256(result, 1));
  }
  ScalarPassKernels().colorKey(out + 3 * i, layer + 3 * i, pixels - i, colorref);
}

// Exact in 16-bit lanes: with d = layer - out and B the layer weight,
// (out * (65536 - B) + layer * B) >> 16 = out + floor(d * B / 65536).
// mulhi_epi16 is signed, so B >= 32768 is applied as B - 65536 plus d.
OVL_AVX2 void OpacityAvx2(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes,
                          std::uint8_t level) {
  const std::uint32_t weight = OpacityLayerWeight(level);
  const __m256i signedWeight = _mm256_set1_epi16(static_cast<short>(weight & 0xFFFF));
  const __m256i addDelta = _mm256_set1_epi16(weight >= 32768 ? -1 : 0);
  const __m256i zero = _mm256_setzero_si256();
  std::size_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(out + i));
    const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layer + i));
    const __m256i oLow = _mm256_unpacklo_epi8(o, zero);
    const __m256i oHigh = _mm256_unpackhi_epi8(o, zero);
    const __m256i dLow = _mm256_sub_epi16(_mm256_unpacklo_epi8(l, zero), oLow);
    const __m256i dHigh = _mm256_sub_epi16(_mm256_unpackhi_epi8(l, zero), oHigh);
    const __m256i rLow = _mm256_add_epi16(
        oLow, _mm256_add_epi16(_mm256_mulhi_epi16(dLow, signedWeight),
                               _mm256_and_si256(dLow, addDelta)));
    const __m256i rHigh = _mm256_add_epi16(
        oHigh, _mm256_add_epi16(_mm256_mulhi_epi16(dHigh, signedWeight),
                                _mm256_and_si256(dHigh, addDelta)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(rLow, rHigh));
  }
  for (; i < bytes; ++i) out[i] = OpacityBlend(out[i], layer[i], weight);
}

// Double evaluation of 16 lanes, exactly as the scalar formula: used for a
// group of bytes in which some lane's numerator is a multiple of 255.
OVL_AVX2 __m256i MaskGroupInDoubles(__m256i o16, __m256i l16, __m256i m16) {
  alignas(32) std::uint16_t o[16], l[16], m[16], r[16];
  _mm256_store_si256(reinterpret_cast<__m256i*>(o), o16);
  _mm256_store_si256(reinterpret_cast<__m256i*>(l), l16);
  _mm256_store_si256(reinterpret_cast<__m256i*>(m), m16);
  const __m256d one = _mm256_set1_pd(1.0);
  const __m256d divisor = _mm256_set1_pd(255.0);
  for (int k = 0; k < 16; k += 4) {
    const __m128i oi = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(o + k)));
    const __m128i li = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(l + k)));
    const __m128i mi = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + k)));
    const __m256d w = _mm256_div_pd(_mm256_cvtepi32_pd(mi), divisor);
    const __m256d sum = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(li), _mm256_sub_pd(one, w)),
                                      _mm256_mul_pd(_mm256_cvtepi32_pd(oi), w));
    const __m128i t = _mm256_cvttpd_epi32(sum);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + k), _mm_packus_epi32(t, t));
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(r));
}

// Sixteen pixels (48 bytes) per step: the 16 mask values are spread to the
// three bytes of their pixels, then each 16-byte group is blended in 16-bit
// lanes as floor(N / 255); groups holding a lane with N a multiple of 255 are
// redone in doubles (see blend_arithmetic.h).
OVL_AVX2 void MaskAvx2(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                       std::size_t pixels) {
  const __m128i spread[3] = {
      _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5),
      _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10),
      _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15)};
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i reciprocal = _mm256_set1_epi16(static_cast<short>(0x8081));
  std::size_t i = 0;
  for (; i + 16 <= pixels; i += 16) {
    const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
    std::uint8_t* o = out + 3 * i;
    const std::uint8_t* l = layer + 3 * i;
    for (int g = 0; g < 3; ++g) {
      const __m256i o16 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(o + 16 * g)));
      const __m256i l16 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l + 16 * g)));
      const __m256i m16 = _mm256_cvtepu8_epi16(_mm_shuffle_epi8(m, spread[g]));
      const __m256i n = _mm256_add_epi16(_mm256_mullo_epi16(l16, _mm256_sub_epi16(full, m16)),
                                         _mm256_mullo_epi16(o16, m16));
      __m256i q = _mm256_srli_epi16(_mm256_mulhi_epu16(n, reciprocal), 7);
      const __m256i exact = _mm256_cmpeq_epi16(_mm256_mullo_epi16(q, full), n);
      if (!_mm256_testz_si256(exact, exact)) q = MaskGroupInDoubles(o16, l16, m16);
      const __m128i packed = _mm_packus_epi16(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 16 * g), packed);
    }
  }
  ScalarPassKernels().mask(out + 3 * i, layer + 3 * i, mask + i, pixels - i);
}

const PassKernels kAvx2{"avx2", CopyAvx2, ColorKeyAvx2, OpacityAvx2, MaskAvx2};

}  // namespace

const PassKernels* Avx2PassKernels() {
  return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

#else

const PassKernels* Avx2PassKernels() { return nullptr; }

#endif

}  // namespace ovl
