#pragma once

// An enumerator over a list fixed when it is made (monikers, pins, media
// types), with the framework's contract: Next answers S_OK with the next
// item, then S_FALSE and nothing at the end; Skip answers S_FALSE when fewer
// items were left than asked for; Clone starts where the original stands.
//
// A gate, when given, is asked first on every call and its failure is the
// answer: an unplugged camera makes its pin and format lists fail rather
// than end.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "camera/platform/FaultProbe.h"
#include "camera/platform/Interfaces.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::platform::kit {
namespace detail {

template <class T>
void Deliver(const std::shared_ptr<T>& item, std::shared_ptr<T>& out) {
  out = item;
}
// Media types go out as copies the caller owns.
inline void Deliver(const AmMediaType& item, std::unique_ptr<AmMediaType>& out) {
  out = std::make_unique<AmMediaType>(item);
}

// The fault point of an enumerator's Next (camera/platform/FaultProbe.h).
template <class Interface>
constexpr const char* NextPoint() {
  if constexpr (std::is_same_v<Interface, IEnumMoniker>)
    return "IEnumMoniker.Next";
  else if constexpr (std::is_same_v<Interface, IEnumPins>)
    return "IEnumPins.Next";
  else
    return "IEnumMediaTypes.Next";
}

}  // namespace detail

using Gate = std::function<HResult()>;

template <class Interface, class Item>
class ListEnumerator final : public SingleInterface<Interface> {
 public:
  using Out = typename Interface::Delivered;

  explicit ListEnumerator(std::vector<Item> items, Gate gate = {})
      : ListEnumerator(std::make_shared<const std::vector<Item>>(std::move(items)), std::move(gate),
                       0) {}
  // A clone: the same list and gate, from position on.
  ListEnumerator(std::shared_ptr<const std::vector<Item>> items, Gate gate, std::size_t position)
      : items_(std::move(items)), gate_(std::move(gate)), next_(position) {}

  HResult Next(Out& out) override {
    if (const auto fault = ProbeFault(detail::NextPoint<Interface>()))
      return *fault;
    if (const HResult code = Check(); code != hr::Ok)
      return code;
    if (next_ >= items_->size()) {
      out.reset();
      return hr::False;
    }
    detail::Deliver((*items_)[next_++], out);
    return hr::Ok;
  }

  HResult Skip(std::size_t count) {
    if (const HResult code = Check(); code != hr::Ok)
      return code;
    const std::size_t left = items_->size() - std::min(next_, items_->size());
    next_ += std::min(count, left);
    return count <= left ? hr::Ok : hr::False;
  }

  HResult Reset() {
    if (const HResult code = Check(); code != hr::Ok)
      return code;
    next_ = 0;
    return hr::Ok;
  }

  HResult Clone(std::shared_ptr<Interface>& clone) const {
    if (const HResult code = Check(); code != hr::Ok)
      return code;
    clone = std::make_shared<ListEnumerator>(items_, gate_, next_);
    return hr::Ok;
  }

 private:
  HResult Check() const { return gate_ ? gate_() : hr::Ok; }

  std::shared_ptr<const std::vector<Item>> items_;
  Gate gate_;
  std::size_t next_ = 0;
};

using MonikerList = ListEnumerator<IEnumMoniker, std::shared_ptr<IMoniker>>;
using PinList = ListEnumerator<IEnumPins, std::shared_ptr<IPin>>;
using MediaTypeList = ListEnumerator<IEnumMediaTypes, AmMediaType>;

}  // namespace varnholt::platform::kit
