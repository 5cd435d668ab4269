// The shared enumerator and query answers, through their interfaces: what
// both backends and the graph rely on without testing it themselves.

#include <gtest/gtest.h>

#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

class Pin final : public kit::SingleInterface<IPin> {
 public:
  explicit Pin(std::string id) : id_(std::move(id)) {}
  HResult QueryDirection(PinDirection& direction) override {
    direction = PinDirection::Output;
    return hr::Ok;
  }
  HResult QueryId(std::string& id) override {
    id = id_;
    return hr::Ok;
  }
  HResult EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>&) override { return hr::NotImpl; }

 private:
  std::string id_;
};

std::string IdOf(const std::shared_ptr<IPin>& pin) {
  std::string id;
  pin->QueryId(id);
  return id;
}

// What Next hands out until the end, by pin id.
std::vector<std::string> Rest(IEnumPins& pins) {
  std::vector<std::string> ids;
  std::shared_ptr<IPin> pin;
  while (pins.Next(pin) == hr::Ok)
    ids.push_back(IdOf(pin));
  EXPECT_EQ(pin, nullptr);  // the end hands out nothing
  return ids;
}

using Ids = std::vector<std::string>;

TEST(ListEnumeratorTest, SkipResetAndCloneKeepTheFrameworksContract) {
  auto list = std::make_shared<kit::PinList>(std::vector<std::shared_ptr<IPin>>{
      std::make_shared<Pin>("a"), std::make_shared<Pin>("b"), std::make_shared<Pin>("c")});
  std::shared_ptr<IPin> pin;
  ASSERT_EQ(list->Next(pin), hr::Ok);
  EXPECT_EQ(IdOf(pin), "a");

  std::shared_ptr<IEnumPins> clone;
  ASSERT_EQ(list->Clone(clone), hr::Ok);
  EXPECT_EQ(list->Skip(1), hr::Ok);
  EXPECT_EQ(Rest(*list), Ids{"c"});
  EXPECT_EQ(list->Next(pin), hr::False);
  // The clone went on from where the original stood, on its own.
  EXPECT_EQ(Rest(*clone), (Ids{"b", "c"}));

  EXPECT_EQ(list->Reset(), hr::Ok);
  EXPECT_EQ(list->Skip(5), hr::False);  // fewer were left
  EXPECT_EQ(list->Next(pin), hr::False);
  EXPECT_EQ(list->Reset(), hr::Ok);
  EXPECT_EQ(Rest(*list), (Ids{"a", "b", "c"}));
}

TEST(ListEnumeratorTest, AClosedGateIsEveryCallsAnswer) {
  HResult gate = hr::Ok;
  kit::MediaTypeList types({AmMediaType{}}, [&] { return gate; });
  std::shared_ptr<IEnumMediaTypes> clone;
  std::unique_ptr<AmMediaType> type;
  gate = hr::DeviceNotConnected;
  EXPECT_EQ(types.Next(type), hr::DeviceNotConnected);
  EXPECT_EQ(types.Skip(1), hr::DeviceNotConnected);
  EXPECT_EQ(types.Reset(), hr::DeviceNotConnected);
  EXPECT_EQ(types.Clone(clone), hr::DeviceNotConnected);
  gate = hr::Ok;
  // The failures moved nothing; each media type is a copy of its own.
  ASSERT_EQ(types.Next(type), hr::Ok);
  ASSERT_NE(type, nullptr);
  type->lSampleSize = 7;
  ASSERT_EQ(types.Reset(), hr::Ok);
  ASSERT_EQ(types.Next(type), hr::Ok);
  EXPECT_EQ(type->lSampleSize, 0u);
}

// An object with three interfaces, its family objects split off it.
class Owner final : public IBaseFilter,
                    public IKsPropertySet,
                    public ISpecifyPropertyPages,
                    public std::enable_shared_from_this<Owner> {
 public:
  std::shared_ptr<void> QueryInterface(Iid iid) override {
    return kit::AnswerFor<IBaseFilter, IKsPropertySet, ISpecifyPropertyPages>(iid,
                                                                              shared_from_this());
  }
  HResult EnumPins(std::shared_ptr<IEnumPins>&) override { return hr::NotImpl; }
  HResult QueryFilterInfo(FilterInfo&) override { return hr::NotImpl; }
  HResult Set(const Guid&, std::uint32_t, std::span<const std::uint8_t>,
              std::span<const std::uint8_t>) override {
    return hr::NotImpl;
  }
  HResult Get(const Guid&, std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>,
              std::uint32_t&) override {
    return hr::NotImpl;
  }
  HResult QuerySupported(const Guid&, std::uint32_t, std::uint32_t&) override {
    return hr::NotImpl;
  }
  HResult GetPages(std::vector<Guid>&) override { return hr::NotImpl; }
};

class Controls final : public kit::SplitInterface<IControlList> {
 public:
  using SplitInterface::SplitInterface;
  HResult GetControls(std::vector<ControlInfo>&) override { return hr::NotImpl; }
  HResult GetValue(std::uint32_t, std::int64_t&) override { return hr::NotImpl; }
  HResult SetValue(std::uint32_t, std::int64_t) override { return hr::NotImpl; }
};

TEST(QueryAnswerTest, ObjectsAnswerWhatTheyHaveAndSplitOffPartsLeadBack) {
  auto owner = std::make_shared<Owner>();
  std::shared_ptr<Unknown> asUnknown = std::static_pointer_cast<IBaseFilter>(owner);
  // Each answer is the subobject of that interface, not just the object.
  EXPECT_EQ(Query<IKsPropertySet>(asUnknown).get(), static_cast<IKsPropertySet*>(owner.get()));
  EXPECT_EQ(Query<ISpecifyPropertyPages>(asUnknown).get(),
            static_cast<ISpecifyPropertyPages*>(owner.get()));
  EXPECT_EQ(Query<IPin>(asUnknown), nullptr);

  auto controls = std::make_shared<Controls>(owner);
  EXPECT_EQ(Query<IControlList>(controls).get(), static_cast<IControlList*>(controls.get()));
  EXPECT_EQ(Query<IBaseFilter>(controls).get(), static_cast<IBaseFilter*>(owner.get()));
  EXPECT_EQ(Query<IPin>(controls), nullptr);
  owner.reset();
  asUnknown.reset();
  EXPECT_EQ(Query<IBaseFilter>(controls), nullptr);  // the owner is gone
  EXPECT_NE(Query<IControlList>(controls), nullptr);

  auto alone = std::make_shared<Pin>("a");
  EXPECT_EQ(Query<IPin>(alone).get(), static_cast<IPin*>(alone.get()));
  EXPECT_EQ(Query<IBaseFilter>(alone), nullptr);
}

}  // namespace
}  // namespace varnholt::test
