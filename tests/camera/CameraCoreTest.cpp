// The component's life cycle, device discovery, guards and platform objects.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

using ::testing::ElementsAre;

class CameraCore : public ::testing::Test, public FakeCameraRig {};

// ---- Device lists --------------------------------------------------------------

TEST_F(CameraCore, DevicesAreListedInEnumerationOrderWithTheirProperties) {
  platform->AddCamera("Cam A", "/path/a", "first");
  platform->AddCamera("Cam B", "/path/b", std::nullopt);  // no "Description"
  platform->AddCamera("Cam A", "/path/a2", "twin");       // duplicates are not merged

  const TFVideoCaptureDevices devices = camera->Devices();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0], (TFVideoCaptureDevice{"Cam A", "first", "/path/a"}));
  EXPECT_EQ(devices[1], (TFVideoCaptureDevice{"Cam B", "", "/path/b"}));
  EXPECT_EQ(devices[2], (TFVideoCaptureDevice{"Cam A", "twin", "/path/a2"}));
}

TEST_F(CameraCore, DeviceListsSkipDevicesWithoutStorageAndNeverRaise) {
  platform->AddCamera("Hidden", "/h")->bindStorage = hr::Fail;
  platform->AddCamera("Shown", "/s");
  ASSERT_EQ(camera->Devices().size(), 1u);
  EXPECT_EQ(camera->Devices()[0].Name, "Shown");

  platform->hasDeviceEnumerator = false;
  EXPECT_TRUE(camera->Devices().empty());
  EXPECT_TRUE(camera->AudioCaptureDevices().empty());
  EXPECT_TRUE(camera->Compressors().isEmpty());
}

TEST_F(CameraCore, AudioDevicesAndCompressorsComeFromTheirOwnCategories) {
  auto mic = std::make_shared<FakeDevice>();
  mic->friendlyName = "Mic";
  mic->waveInId = 3;
  platform->audio.push_back(mic);
  auto codec = std::make_shared<FakeDevice>();
  codec->friendlyName = "Codec";
  platform->videoCompressors.push_back(codec);

  ASSERT_EQ(camera->AudioCaptureDevices().size(), 1u);
  EXPECT_EQ(camera->AudioCaptureDevices()[0], (TFAudioCaptureDevice{"Mic", "", 3}));
  EXPECT_EQ(camera->Compressors(), QStringList{"Codec"});
  EXPECT_TRUE(camera->AudioCompressors().isEmpty());
  EXPECT_TRUE(camera->Devices().empty());
}

// ---- Lookup by name ----------------------------------------------------------------

TEST_F(CameraCore, LookupIsExactAndCaseSensitiveByFriendlyNameOrPath) {
  auto cam = platform->AddCamera("HD Webcam", "\\\\?\\usb#vid_1234");
  EXPECT_NE(camera->GetDevice("HD Webcam"), nullptr);
  EXPECT_NE(camera->GetDevice("\\\\?\\usb#vid_1234"), nullptr);
  EXPECT_EQ(camera->GetDevice("hd webcam"), nullptr);
  EXPECT_EQ(camera->GetDevice("HD Webcam "), nullptr);
  EXPECT_EQ(camera->GetDevice(""), nullptr);
  // A friendly name is not looked up among audio devices by path.
  EXPECT_EQ(camera->GetAudioCaptureDevice("HD Webcam"), nullptr);
}

TEST_F(CameraCore, LookupTakesTheFirstOfTwoEqualNamesAndSkipsOnesThatCannotBind) {
  auto broken = platform->AddCamera("Twin", "/broken");
  broken->bindObject = hr::AccessDenied;
  auto first = platform->AddCamera("Twin", "/first");
  auto second = platform->AddCamera("Twin", "/second");

  camera->SetDeviceName("Twin");
  ASSERT_NE(camera->CaptureFilter(), nullptr);
  EXPECT_EQ(broken->binds, 1);
  EXPECT_EQ(first->binds, 1);
  EXPECT_EQ(second->binds, 0);
}

