#pragma once
// The COM classes this module creates. Registration walks the table front to
// back, and entry 0 (the filter) is the one the guards, the mapper and the
// category refer to.
#include "streaming/base/class_factory.h"

namespace ovl::server {

inline constexpr int kClassCount = 3;
extern const CFactoryTemplate kClassTable[kClassCount];

// The entry for `clsid`, or null.
const CFactoryTemplate* FindClass(REFCLSID clsid);

}  // namespace ovl::server
