// AVX2 versions of the row kernels. The file is compiled for the baseline
// x86-64 target; only these functions carry the AVX2 target attribute, and
// they are called only after the CPU has been asked whether it supports them.
#include "engine/core/pass_kernels_x86.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define OVL_HAVE_AVX2_KERNELS 1
#include <immintrin.h>

#include <cstring>

#include "engine/core/blend_arithmetic.h"
#include "engine/core/mask_redo_flags.h"
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

// Mask runs go 32 pixels (96 bytes, three 32-byte chunks) per step. AVX2
// shuffles stay inside 128-bit lanes, so each chunk takes its mask values
// from a register whose lanes hold the 16 values its bytes need: chunk 0
// from mask[0..15] in both lanes, chunk 1 from mask[0..15] and [16..31],
// chunk 2 from mask[16..31] in both. Byte j of chunk c belongs to pixel
// (32c + j) / 3; these are its indices into that register: for the weight
// pairs of unpacklo (h = 0) and unpackhi (h = 1), and for one byte per lane.
struct MaskChunkIndex {
  std::uint8_t weight[3][2][32];
  std::uint8_t spread[3][32];
};

constexpr MaskChunkIndex MakeMaskChunkIndex() {
  MaskChunkIndex t{};
  for (int c = 0; c < 3; ++c) {
    for (int lane = 0; lane < 2; ++lane) {
      const int sourceFirst = (c == 2 || (c == 1 && lane == 1)) ? 16 : 0;
      for (int j = 0; j < 16; ++j) {
        const int source = (32 * c + 16 * lane + j) / 3 - sourceFirst;
        t.spread[c][16 * lane + j] = static_cast<std::uint8_t>(source);
        // unpacklo pairs lane bytes 0..7 into words 0..7, unpackhi 8..15.
        const int word = j % 8;
        t.weight[c][j / 8][16 * lane + 2 * word] = static_cast<std::uint8_t>(source);
        t.weight[c][j / 8][16 * lane + 2 * word + 1] = static_cast<std::uint8_t>(source);
      }
    }
  }
  return t;
}

constexpr MaskChunkIndex kMaskChunkIndex = MakeMaskChunkIndex();

// The redo flags (mask_redo_flags.h) as two bitmaps, bit m % 8 of byte m / 8:
// a 32-byte table is two 16-entry shuffles picked by bit 7 of m.
struct MaskFlagBits {
  std::uint8_t equal[32];
  std::uint8_t unequal[32];
};

const MaskFlagBits& FlagBits() {
  static const MaskFlagBits bits = [] {
    MaskFlagBits b{};
    const MaskRedoFlags& redo = RedoFlags();
    for (int m = 0; m < 256; ++m) {
      if (redo.flags[m] & MaskRedoFlags::kEqual) b.equal[m / 8] |= static_cast<std::uint8_t>(1u << (m % 8));
      if (redo.flags[m] & MaskRedoFlags::kUnequal) b.unequal[m / 8] |= static_cast<std::uint8_t>(1u << (m % 8));
    }
    return b;
  }();
  return bits;
}

// A chunk whose lanes `lanes` hold integer results the doubles may lower,
// with the bytes that lay beneath (in MaskSteps' `beneath`).
struct MaskRedoNote {
  std::uint32_t byte;  // first byte of the chunk in the run
  std::uint32_t lanes;
};

constexpr std::size_t kMaskBlockSteps = 16;

OVL_AVX2 inline __m256i LoadRepeated(const std::uint8_t* sixteen) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sixteen)));
}

// Per mask value m (32 of them): 2 when lanes with out == layer need the
// redo, 1 when the others do (bits kEqual and kUnequal of the flag table,
// moved to where MaskSteps compares them).
OVL_AVX2 inline __m256i RedoWanted(__m256i m, const MaskFlagBits& bits) {
  const __m256i lowNibble = _mm256_set1_epi8(0x0F);
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i bitOf = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                         1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i byteIndex = _mm256_and_si256(_mm256_srli_epi16(m, 3), lowNibble);  // (m / 8) % 16
  const __m256i bit = _mm256_shuffle_epi8(bitOf, _mm256_and_si256(m, lowNibble));
  const __m256i equal = _mm256_blendv_epi8(_mm256_shuffle_epi8(LoadRepeated(bits.equal), byteIndex),
                                           _mm256_shuffle_epi8(LoadRepeated(bits.equal + 16), byteIndex), m);
  const __m256i unequal = _mm256_blendv_epi8(_mm256_shuffle_epi8(LoadRepeated(bits.unequal), byteIndex),
                                             _mm256_shuffle_epi8(LoadRepeated(bits.unequal + 16), byteIndex), m);
  const __m256i equalTwo = _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_and_si256(equal, bit), bit),
                                            _mm256_set1_epi8(2));
  return _mm256_or_si256(equalTwo, _mm256_min_epu8(_mm256_and_si256(unequal, bit), one));
}