TEST_F(CameraCore, CaptureFilterIsBoundOnceAndLookedUpAgainWhileMissing) {
  auto cam = platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Nope");
  EXPECT_EQ(camera->CaptureFilter(), nullptr);
  const int before = platform->enumerations;
  EXPECT_EQ(camera->CaptureFilter(), nullptr);
  EXPECT_EQ(platform->enumerations, before + 1);  // each read tries the lookup again

  camera->SetDeviceName("Cam");
  auto filter = camera->CaptureFilter();
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(camera->CaptureFilter(), filter);
  EXPECT_EQ(cam->binds, 1);
}

// ---- Guards and messages --------------------------------------------------------

TEST_F(CameraCore, DeviceBoundOperationsNameTheMissingDevice) {
  EXPECT_EQ(CameraErrorOf([&] { camera->Brightness(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera->BrightnessSupported(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera->FlashModeSupported(); }), "Camera device not selected");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetActive(true); }), "Camera device not selected");

  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("cam");
  EXPECT_EQ(CameraErrorOf([&] { camera->Zoom(); }), "Camera device 'cam' not found");
  EXPECT_EQ(CameraErrorOf([&] { camera->PowerLineFrequencySupported(); }),
            "Camera device 'cam' not found");
}

TEST_F(CameraCore, ActiveOnlyOperationsRefuseAnInactiveComponent) {
  const std::string inactive = "Cannot perform this operation on inactive camera component";
  EXPECT_EQ(CameraErrorOf([&] { camera->Run(); }), inactive);
  EXPECT_EQ(CameraErrorOf([&] { camera->Pause(); }), inactive);
  EXPECT_EQ(CameraErrorOf([&] { camera->Stop(); }), inactive);
}

TEST_F(CameraCore, GuardedSettersRefuseChangesWhileActiveButAcceptTheSameValue) {
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  ASSERT_NE(camera->MediaControl(), nullptr);  // a cached media control means active
  ASSERT_TRUE(camera->Active());

  const std::string active = "Cannot perform this operation on active camera component";
  EXPECT_EQ(CameraErrorOf([&] { camera->SetDeviceName("Cam"); }), "<no exception>");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetDeviceName("Other"); }), active);
  EXPECT_EQ(camera->DeviceName(), "Cam");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetCaptureType(ctGrabber); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetOutputFileName("x.asf"); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetOutputFileType(mtAvi); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetCompressorName("c"); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetAudioDeviceName("a"); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetAudioCompressorName("a"); }), active);
  QWidget preview;
  EXPECT_EQ(CameraErrorOf([&] { camera->SetPreviewControl(&preview); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetOnImageAvailable([](TFCamera*, double) {}); }), active);
  EXPECT_EQ(CameraErrorOf([&] { camera->SetOnImageAvailable(nullptr); }), "<no exception>");
  EXPECT_EQ(camera->CaptureType(), ctVmr9);  // the technique built, never ctAuto
}

TEST_F(CameraCore, LoadingAndDesigningStoreWithoutTheInactiveTest) {
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  camera->MediaControl();
  camera->BeginLoading();
  camera->SetCaptureType(ctGrabber);
  camera->SetOutputFileName("clip.avi");
  EXPECT_EQ(camera->OutputFileName(), "clip.avi");

  TFCamera designed(nullptr, platform);
  designed.SetDesigning(true);
  designed.SetActive(true);
  EXPECT_TRUE(designed.Active());  // at design time only the flag is stored
  EXPECT_EQ(platform->LogOf("addfilter").size(), 0u);
}

TEST_F(CameraCore, HandlersCompareByBoundObjectAndMethod) {
  struct Receiver {
    void Frame(TFCamera*, double) {}
    void Other(TFCamera*, double) {}
  } a, b;
  const auto fa = TFImageAvailableEvent::Method(&a, &Receiver::Frame);
  EXPECT_TRUE(fa == TFImageAvailableEvent::Method(&a, &Receiver::Frame));
  EXPECT_FALSE(fa == TFImageAvailableEvent::Method(&b, &Receiver::Frame));
  EXPECT_FALSE(fa == TFImageAvailableEvent::Method(&a, &Receiver::Other));
  TFImageAvailableEvent lambda = [](TFCamera*, double) {};
  TFImageAvailableEvent copy = lambda;
  EXPECT_TRUE(lambda == copy);
  EXPECT_FALSE(lambda == TFImageAvailableEvent([](TFCamera*, double) {}));
  EXPECT_TRUE(TFImageAvailableEvent() == TFImageAvailableEvent(nullptr));
}

