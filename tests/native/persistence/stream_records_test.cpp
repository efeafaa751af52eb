// The stream store's record format read from damaged and hostile data: a
// read never passes the end of its source and never fills a field past its
// capacity.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "persistence/core/rk_stream_records.h"

namespace {

std::string U32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

std::string WideRecord(const std::u16string& text) {
  CRKStringSink sink;
  EXPECT_EQ(S_OK, RKWriteStringRecord(sink, text.data(), text.size()));
  return sink.bytes;
}

std::string NarrowRecord(const std::string& text) { return U32(static_cast<std::uint32_t>(text.size())) + U32(0) + text; }

HRESULT Read(const std::string& bytes, std::uint64_t capacity, RKStringRecord* record, size_t* position = nullptr) {
  CRKMemorySource source(bytes.data(), bytes.size());
  const HRESULT hr = RKReadStringRecord(source, capacity, record);
  if (position != nullptr) *position = source.Position();
  return hr;
}

TEST(StreamRecords, WideAndNarrowRecords) {
  EXPECT_EQ(std::string("\xff\xff\xff\xff\0\0\0\0", 8), WideRecord(u""));
  EXPECT_EQ(std::string("\xff\xff\xff\xff\2\0\0\0A\0\xe9\0", 12), WideRecord(u"A\u00e9"));
  CRKStringSink sink;
  EXPECT_EQ(E_FAIL, RKWriteStringRecord(sink, u"", kRKMaxWideUnits));
  EXPECT_TRUE(sink.bytes.empty());

  RKStringRecord record;
  ASSERT_EQ(S_OK, Read(WideRecord(u"A\u00e9\u20ac"), 260, &record));
  EXPECT_TRUE(record.wide);
  EXPECT_EQ(u"A\u00e9\u20ac", record.units);
  ASSERT_EQ(S_OK, Read(NarrowRecord("C:\\a.bmp"), 260, &record));
  EXPECT_FALSE(record.wide);
  EXPECT_EQ("C:\\a.bmp", record.bytes);
  ASSERT_EQ(S_OK, Read(NarrowRecord(""), 260, &record));
  EXPECT_EQ("", record.bytes);
  EXPECT_EQ(E_FAIL, Read(U32(5) + U32(1) + "abcde", 260, &record)) << "a count above 32 bits";
}

// 259 bytes fit a 260-byte field; 260 do not. The refused record is passed
// over so the value after it is still in place.
TEST(StreamRecords, StringsThatCannotFitAreSkippedAndRefused) {
  const std::string after = WideRecord(u"next");
  RKStringRecord record;
  ASSERT_EQ(S_OK, Read(NarrowRecord(std::string(259, 'n')), 260, &record));
  EXPECT_EQ(259u, record.bytes.size());
  for (const std::string& refused : {NarrowRecord(std::string(260, 'n')), WideRecord(std::u16string(520, u'w'))}) {
    size_t position = 0;
    EXPECT_EQ(RK_E_INSUFFICIENT_BUFFER, Read(refused + after, 260, &record, &position));
    EXPECT_EQ(refused.size(), position);
  }
  // Shorter wide records are handed on; the converted length decides.
  ASSERT_EQ(S_OK, Read(WideRecord(std::u16string(300, u'w')), 260, &record));
  EXPECT_EQ(300u, record.units.size());
  EXPECT_EQ(E_INVALIDARG, Read(after, 0, &record));
}

TEST(StreamRecords, CountsOutsideTheFormatFail) {
  RKStringRecord record;
  EXPECT_EQ(E_FAIL, Read(U32(kRKWideMarker) + U32(kRKMaxWideUnits), 260, &record));
  // A count the data does not hold: the read stops at the end of the data.
  for (std::uint32_t n : {0x3FFFFFFFu, 130u, 1u}) EXPECT_EQ(RK_E_SHORT_READ, Read(U32(kRKWideMarker) + U32(n), 1u << 30, &record)) << n;
  EXPECT_EQ(RK_E_SHORT_READ, Read(NarrowRecord("abc").substr(0, 9), 260, &record));
  EXPECT_EQ(RK_E_SHORT_READ, Read(std::string("\xff\xff\xff", 3), 260, &record));
}

// Several records end to end, each read into a 260-byte field between guard
// bytes, from every truncation and from random damage.
TEST(StreamRecords, DamagedDataNeverReadsOrWritesOutOfBounds) {
  const std::string form = WideRecord(u"C:\\pictures\\overlay.bmp") + NarrowRecord("mask.bmp") + WideRecord(u"") +
                           WideRecord(std::u16string(259, u'z'));
  std::vector<std::string> blobs;
  for (size_t n = 0; n < form.size(); ++n) blobs.push_back(form.substr(0, n));
  std::mt19937 rng(7);
  for (int i = 0; i < 400; ++i) {
    blobs.push_back(form);
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
      blobs.back()[rng() % form.size()] ^= static_cast<char>(1u << (rng() % 8));
  }
  for (size_t at = 0; at + 4 <= form.size(); at += 4) {
    for (std::uint32_t word : {0xFFFFFFFFu, 0x3FFFFFFFu, 0x40000000u, 0x7FFFFFFFu, 260u})
      blobs.push_back(form.substr(0, at) + U32(word) + form.substr(at + 4));
  }
  int loaded = 0;
  for (const std::string& blob : blobs) {
    // The blob sits alone in its own allocation so the sanitizer sees any
    // read past it.
    std::vector<char> exact(blob.begin(), blob.end());
    CRKMemorySource source(exact.data(), exact.size());
    HRESULT hr = S_OK;
    for (int value = 0; value < 4 && SUCCEEDED(hr); ++value) {
      char guarded[4 + 260 + 4];
      std::memset(guarded, 0x5A, sizeof guarded);
      RKStringRecord record;
      hr = RKReadStringRecord(source, 260, &record);
      if (SUCCEEDED(hr)) {
        const std::string text = record.wide ? std::string(record.units.begin(), record.units.end()) : record.bytes;
        hr = RKCopyStringToField(guarded + 4, 260, text.data(), text.size());
      }
      ASSERT_TRUE(hr == S_OK || FAILED(hr));
      ASSERT_EQ(0, std::memcmp(guarded, "ZZZZ", 4));
      ASSERT_EQ(0, std::memcmp(guarded + 264, "ZZZZ", 4));
      ASSERT_LE(source.Position(), exact.size());
    }
    loaded += SUCCEEDED(hr);
  }
  EXPECT_GT(loaded, 0);
  std::printf("[ records  ] %zu damaged forms read, %d complete\n", blobs.size(), loaded);
}

}  // namespace
