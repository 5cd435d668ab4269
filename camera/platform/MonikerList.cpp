#include "camera/platform/MonikerList.h"

namespace varnholt::platform {
namespace {

class MonikerList final : public IEnumMoniker, public std::enable_shared_from_this<MonikerList> {
 public:
  explicit MonikerList(std::vector<std::shared_ptr<IMoniker>> monikers)
      : monikers_(std::move(monikers)) {}

  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return iid == kIid ? InterfaceOf<IEnumMoniker>(shared_from_this()) : nullptr;
  }

  HResult Next(std::shared_ptr<IMoniker>& moniker) override {
    if (next_ >= monikers_.size()) {
      moniker.reset();
      return hr::False;
    }
    moniker = monikers_[next_++];
    return hr::Ok;
  }

 private:
  std::vector<std::shared_ptr<IMoniker>> monikers_;
  std::size_t next_ = 0;
};

}  // namespace

std::shared_ptr<IEnumMoniker> MakeMonikerList(std::vector<std::shared_ptr<IMoniker>> monikers) {
  return std::make_shared<MonikerList>(std::move(monikers));
}

}  // namespace varnholt::platform
