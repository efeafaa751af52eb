#include "persistence/core/rk_base64.h"

#include <cstring>
#include <initializer_list>

namespace {

// Encoder states 0 to 2 wait for byte 0 to 2 of a group; 3 writes the last
// character of a complete group; 4 and 5 write a pending line break (CR, LF);
// 6 and 7 write the two, resp. one, pad characters left at the end.
// Decoder states 0 to 3 count the sextets held; then the two end states.
enum : std::uint32_t {
  kGroupEnd = 3,
  kBreakCr = 4,
  kBreakLf = 5,
  kPadTwo = 6,
  kPadOne = 7,
  kDecodeDone = 100,   // "=" seen
  kDecodeError = 101,  // a character outside the alphabet
};

constexpr std::uint32_t kGrowStep = 1240;

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

enum : signed char { kInvalid = -1, kSkip = -2, kPad = -3 };

struct DecodeTable {
  signed char value[256];
  DecodeTable() {
    for (signed char& v : value) v = kInvalid;
    for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    for (unsigned char c : {'\t', '\n', '\f', '\r', ' '}) value[c] = kSkip;
    value[static_cast<unsigned char>('=')] = kPad;
  }
};
const DecodeTable kDecode;

}  // namespace

CRKEncBase::CRKEncBase()
    : m_nLineLimit(72), m_bCrLf(false), m_bFinalBreak(false), m_nState(0), m_nInputPos(0),
      m_nOutCount(0), m_nLineChars(0), m_nCarry(0), m_pOut(nullptr), m_cbOut(0) {}

void CRKEncBase::Reset() {
  m_nState = 0;
  m_nInputPos = 0;
  m_nOutCount = 0;
  m_nLineChars = 0;
  m_nCarry = 0;
}

void CRKEncBase::BeginOutput(void* out, std::uint32_t capacity) {
  m_pOut = static_cast<std::uint8_t*>(out);
  m_cbOut = out != nullptr ? capacity : 0;
  m_nOutCount = 0;
}

bool CRKEncBase::Emit(std::uint8_t c) {
  if (m_pOut != nullptr) {
    if (m_nOutCount >= m_cbOut) return false;
    m_pOut[m_nOutCount++] = c;
    return true;
  }
  if (m_cbLength == m_cbCapacity) {
    if (m_cbCapacity > 0xFFFFFFFFu - kGrowStep || !Reserve(m_cbCapacity + kGrowStep)) return false;
  }
  m_pData[m_cbLength++] = c;
  ++m_nOutCount;
  return true;
}

std::uint32_t CRKEncBase::TakeEncoded(void* dest, std::uint32_t capacity) {
  if (dest == nullptr || m_cbLength == 0 || capacity < m_cbLength) return kTakeFailed;
  const std::uint32_t n = m_cbLength;
  std::memcpy(dest, m_pData, n);
  m_cbLength = 0;
  Reset();
  return n;
}

std::uint32_t CRKEncBase::TakeDecoded(void* dest, std::uint32_t capacity) {
  return TakeEncoded(dest, capacity);
}

bool CRKBase64Encoder::EmitBreak() {
  if (m_nState == kBreakCr) {
    if (!m_bCrLf) {
      m_nState = kBreakLf;
    } else {
      if (!Emit('\r')) return false;
      m_nState = kBreakLf;
    }
  }
  if (!Emit('\n')) return false;
  m_nLineChars = 0;
  m_nState = 0;
  return true;
}

bool CRKBase64Encoder::EndGroup(std::uint8_t last) {
  if (!Emit(last)) return false;
  m_nLineChars += 4;
  m_nState = (m_nLineLimit != 0 && m_nLineChars >= m_nLineLimit) ? std::uint32_t{kBreakCr} : 0u;
  return true;
}

