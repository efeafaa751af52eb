// Growable buffers: text stays NUL-terminated and growth keeps the content.
#include <gtest/gtest.h>

#include <string>

#include "persistence/core/rk_buffer.h"

namespace {

std::string Text(const CBaseBuffer& b) {
  return std::string(reinterpret_cast<const char*>(b.Data()), b.Length());
}

TEST(Buffer, AppendsGrowAndStayTerminated) {
  CBuffer b;
  ASSERT_EQ(S_OK, b.AppendText("level "));
  ASSERT_EQ(S_OK, b.AppendFormat("%d/%s %08X", 42, "ok", 0xBEEFu));
  ASSERT_EQ(S_OK, b.AppendByteTerminated('!'));
  EXPECT_STREQ("level 42/ok 0000BEEF!", reinterpret_cast<const char*>(b.Data()));
  const std::string big(5000, 'x');
  ASSERT_EQ(S_OK, b.AppendFormat("%s", big.c_str()));
  EXPECT_EQ("level 42/ok 0000BEEF!" + big, Text(b));
  EXPECT_EQ('\0', b.Data()[b.Length()]);
  EXPECT_EQ(E_POINTER, b.AppendBytes(nullptr, 3));

  ASSERT_EQ(S_OK, b.AppendBytes("\0\0", 2));
  b.TrimTrailingNuls();
  EXPECT_EQ(21u + 5000u, b.Length());
  const std::uint32_t cap = b.Capacity();
  EXPECT_NE(0, b.Reserve(1));
  EXPECT_EQ(cap, b.Capacity()) << "Reserve never shrinks";
}

TEST(Buffer, SwapFreeAndSecondary) {
  CBuffer a, b;
  ASSERT_EQ(S_OK, a.AppendText("xy"));
  ASSERT_EQ(S_OK, b.AppendText("abc"));
  EXPECT_EQ(S_OK, a.Swap(&b));
  EXPECT_EQ("abc", Text(a));
  EXPECT_EQ("xy", Text(b));
  EXPECT_EQ(E_POINTER, a.Swap(nullptr));

  auto* second = new CBuffer;
  ASSERT_EQ(S_OK, second->AppendText("inner"));
  a.AttachSecondary(second);
  EXPECT_EQ(5u, a.SecondaryLength());
  EXPECT_EQ(0, a.Free());
  EXPECT_EQ(nullptr, a.Data());
  EXPECT_EQ(0u, a.SecondaryLength()) << "Free releases the secondary too";
  ASSERT_EQ(S_OK, a.AppendText("again"));
  EXPECT_EQ("again", Text(a));
  a.AttachSecondary(new CBuffer);  // released by the destructor (the leak checker watches)
}

}  // namespace
