// Base64 text of binary blocks: RFC 4648 alphabet, 72-character lines.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "persistence/core/rk_base64.h"

namespace {

std::string EncodeAll(CRKBase64Encoder& enc, const std::string& bytes) {
  std::string out(enc.EncodedLength(bytes.size()) + 8, '#');
  const auto cap = static_cast<std::uint32_t>(out.size());
  std::uint32_t n = enc.Encode(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &out[0], cap);
  n += enc.Finish(&out[n], cap - n);
  out.resize(n);
  return out;
}

std::string Encode(const std::string& bytes) {
  CRKBase64Encoder enc;
  return EncodeAll(enc, bytes);
}

std::string Decode(const std::string& text) {
  CRKBase64Encoder dec;
  std::string out(CRKBase64Encoder::DecodeCapacity(text.size()), '\0');
  out.resize(dec.Decode(text.data(), static_cast<std::uint32_t>(text.size()), &out[0], static_cast<std::uint32_t>(out.size())));
  return out;
}

std::string Bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(Base64, KnownVectorsWithPadding) {
  for (const auto& [bytes, text] : {std::pair<std::string, std::string>{"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="},
                                    {"", ""}, {"foobar", "Zm9vYmFy"}, {std::string("\xfb\xff", 2), "+/8="}}) {
    EXPECT_EQ(text, Encode(bytes));
    EXPECT_EQ(bytes, Decode(text));
  }
}

// 54 bytes fill one line of 72 characters, which ends with LF; the last line
// is shorter and ends without one.
TEST(Base64, LinesHold72CharactersAndEndWithLfOnlyWhenFull) {
  const std::string full = Encode(Bytes(54, 1));
  ASSERT_EQ(73u, full.size());
  EXPECT_EQ(72u, full.find('\n'));
  const std::string more = Encode(Bytes(55, 1));
  ASSERT_EQ(72u + 1 + 4, more.size());
  EXPECT_EQ(full, more.substr(0, 73));
  EXPECT_EQ("==", more.substr(75));

  const std::string text = Encode(Bytes(1000, 2));
  size_t start = 0;
  for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    EXPECT_EQ(72u, lf - start);
    start = lf + 1;
  }
  EXPECT_GT(text.size() - start, 0u);
  EXPECT_LT(text.size() - start, 72u);
}

TEST(Base64, EncodedLengthIsExactForEveryLineStyleAndDecodesBack) {
  for (int style = 0; style < 4; ++style) {
    for (size_t n = 0; n <= 400; ++n) {
      CRKBase64Encoder enc;
      enc.SetCrLf(style & 1);
      enc.SetFinalBreak(style & 2);
      const std::string text = EncodeAll(enc, Bytes(n, static_cast<unsigned>(n)));
      ASSERT_EQ(enc.EncodedLength(n), text.size()) << "n=" << n << " style=" << style;
      for (size_t i = 1; (style & 1) && i < text.size(); ++i) {
        if (text[i] == '\n') {
          ASSERT_EQ('\r', text[i - 1]);
        }
      }
      ASSERT_EQ(Bytes(n, static_cast<unsigned>(n)), Decode(text));  // blanks and line breaks are skipped
    }
  }
  EXPECT_EQ("abcdef", Decode(" YWJj\tZG\r\nVm \f"));
}

TEST(Base64, DecodingStopsAtPadOrBadCharacterAndNeedsItsWholeArea) {
  EXPECT_EQ("ab", Decode("YWI=YWJj"));
  EXPECT_EQ("abc", Decode("YWJj*ZGVm"));
  EXPECT_EQ("abc", Decode("YWJj\vZGVm")) << "vertical tab is not a blank";
  EXPECT_EQ("abc", Decode("YWJj\xc3ZGVm"));

  CRKBase64Encoder dec;
  char out[16] = {'x'};
  EXPECT_EQ(0u, dec.Decode("YWJjZGVm", 8, out, 5));  // needs (8 + 3) / 4 * 3 = 6
  EXPECT_EQ('x', out[0]);
  EXPECT_EQ(3u, dec.Decode("YWJj!ZGVm", 9, out, sizeof out));
  EXPECT_TRUE(dec.DecodeFailed());
  EXPECT_EQ(0u, dec.Decode("ZGVm", 4, out, sizeof out)) << "stays stopped until Reset";
  dec.Reset();
  EXPECT_EQ(3u, dec.Decode("ZGVm", 4, out, sizeof out));
  EXPECT_FALSE(dec.DecodeFailed());
}

// Byte by byte, in areas of a few characters, or into the encoder's own
// buffer: the same text.
TEST(Base64, CallsContinueOneTextWhateverTheAreas) {
  const std::string bytes = Bytes(130, 4), whole = Encode(bytes);
  CRKBase64Encoder single;
  std::string pieces;
  char out[8];
  for (char c : bytes) pieces.append(out, single.Encode(&c, 1, out, sizeof out));
  pieces.append(out, single.Finish(out, sizeof out));
  EXPECT_EQ(whole, pieces);

  CRKBase64Encoder small;
  std::string rounds;
  for (std::uint32_t done = 0; done < bytes.size(); done += small.InputConsumed())
    rounds.append(out, small.Encode(bytes.data() + done, static_cast<std::uint32_t>(bytes.size() - done), out, 5));
  for (std::uint32_t n; (n = small.Finish(out, 3)) != 0;) rounds.append(out, n);
  EXPECT_EQ(whole, rounds);

  const std::string big = Bytes(5000, 5);  // several growth steps
  CRKBase64Encoder own;
  std::uint32_t n = own.Encode(big.data(), static_cast<std::uint32_t>(big.size()), nullptr, 0);
  n += own.Finish(nullptr, 0);
  EXPECT_EQ(own.EncodedLength(big.size()), n);
  std::string text(n, '\0');
  EXPECT_EQ(CRKEncBase::kTakeFailed, own.TakeEncoded(&text[0], n - 1)) << "too small";
  EXPECT_EQ(n, own.TakeEncoded(&text[0], n));
  EXPECT_EQ(Encode(big), text);
  EXPECT_EQ(CRKEncBase::kTakeFailed, own.TakeEncoded(&text[0], n)) << "emptied";
  CRKBase64Encoder dec;
  std::string back(dec.Decode(text.data(), static_cast<std::uint32_t>(text.size()), nullptr, 0), '\0');
  EXPECT_EQ(back.size(), dec.TakeDecoded(&back[0], static_cast<std::uint32_t>(back.size())));
  EXPECT_EQ(big, back);
}

}  // namespace
