#pragma once
// Every test must leave behind no framework object it created (filters,
// pins' enumerators, graphs holding our filters) and, when it started from
// none, a module free to unload. The count is taken per test, so that a leak
// is reported once, by the test that caused it.
#include <gtest/gtest.h>

#include "server/module_state.h"
#include "streaming/base/base_object.h"

namespace ovl::testing {

class LiveObjectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    m_liveAtStart = CBaseObject::ObjectsActive();
  }
  void TearDown() override {
    EXPECT_EQ(m_liveAtStart, CBaseObject::ObjectsActive()) << "framework objects leaked";
    if (m_liveAtStart == 0) {
      EXPECT_TRUE(ovl::server::CanUnload());
    }
    CoUninitialize();
  }

 private:
  LONG m_liveAtStart = 0;
};

}  // namespace ovl::testing
