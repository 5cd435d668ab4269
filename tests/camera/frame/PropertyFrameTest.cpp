// The generic property frame on the virtual cameras: tabs, writes, automatic
// switches, refusals, formats, error codes, keys and placement.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include "camera/platform/PropertyFrameFormat.h"
#include "camera/platform/virtual/VirtualCameraSet.h"
#include "tests/camera/frame/FrameTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

const std::vector<Guid> kBothPages = {guids::PageDeviceControls, guids::PageStreamFormat};

class PropertyFrameTest : public FrameTest {
 protected:
  void SetUp() override {
    platform_ = Builtin();
    filter_ = BindCamera(*platform_);
    ASSERT_NE(filter_, nullptr);
    procAmp_ = Query<IAMVideoProcAmp>(filter_);
  }

  HResult ShowFilter(const std::function<void(QDialog&)>& act) {
    return Show(*platform_, {filter_}, kBothPages, act);
  }

  HResult Unplug() { return platform_->Cameras()->Cameras().front()->SetConnected(false); }

  std::shared_ptr<VirtualPlatform> platform_;
  std::shared_ptr<IBaseFilter> filter_;
  std::shared_ptr<IAMVideoProcAmp> procAmp_;
};

TEST_F(PropertyFrameTest, ShowsAGroupTabPerDeviceGroupAndWritesSlidersAtOnce) {
  EXPECT_EQ(
      ShowFilter([&](QDialog& frame) {
        EXPECT_EQ(frame.windowTitle(), "Test Camera");
        EXPECT_EQ(TabTexts(frame), (QStringList{"Video Proc Amp", "Camera Control", "Format"}));
        auto* slider = Widget<QSlider>(frame, "Control_Brightness");
        auto* spin = Widget<QSpinBox>(frame, "Control_Brightness_Value");
        ASSERT_TRUE(slider && spin);
        EXPECT_EQ(slider->maximum(), 255);
        EXPECT_EQ(spin->value(), 128);

        slider->setValue(200);
        EXPECT_EQ(ProcAmp(*procAmp_, 0).first, 200);
        EXPECT_EQ(spin->value(), 200);
        spin->setValue(50);
        EXPECT_EQ(ProcAmp(*procAmp_, 0).first, 50);
        EXPECT_EQ(slider->value(), 50);

        // Pan steps by 3600: a value between steps goes to the nearest.
        auto* pan = Widget<QSlider>(frame, "Control_Pan");
        ASSERT_NE(pan, nullptr);
        pan->setValue(5000);
        EXPECT_EQ(pan->value(), 3600);

        auto* power = Widget<QComboBox>(frame, "Control_Power_Line_Frequency");
        ASSERT_NE(power, nullptr);
        EXPECT_EQ(power->currentText(), "50 Hz");
        power->setCurrentIndex(2);
        EXPECT_EQ(ProcAmp(*procAmp_, 13).first, 2);
        EXPECT_FALSE(Widget<QLabel>(frame, "StatusLabel")->isVisibleTo(&frame));
      }),
      hr::Ok);
  EXPECT_EQ(shown_, 1);
}

TEST_F(PropertyFrameTest, TheAutoSwitchDecidesWhetherTheValueCanBeSet) {
  ShowFilter([&](QDialog& frame) {
    auto* automatic = Widget<QCheckBox>(frame, "Control_White_Balance_Auto");
    auto* value = Widget<QSlider>(frame, "Control_White_Balance");
    ASSERT_TRUE(automatic && value);
    EXPECT_TRUE(automatic->isChecked());
    EXPECT_FALSE(value->isEnabled());
    EXPECT_TRUE(Widget<QSlider>(frame, "Control_Gain")->isEnabled());

    automatic->setChecked(false);
    EXPECT_TRUE(value->isEnabled());
    EXPECT_EQ(ProcAmp(*procAmp_, 7).second, kPropertyFlagsManual);
    value->setValue(3000);
    EXPECT_EQ(ProcAmp(*procAmp_, 7), (std::pair{3000, kPropertyFlagsManual}));
    automatic->setChecked(true);
    EXPECT_FALSE(value->isEnabled());
    EXPECT_FALSE(Widget<QSpinBox>(frame, "Control_White_Balance_Value")->isEnabled());
  });
  EXPECT_EQ(ProcAmp(*procAmp_, 7), (std::pair{3000, kPropertyFlagsAuto}));
}

TEST_F(FrameTest, ARefusedWriteShowsTheDevicesMessageAndTheDevicesValue) {
  const auto platform = Load(OneCamera(R"("videoProcAmp": {
    "Brightness": {"min": 0, "max": 10},
    "Gamma": {"min": 1, "max": 5, "default": 2,
              "fail": {"set": {"code": "0x8007001F", "text": "Gamma is locked."}}}},
    "flash": {"mode": 0, "fail": {"set": "0x80070005"}})"));
  const auto filter = BindCamera(*platform);
  Show(*platform, {filter}, {guids::PageDeviceControls}, [&](QDialog& frame) {
    auto* gamma = Widget<QSpinBox>(frame, "Control_Gamma_Value");
    auto* status = Widget<QLabel>(frame, "StatusLabel");
    ASSERT_TRUE(gamma && status);
    gamma->setValue(4);
    EXPECT_EQ(gamma->value(), 2);
    EXPECT_EQ(Widget<QSlider>(frame, "Control_Gamma")->value(), 2);
    EXPECT_TRUE(status->isVisibleTo(&frame));
    EXPECT_EQ(status->text(), "Gamma: Gamma is locked.");

    auto* flash = Widget<QComboBox>(frame, "Control_Flash_Mode");
    flash->setCurrentIndex(1);
    EXPECT_EQ(flash->currentIndex(), 0);
    EXPECT_EQ(status->text(), "Flash Mode: Access is denied");

    // The next write that works clears the message.
    Widget<QSlider>(frame, "Control_Brightness")->setValue(7);
    EXPECT_FALSE(status->isVisibleTo(&frame));
  });
  EXPECT_EQ(shown_, 1);
}