// ---- Activation ---------------------------------------------------------------------

TEST_F(CameraCore, FailedActivationLeavesTheComponentInactiveAndEmpty) {
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  // Without an owning window the renderer has nowhere to draw.
  EXPECT_EQ(CameraErrorOf([&] { camera->SetActive(true); }), "Cannot retrieve preview form");
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(camera->State(), csInactive);
  // Everything bound for the attempt was released again.
  EXPECT_EQ(platform->LogOf("release filter Cam").size(), 1u);
  EXPECT_EQ(platform->LogOf("release GraphBuilder").size(), 1u);
  EXPECT_EQ(platform->LogOf("release MediaControl").size(), 1u);
}

TEST_F(CameraCore, ActivationNamesTheMissingGraphObject) {
  platform->AddCamera("Cam", "/c");
  platform->hasGraph = false;
  camera->SetDeviceName("Cam");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetActive(true); }),
            "Cannot retrieve 'ICaptureGraphBuilder2' interface");
  EXPECT_FALSE(camera->Active());
}

TEST_F(CameraCore, LoadedAppliesTheStoredActiveFlag) {
  platform->AddCamera("Cam", "/c");
  camera->BeginLoading();
  camera->SetDeviceName("Cam");
  camera->SetActive(true);  // stored only
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(platform->LogOf("release").size(), 0u);
  // Loading over, the stored flag is applied: the build runs (and fails here).
  EXPECT_EQ(CameraErrorOf([&] { camera->Loaded(); }), "Cannot retrieve preview form");
  EXPECT_FALSE(camera->Loading());
  EXPECT_FALSE(camera->Active());
}

TEST_F(CameraCore, DeactivatingAnInactiveComponentDoesNothing) {
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  camera->CaptureFilter();
  camera->SetActive(false);
  EXPECT_TRUE(platform->LogOf("release").empty());
}

// ---- State -----------------------------------------------------------------------------

TEST_F(CameraCore, StateOfAnInactiveComponentDoesNotTouchThePlatform) {
  EXPECT_EQ(camera->State(), csInactive);
  EXPECT_EQ(platform->createCalls, 0);
}

TEST_F(CameraCore, StateMapsTheGraphsAnswer) {
  camera->MediaControl();
  struct Case {
    HResult result;
    std::int32_t value;
    TFCameraState expected;
  };
  constexpr HResult kIntermediate = 0x00040237;  // success, transition unfinished
  for (const Case& c :
       {Case{hr::Ok, kStateStopped, csStopped}, Case{hr::Ok, kStatePaused, csPaused},
        Case{hr::Ok, kStateRunning, csRunning}, Case{hr::Ok, 7, csUnknown},
        Case{kIntermediate, kStateRunning, csRunning}, Case{hr::Fail, kStateRunning, csUnknown}}) {
    platform->graphState = c.result;
    platform->graphStateValue = c.value;
    EXPECT_EQ(camera->State(), c.expected) << c.result << " " << c.value;
  }
  EXPECT_EQ(platform->LogOf("getstate 0").size(), 6u);  // always a zero time-out
}

TEST_F(CameraCore, RunPauseStopReachTheGraphWhileActive) {
  camera->MediaControl();
  camera->Run();
  camera->Pause();
  camera->Stop();
  EXPECT_EQ(platform->LogOf("run").size(), 1u);
  EXPECT_EQ(platform->LogOf("pause").size(), 1u);
  EXPECT_EQ(platform->LogOf("stop").size(), 1u);
}

// ---- Releasing the graph --------------------------------------------------------------

