#pragma once
// COM on the calling thread for the lifetime of one object: how every test,
// fixture and test thread joins COM. Only a successful initialisation is
// balanced by CoUninitialize.
#include <objbase.h>

namespace ovl::testing {

class ComApartment {
 public:
  enum Kind : DWORD { kMultithreaded = COINIT_MULTITHREADED, kSingleThreaded = COINIT_APARTMENTTHREADED };

  explicit ComApartment(Kind kind = kMultithreaded) : hr_(CoInitializeEx(nullptr, kind)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool Joined() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

}  // namespace ovl::testing
