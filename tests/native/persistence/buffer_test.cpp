// Growable buffers: text stays NUL-terminated, growth never loses content.
#include <gtest/gtest.h>

#include <string>

#include "persistence/rk_buffer.h"

namespace {

std::string Text(const CBaseBuffer& b) {
  return std::string(reinterpret_cast<const char*>(b.Data()), b.Length());
}

TEST(Buffer, AppendsKeepTextTerminated) {
  CBuffer b;
  ASSERT_EQ(S_OK, b.AppendText("level "));
  ASSERT_EQ(S_OK, b.AppendFormat("%d/%s %08X", 42, "ok", 0xBEEFu));
  ASSERT_EQ(S_OK, b.AppendByteTerminated('!'));
  EXPECT_EQ("level 42/ok 0000BEEF!", Text(b));
  EXPECT_STREQ("level 42/ok 0000BEEF!", reinterpret_cast<const char*>(b.Data()));

  std::string big(5000, 'x');
  ASSERT_EQ(S_OK, b.AppendFormat("%s", big.c_str()));
  EXPECT_EQ(21u + 5000u, b.Length());
  EXPECT_EQ('\0', b.Data()[b.Length()]);

  const unsigned char raw[] = {1, 0, 2};
  ASSERT_EQ(S_OK, b.AppendBytes(raw, 3));
  EXPECT_EQ(E_POINTER, b.AppendBytes(nullptr, 3));
  EXPECT_EQ(21u + 5000u + 3u, b.Length());
}

TEST(Buffer, TrimSwapFreeAndReserve) {
  CBuffer a, b;
  ASSERT_EQ(S_OK, a.AppendText("abc"));
  ASSERT_EQ(S_OK, a.AppendByte(0));
  ASSERT_EQ(S_OK, a.AppendByte(0));
  a.TrimTrailingNuls();
  EXPECT_EQ("abc", Text(a));

  ASSERT_EQ(S_OK, b.AppendText("xy"));
  EXPECT_EQ(S_OK, a.Swap(&b));
  EXPECT_EQ("xy", Text(a));
  EXPECT_EQ("abc", Text(b));
  EXPECT_EQ(E_POINTER, a.Swap(nullptr));

  const std::uint32_t cap = a.Capacity();
  EXPECT_NE(0, a.Reserve(cap + 100));
  EXPECT_GE(a.Capacity(), cap + 100);
  EXPECT_NE(0, a.Reserve(1));
  EXPECT_GE(a.Capacity(), cap + 100) << "Reserve never shrinks";
  EXPECT_EQ("xy", Text(a));

  EXPECT_EQ(0, a.Free());
  EXPECT_EQ(0u, a.Length());
  EXPECT_EQ(nullptr, a.Data());
  EXPECT_EQ(S_OK, a.AppendText("again"));
  EXPECT_EQ("again", Text(a));
}

TEST(Buffer, OwnsASecondaryBuffer) {
  CBuffer b;
  auto* second = new CBuffer;
  ASSERT_EQ(S_OK, second->AppendText("inner"));
  b.AttachSecondary(second);
  EXPECT_EQ(5u, b.SecondaryLength());
  EXPECT_EQ(0, std::memcmp("inner", b.SecondaryData(), 5));
  b.Free();  // releases the secondary too (the leak checker sees it otherwise)
  EXPECT_EQ(0u, b.SecondaryLength());
  b.AttachSecondary(new CBuffer);  // released by the destructor
}

}  // namespace