TEST_F(PropertyFrameTest, ChoosingAFormatSetsItOnTheStream) {
  const auto config = Query<IAMStreamConfig>(CapturePin(*filter_));
  ASSERT_NE(config, nullptr);
  ShowFilter([&](QDialog& frame) {
    auto* list = Widget<QListWidget>(frame, "FormatList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 9);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(list->item(0)->text(), "640x480 30Hz 16bpp YUY2");
    EXPECT_EQ(list->item(6)->text(), "1280x720 30Hz 24bpp MJPG (VideoInfo2)");

    list->setCurrentRow(3);
    std::unique_ptr<AmMediaType> current;
    ASSERT_EQ(config->GetFormat(current), hr::Ok);
    EXPECT_EQ(FormatText(*current), "1920x1080 5Hz 16bpp YUY2");
    EXPECT_EQ(list->currentRow(), 3);
  });

  // The stream configuration alone has the format page only; a device that
  // went away refuses the choice and shows no current format.
  Show(*platform_, {config}, Pages(config), [&](QDialog& frame) {
    EXPECT_EQ(TabTexts(frame), QStringList{"Format"});
    auto* list = Widget<QListWidget>(frame, "FormatList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentRow(), 3);
    ASSERT_EQ(Unplug(), hr::Ok);
    list->setCurrentRow(1);
    EXPECT_EQ(list->currentRow(), -1);
    EXPECT_EQ(Widget<QLabel>(frame, "StatusLabel")->text(), "Format: The device is not connected");
  });
  EXPECT_EQ(shown_, 2);
}

TEST_F(PropertyFrameTest, ObjectsWithoutWhatThePagesNeedAreRefused) {
  const auto config = Query<IAMStreamConfig>(CapturePin(*filter_));
  std::shared_ptr<IBaseFilter> compressor;
  ASSERT_EQ(Monikers(*platform_, DeviceCategory::VideoCompressor)[0]->BindToObject(compressor),
            hr::Ok);
  const auto nothing = [](QDialog&) {};
  EXPECT_EQ(Show(*platform_, {}, kBothPages, nothing), hr::InvalidArg);
  EXPECT_EQ(Show(*platform_, {filter_}, {}, nothing), hr::InvalidArg);
  EXPECT_EQ(Show(*platform_, {nullptr}, kBothPages, nothing), hr::Pointer);
  EXPECT_EQ(Show(*platform_, {config}, {guids::PageDeviceControls}, nothing), hr::NoInterface);
  EXPECT_EQ(Show(*platform_, {compressor}, {guids::PageStreamFormat}, nothing), hr::NoInterface);
  EXPECT_EQ(Show(*platform_, {filter_}, {guids::PinCategoryCapture}, nothing),
            hr::ClassNotRegistered);
  // The platform's own entry point is the same frame.
  EXPECT_EQ(platform_->ShowPropertyFrame(0, 0, 0, "Test", {}, kBothPages, 0), hr::InvalidArg);
  ASSERT_EQ(Unplug(), hr::Ok);
  EXPECT_EQ(Show(*platform_, {filter_}, kBothPages, nothing), hr::DeviceNotConnected);
  EXPECT_EQ(shown_, 0);
}

TEST_F(PropertyFrameTest, EnterKeepsTheFrameOpenWhileEscAndCloseEndIt) {
  const auto press = [](QWidget* target, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  };
  EXPECT_EQ(ShowFilter([&](QDialog& frame) {
              auto* spin = Widget<QSpinBox>(frame, "Control_Contrast_Value");
              ASSERT_NE(spin, nullptr);
              spin->setFocus();
              press(spin, Qt::Key_Return);
              press(spin, Qt::Key_Enter);
              EXPECT_TRUE(frame.isVisible());
              press(&frame, Qt::Key_Escape);
              EXPECT_FALSE(frame.isVisible());
            }),
            hr::Ok);
  EXPECT_EQ(ShowFilter([&](QDialog& frame) {
              Widget<QPushButton>(frame, "CloseButton")->click();
              EXPECT_FALSE(frame.isVisible());
            }),
            hr::Ok);
  EXPECT_EQ(shown_, 2);
}

TEST_F(PropertyFrameTest, TheFrameSitsAtItsPlaceBesideTheOwner) {
  ShowFilter([&](QDialog& frame) { EXPECT_EQ(frame.pos(), QPoint(0, 0)); });
  Show(
      *platform_, {filter_}, kBothPages,
      [](QDialog& frame) { EXPECT_EQ(frame.pos(), QPoint(40, 30)); }, 0, 40, 30);

  QWidget owner;
  owner.setObjectName("Owner");
  owner.setGeometry(200, 150, 300, 200);
  owner.show();
  Show(
      *platform_, {filter_}, kBothPages,
      [&](QDialog& frame) {
        EXPECT_EQ(frame.parentWidget(), &owner);
        EXPECT_EQ(frame.pos(), owner.mapToGlobal(QPoint(10, 20)));
      },
      static_cast<WindowHandle>(owner.winId()), 10, 20);
  EXPECT_EQ(shown_, 3);
}

}  // namespace
}  // namespace varnholt::test
