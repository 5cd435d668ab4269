// Building the capture graph for each capture type, its state, and the
// renderer's preview geometry.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QWidget>
#include <algorithm>

#include "tests/camera/CameraTestSupport.h"

namespace varnholt::test {
namespace {

using ::testing::ElementsAre;

constexpr HResult kCannotConnect = MakeHResult(0x80040217);

// A camera owned by a window, so the renderer has a form to draw in.
class CameraGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    device = platform->AddCamera("Cam", "/c");
    form = std::make_unique<QWidget>();
    form->resize(400, 300);
    camera = new TFCamera(form.get(), platform);
    camera->SetDeviceName("Cam");
  }
  void TearDown() override { form.reset(); }

  // The build's calls, without the lazy creation and release noise.
  std::vector<std::string> Build() const {
    std::vector<std::string> out;
    for (const auto& e : platform->log)
      for (const char* prefix : {"add", "remove", "render ", "buffer", "setcallback", "clipping",
                                 "position", "aspect", "border", "outputfile"})
        if (e.rfind(prefix, 0) == 0)
          out.push_back(e);
    return out;
  }

  std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
  std::shared_ptr<FakeDevice> device;
  std::unique_ptr<QWidget> form;
  TFCamera* camera = nullptr;
};

TEST_F(CameraGraph, TheGrabberGraphPassesFramesToTheHandlerWithoutARenderer) {
  camera->SetCaptureType(ctGrabber);
  camera->SetOnImageAvailable([](TFCamera*, double) {});
  camera->SetActive(true);
  EXPECT_THAT(Build(),
              ElementsAre("buffersamples 1", "setcallback object 0", "addfilter Video capture",
                          "addfilter Sample grabber", "addfilter Null renderer",
                          "render preview video Cam SampleGrabberFilter NullRenderer"));
  EXPECT_TRUE(camera->Active());
  EXPECT_EQ(camera->CaptureType(), ctGrabber);
  EXPECT_EQ(camera->State(), csStopped);  // left stopped; the caller runs it
  EXPECT_TRUE(platform->LogOf("VMR").empty());
}

TEST_F(CameraGraph, WithoutAHandlerNoCallbackIsInstalled) {
  camera->SetCaptureType(ctGrabber);
  camera->SetActive(true);
  EXPECT_TRUE(platform->LogOf("setcallback").empty());
  EXPECT_EQ(platform->LogOf("buffersamples 1").size(), 1u);  // still images still work
}

TEST_F(CameraGraph, TheRendererGraphDrawsIntoTheOwnersWindow) {
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  EXPECT_THAT(Build(), ElementsAre("clippingwindow set", "aspectmode 0", "bordercolor 4278190080",
                                   "addfilter Video capture", "addfilter VMR-9",
                                   "render preview video Cam - VMR9Filter"));
  EXPECT_EQ(camera->CaptureType(), ctVmr9);
  EXPECT_EQ(camera->NativeVideoSize(), QPoint(640, 480));
  EXPECT_EQ(camera->NativeAspectRatio(), QPoint(4, 3));
  EXPECT_EQ(camera->MinIdealVideoSize(), QPoint(160, 120));
  EXPECT_EQ(camera->MaxIdealVideoSize(), QPoint(1920, 1080));
}

TEST_F(CameraGraph, APreviewControlPlacesThePictureInFormCoordinates) {
  auto* panel = new QWidget(form.get());
  panel->setGeometry(5, 8, 200, 100);
  auto* preview = new QWidget(panel);
  preview->setGeometry(5, 12, 100, 50);
  camera->SetPreviewControl(preview);
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  EXPECT_THAT(platform->LogOf("position"), ElementsAre("position none (10,20,110,70)"));
}