// `steps` steps of 32 pixels: every chunk's integer results are stored at
// once, and a chunk with lanes to redo is noted with the bytes it replaced
// (a store to the next note's slot, kept by advancing the count, without a
// branch). Returns the number of notes.
//
// Per chunk, in 16-bit lanes: with the bytes taken as signed (p - 128),
// maddubs of the weight pairs (255 - m, m) and the (layer, out) pairs gives
//   (255 - m) * (l - 128) + m * (o - 128) = N - 32640,
// N = l * (255 - m) + o * m, never outside a signed 16-bit lane. With
// N = 255k + r (0 <= r < 255), k = floor(N / 255) is the high half of
// (N + 1) * 257, and (N + 1 + k) mod 256 = r + 1 (as N + k = 256k + r), so
// a lane has N a multiple of 255 exactly when that byte is 1. Where
// out == layer it always is (N = 255 * layer); those lanes are redone when
// their mask value has the kEqual flag, the others when it has kUnequal.
OVL_AVX2 std::size_t MaskSteps(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                               std::size_t steps, MaskRedoNote* notes, std::uint8_t (*beneath)[32]) {
  const MaskFlagBits& bits = FlagBits();
  const __m256i flip = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i inverseLow = _mm256_set1_epi16(0x00FF);  // 255 - m in the even (layer) bytes
  const __m256i bias = _mm256_set1_epi16(32640 + 1);
  const __m256i w257 = _mm256_set1_epi16(257);
  const __m256i one = _mm256_set1_epi8(1);
  std::size_t count = 0;
  for (std::size_t s = 0; s < steps; ++s, out += 96, layer += 96, mask += 32) {
    const __m256i sources[3] = {LoadRepeated(mask), _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask)),
                                LoadRepeated(mask + 16)};
    const __m256i wantedMiddle = RedoWanted(sources[1], bits);
    const __m256i wanted[3] = {_mm256_permute2x128_si256(wantedMiddle, wantedMiddle, 0x00), wantedMiddle,
                               _mm256_permute2x128_si256(wantedMiddle, wantedMiddle, 0x11)};
    for (int c = 0; c < 3; ++c) {
      std::uint8_t* o = out + 32 * c;
      const __m256i oBytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o));
      const __m256i lBytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layer + 32 * c));
      const __m256i oSigned = _mm256_xor_si256(oBytes, flip);
      const __m256i lSigned = _mm256_xor_si256(lBytes, flip);
      const __m256i wLow = _mm256_xor_si256(
          _mm256_shuffle_epi8(sources[c], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kMaskChunkIndex.weight[c][0]))),
          inverseLow);
      const __m256i wHigh = _mm256_xor_si256(
          _mm256_shuffle_epi8(sources[c], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kMaskChunkIndex.weight[c][1]))),
          inverseLow);
      // N + 1 per lane.
      const __m256i nLow = _mm256_add_epi16(_mm256_maddubs_epi16(wLow, _mm256_unpacklo_epi8(lSigned, oSigned)), bias);
      const __m256i nHigh = _mm256_add_epi16(_mm256_maddubs_epi16(wHigh, _mm256_unpackhi_epi8(lSigned, oSigned)), bias);
      const __m256i q = _mm256_packus_epi16(_mm256_mulhi_epu16(nLow, w257), _mm256_mulhi_epu16(nHigh, w257));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), q);
      const __m256i nBytes = _mm256_packus_epi16(_mm256_and_si256(nLow, inverseLow), _mm256_and_si256(nHigh, inverseLow));
      const __m256i remainder = _mm256_add_epi8(nBytes, q);  // r + 1
      // Equal lanes (remainder 1) compare 2 with their kEqual bit, the
      // others their remainder with their kUnequal bit.
      const __m256i equal = _mm256_cmpeq_epi8(oBytes, lBytes);
      const __m256i flag = _mm256_and_si256(
          _mm256_shuffle_epi8(wanted[c], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kMaskChunkIndex.spread[c]))),
          _mm256_sub_epi8(one, equal));
      const auto lanes = static_cast<std::uint32_t>(
          _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_sub_epi8(remainder, equal), flag)));
      _mm256_store_si256(reinterpret_cast<__m256i*>(beneath[count]), oBytes);
      notes[count] = MaskRedoNote{static_cast<std::uint32_t>(96 * s + 32 * c), lanes};
      count += lanes != 0;
    }
  }
  return count;
}

