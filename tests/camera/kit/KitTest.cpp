// The shared enumerator and query answers, through their interfaces: what
// both backends and the graph rely on without testing it themselves.

#include <gtest/gtest.h>

#include "camera/platform/kit/DeviceEnumeration.h"
#include "camera/platform/kit/ListEnumerator.h"
#include "camera/platform/kit/SingleInterface.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

std::shared_ptr<IMoniker> Device(const std::string& name) {
  return std::make_shared<kit::DeviceMoniker>(
      kit::PropertyBag::Values{{"FriendlyName", name}},
      [](std::shared_ptr<IBaseFilter>&) { return hr::NotImpl; });
}

std::string NameOf(const std::shared_ptr<IMoniker>& moniker) {
  std::shared_ptr<IPropertyBag> bag;
  PropVariant name;
  if (moniker->BindToStorage(bag) != hr::Ok || bag->Read("FriendlyName", name) != hr::Ok)
    return "?";
  return std::get<std::string>(name);
}

// What Next hands out until the end, by name.
std::vector<std::string> Rest(IEnumMoniker& list) {
  std::vector<std::string> names;
  std::shared_ptr<IMoniker> moniker;
  while (list.Next(moniker) == hr::Ok)
    names.push_back(NameOf(moniker));
  EXPECT_EQ(moniker, nullptr);  // the end hands out nothing
  return names;
}

using Ids = std::vector<std::string>;

TEST(ListEnumeratorTest, SkipResetAndCloneKeepTheFrameworksContract) {
  auto list = std::make_shared<kit::MonikerList>(
      std::vector<std::shared_ptr<IMoniker>>{Device("a"), Device("b"), Device("c")});
  std::shared_ptr<IMoniker> moniker;
  ASSERT_EQ(list->Next(moniker), hr::Ok);
  EXPECT_EQ(NameOf(moniker), "a");

  std::shared_ptr<IEnumMoniker> clone;
  ASSERT_EQ(list->Clone(clone), hr::Ok);
  EXPECT_EQ(list->Skip(1), hr::Ok);
  EXPECT_EQ(Rest(*list), Ids{"c"});
  EXPECT_EQ(list->Next(moniker), hr::False);
  // The clone went on from where the original stood, on its own.
  EXPECT_EQ(Rest(*clone), (Ids{"b", "c"}));

  EXPECT_EQ(list->Reset(), hr::Ok);
  EXPECT_EQ(list->Skip(5), hr::False);  // fewer were left
  EXPECT_EQ(list->Next(moniker), hr::False);
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

  const auto alone = Device("a");
  EXPECT_EQ(Query<IMoniker>(alone), alone);
  EXPECT_EQ(Query<IBaseFilter>(alone), nullptr);
}

TEST(DeviceMonikerTest, TheBagHoldsWhatWasFoundAndAFaultReplacesIt) {
  std::shared_ptr<IPropertyBag> bag;
  ASSERT_EQ(Device("Cam")->BindToStorage(bag), hr::Ok);
  PropVariant value;
  EXPECT_EQ(bag->Read("friendlyname", value), hr::Fail);  // names are exact
  EXPECT_EQ(bag->Read("DevicePath", value), hr::Fail);
  kit::DeviceMoniker faulty({}, nullptr, hr::AccessDenied);
  EXPECT_EQ(faulty.BindToStorage(bag), hr::AccessDenied);
}

}  // namespace
}  // namespace varnholt::test