TEST_F(CameraGraph, AutoFallsBackToTheGrabberOnlyWhenRenderingFails) {
  platform->renderResults["VMR9Filter"] = kCannotConnect;
  camera->SetActive(true);
  EXPECT_THAT(Build(),
              ElementsAre("clippingwindow set", "aspectmode 0", "bordercolor 4278190080",
                          "addfilter Video capture", "addfilter VMR-9",
                          "render preview video Cam - VMR9Filter", "buffersamples 1",
                          "removefilter Cam", "removefilter VMR9Filter", "addfilter Video capture",
                          "addfilter Sample grabber", "addfilter Null renderer",
                          "render preview video Cam SampleGrabberFilter NullRenderer"));
  EXPECT_EQ(camera->CaptureType(), ctGrabber);
  EXPECT_EQ(CameraErrorOf([&] { camera->NativeVideoSize(); }), "VMR-9 capture type required");
  EXPECT_EQ(CameraErrorOf([&] { camera->VideoPositionDest(); }), "VMR-9 capture type required");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetAspectRatio(true); }), "VMR-9 capture type required");
}

TEST_F(CameraGraph, AutoWithoutAFormFailsBeforeTheRenderStepWithoutFallingBack) {
  TFCamera orphan(nullptr, platform);
  orphan.SetDeviceName("Cam");
  EXPECT_EQ(CameraErrorOf([&] { orphan.SetActive(true); }), "Cannot retrieve preview form");
  EXPECT_FALSE(orphan.Active());
  EXPECT_TRUE(platform->LogOf("buffersamples").empty());
  orphan.SetCaptureType(ctVmr9);
  EXPECT_EQ(CameraErrorOf([&] { orphan.SetActive(true); }), "Cannot retrieve preview form");
}

TEST_F(CameraGraph, ARenderFailureIsAnErrorForTheRendererOnlyType) {
  platform->renderResults["VMR9Filter"] = kCannotConnect;
  camera->SetCaptureType(ctVmr9);
  const OleError error = OleErrorOf([&] { camera->SetActive(true); });
  EXPECT_EQ(error.code, kCannotConnect);
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(camera->State(), csInactive);
  EXPECT_EQ(platform->LogOf("release GraphBuilder").size(), 1u);
}

TEST_F(CameraGraph, ActivatingTwiceBuildsOnceAndDeactivatingReleases) {
  camera->SetCaptureType(ctGrabber);
  camera->SetActive(true);
  const auto built = platform->log.size();
  camera->SetActive(true);
  EXPECT_EQ(platform->log.size(), built);
  camera->Run();
  EXPECT_EQ(platform->LogOf("run").size(), 1u);
  camera->SetActive(false);
  EXPECT_FALSE(camera->Active());
  EXPECT_EQ(platform->LogOf("stopwhenready").size(), 1u);
  EXPECT_EQ(CameraErrorOf([&] { camera->Run(); }),
            "Cannot perform this operation on inactive camera component");
}

TEST_F(CameraGraph, RendererSettingsAreStoredWhileInactiveAndAppliedAtActivation) {
  camera->SetAspectRatio(true);
  camera->SetBorderColor(0x11223344);
  EXPECT_TRUE(platform->LogOf("aspect").empty());
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  EXPECT_THAT(platform->LogOf("aspect"), ElementsAre("aspectmode 1"));
  EXPECT_THAT(platform->LogOf("border"), ElementsAre("bordercolor 287454020"));
  EXPECT_TRUE(camera->AspectRatio());  // read back from the renderer
  camera->SetVideoPositionSource(TFRect{1, 2, 3, 4});
  EXPECT_EQ(camera->VideoPositionSource(), (TFRect{1, 2, 3, 4}));
  camera->SetVideoPositionDest(TFRect{5, 6, 7, 8});
  EXPECT_EQ(camera->VideoPositionDest(), (TFRect{5, 6, 7, 8}));
  EXPECT_THAT(platform->LogOf("position"),
              ElementsAre("position (1,2,3,4) none", "position none (5,6,7,8)"));
}

TEST_F(CameraGraph, PreviewGeometryNeedsAnActiveComponent) {
  EXPECT_EQ(CameraErrorOf([&] { camera->MaxIdealVideoSize(); }),
            "Cannot perform this operation on inactive camera component");
  EXPECT_EQ(CameraErrorOf([&] { camera->SetVideoPositionDest(TFRect{}); }),
            "Cannot perform this operation on inactive camera component");
}