// The noted lanes in doubles, exactly as the formula is written.
void RedoMaskLanes(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                   const MaskRedoNote* notes, const std::uint8_t (*beneath)[32], std::size_t count) {
  const MaskDoubleWeights& weights = DoubleWeights();
  for (std::size_t n = 0; n < count; ++n) {
    std::uint32_t lanes = notes[n].lanes;
    do {
      const unsigned j = static_cast<unsigned>(__builtin_ctz(lanes));
      const std::size_t byte = notes[n].byte + j;
      const std::uint8_t m = mask[byte / 3];
      out[byte] = static_cast<std::uint8_t>(
          static_cast<int>(layer[byte] * weights.rest[m] + beneath[n][j] * weights.weight[m]));
      lanes &= lanes - 1;
    } while (lanes != 0);
  }
}

// Blocks of up to 16 steps: the integers first, then the noted lanes while
// the block's bytes are still in the first-level cache, so the stores never
// wait on the long chain of the doubles. The last pixels (fewer than 32) go
// through one step on copies. This reads back `out`: the layer and mask must
// not share its memory.
OVL_AVX2 void MaskAvx2(std::uint8_t* out, const std::uint8_t* layer, const std::uint8_t* mask,
                       std::size_t pixels) {
  MaskRedoNote notes[3 * kMaskBlockSteps];
  alignas(32) std::uint8_t beneath[3 * kMaskBlockSteps][32];
  const std::size_t wholeSteps = pixels / 32;
  for (std::size_t step = 0; step < wholeSteps; step += kMaskBlockSteps) {
    const std::size_t steps = wholeSteps - step < kMaskBlockSteps ? wholeSteps - step : kMaskBlockSteps;
    std::uint8_t* o = out + 96 * step;
    const std::uint8_t* l = layer + 96 * step;
    const std::uint8_t* m = mask + 32 * step;
    RedoMaskLanes(o, l, m, notes, beneath, MaskSteps(o, l, m, steps, notes, beneath));
  }
  const std::size_t done = 32 * wholeSteps;
  if (done < pixels) {
    // Zero bytes past the run: mask 0 never needs a redo.
    alignas(32) std::uint8_t o[96] = {}, l[96] = {}, m[32] = {};
    const std::size_t rest = pixels - done;
    std::memcpy(o, out + 3 * done, 3 * rest);
    std::memcpy(l, layer + 3 * done, 3 * rest);
    std::memcpy(m, mask + done, rest);
    RedoMaskLanes(o, l, m, notes, beneath, MaskSteps(o, l, m, 1, notes, beneath));
    std::memcpy(out + 3 * done, o, 3 * rest);
  }
}

// For the one-colour table: per chunk, the bytes of the chunk's mask
// register (as in MaskChunkIndex) widened into the 16-bit lanes of two
// halves that packus joins back in order (lane bytes 0..7 from the first,
// 8..15 from the second), and the channel of each byte as a bit.
struct TableChunkIndex {
  std::uint8_t widen[3][2][32];
  std::uint8_t channelBit[3][32];
};

constexpr TableChunkIndex MakeTableChunkIndex() {
  TableChunkIndex t{};
  for (int c = 0; c < 3; ++c) {
    for (int lane = 0; lane < 2; ++lane) {
      for (int j = 0; j < 16; ++j) {
        t.widen[c][j / 8][16 * lane + 2 * (j % 8)] = kMaskChunkIndex.spread[c][16 * lane + j];
        t.widen[c][j / 8][16 * lane + 2 * (j % 8) + 1] = 0x80;  // zero high byte
        t.channelBit[c][16 * lane + j] = static_cast<std::uint8_t>(1u << ((32 * c + 16 * lane + j) % 3));
      }
    }
  }
  return t;
}

constexpr TableChunkIndex kTableChunkIndex = MakeTableChunkIndex();