TEST_F(CameraCore, ChangingTheDeviceReleasesEveryCachedObjectInOrder) {
  auto mic = std::make_shared<FakeDevice>();
  mic->friendlyName = "Mic";
  platform->audio.push_back(mic);
  for (auto* list : {&platform->videoCompressors, &platform->audioCompressors}) {
    auto codec = std::make_shared<FakeDevice>();
    codec->friendlyName = list == &platform->videoCompressors ? "VCodec" : "ACodec";
    list->push_back(codec);
  }
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  camera->SetAudioDeviceName("Mic");
  camera->SetCompressorName("VCodec");
  camera->SetAudioCompressorName("ACodec");
  ASSERT_NE(camera->AudioCaptureFilter(), nullptr);
  ASSERT_NE(camera->VMRFilterConfig9(), nullptr);
  ASSERT_NE(camera->VMRWindowlessControl9(), nullptr);
  ASSERT_NE(camera->NullRenderer(), nullptr);
  ASSERT_NE(camera->SampleGrabber(), nullptr);
  ASSERT_NE(camera->SampleGrabberCB(), nullptr);
  ASSERT_NE(camera->AMCameraControl(), nullptr);
  ASSERT_NE(camera->AMStreamConfig(), nullptr);
  ASSERT_NE(camera->AMVideoControl(), nullptr);
  ASSERT_NE(camera->AMVideoProcAmp(), nullptr);
  ASSERT_NE(camera->CaptureGraphBuilder2(), nullptr);
  ASSERT_NE(camera->MediaEvent(), nullptr);
  ASSERT_NE(camera->MediaControl(), nullptr);
  ASSERT_NE(camera->CompressorFilter(), nullptr);
  ASSERT_NE(camera->AudioCompressorFilter(), nullptr);
  camera->BeginLoading();  // lets the name change while the graph is cached
  platform->log.clear();

  camera->SetDeviceName("Other");

  EXPECT_THAT(
      platform->log,
      ElementsAre("setcallback none 0", "stopwhenready", "release filter Mic", "release VMR9Filter",
                  "release VMRWindowlessControl9", "release VMRFilterConfig9",
                  "release NullRenderer", "release SampleGrabber", "release SampleGrabberFilter",
                  "release MediaControl", "release MediaEvent", "release CameraControl",
                  "release StreamConfig", "release VideoControl", "release VideoProcAmp",
                  "release CaptureGraphBuilder2", "release GraphBuilder", "release filter Cam",
                  "release pin 0", "release filter ACodec", "release filter VCodec"));
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(camera->AudioDeviceName(), "Mic");  // names and settings stay
}

TEST_F(CameraCore, ChangingAnAudioOrCompressorNameDropsOnlyThatFilter) {
  auto mic = std::make_shared<FakeDevice>();
  mic->friendlyName = "Mic";
  platform->audio.push_back(mic);
  platform->AddCamera("Cam", "/c");
  camera->SetDeviceName("Cam");
  camera->SetAudioDeviceName("Mic");
  camera->CaptureFilter();
  camera->AudioCaptureFilter();
  platform->log.clear();
  camera->SetAudioDeviceName("Other mic");
  EXPECT_THAT(platform->log, ElementsAre("release filter Mic"));
}

TEST_F(CameraCore, ReleasingWaitsForARunningImageHandler) {
  std::atomic<bool> entered{false}, finished{false};
  camera->SetOnImageAvailable([&](TFCamera*, double) {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    finished = true;
  });
  auto callback = camera->SampleGrabberCB();
  std::thread streaming([&] { callback->SampleCB(1.5, nullptr); });
  while (!entered)
    std::this_thread::yield();
  camera->SetDeviceName("Other");  // runs the release, which must wait for the handler
  EXPECT_TRUE(finished);
  streaming.join();
}

TEST_F(CameraCore, TheImageCallbackPassesTheTimeAndSwallowsHandlerErrors) {
  double seen = -1;
  TFCamera* sender = nullptr;
  camera->SetOnImageAvailable([&](TFCamera* s, double t) {
    sender = s;
    seen = t;
    throw std::runtime_error("handler failed");
  });
  EXPECT_EQ(camera->SampleGrabberCB()->SampleCB(2.25, nullptr), hr::Ok);
  EXPECT_EQ(seen, 2.25);
  EXPECT_EQ(sender, camera.get());
  EXPECT_EQ(camera->SampleGrabberCB()->BufferCB(1, {}), hr::Ok);
}

