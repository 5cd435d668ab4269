// The capture graph builder and the filter graph around it: which pins it
// connects, what it refuses, filter names, recording and interface lookup.

#include <QFile>

#include "camera/platform/graph/GraphErrors.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace vfw = platform::graph::vfw;

using BuilderTest = GraphTest;

TEST_F(BuilderTest, TheBuilderNeedsItsGraphOnce) {
  const auto builder = Create<ICaptureGraphBuilder2>(*platform_, ClassId::CaptureGraphBuilder2);
  const auto capture = BindCamera(*platform_, kDesk);
  const auto sink = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  EXPECT_EQ(builder->RenderStream(&guids::PinCategoryCapture, nullptr, capture, nullptr, sink),
            hr::Unexpected);
  const auto graph = Create<IGraphBuilder>(*platform_, ClassId::FilterGraph);
  EXPECT_EQ(builder->SetFiltergraph(nullptr), hr::Pointer);
  ASSERT_EQ(builder->SetFiltergraph(graph), hr::Ok);
  EXPECT_EQ(builder->SetFiltergraph(graph), hr::Unexpected);
}

TEST_F(BuilderTest, EveryFilterOfAStreamMustBeInTheGraph) {
  CaptureSession s = Open(kDesk);
  const auto sink = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  const auto grabber = Create<IBaseFilter>(*platform_, ClassId::SampleGrabber);
  ASSERT_EQ(s.graph->AddFilter(sink, "Null renderer"), hr::Ok);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, sink),
            vfw::NotInGraph);
  ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    grabber, sink),
            vfw::NotInGraph);
  EXPECT_EQ(ErrorMessage(*platform_, vfw::NotInGraph),
            "Cannot perform the requested function on an object that is not in the filter graph.");
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, nullptr),
            hr::NotImpl);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, sink),
            hr::Ok);
}

TEST_F(BuilderTest, PinsAreChosenByCategoryAndType) {
  CaptureSession s = Open(kStudio);
  const auto preview = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  const auto capture = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  const auto third = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
  for (const auto& sink : {preview, capture, third})
    ASSERT_TRUE(Succeeded(s.graph->AddFilter(sink, "Null renderer")));

  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryStill, &guids::MediaTypeVideo, s.capture,
                                    nullptr, third),
            hr::Fail);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeAudio, s.capture,
                                    nullptr, third),
            hr::Fail);
  // A real preview pin: no tee.
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo, s.capture,
                                    nullptr, preview),
            hr::Ok);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, capture),
            hr::Ok);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo, s.capture,
                                    nullptr, third),
            vfw::AlreadyConnected);
  // A sink takes one stream.
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                    nullptr, preview),
            vfw::AlreadyConnected);
}

TEST_F(BuilderTest, FormatsTheCameraCannotDrawAreNotBuilt) {
  CaptureSession s = Open(kCard);
  EXPECT_EQ(s.BuildGrabber(*platform_), hr::NotImpl);
}