OVL_AVX2 inline __m256i Load32(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Per pixel of 32: bit c set where channel c's table value lies one below
// the integer form (MaskOverBlack::lowered, a 32-byte bitmap per channel
// looked up as two 16-entry shuffles, `halves[c][0]` and `[1]`, picked by
// bit 7 of m).
OVL_AVX2 inline __m256i LoweredChannels(__m256i m, const __m256i (&halves)[3][2]) {
  const __m256i lowNibble = _mm256_set1_epi8(0x0F);
  const __m256i bitOf = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128,
                                         1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i byteIndex = _mm256_and_si256(_mm256_srli_epi16(m, 3), lowNibble);
  const __m256i bit = _mm256_shuffle_epi8(bitOf, _mm256_and_si256(m, lowNibble));
  __m256i code = _mm256_setzero_si256();
  for (int c = 0; c < 3; ++c) {
    const __m256i bits = _mm256_blendv_epi8(_mm256_shuffle_epi8(halves[c][0], byteIndex),
                                            _mm256_shuffle_epi8(halves[c][1], byteIndex), m);
    const __m256i hit = _mm256_cmpeq_epi8(_mm256_and_si256(bits, bit), bit);
    code = _mm256_or_si256(code, _mm256_and_si256(hit, _mm256_set1_epi8(static_cast<char>(1 << c))));
  }
  return code;
}

// 32 pixels per step, computed where the bytes go: per chunk, (255 - m)
// spread into 16-bit lanes times the channel's colour gives
// N = c * (255 - m), floor(N / 255) is the high half of (N + 1) * 257, and
// with kLowered the marked lanes take one less.
template <bool kLowered>
OVL_AVX2 void MaskTableSteps(std::uint8_t* out, const MaskOverBlack& table, const std::uint8_t* mask,
                             std::size_t steps) {
  alignas(32) std::uint16_t words[3][2][16];
  for (int c = 0; c < 3; ++c) {
    for (int h = 0; h < 2; ++h) {
      for (int lane = 0; lane < 2; ++lane) {
        for (int k = 0; k < 8; ++k) words[c][h][8 * lane + k] = table.colour[(32 * c + 16 * lane + 8 * h + k) % 3];
      }
    }
  }
  // Everything the loop reads besides the mask is in registers: its
  // stores could alias the table as far as the compiler knows.
  __m256i colour[3][2], lowered[3][2];
  for (int c = 0; c < 3; ++c) {
    for (int h = 0; h < 2; ++h) {
      colour[c][h] = _mm256_load_si256(reinterpret_cast<const __m256i*>(words[c][h]));
      lowered[c][h] = LoadRepeated(table.lowered[c] + 16 * h);
    }
  }
  const __m256i invert = _mm256_set1_epi8(static_cast<char>(0xFF));
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i w257 = _mm256_set1_epi16(257);
  for (std::size_t s = 0; s < steps; ++s, out += 96, mask += 32) {
    const __m256i m = Load32(mask);
    const __m256i sources[3] = {_mm256_xor_si256(LoadRepeated(mask), invert), _mm256_xor_si256(m, invert),
                                _mm256_xor_si256(LoadRepeated(mask + 16), invert)};
    __m256i codes[3];
    if (kLowered) {
      const __m256i code = LoweredChannels(m, lowered);
      codes[0] = _mm256_permute2x128_si256(code, code, 0x00);
      codes[1] = code;
      codes[2] = _mm256_permute2x128_si256(code, code, 0x11);
    }
    for (int c = 0; c < 3; ++c) {
      const __m256i low = _mm256_shuffle_epi8(sources[c], Load32(kTableChunkIndex.widen[c][0]));
      const __m256i high = _mm256_shuffle_epi8(sources[c], Load32(kTableChunkIndex.widen[c][1]));
      const __m256i nLow = _mm256_add_epi16(_mm256_mullo_epi16(low, colour[c][0]), one);
      const __m256i nHigh = _mm256_add_epi16(_mm256_mullo_epi16(high, colour[c][1]), one);
      __m256i q = _mm256_packus_epi16(_mm256_mulhi_epu16(nLow, w257), _mm256_mulhi_epu16(nHigh, w257));
      if (kLowered) {
        const __m256i channelBit = Load32(kTableChunkIndex.channelBit[c]);
        const __m256i codeBytes = _mm256_shuffle_epi8(codes[c], Load32(kMaskChunkIndex.spread[c]));
        q = _mm256_add_epi8(q, _mm256_cmpeq_epi8(_mm256_and_si256(codeBytes, channelBit), channelBit));
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * c), q);
    }
  }
}

OVL_AVX2 void MaskTableAvx2(std::uint8_t* out, const MaskOverBlack& table, const std::uint8_t* mask,
                            std::size_t pixels) {
  const std::size_t steps = pixels / 32;
  if (table.anyLowered) {
    MaskTableSteps<true>(out, table, mask, steps);
  } else {
    MaskTableSteps<false>(out, table, mask, steps);
  }
  ScalarPassKernels().maskTable(out + 96 * steps, table, mask + 32 * steps, pixels - 32 * steps);
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
