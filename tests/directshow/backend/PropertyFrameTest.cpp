// The driver's own dialog as the program opens it: the pages a virtual
// camera's filter names, shown by the platform's property frame (modal, on
// the test's thread) while a second thread works the dialog as a user
// would; and a filter whose page list fails.

#include <gtest/gtest.h>

#include <thread>

#include "camera/platform/directshow/DirectShowPlatform.h"
#include "camera/platform/directshow/WinHeaders.h"
// After the Windows headers, which it needs.
#include <commctrl.h>
#include "camera/platform/directshow/vcam/FaultControl.h"
#include "tests/directshow/WindowTree.h"
#include "tests/directshow/backend/BackendTestSupport.h"

namespace varnholt::platform::directshow {
namespace {

using namespace window_tree;

const std::string kCamera = "Varnholt Virtual HD Webcam";
constexpr std::int32_t kBrightness = 0;  // its id in the family

std::shared_ptr<IBaseFilter> BindCamera(Platform& platform, const std::string& name) {
  std::shared_ptr<Unknown> object;
  EXPECT_EQ(platform.CreateInstance(ClassId::SystemDeviceEnum, object), hr::Ok);
  const auto devices = Query<ICreateDevEnum>(object);
  std::shared_ptr<IEnumMoniker> monikers;
  if (!devices || devices->CreateClassEnumerator(DeviceCategory::VideoInput, monikers, 0) != hr::Ok)
    return nullptr;
  std::shared_ptr<IMoniker> moniker;
  while (monikers->Next(moniker) == hr::Ok) {
    std::shared_ptr<IPropertyBag> bag;
    std::shared_ptr<IBaseFilter> filter;
    PropVariant friendly;
    if (moniker->BindToStorage(bag) == hr::Ok && bag->Read("FriendlyName", friendly) == hr::Ok &&
        friendly == PropVariant(name) && moniker->BindToObject(filter) == hr::Ok)
      return filter;
  }
  ADD_FAILURE() << "no camera named " << name;
  return nullptr;
}

// What the second thread found in the frame and did there.
struct Seen {
  std::wstring caption;
  bool nameShown = false, valueShown = false, movedValueShown = false, okClicked = false;
};

// Waits for this process's frame, looks for the page's name and value,
// moves the slider to its end and clicks OK; when the page is not there it
// cancels instead, so that the modal call returns either way.
Seen WorkTheFrame(const std::wstring& camera, std::int32_t value, std::int32_t end) {
  Seen seen;
  HWND frame = nullptr, slider = nullptr;
  testing::WaitFor(
      [&] {
        const auto dialogs = TopLevelDialogs();
        frame = dialogs.empty() ? nullptr : dialogs.front();
        slider = frame ? FindDescendant(frame, TRACKBAR_CLASSW) : nullptr;
        return slider != nullptr;
      },
      std::chrono::seconds(30));
  if (!frame)
    return seen;
  seen.caption = Describe(frame).text;
  seen.nameShown = ShowsText(frame, camera);
  seen.valueShown = ShowsText(frame, std::to_wstring(value));
  if (slider) {
    PressKey(slider, VK_END);
    seen.movedValueShown = ShowsText(frame, std::to_wstring(end));
  }
  const HWND ok = GetDlgItem(frame, IDOK);
  // Posted, as a click is: the frame's modal loop wakes for it.
  if (seen.nameShown && seen.movedValueShown && ok) {
    seen.okClicked = PostMessageW(ok, BM_CLICK, 0, 0) != FALSE;
  } else {
    PostMessageW(frame, WM_COMMAND, IDCANCEL, 0);
  }
  return seen;
}

class PropertyFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(EnsureCom(), hr::Ok);
    filter_ = BindCamera(platform_, kCamera);
    ASSERT_NE(filter_, nullptr);
    procAmp_ = Query<IAMVideoProcAmp>(filter_);
    ASSERT_NE(procAmp_, nullptr);
    std::int32_t step = 0, defaultValue = 0, caps = 0;
    ASSERT_EQ(procAmp_->GetRange(kBrightness, min_, max_, step, defaultValue, caps), hr::Ok);
  }
  void TearDown() override { EXPECT_EQ(vcam::ResetAllFaults(), S_OK); }

  std::int32_t Brightness() {
    std::int32_t value = 0, flags = 0;
    EXPECT_EQ(procAmp_->Get(kBrightness, value, flags), hr::Ok);
    return value;
  }

  // The component's way: the filter's pages, the frame captioned with the
  // camera's name, the second thread working it; then what it saw.
  Seen ShowAndWork() {
    const auto pages = Query<ISpecifyPropertyPages>(filter_);
    std::vector<Guid> ids;
    EXPECT_NE(pages, nullptr);
    if (!pages || pages->GetPages(ids) != hr::Ok || ids.size() != 1) {
      ADD_FAILURE() << "the filter names no page";
      return {};
    }
    const std::int32_t before = Brightness();
    Seen seen;
    std::thread user([&] { seen = WorkTheFrame(ToUtf16(kCamera), before, max_); });
    EXPECT_EQ(platform_.ShowPropertyFrame(0, 0, 0, kCamera, {filter_}, ids, 0), hr::Ok);
    user.join();
    EXPECT_NE(seen.caption.find(ToUtf16(kCamera)), std::wstring::npos) << ToUtf8(seen.caption);
    EXPECT_TRUE(seen.nameShown);
    EXPECT_TRUE(seen.valueShown) << "brightness " << before << " not shown";
    EXPECT_TRUE(seen.movedValueShown) << "the slider's end " << max_ << " not shown";
    EXPECT_TRUE(seen.okClicked);
    return seen;
  }

  DirectShowPlatform platform_;
  std::shared_ptr<IBaseFilter> filter_;
  std::shared_ptr<IAMVideoProcAmp> procAmp_;
  std::int32_t min_ = 0, max_ = 0;
};

TEST_F(PropertyFrame, ShowsTheCamerasPageWithItsBrightnessAndClosesOnOk) {
  ShowAndWork();

  // A page list that fails reaches the caller with the filter's code: the
  // component stops there, before any frame.
  ASSERT_EQ(vcam::FailCall(ToUtf16(kCamera), L"ISpecifyPropertyPages.GetPages", E_ACCESSDENIED),
            S_OK);
  std::vector<Guid> ids;
  EXPECT_EQ(Query<ISpecifyPropertyPages>(filter_)->GetPages(ids), hr::AccessDenied);
  EXPECT_TRUE(ids.empty());
}

// OK applies a dirty page: the frame calls IPropertyPage::Apply, which
// writes through the filter. Wine's OleCreatePropertyFrame never calls
// Apply (its page dialogs ignore PSN_APPLY and its page site ignores
// OnStatusChange), so there this fails; it is disabled for the Wine suite
// and runs with --gtest_also_run_disabled_tests.
TEST_F(PropertyFrame, DISABLED_OkWritesTheSlidersValueThroughTheFilter) {
  const Seen seen = ShowAndWork();
  ASSERT_TRUE(seen.okClicked);
  EXPECT_EQ(Brightness(), max_)
      << "OK did not write the page's value: the frame did not call IPropertyPage::Apply "
         "(Wine's OleCreatePropertyFrame never does)";
}

}  // namespace
}  // namespace varnholt::platform::directshow
