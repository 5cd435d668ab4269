#pragma once

// Owns one reference to a system object: released when the pointer goes,
// moved without touching the count, copied with a reference of its own.

#include <utility>

#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_)
      p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over the reference the caller holds (an out-parameter's).
  static ComPtr Adopt(T* p) {
    ComPtr out;
    out.p_ = p;
    return out;
  }
  // Takes a reference of its own.
  static ComPtr Share(T* p) {
    if (p)
      p->AddRef();
    return Adopt(p);
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr))
      p->Release();
  }
  // For an out-parameter: drops what is held and lends the slot.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

  // The object's interface iid, or nothing when it has none.
  template <class U>
  ComPtr<U> As(REFIID iid) const {
    ComPtr<U> out;
    if (p_)
      p_->QueryInterface(iid, out.ReceiveVoid());
    return out;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace varnholt::platform::directshow
