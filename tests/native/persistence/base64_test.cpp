// Base64 text of binary blocks: RFC 4648 alphabet, 72-character lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "persistence/rk_base64.h"

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
  const std::uint32_t n = dec.Decode(text.data(), static_cast<std::uint32_t>(text.size()), &out[0],
                                     static_cast<std::uint32_t>(out.size()));
  out.resize(n);
  return out;
}

std::string Bytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(Base64, KnownVectorsWithPadding) {
  EXPECT_EQ("YWJj", Encode("abc"));
  EXPECT_EQ("YWI=", Encode("ab"));
  EXPECT_EQ("YQ==", Encode("a"));
  EXPECT_EQ("", Encode(""));
  EXPECT_EQ("Zm9vYmFy", Encode("foobar"));
  EXPECT_EQ(std::string("\xfb\xff", 2), Decode("+/8="));
  EXPECT_EQ("+/8=", Encode(std::string("\xfb\xff", 2)));
}

TEST(Base64, LinesHold72CharactersAndEndWithLfOnlyWhenFull) {
  const std::string full = Encode(Bytes(54, 1));
  ASSERT_EQ(73u, full.size());
  EXPECT_EQ('\n', full[72]);
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

TEST(Base64, EncodedLengthIsExactForEveryLineStyle) {
  for (int style = 0; style < 4; ++style) {
    for (size_t n = 0; n <= 400; ++n) {
      CRKBase64Encoder enc;
      enc.SetCrLf(style & 1);
      enc.SetFinalBreak(style & 2);
      const std::string text = EncodeAll(enc, Bytes(n, static_cast<unsigned>(n)));
      ASSERT_EQ(enc.EncodedLength(n), text.size()) << "n=" << n << " style=" << style;
      for (size_t i = 0; (style & 1) && i < text.size(); ++i) {
        if (text[i] == '\n') {
          ASSERT_EQ('\r', text[i - 1]);
        }
      }
      ASSERT_EQ(Bytes(n, static_cast<unsigned>(n)), Decode(text));
    }
  }
}

TEST(Base64, DecodingSkipsBlanksAndLineBreaks) {
  const std::string bytes = Bytes(200, 3);
  CRKBase64Encoder crlf;
  crlf.SetCrLf(true);
  const std::string text = EncodeAll(crlf, bytes);
  ASSERT_NE(std::string::npos, text.find("\r\n"));
  EXPECT_EQ(bytes, Decode(text));
  EXPECT_EQ("abcdef", Decode(" YWJj\tZG\r\nVm \f"));
}

TEST(Base64, DecodingStopsAtPadOrBadCharacter) {
  EXPECT_EQ("ab", Decode("YWI=YWJj"));
  EXPECT_EQ("abc", Decode("YWJj*ZGVm"));
  EXPECT_EQ("abc", Decode("YWJj\vZGVm")) << "vertical tab is not a blank";
  EXPECT_EQ("abc", Decode("YWJj\xc3ZGVm"));

  CRKBase64Encoder dec;
  char out[16];
  EXPECT_EQ(3u, dec.Decode("YWJj!ZGVm", 9, out, sizeof out));
  EXPECT_TRUE(dec.DecodeFailed());
  EXPECT_EQ(0u, dec.Decode("ZGVm", 4, out, sizeof out)) << "stays stopped until Reset";
  dec.Reset();
  EXPECT_EQ(3u, dec.Decode("ZGVm", 4, out, sizeof out));
  EXPECT_FALSE(dec.DecodeFailed());
}

TEST(Base64, TooSmallOutputAreaDecodesNothing) {
  CRKBase64Encoder dec;
  char out[8] = {'x'};
  EXPECT_EQ(0u, dec.Decode("YWJjZGVm", 8, out, 5));  // needs (8 + 3) / 4 * 3 = 6
  EXPECT_EQ('x', out[0]);
  EXPECT_EQ(6u, dec.Decode("YWJjZGVm", 8, out, 6));
}

TEST(Base64, CallsContinueOneTextAndStopAtAFullArea) {
  const std::string bytes = Bytes(130, 4);
  const std::string whole = Encode(bytes);

  CRKBase64Encoder enc;  // byte by byte
  std::string pieces;
  char out[8];
  for (char c : bytes) pieces.append(out, enc.Encode(&c, 1, out, sizeof out));
  pieces.append(out, enc.Finish(out, sizeof out));
  EXPECT_EQ(whole, pieces);

  CRKBase64Encoder small;  // an area of 5 characters at a time
  std::string rounds;
  std::uint32_t done = 0;
  while (done < bytes.size()) {
    rounds.append(out, small.Encode(bytes.data() + done, static_cast<std::uint32_t>(bytes.size() - done), out, 5));
    done += small.InputConsumed();
  }
  for (std::uint32_t n; (n = small.Finish(out, 3)) != 0;) rounds.append(out, n);
  EXPECT_EQ(whole, rounds);
}

TEST(Base64, OwnBufferCollectsOutputUntilTaken) {
  const std::string bytes = Bytes(5000, 5);  // several growth steps
  CRKBase64Encoder enc;
  const std::uint32_t n = enc.Encode(bytes.data(), static_cast<std::uint32_t>(bytes.size()), nullptr, 0);
  const std::uint32_t tail = enc.Finish(nullptr, 0);
  EXPECT_EQ(enc.EncodedLength(bytes.size()), n + tail);

  std::string text(n + tail, '\0');
  EXPECT_EQ(CRKEncBase::kTakeFailed, enc.TakeEncoded(&text[0], n + tail - 1)) << "too small";
  EXPECT_EQ(n + tail, enc.TakeEncoded(&text[0], n + tail));
  EXPECT_EQ(Encode(bytes), text);
  EXPECT_EQ(CRKEncBase::kTakeFailed, enc.TakeEncoded(&text[0], n + tail)) << "emptied";

  CRKBase64Encoder dec;
  const std::uint32_t got = dec.Decode(text.data(), static_cast<std::uint32_t>(text.size()), nullptr, 0);
  ASSERT_EQ(bytes.size(), got);
  std::string back(got, '\0');
  EXPECT_EQ(got, dec.TakeDecoded(&back[0], got));
  EXPECT_EQ(bytes, back);
}

}  // namespace
