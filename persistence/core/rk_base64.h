#pragma once
// Value encoders: binary blocks become text for the XML store. An encoder
// either fills the caller's output area or, given none, collects its output
// in its own buffer (the CBuffer it derives from). The state lives in the
// object, so consecutive calls continue one text.
#include <cstdint>

#include "persistence/core/rk_buffer.h"

class CRKEncBase : public CBuffer {
 public:
  // Returned by the take operations when there is nothing to take or the
  // destination is too small.
  static constexpr std::uint32_t kTakeFailed = 0xFFFFFFFFu;

  CRKEncBase();

  // Writes what the state still holds (padding, a pending line break).
  virtual std::uint32_t Finish(char* out, std::uint32_t capacity) = 0;
  // Hook before a new text; nothing to do for Base64.
  virtual void Prepare() {}
  // Clears the state fields (not the collected output).
  virtual void Reset();
  // Encodes n bytes; returns the characters produced. out == nullptr: into
  // the own buffer.
  virtual std::uint32_t Encode(const void* in, std::uint32_t n, char* out,
                               std::uint32_t capacity) = 0;
  // Copies the collected output to dest and empties it; kTakeFailed when
  // nothing was collected or dest is smaller (the output is then kept).
  virtual std::uint32_t TakeEncoded(void* dest, std::uint32_t capacity);
  // Decodes n characters; returns the bytes produced.
  virtual std::uint32_t Decode(const char* in, std::uint32_t n, void* out,
                               std::uint32_t capacity) = 0;
  virtual std::uint32_t TakeDecoded(void* dest, std::uint32_t capacity);

  void SetLineLength(std::uint32_t chars) { m_nLineLimit = chars; }  // 0: one line
  void SetCrLf(bool on) { m_bCrLf = on; }
  void SetFinalBreak(bool on) { m_bFinalBreak = on; }
  // Index of the next input byte or character of the last call.
  std::uint32_t InputConsumed() const { return m_nInputPos; }

 protected:
  // Output target of the running call.
  void BeginOutput(void* out, std::uint32_t capacity);
  // Writes one output byte; false when the area is full (or the own buffer
  // cannot grow), and the caller stops there.
  bool Emit(std::uint8_t c);

  std::uint32_t m_nLineLimit;
  bool m_bCrLf;
  bool m_bFinalBreak;
  std::uint32_t m_nState;
  std::uint32_t m_nInputPos;
  std::uint32_t m_nOutCount;
  std::uint32_t m_nLineChars;
  std::uint32_t m_nCarry;

 private:
  std::uint8_t* m_pOut;
  std::uint32_t m_cbOut;
};

class CRKBase64Encoder : public CRKEncBase {
 public:
  std::uint32_t Finish(char* out, std::uint32_t capacity) override;
  std::uint32_t Encode(const void* in, std::uint32_t n, char* out,
                       std::uint32_t capacity) override;
  std::uint32_t Decode(const char* in, std::uint32_t n, void* out,
                       std::uint32_t capacity) override;

  // Exact characters Encode + Finish produce for n bytes under the current
  // line settings, line breaks included.
  std::uint64_t EncodedLength(std::uint64_t n) const;
  // Output area a Decode call of n characters asks for: (n + 3) / 4 * 3.
  static std::uint64_t DecodeCapacity(std::uint64_t n) { return (n + 3) / 4 * 3; }
  // True once decoding met an invalid character.
  bool DecodeFailed() const;

 private:
  // Writes a pending line break (states 4 and 5); false when out of room.
  bool EmitBreak();
  // Writes a group's last character (or pad); a full line goes on to its break.
  bool EndGroup(std::uint8_t last);
};
