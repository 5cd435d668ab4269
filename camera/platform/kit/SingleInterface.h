#pragma once

// The query answers the platform objects give: itself for each interface it
// has, and, for an interface a filter hands out as an object of its own, the
// filter for everything else. Interfaces.h states the rule.

#include <memory>
#include <utility>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::kit {

// The answer of an object that has each of Interfaces: self's subobject for
// the one iid names, nullptr for any other.
template <class... Interfaces, class Self>
std::shared_ptr<void> AnswerFor(Iid iid, const std::shared_ptr<Self>& self) {
  std::shared_ptr<void> answer;
  (void)((iid == Interfaces::kIid && (answer = InterfaceOf<Interfaces>(self), true)) || ...);
  return answer;
}

// An object with one interface. Base is the interface itself, or a class
// that already carries it (a graph filter with its pins); its constructors
// are inherited.
template <class Interface, class Base = Interface>
class SingleInterface : public Base,
                        public std::enable_shared_from_this<SingleInterface<Interface, Base>> {
 public:
  using Base::Base;

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return AnswerFor<Interface>(iid, this->shared_from_this());
  }
};

// One interface of an owner (a filter's property family or control list)
// as an object of its own: every other query goes to the owner while it
// lives. Without an owner it answers only its own interface.
template <class Interface>
class SplitInterface : public SingleInterface<Interface> {
 public:
  explicit SplitInterface(std::weak_ptr<Unknown> owner) : owner_(std::move(owner)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    if (iid == Interface::kIid)
      return SingleInterface<Interface>::QueryInterface(iid);
    const auto owner = owner_.lock();
    return owner ? owner->QueryInterface(iid) : nullptr;
  }

 private:
  std::weak_ptr<Unknown> owner_;
};

}  // namespace varnholt::platform::kit