TEST_F(CameraCore, RemovingThePreviewControlDeactivates) {
  auto* preview = new QWidget;
  camera->SetPreviewControl(preview);
  camera->MediaControl();
  ASSERT_TRUE(camera->Active());
  delete preview;
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(camera->PreviewControl(), nullptr);
  EXPECT_EQ(platform->LogOf("stopwhenready").size(), 1u);
}

TEST_F(CameraCore, DestroyingAnActiveComponentStopsTheGraph) {
  camera->MediaControl();
  camera.reset();
  EXPECT_EQ(platform->LogOf("stopwhenready").size(), 1u);
  EXPECT_EQ(platform->LogOf("release MediaControl").size(), 1u);
}

// ---- Platform objects ---------------------------------------------------------------------

TEST_F(CameraCore, TheCapturePinIsTheFirstPinThatAnswersTheCaptureCategory) {
  auto cam = platform->AddCamera("Cam", "/c");
  cam->pins = {FakePin{guids::PinCategoryStill},
               FakePin{},                                      // no property set: skipped
               FakePin{guids::PinCategoryCapture, hr::Ok, 8},  // short answer: skipped
               FakePin{guids::PinCategoryCapture, hr::Fail},   // failing read: skipped
               FakePin{guids::PinCategoryCapture},
               FakePin{guids::PinCategoryCapture}};
  camera->SetDeviceName("Cam");
  auto pin = camera->CapturePin();
  ASSERT_NE(pin, nullptr);
  std::string id;
  pin->QueryId(id);
  EXPECT_EQ(id, "pin 4");
  EXPECT_EQ(camera->CapturePin(), pin);

  cam->pins = {FakePin{guids::PinCategoryPreview}};
  camera->SetDeviceName("");
  camera->SetDeviceName("Cam");
  EXPECT_EQ(camera->CapturePin(), nullptr);
  EXPECT_EQ(camera->AMStreamConfig(), nullptr);
}

TEST_F(CameraCore, AccessorsAnswerNoneWhenThePlatformCannotCreateObjects) {
  platform->hasGraph = false;
  EXPECT_EQ(camera->GraphBuilder(), nullptr);
  EXPECT_EQ(camera->CaptureGraphBuilder2(), nullptr);
  EXPECT_EQ(camera->MediaControl(), nullptr);
  EXPECT_EQ(camera->SampleGrabber(), nullptr);
  EXPECT_EQ(camera->VMRFilterConfig9(), nullptr);
  EXPECT_EQ(camera->CaptureFilter(), nullptr);
  EXPECT_EQ(camera->AMVideoProcAmp(), nullptr);
  EXPECT_NE(camera->SampleGrabberCB(), nullptr);  // our own object: always there
  EXPECT_FALSE(camera->Active());
}

TEST_F(CameraCore, TheRendererConfigurationIsSwitchedToWindowlessMode) {
  ASSERT_NE(camera->VMRFilterConfig9(), nullptr);
  EXPECT_THAT(platform->LogOf("renderingmode"), ElementsAre("renderingmode 2"));
  ASSERT_NE(camera->CaptureGraphBuilder2(), nullptr);
  EXPECT_EQ(camera->CaptureGraphBuilder2(), camera->CaptureGraphBuilder2());
  EXPECT_EQ(platform->LogOf("setfiltergraph").size(), 1u);
}

TEST_F(CameraCore, AboutIsFixedAndDefaultsAreAsDocumented) {
  const QString about = camera->About();
  EXPECT_FALSE(about.isEmpty());
  camera->SetAbout("something else");
  EXPECT_EQ(camera->About(), about);
  EXPECT_EQ(camera->BorderColor(), 0xFF000000u);
  EXPECT_EQ(camera->CaptureType(), ctAuto);
  EXPECT_EQ(camera->OutputFileType(), mtAsf);
  EXPECT_FALSE(camera->AspectRatio());
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(camera->DeviceName(), "");
  camera->SetAspectRatio(true);
  camera->SetBorderColor(0);
  EXPECT_TRUE(camera->AspectRatio());  // stored while inactive
  EXPECT_EQ(camera->BorderColor(), 0u);
}

}  // namespace
}  // namespace varnholt::test