TEST_F(CameraGraph, RecordingNotAvailableFailsTheActivation) {
  camera->SetCaptureType(ctGrabber);
  camera->SetOutputFileName("clip.asf");
  const OleError error = OleErrorOf([&] { camera->SetActive(true); });
  EXPECT_EQ(error.code, hr::NotImpl);
  EXPECT_EQ(error.message, "Not implemented");
  EXPECT_FALSE(camera->Active());
  EXPECT_THAT(platform->LogOf("outputfile"), ElementsAre("outputfile asf clip.asf"));
}

TEST_F(CameraGraph, RecordingRoutesVideoAndAudioThroughTheirCompressors) {
  auto add = [&](std::vector<std::shared_ptr<FakeDevice>>& list, const char* name) {
    auto d = std::make_shared<FakeDevice>();
    d->friendlyName = name;
    list.push_back(d);
  };
  add(platform->audio, "Mic");
  add(platform->videoCompressors, "VCodec");
  add(platform->audioCompressors, "ACodec");
  platform->outputFileResult = hr::Ok;
  camera->SetCaptureType(ctGrabber);
  camera->SetOutputFileName("clip.avi");
  camera->SetOutputFileType(mtAvi);
  camera->SetCompressorName("VCodec");
  camera->SetAudioDeviceName("Mic");
  camera->SetAudioCompressorName("ACodec");
  camera->SetActive(true);
  const auto all = Build();
  const std::vector<std::string> recording(
      std::find(all.begin(), all.end(), "outputfile avi clip.avi"), all.end());
  EXPECT_THAT(recording, ElementsAre("outputfile avi clip.avi", "addfilter Compressor filter",
                                     "render capture video Cam VCodec Mux",
                                     "addfilter Audio capture", "addfilter AudioCompressor filter",
                                     "render capture audio Mic ACodec Mux"));
}

TEST_F(CameraGraph, EachRecordingCheckFailsTheActivationAndHoldsNothing) {
  for (auto* list : {&platform->audio, &platform->videoCompressors, &platform->audioCompressors}) {
    list->push_back(std::make_shared<FakeDevice>());
    list->back()->friendlyName = "Known";
  }
  platform->outputFileResult = hr::Ok;
  camera->SetCaptureType(ctGrabber);
  camera->SetOutputFileName("clip.avi");
  const auto failsWith = [&](const std::string& name) {
    EXPECT_EQ(CameraErrorOf([&] { camera->SetActive(true); }),
              "Cannot retrieve '" + name + "' interface");
    EXPECT_FALSE(camera->Active());
    EXPECT_EQ(platform->LogOf("release GraphBuilder").size(), 1u) << name;
    platform->log.clear();
  };
  platform->outputFileWithoutMux = true;
  failsWith("Mux IBaseFilter");
  platform->outputFileWithoutMux = false;
  camera->SetCompressorName("Missing");
  failsWith("Compressor IBaseFilter");
  camera->SetCompressorName("Known");
  camera->SetAudioDeviceName("Missing");
  failsWith("IAudioCaptureFilter");
  camera->SetAudioDeviceName("Known");
  camera->SetAudioCompressorName("Missing");
  failsWith("AudioCompressor IBaseFilter");
  camera->SetAudioCompressorName("Known");
  camera->SetActive(true);
  EXPECT_TRUE(camera->Active());
}

TEST_F(CameraGraph, AudioIsRecordedOnlyTogetherWithAFile) {
  auto mic = std::make_shared<FakeDevice>();
  mic->friendlyName = "Mic";
  platform->audio.push_back(mic);
  camera->SetCaptureType(ctGrabber);
  camera->SetAudioDeviceName("Mic");
  camera->SetActive(true);
  EXPECT_TRUE(platform->LogOf("addfilter Audio").empty());
  EXPECT_EQ(mic->binds, 0);
}

}  // namespace
}  // namespace varnholt::test
