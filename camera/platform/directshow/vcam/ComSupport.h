#pragma once

// The little COM plumbing the DLL's objects share: the count of live
// objects that DllCanUnloadNow answers from, a reference-holding pointer,
// and the reference count of objects with an identity of their own.

#include <unknwn.h>
#include <windows.h>

#include <atomic>
#include <utility>

namespace varnholt::vcam {

// Objects alive and server locks held: while not zero the DLL must stay.
void ModuleAddRef();
void ModuleRelease();
bool ModuleInUse();
// The DLL itself, for the page's dialog.
HMODULE ThisModule();

// Holds one reference.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* adopted) : p_(adopted) {}
  ComRef(const ComRef& other) : p_(other.p_) {
    if (p_)
      p_->AddRef();
  }
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComRef() {
    if (p_)
      p_->Release();
  }
  static ComRef Share(T* p) {
    if (p)
      p->AddRef();
    return ComRef(p);
  }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: drops what is held first.
  T** Put() {
    *this = ComRef();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  // Hands the reference to the caller.
  T* Detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

// Reference count of an object that is a COM identity of its own; it
// deletes itself at the last Release and keeps the DLL loaded meanwhile.
class RefCounted {
 public:
  RefCounted() { ModuleAddRef(); }
  virtual ~RefCounted() { ModuleRelease(); }
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

 protected:
  ULONG AddOne() { return ++refs_; }
  ULONG DropOne() {
    const ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// *out = p (with a reference) for the QueryInterface answers.
template <class I, class T>
HRESULT Answer(T* p, void** out) {
  I* i = p;
  i->AddRef();
  *out = i;
  return S_OK;
}

}  // namespace varnholt::vcam