TEST_F(BuilderTest, TheFileWriterTouchesNoFileUntilTheGraphRuns) {
  CaptureSession s = Open(kDesk);
  const std::string file = (StateDir() + "/capture.avi").toStdString();
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  EXPECT_EQ(
      s.builder->SetOutputFileName(guids::MediaSubtypeAvi,
                                   StateDir().toStdString() + "/missing/capture.avi", mux, sink),
      hr::PathNotFound);
  EXPECT_EQ(ErrorMessage(*platform_, hr::PathNotFound),
            "The system cannot find the path specified");
  EXPECT_EQ(s.builder->SetOutputFileName(guids::MediaTypeVideo, file, mux, sink), hr::InvalidArg);
  EXPECT_EQ(mux, nullptr);

  QFile old(QString::fromStdString(file));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("an older file");
  old.close();
  ASSERT_EQ(s.builder->SetOutputFileName(guids::MediaSubtypeAvi, file, mux, sink), hr::Ok);
  ASSERT_NE(mux, nullptr);
  std::string current;
  ASSERT_EQ(sink->GetCurFile(current), hr::Ok);
  EXPECT_EQ(current, file);
  FilterInfo info;
  ASSERT_EQ(mux->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "AVI Mux");
  ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
  const auto render = [&] {
    return s.builder->RenderStream(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                   nullptr, mux);
  };
  ASSERT_EQ(render(), hr::Ok);
  EXPECT_EQ(render(), vfw::AlreadyConnected);  // one picture stream a file

  const auto contents = [&] {
    QFile f(QString::fromStdString(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  EXPECT_EQ(contents(), "an older file");
  ASSERT_EQ(s.control->Run(), hr::Ok);
  EXPECT_EQ(s.control->Stop(), hr::Ok);
  EXPECT_TRUE(contents().startsWith("RIFF"));
}

TEST_F(BuilderTest, FindInterfaceAnswersTheCapturePinsStreamConfig) {
  CaptureSession s = Open(kDesk);
  std::shared_ptr<Unknown> found;
  ASSERT_EQ(s.builder->FindInterface(&guids::PinCategoryCapture, &guids::MediaTypeVideo, s.capture,
                                     Iid::AMStreamConfig, found),
            hr::Ok);
  const auto config = Query<IAMStreamConfig>(found);
  ASSERT_NE(config, nullptr);
  std::unique_ptr<AmMediaType> format;
  ASSERT_EQ(config->GetFormat(format), hr::Ok);
  EXPECT_EQ(VideoInfoHeader::FromBytes(format->pbFormat)->bmiHeader.biWidth, kDeskWidth);

  // Preview is served by the capture pin; there is no still pin.
  found.reset();
  EXPECT_EQ(s.builder->FindInterface(&guids::PinCategoryPreview, &guids::MediaTypeVideo, s.capture,
                                     Iid::AMStreamConfig, found),
            hr::Ok);
  EXPECT_NE(Query<IAMStreamConfig>(found), nullptr);
  EXPECT_EQ(s.builder->FindInterface(&guids::PinCategoryStill, &guids::MediaTypeVideo, s.capture,
                                     Iid::AMStreamConfig, found),
            hr::NoInterface);
  // Without a category the filter's own interfaces come first.
  ASSERT_EQ(s.builder->FindInterface(nullptr, nullptr, s.capture, Iid::AMVideoProcAmp, found),
            hr::Ok);
  EXPECT_NE(Query<IAMVideoProcAmp>(found), nullptr);
}

TEST_F(BuilderTest, FiltersKnowTheirNameAndGraph) {
  CaptureSession s = Open(kDesk);
  ASSERT_TRUE(Succeeded(s.BuildGrabber(*platform_)));
  FilterInfo info;
  ASSERT_EQ(s.grabberFilter->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Sample grabber");
  EXPECT_EQ(info.pGraph, s.graph);
  ASSERT_EQ(s.capture->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Video capture");

  const auto other = Create<IBaseFilter>(*platform_, ClassId::NullRenderer);
  EXPECT_EQ(s.graph->AddFilter(other, "Video capture"), vfw::DuplicateName);
  ASSERT_EQ(other->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Video capture 0001");
  EXPECT_EQ(s.graph->AddFilter(other, "again"), hr::InvalidArg);
  const auto secondGraph = Create<IGraphBuilder>(*platform_, ClassId::FilterGraph);
  EXPECT_EQ(secondGraph->AddFilter(other, "elsewhere"), hr::Unexpected);

  ASSERT_EQ(s.control->Run(), hr::Ok);
  EXPECT_EQ(s.graph->RemoveFilter(s.capture), vfw::NotStopped);
  ASSERT_EQ(s.control->Stop(), hr::Ok);
  ASSERT_EQ(s.graph->RemoveFilter(s.capture), hr::Ok);
  EXPECT_EQ(s.graph->RemoveFilter(s.capture), vfw::NotInGraph);
  ASSERT_EQ(s.capture->QueryFilterInfo(info), hr::Ok);
  EXPECT_EQ(info.achName, "Desk");
  EXPECT_EQ(info.pGraph, nullptr);
  // Removing the source broke its stream.
  AmMediaType type;
  EXPECT_EQ(s.grabber->GetConnectedMediaType(type), vfw::NotConnected);
}

}  // namespace
}  // namespace varnholt::test
