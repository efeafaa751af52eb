// AVX-512 versions of the row kernels (BW, DQ, VL, VBMI, VBMI2 and BMI2:
// Ice Lake and Zen 4 onwards). The file is compiled for the baseline x86-64
// target; only these functions carry the target attribute, and they are
// called only after the CPU has been asked whether it supports them.
//
// Byte masks make every row length a whole number of vector steps: the last
// step loads and stores only the bytes that belong to the run, so there are
// no scalar tails and nothing past the run is touched.
#include "engine/core/pass_kernels_x86.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVL_HAVE_AVX512_KERNELS 1
#if defined(__GNUC__) && !defined(__clang__)
// GCC 12's AVX-512 headers start some intrinsics from an undefined vector,
// which -Wmaybe-uninitialized (or -Wuninitialized) reports at every call.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <immintrin.h>

#include <cstring>

#include "engine/core/blend_arithmetic.h"
#include "engine/core/mask_redo_flags.h"
#endif

namespace ovl {

#ifdef OVL_HAVE_AVX512_KERNELS
namespace {

#define OVL_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))

// Bits 0 .. n-1 set, n <= 64.
inline std::uint64_t LowBits(std::size_t n) { return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1; }

// Byte b of 48 taken from byte b % 3 (one pixel repeated 16 times).
constexpr std::uint8_t kRepeatPixel[64] = {
    0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2,
    0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Byte b of the 192 bytes of 64 pixels belongs to pixel b / 3.
constexpr std::uint8_t kPixelOfByte[192] = {
    0,  0,  0,  1,  1,  1,  2,  2,  2,  3,  3,  3,  4,  4,  4,  5,  5,  5,  6,  6,  6,  7,  7,  7,
    8,  8,  8,  9,  9,  9,  10, 10, 10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15,
    16, 16, 16, 17, 17, 17, 18, 18, 18, 19, 19, 19, 20, 20, 20, 21, 21, 21, 22, 22, 22, 23, 23, 23,
    24, 24, 24, 25, 25, 25, 26, 26, 26, 27, 27, 27, 28, 28, 28, 29, 29, 29, 30, 30, 30, 31, 31, 31,
    32, 32, 32, 33, 33, 33, 34, 34, 34, 35, 35, 35, 36, 36, 36, 37, 37, 37, 38, 38, 38, 39, 39, 39,
    40, 40, 40, 41, 41, 41, 42, 42, 42, 43, 43, 43, 44, 44, 44, 45, 45, 45, 46, 46, 46, 47, 47, 47,
    48, 48, 48, 49, 49, 49, 50, 50, 50, 51, 51, 51, 52, 52, 52, 53, 53, 53, 54, 54, 54, 55, 55, 55,
    56, 56, 56, 57, 57, 57, 58, 58, 58, 59, 59, 59, 60, 60, 60, 61, 61, 61, 62, 62, 62, 63, 63, 63};

void CopyAvx512(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels) {
  std::memcpy(out, layer, pixels * 3);
}

// Up to sixteen pixels (the bytes in `bytes`, a multiple of 3) loaded in `l`: the bytes
// are compared with the key repeated, a pixel is keyed out when all three of
// its bytes match, and a masked store writes the other pixels' bytes.
OVL_AVX512 inline void ColorKeyStep(std::uint8_t* out, __m512i l, __m512i key, std::uint64_t bytes) {
  const std::uint64_t keyed = KeyedPixelStarts(_cvtmask64_u64(_mm512_cmpeq_epi8_mask(l, key)));
  // keyed * 7 spreads each pixel's start bit over its three bytes.
  _mm512_mask_storeu_epi8(out, _cvtu64_mask64(bytes & ~(keyed * 7)), l);
}

OVL_AVX512 void ColorKeyAvx512(std::uint8_t* out, const std::uint8_t* layer, std::size_t pixels,
                               std::uint32_t colorref) {
  if ((colorref >> 24) != 0) {  // no 24-bit pixel can match: plain copy
    std::memcpy(out, layer, pixels * 3);
    return;
  }
  const std::uint32_t memoryKey = KeyInMemoryOrder(colorref);
  // The key pixel repeated over the first 48 bytes.
  const __m512i key = _mm512_permutexvar_epi8(_mm512_loadu_si512(kRepeatPixel),
                                              _mm512_set1_epi32(static_cast<int>(memoryKey)));
  std::size_t i = 0;
  // Whole 64-byte loads while they stay inside the run (a masked load that
  // misses the cache is far slower); masked loads only for the last pixels.
  for (; 3 * i + 64 <= 3 * pixels; i += 16) {
    ColorKeyStep(out + 3 * i, _mm512_loadu_si512(layer + 3 * i), key, LowBits(48));
  }
  for (; i < pixels; i += 16) {
    const std::uint64_t bytes = LowBits(3 * (pixels - i < 16 ? pixels - i : 16));
    ColorKeyStep(out + 3 * i, _mm512_maskz_loadu_epi8(_cvtu64_mask64(bytes), layer + 3 * i), key, bytes);
  }
}

// Sixteen pixels per step as in ColorKeyStep; stops at the first match.
OVL_AVX512 bool AnyKeyAvx512(const std::uint8_t* layer, std::size_t pixels, std::uint32_t colorref) {
  if ((colorref >> 24) != 0) return false;
  const __m512i key = _mm512_permutexvar_epi8(_mm512_loadu_si512(kRepeatPixel),
                                              _mm512_set1_epi32(static_cast<int>(KeyInMemoryOrder(colorref))));
  auto keyedIn = [](std::uint64_t equal) { return KeyedPixelStarts(equal) != 0; };
  std::size_t i = 0;
  for (; 3 * i + 64 <= 3 * pixels; i += 16) {
    if (keyedIn(_cvtmask64_u64(_mm512_cmpeq_epi8_mask(_mm512_loadu_si512(layer + 3 * i), key)))) return true;
  }
  for (; i < pixels; i += 16) {
    const __mmask64 bytes = _cvtu64_mask64(LowBits(3 * (pixels - i < 16 ? pixels - i : 16)));
    if (keyedIn(_cvtmask64_u64(_mm512_mask_cmpeq_epi8_mask(bytes, _mm512_maskz_loadu_epi8(bytes, layer + 3 * i), key)))) {
      return true;
    }
  }
  return false;
}

// (out * (65536 - B) + layer * B) >> 16 in 16-bit lanes, without widening
// the bytes: even bytes are masked, odd bytes shifted down, and the signed
// step is added back to the bytes with a wrapping add (the sum is a byte).
//  B < 32768:  out + floor((layer - out) * B / 65536)
//  B >= 32768: layer + floor((out - layer) * (65536 - B) / 65536)
// Both weights fit a signed 16-bit multiplier.
template <bool kFromLayer, bool kWhole>
OVL_AVX512 inline void OpacityStep(std::uint8_t* out, const std::uint8_t* layer, __m512i w, __mmask64 k) {
  const __m512i low = _mm512_set1_epi16(0x00FF);
  const __m512i o = _mm512_maskz_loadu_epi8(k, out);
  const __m512i l = _mm512_maskz_loadu_epi8(k, layer);
  const __m512i base = kFromLayer ? l : o;
  const __m512i other = kFromLayer ? o : l;
  const __m512i dEven = _mm512_sub_epi16(_mm512_and_si512(other, low), _mm512_and_si512(base, low));
  const __m512i dOdd = _mm512_sub_epi16(_mm512_srli_epi16(other, 8), _mm512_srli_epi16(base, 8));
  const __m512i stepEven = _mm512_mulhi_epi16(dEven, w);
  const __m512i stepOdd = _mm512_slli_epi16(_mm512_mulhi_epi16(dOdd, w), 8);
  // (stepEven & 0x00FF) | stepOdd, stepOdd's low byte being zero.
  const __m512i step = _mm512_ternarylogic_epi32(stepEven, low, stepOdd, 0xEA);
  const __m512i result = _mm512_add_epi8(base, step);
  if (kWhole) {
    _mm512_storeu_si512(out, result);
  } else {
    _mm512_mask_storeu_epi8(out, k, result);
  }
}

template <bool kFromLayer>
OVL_AVX512 void OpacityRun(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes, short weight) {
  const __m512i w = _mm512_set1_epi16(weight);
  std::size_t i = 0;
  for (; i + 64 <= bytes; i += 64) OpacityStep<kFromLayer, true>(out + i, layer + i, w, _cvtu64_mask64(~0ull));
  if (i < bytes) OpacityStep<kFromLayer, false>(out + i, layer + i, w, _cvtu64_mask64(LowBits(bytes - i)));
}

void OpacityAvx512(std::uint8_t* out, const std::uint8_t* layer, std::size_t bytes, std::uint8_t level) {
  const std::uint32_t weight = OpacityLayerWeight(level);
  if (weight < 32768) {
    OpacityRun<false>(out, layer, bytes, static_cast<short>(weight));
  } else {
    OpacityRun<true>(out, layer, bytes, static_cast<short>(65536 - weight));
  }
}

// Weight pairs for the mask blend. Byte pair j of the low (high) half of
// chunk c is (255 - m, m) of the pixel that owns byte 16 * (j / 8) + j % 8
// (+ 8) of the chunk, the order in which unpacklo (unpackhi) pairs the
// layer and output bytes. Indices below 64 pick from 255 - m, the others
// from m, both indexed by pixel.
struct MaskWeightIndex {
  std::uint8_t half[3][2][64];
};

constexpr MaskWeightIndex MakeMaskWeightIndex() {
  MaskWeightIndex t{};
  for (int c = 0; c < 3; ++c) {
    for (int h = 0; h < 2; ++h) {
      for (int j = 0; j < 32; ++j) {
        const int pixel = (64 * c + 16 * (j / 8) + 8 * h + j % 8) / 3;
        t.half[c][h][2 * j] = static_cast<std::uint8_t>(pixel);
        t.half[c][h][2 * j + 1] = static_cast<std::uint8_t>(64 + pixel);
      }
    }
  }
  return t;
}

constexpr MaskWeightIndex kMaskWeightIndex = MakeMaskWeightIndex();

// The double formula, as written, for eight of the lanes gathered at the
// front of kc, lc, mc (those from 8g on): trunc(layer * (1.0 - w) + out * w)
// with w = m / 255.0. These lanes have N = 255k exactly, k their integer
// result, and m in 1 .. 254, so out = (255k - layer * (255 - m)) / m: every
// step exact in doubles (integers below 2^17, an exact quotient). w is built
// exactly: m / 255 is 0.mmmmmmmm... in base 256, so the 64-bit integer
// m * 0x0101010101010101 holds its first 64 bits and the set low bit stands
// for the (non-zero) rest; converting rounds it to the correctly rounded
// quotient, and scaling by 2^-64 is exact. The eight results are the low 8
// bytes. Unused lanes (zeros) divide by 1, not 0, so that no floating-point
// exception is raised in a host that unmasks them.
OVL_AVX512 inline __m128i MaskGroupInDoubles(__m512i kc, __m512i lc, __m512i mc, int g) {
  const __mmask64 lowByte = _cvtu64_mask64(0x0101010101010101ull);
  // Qword j takes gathered byte 8g + j.
  const __m512i index = _mm512_add_epi8(
      _mm512_set_epi64(0x0707070707070707ll, 0x0606060606060606ll, 0x0505050505050505ll, 0x0404040404040404ll,
                       0x0303030303030303ll, 0x0202020202020202ll, 0x0101010101010101ll, 0x0000000000000000ll),
      _mm512_set1_epi8(static_cast<char>(8 * g)));
  const __m512d kd = _mm512_cvtepu64_pd(_mm512_maskz_permutexvar_epi8(lowByte, index, kc));
  const __m512d ld = _mm512_cvtepu64_pd(_mm512_maskz_permutexvar_epi8(lowByte, index, lc));
  const __m512d md =
      _mm512_max_pd(_mm512_cvtepu64_pd(_mm512_maskz_permutexvar_epi8(lowByte, index, mc)), _mm512_set1_pd(1.0));
  const __m512d od = _mm512_div_pd(
      _mm512_sub_pd(_mm512_mul_pd(kd, _mm512_set1_pd(255.0)), _mm512_mul_pd(ld, _mm512_sub_pd(_mm512_set1_pd(255.0), md))),
      md);
  const __m512i mRepeated = _mm512_or_si512(_mm512_permutexvar_epi8(index, mc), _mm512_set1_epi64(1));
  const __m512d w = _mm512_mul_pd(_mm512_cvtepu64_pd(mRepeated), _mm512_set1_pd(0x1p-64));
  const __m512d sum = _mm512_add_pd(_mm512_mul_pd(ld, _mm512_sub_pd(_mm512_set1_pd(1.0), w)), _mm512_mul_pd(od, w));
  return _mm256_cvtepi32_epi8(_mm512_cvttpd_epu32(sum));
}

// A 256-entry byte table in four vectors; lookups are two 128-entry
// permutes picked by the index's top bit.
struct ByteTable {
  __m512i quarter[4];
};

OVL_AVX512 inline ByteTable LoadByteTable(const std::uint8_t* table) {
  return ByteTable{{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
                    _mm512_loadu_si512(table + 192)}};
}

OVL_AVX512 inline __m512i Lookup(const ByteTable& t, __m512i index) {
  const __m512i low = _mm512_permutex2var_epi8(t.quarter[0], index, t.quarter[1]);
  const __m512i high = _mm512_permutex2var_epi8(t.quarter[2], index, t.quarter[3]);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

constexpr std::uint8_t kIota[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

// One 64-byte chunk (c = 0, 1, 2 of 64 pixels) of a mask run, in 16-bit
// lanes: with the bytes taken as signed (p - 128), maddubs of the weight
// pairs and the (layer, out) pairs gives
//   (255 - m) * (l - 128) + m * (o - 128) = N - 32640,
// N = l * (255 - m) + o * m, never outside a signed 16-bit lane. With
// N = 255k + r (0 <= r < 255), (N + 1) * 257 = 65536k + 257(r + 1) - k, so
// its high half is k = floor(N / 255) and its low half is at most 257
// exactly when r = 0. Only those lanes can differ from the double formula
// (see blend_arithmetic.h), and of them only the ones whose mask value has
// the matching redo flag: those are returned, to be redone after the row's
// integers are stored.
template <bool kWhole>
OVL_AVX512 inline std::uint64_t MaskChunk(std::uint8_t* out, const std::uint8_t* layer, int c, __m512i m,
                                          __m512i mInverse, __m512i flags, __mmask64 k) {
  const __m512i bias = _mm512_set1_epi16(32640 + 1);
  const __m512i w257 = _mm512_set1_epi16(257);
  const __m512i flip = _mm512_set1_epi8(static_cast<char>(0x80));
  const __m512i o = kWhole ? _mm512_loadu_si512(out) : _mm512_maskz_loadu_epi8(k, out);
  const __m512i l = kWhole ? _mm512_loadu_si512(layer) : _mm512_maskz_loadu_epi8(k, layer);
  const __m512i oSigned = _mm512_xor_si512(o, flip);
  const __m512i lSigned = _mm512_xor_si512(l, flip);
  const __m512i wLow = _mm512_permutex2var_epi8(mInverse, _mm512_loadu_si512(kMaskWeightIndex.half[c][0]), m);
  const __m512i wHigh = _mm512_permutex2var_epi8(mInverse, _mm512_loadu_si512(kMaskWeightIndex.half[c][1]), m);
  // N + 1 per lane.
  const __m512i nLow = _mm512_add_epi16(_mm512_maddubs_epi16(wLow, _mm512_unpacklo_epi8(lSigned, oSigned)), bias);
  const __m512i nHigh = _mm512_add_epi16(_mm512_maddubs_epi16(wHigh, _mm512_unpackhi_epi8(lSigned, oSigned)), bias);
  const __m512i q = _mm512_packus_epi16(_mm512_mulhi_epu16(nLow, w257), _mm512_mulhi_epu16(nHigh, w257));
  if (kWhole) {
    _mm512_storeu_si512(out, q);
  } else {
    _mm512_mask_storeu_epi8(out, k, q);
  }
  // The low halves, less 257, saturate to 0 exactly in the lanes with r = 0;
  // packs keeps them 0 and the others non-zero, in the order of q.
  const __m512i inexact = _mm512_packs_epi16(_mm512_subs_epu16(_mm512_mullo_epi16(nLow, w257), w257),
                                             _mm512_subs_epu16(_mm512_mullo_epi16(nHigh, w257), w257));
  // Flag bit 0 for lanes with out == l, bit 1 for the others.
  const __m512i flagBytes = _mm512_permutexvar_epi8(_mm512_loadu_si512(kPixelOfByte + 64 * c), flags);
  const __m512i wanted = _mm512_add_epi8(_mm512_min_epu8(_mm512_xor_si512(o, l), _mm512_set1_epi8(1)),
                                         _mm512_set1_epi8(1));
  return _cvtmask64_u64(_mm512_mask_testn_epi8_mask(k & _mm512_test_epi8_mask(flagBytes, wanted), inexact, inexact));
}

// A step of 64 pixels whose lanes `redo` (one mask per chunk) hold integer
// results the doubles may lower.
struct MaskRedo {
  std::size_t pixel;
  std::uint64_t redo[3];
};

// Bytes idx (0 .. 191) of the 192 bytes in a, b, c.
OVL_AVX512 inline __m512i Pick(__m512i a, __m512i b, __m512i c, __m512i idx) {
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), _mm512_permutex2var_epi8(a, idx, b),
                                _mm512_permutexvar_epi8(idx, c));
}

// Redoes one step's lanes in doubles from the stored integer results, the
// layer and the mask (`pixels` of them left in the run). Up to eight lanes
// (the usual case: about one byte in seventy on random pictures) share one
// group across the step and are stored back one byte each; more go chunk by
// chunk, eight at a time.
OVL_AVX512 void RedoMaskStep(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                             const MaskRedo& step, std::size_t pixels) {
  const std::size_t bytes = pixels < 64 ? 3 * pixels : 192;
  const __m512i m = _mm512_maskz_loadu_epi8(_cvtu64_mask64(LowBits(bytes / 3)), mask);
  __m512i k[3], l[3];
  for (int c = 0; c < 3; ++c) {
    const __mmask64 inRun = _cvtu64_mask64(bytes > 64u * c ? LowBits(bytes - 64 * c) : 0);
    k[c] = _mm512_maskz_loadu_epi8(inRun, out + 64 * c);
    l[c] = _mm512_maskz_loadu_epi8(inRun, layer + 64 * c);
  }
  const std::uint64_t* redo = step.redo;
  const int n0 = static_cast<int>(_mm_popcnt_u64(redo[0]));
  const int n1 = static_cast<int>(_mm_popcnt_u64(redo[1]));
  const int n = n0 + n1 + static_cast<int>(_mm_popcnt_u64(redo[2]));
  if (n <= 8) {
    // Byte positions (0 .. 191) of the lanes; the slots after the last
    // repeat it, so all eight results can be stored. When no two chunks
    // have a lane at the same offset (the usual case) one compress does.
    const __m512i iota = _mm512_loadu_si512(kIota);
    const __m512i iota64 = _mm512_add_epi8(iota, _mm512_set1_epi8(64));
    const __m512i iota128 = _mm512_add_epi8(iota, _mm512_set1_epi8(-128));
    const std::uint64_t any = redo[0] | redo[1] | redo[2];
    __m512i idx;
    if (static_cast<int>(_mm_popcnt_u64(any)) == n) {
      const __m512i position = _mm512_mask_blend_epi8(_cvtu64_mask64(redo[2]),
                                                      _mm512_mask_blend_epi8(_cvtu64_mask64(redo[1]), iota, iota64),
                                                      iota128);
      idx = _mm512_maskz_compress_epi8(_cvtu64_mask64(any), position);
    } else {
      idx = _mm512_maskz_compress_epi8(_cvtu64_mask64(redo[0]), iota);
      idx = _mm512_mask_expand_epi8(idx, _cvtu64_mask64(LowBits(n0 + n1) & ~LowBits(n0)),
                                    _mm512_maskz_compress_epi8(_cvtu64_mask64(redo[1]), iota64));
      idx = _mm512_mask_expand_epi8(idx, _cvtu64_mask64(LowBits(n) & ~LowBits(n0 + n1)),
                                    _mm512_maskz_compress_epi8(_cvtu64_mask64(redo[2]), iota128));
    }
    idx = _mm512_mask_permutexvar_epi8(idx, _cvtu64_mask64(~LowBits(n)), _mm512_set1_epi8(static_cast<char>(n - 1)),
                                       idx);
    const __m512i pixel = Pick(_mm512_loadu_si512(kPixelOfByte), _mm512_loadu_si512(kPixelOfByte + 64),
                               _mm512_loadu_si512(kPixelOfByte + 128), idx);
    const __m128i redone = MaskGroupInDoubles(Pick(k[0], k[1], k[2], idx), Pick(l[0], l[1], l[2], idx),
                                              _mm512_permutexvar_epi8(pixel, m), 0);
    std::uint64_t positions = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm512_castsi512_si128(idx)));
    std::uint64_t results = static_cast<std::uint64_t>(_mm_cvtsi128_si64(redone));
    for (int j = 0; j < 8; ++j, positions >>= 8, results >>= 8) {
      out[positions & 0xFF] = static_cast<std::uint8_t>(results);
    }
    return;
  }
  for (int c = 0; c < 3; ++c) {
    const __mmask64 lanes = _cvtu64_mask64(redo[c]);
    const __m512i mBytes = _mm512_permutexvar_epi8(_mm512_loadu_si512(kPixelOfByte + 64 * c), m);
    const __m512i kc = _mm512_maskz_compress_epi8(lanes, k[c]);
    const __m512i lc = _mm512_maskz_compress_epi8(lanes, l[c]);
    const __m512i mc = _mm512_maskz_compress_epi8(lanes, mBytes);
    __m512i redone = _mm512_setzero_si512();
    for (int g = 0; 8 * g < static_cast<int>(_mm_popcnt_u64(redo[c])); ++g) {
      redone = _mm512_mask_broadcastq_epi64(redone, static_cast<__mmask8>(1u << g), MaskGroupInDoubles(kc, lc, mc, g));
    }
    _mm512_mask_storeu_epi8(out + 64 * c, lanes, _mm512_maskz_expand_epi8(lanes, redone));
  }
}

// Sixty-four pixels (192 bytes, 64 mask values) per step; the last step
// masked. The integer results are stored first and the steps with lanes to
// redo noted, then redone per block of steps, so the stores never wait on
// the long chain of the doubles. This reads back `out`: the layer and mask
// must not share its memory.
OVL_AVX512 void MaskAvx512(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                           std::size_t pixels) {
  constexpr std::size_t kBlockSteps = 16;
  const ByteTable redoFlags = LoadByteTable(RedoFlags().flags);
  const __m512i ones = _mm512_set1_epi8(-1);
  MaskRedo noted[kBlockSteps];
  for (std::size_t block = 0; block < pixels; block += 64 * kBlockSteps) {
    const std::size_t end = pixels - block < 64 * kBlockSteps ? pixels : block + 64 * kBlockSteps;
    std::size_t count = 0;
    for (std::size_t i = block; i < end; i += 64) {
      MaskRedo& step = noted[count];
      step.pixel = i;
      if (i + 64 <= end) {
        const __m512i m = _mm512_loadu_si512(mask + i);
        const __m512i mInverse = _mm512_xor_si512(m, ones);
        const __m512i flags = Lookup(redoFlags, m);
        for (int c = 0; c < 3; ++c) {
          step.redo[c] = MaskChunk<true>(out + 3 * i + 64 * c, layer + 3 * i + 64 * c, c, m, mInverse, flags,
                                         _cvtu64_mask64(~0ull));
        }
      } else {
        const std::size_t bytes = 3 * (end - i);
        const __m512i m = _mm512_maskz_loadu_epi8(_cvtu64_mask64(LowBits(end - i)), mask + i);
        const __m512i mInverse = _mm512_xor_si512(m, ones);
        const __m512i flags = Lookup(redoFlags, m);
        for (int c = 0; c < 3; ++c) {
          step.redo[c] = bytes > 64u * c ? MaskChunk<false>(out + 3 * i + 64 * c, layer + 3 * i + 64 * c, c, m,
                                                            mInverse, flags, _cvtu64_mask64(LowBits(bytes - 64 * c)))
                                         : 0;
        }
      }
      // Kept only when it has lanes to redo, without a branch.
      count += (step.redo[0] | step.redo[1] | step.redo[2]) != 0;
    }
    for (std::size_t j = 0; j < count; ++j) {
      const std::size_t i = noted[j].pixel;
      RedoMaskStep(out + 3 * i, layer + 3 * i, mask + i, noted[j], pixels - i);
    }
  }
}

// Byte b of chunk c (of 64 pixels) is channel (64c + b) % 3 of pixel
// (64c + b) / 3: indices into the channel-0 and channel-1 values (64 + p
// for channel 1), and for channel 2 bytes a separate index and mask.
struct ChannelInterleave {
  std::uint8_t first[3][64];
  std::uint8_t third[3][64];
  std::uint64_t thirdBytes[3];
};

constexpr ChannelInterleave MakeChannelInterleave() {
  ChannelInterleave t{};
  for (int c = 0; c < 3; ++c) {
    for (int b = 0; b < 64; ++b) {
      const int pixel = (64 * c + b) / 3;
      const int channel = (64 * c + b) % 3;
      t.first[c][b] = static_cast<std::uint8_t>(channel == 1 ? 64 + pixel : pixel);
      t.third[c][b] = static_cast<std::uint8_t>(pixel);
      if (channel == 2) t.thirdBytes[c] |= std::uint64_t{1} << b;
    }
  }
  return t;
}

constexpr ChannelInterleave kChannelInterleave = MakeChannelInterleave();

template <bool kWhole>
OVL_AVX512 inline void MaskTableStep(std::uint8_t* out, const ByteTable (&tables)[3], __m512i m, std::size_t bytes) {
  const __m512i channel0 = Lookup(tables[0], m);
  const __m512i channel1 = Lookup(tables[1], m);
  const __m512i channel2 = Lookup(tables[2], m);
  for (int c = 0; c < 3 && (kWhole || 64 * static_cast<std::size_t>(c) < bytes); ++c) {
    const __m512i firstTwo =
        _mm512_permutex2var_epi8(channel0, _mm512_loadu_si512(kChannelInterleave.first[c]), channel1);
    const __m512i all = _mm512_mask_permutexvar_epi8(firstTwo, _cvtu64_mask64(kChannelInterleave.thirdBytes[c]),
                                                     _mm512_loadu_si512(kChannelInterleave.third[c]), channel2);
    if (kWhole) {
      _mm512_storeu_si512(out + 64 * c, all);
    } else {
      _mm512_mask_storeu_epi8(out + 64 * c, _cvtu64_mask64(LowBits(bytes - 64 * c)), all);
    }
  }
}

// Sixty-four pixels per step: each channel's 64 values by lookup, then
// interleaved into the three chunks of 64 bytes.
OVL_AVX512 void MaskTableAvx512(std::uint8_t* out, const MaskOverBlack& table, const std::uint8_t* mask,
                                std::size_t pixels) {
  const ByteTable tables[3] = {LoadByteTable(table.values[0]), LoadByteTable(table.values[1]),
                               LoadByteTable(table.values[2])};
  std::size_t i = 0;
  for (; i + 64 <= pixels; i += 64) MaskTableStep<true>(out + 3 * i, tables, _mm512_loadu_si512(mask + i), 192);
  if (i < pixels) {
    const __m512i m = _mm512_maskz_loadu_epi8(_cvtu64_mask64(LowBits(pixels - i)), mask + i);
    MaskTableStep<false>(out + 3 * i, tables, m, 3 * (pixels - i));
  }
}

const PassKernels kAvx512{"avx512", CopyAvx512, ColorKeyAvx512, AnyKeyAvx512, OpacityAvx512, MaskAvx512, MaskTableAvx512};

}  // namespace

const PassKernels* Avx512PassKernels() {
  const bool supported = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                         __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
                         __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
                         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
  return supported ? &kAvx512 : nullptr;
}

#else

const PassKernels* Avx512PassKernels() { return nullptr; }

#endif

}  // namespace ovl

#if defined(OVL_HAVE_AVX512_KERNELS) && defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