std::uint32_t CRKBase64Encoder::Encode(const void* in, std::uint32_t n, char* out,
                                       std::uint32_t capacity) {
  BeginOutput(out, capacity);
  m_nInputPos = 0;
  const std::uint8_t* bytes = static_cast<const std::uint8_t*>(in);
  if (bytes == nullptr) n = 0;
  for (;;) {
    switch (m_nState) {
      case 0:
      case 1:
      case 2: {
        // Byte k of a group completes sextet k: its high bits after the
        // previous byte's remaining low bits.
        if (m_nInputPos == n) return m_nOutCount;
        const std::uint8_t b = bytes[m_nInputPos];
        const std::uint32_t k = m_nState;
        const std::uint32_t held = k == 0 ? 0 : (m_nCarry & ((1u << (2 * k)) - 1)) << (6 - 2 * k);
        if (!Emit(kAlphabet[held + (b >> (2 * k + 2))])) return m_nOutCount;
        m_nCarry = b;
        ++m_nInputPos;
        m_nState = k + 1;  // after byte 2: kGroupEnd
        break;
      }
      case kGroupEnd:
        if (!EndGroup(kAlphabet[m_nCarry & 63])) return m_nOutCount;
        break;
      case kBreakCr:
      case kBreakLf:
        if (!EmitBreak()) return m_nOutCount;
        break;
      default:  // padding already started: the text is finished
        return m_nOutCount;
    }
  }
}

std::uint32_t CRKBase64Encoder::Finish(char* out, std::uint32_t capacity) {
  BeginOutput(out, capacity);
  for (;;) {
    switch (m_nState) {
      case 0:
        if (m_bFinalBreak && m_nLineChars > 0) {
          m_nState = kBreakCr;
          break;
        }
        return m_nOutCount;
      case 1:
        if (!Emit(kAlphabet[(m_nCarry & 3) << 4])) return m_nOutCount;
        m_nState = kPadTwo;
        break;
      case 2:
        if (!Emit(kAlphabet[(m_nCarry & 15) << 2])) return m_nOutCount;
        m_nState = kPadOne;
        break;
      case kPadTwo:
        if (!Emit('=')) return m_nOutCount;
        m_nState = kPadOne;
        break;
      case kGroupEnd:
      case kPadOne:
        if (!EndGroup(m_nState == kGroupEnd ? kAlphabet[m_nCarry & 63] : '=')) return m_nOutCount;
        break;
      case kBreakCr:
      case kBreakLf:
        if (!EmitBreak()) return m_nOutCount;
        break;
      default:
        return m_nOutCount;
    }
  }
}

std::uint32_t CRKBase64Encoder::Decode(const char* in, std::uint32_t n, void* out,
                                       std::uint32_t capacity) {
  if (out != nullptr && capacity < DecodeCapacity(n)) return 0;
  BeginOutput(out, capacity);
  m_nInputPos = 0;
  if (in == nullptr) n = 0;
  while (m_nInputPos < n && m_nState < 4) {
    const signed char v = kDecode.value[static_cast<unsigned char>(in[m_nInputPos])];
    if (v == kSkip) {
      ++m_nInputPos;
      continue;
    }
    if (v == kPad || v == kInvalid) {
      m_nState = v == kPad ? kDecodeDone : kDecodeError;
      ++m_nInputPos;
      break;
    }
    const std::uint32_t s = static_cast<std::uint32_t>(v);
    switch (m_nState) {
      case 0:
        break;
      case 1:
        if (!Emit(static_cast<std::uint8_t>((m_nCarry << 2) + (s >> 4)))) return m_nOutCount;
        break;
      case 2:
        if (!Emit(static_cast<std::uint8_t>(((m_nCarry << 4) + (s >> 2)) & 255))) return m_nOutCount;
        break;
      default:
        if (!Emit(static_cast<std::uint8_t>(((m_nCarry << 6) & 255) + s))) return m_nOutCount;
        break;
    }
    m_nCarry = s;
    m_nState = (m_nState + 1) & 3;
    ++m_nInputPos;
  }
  return m_nOutCount;
}

bool CRKBase64Encoder::DecodeFailed() const { return m_nState == kDecodeError; }

std::uint64_t CRKBase64Encoder::EncodedLength(std::uint64_t n) const {
  const std::uint64_t groups = (n + 2) / 3;
  std::uint64_t breaks = 0;
  bool lastLineOpen = groups != 0;
  if (m_nLineLimit != 0) {
    const std::uint64_t perLine = (m_nLineLimit + 3) / 4;
    breaks = groups / perLine;
    lastLineOpen = groups % perLine != 0;
  }
  if (m_bFinalBreak && lastLineOpen) ++breaks;
  return groups * 4 + breaks * (m_bCrLf ? 2 : 1);
}
