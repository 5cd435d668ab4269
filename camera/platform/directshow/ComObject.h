#pragma once

// The bridge between our objects and the system's: every object of this
// backend stands for one system object, and a system object reached from
// anywhere (a moniker's binding, a graph builder's search, a filter's graph)
// becomes one of ours by Wrap.

#include <memory>

#include "camera/platform/Interfaces.h"
#include "camera/platform/directshow/ComPtr.h"

namespace varnholt::platform::directshow {

class ComBacked {
 public:
  virtual ~ComBacked() = default;
  // The system object (any of its interfaces: COM answers the same object).
  virtual ::IUnknown* ComObject() const = 0;
};

// The system object behind one of ours; nothing for an absent object or
// one this backend did not make (the caller's own callback, say).
::IUnknown* ComOf(const std::shared_ptr<Unknown>& object);

template <class Com, class Ours>
ComPtr<Com> ComAs(const std::shared_ptr<Ours>& object, REFIID iid) {
  return ComPtr<::IUnknown>::Share(ComOf(object)).template As<Com>(iid);
}

// The system object as ours, answering its interfaces as COM does.
std::shared_ptr<Unknown> WrapObject(::IUnknown* object);

// The system object's Ours interface, or nothing when it lacks that one.
template <class Ours>
std::shared_ptr<Ours> Wrap(::IUnknown* object) {
  return Query<Ours>(WrapObject(object));
}

}  // namespace varnholt::platform::directshow
