#pragma once
// A minimal owning COM pointer for tests.
#include <unknwn.h>

#include <utility>

namespace ovl::testing {

template <class T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference the caller already holds.
  explicit ComRef(T* owned) : m_p(owned) {}
  ComRef(const ComRef& other) : m_p(other.m_p) {
    if (m_p != nullptr) m_p->AddRef();
  }
  ComRef(ComRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ~ComRef() { Reset(); }
  ComRef& operator=(ComRef other) noexcept {
    std::swap(m_p, other.m_p);
    return *this;
  }

  void Reset() {
    if (m_p != nullptr) std::exchange(m_p, nullptr)->Release();
  }
  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For out-parameters: releases what was held.
  T** Put() {
    Reset();
    return &m_p;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  template <class U>
  ComRef<U> As(REFIID iid) const {
    ComRef<U> result;
    if (m_p != nullptr) m_p->QueryInterface(iid, result.PutVoid());
    return result;
  }

 private:
  T* m_p = nullptr;
};

}  // namespace ovl::testing
