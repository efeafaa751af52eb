#pragma once
// The one owning COM pointer of the module, its tools and its tests.
//
// It sits with the library's portable core, at the bottom of the build,
// because every Windows part uses it; it needs no Windows header of its own
// (T and the interface identifier types come from the caller's headers).
#include <utility>

namespace ovl {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller already holds.
  explicit ComPtr(T* owned) : p_(owned) {}
  // Adds a reference of its own to a borrowed pointer.
  static ComPtr Share(T* borrowed) {
    if (borrowed != nullptr) borrowed->AddRef();
    return ComPtr(borrowed);
  }
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  void Reset() {
    if (p_ != nullptr) std::exchange(p_, nullptr)->Release();
  }
  // Hands the reference to the caller (for out-parameters of our own).
  T* Detach() { return std::exchange(p_, nullptr); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For out-parameters: releases what was held first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }

  // QueryInterface into a new pointer; empty when the interface is missing.
  template <class U, class Iid>
  ComPtr<U> As(const Iid& iid) const {
    ComPtr<U> result;
    if (p_ != nullptr) p_->QueryInterface(iid, result.PutVoid());
    return result;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace ovl
