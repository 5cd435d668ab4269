// The windowless VMR-9 renderer: its mode rule, sizes and positions, the
// current image as a bitmap, and the fallback when it cannot take a preview.

#include "camera/platform/graph/GraphErrors.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace vfw = platform::graph::vfw;

using RendererTest = GraphTest;

// Polls until the renderer has a frame; the image's error code otherwise.
HResult WaitForImage(IVMRWindowlessControl9& windowless, std::vector<std::uint8_t>& image) {
  const auto deadline = std::chrono::steady_clock::now() + kFrameWait;
  HResult code = windowless.GetCurrentImage(image);
  while (code == vfw::WrongState && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
    code = windowless.GetCurrentImage(image);
  }
  return code;
}

std::uint32_t PixelAt(const std::vector<std::uint8_t>& dib, int width, int row, int x) {
  const std::size_t at = BitmapInfoHeader::kSize + (static_cast<std::size_t>(row) * width + x) * 4;
  return static_cast<std::uint32_t>(dib[at]) | (static_cast<std::uint32_t>(dib[at + 1]) << 8) |
         (static_cast<std::uint32_t>(dib[at + 2]) << 16) |
         (static_cast<std::uint32_t>(dib[at + 3]) << 24);
}

TEST_F(RendererTest, WindowlessModeComesFirst) {
  const auto vmr = Create<IBaseFilter>(*platform_, ClassId::VideoMixingRenderer9);
  const auto config = Query<IVMRFilterConfig9>(vmr);
  const auto windowless = Query<IVMRWindowlessControl9>(vmr);
  ASSERT_NE(config, nullptr);
  ASSERT_NE(windowless, nullptr);
  EXPECT_EQ(windowless->SetVideoClippingWindow(0x4711), vfw::WrongState);
  EXPECT_EQ(config->SetRenderingMode(1), hr::NotImpl);
  EXPECT_EQ(config->SetRenderingMode(3), hr::InvalidArg);

  CaptureSession s = Open(kDesk);
  ASSERT_EQ(s.graph->AddFilter(s.capture, "Video capture"), hr::Ok);
  ASSERT_EQ(s.graph->AddFilter(vmr, "VMR-9"), hr::Ok);
  EXPECT_EQ(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo, s.capture,
                                    nullptr, vmr),
            vfw::WrongState);
  ASSERT_EQ(config->SetRenderingMode(IVMRFilterConfig9::kModeWindowless), hr::Ok);
  EXPECT_TRUE(Succeeded(s.builder->RenderStream(&guids::PinCategoryPreview, &guids::MediaTypeVideo,
                                                s.capture, nullptr, vmr)));
  EXPECT_EQ(config->SetRenderingMode(IVMRFilterConfig9::kModeWindowless), vfw::WrongState);
}

TEST_F(RendererTest, SizesAndPositionsFollowTheConnectedFormat) {
  CaptureSession s = Open(kDesk);
  const auto vmr = Create<IBaseFilter>(*platform_, ClassId::VideoMixingRenderer9);
  Query<IVMRFilterConfig9>(vmr)->SetRenderingMode(IVMRFilterConfig9::kModeWindowless);
  std::int32_t w = 0, h = 0, ax = 0, ay = 0;
  EXPECT_EQ(Query<IVMRWindowlessControl9>(vmr)->GetNativeVideoSize(w, h, ax, ay),
            vfw::NotConnected);

  ASSERT_TRUE(Succeeded(s.BuildRenderer(*platform_)));
  ASSERT_EQ(s.windowless->GetNativeVideoSize(w, h, ax, ay), hr::Ok);
  EXPECT_EQ(std::vector<std::int32_t>({w, h, ax, ay}),
            std::vector<std::int32_t>({kDeskWidth, kDeskHeight, kDeskWidth, kDeskHeight}));
  ASSERT_EQ(s.windowless->GetMinIdealVideoSize(w, h), hr::Ok);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(kDeskWidth / 4, kDeskHeight / 4));
  ASSERT_EQ(s.windowless->GetMaxIdealVideoSize(w, h), hr::Ok);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(kDeskWidth * 4, kDeskHeight * 4));

  Rect32 source, target;
  ASSERT_EQ(s.windowless->GetVideoPosition(source, target), hr::Ok);
  EXPECT_EQ(source, (Rect32{0, 0, kDeskWidth, kDeskHeight}));
  EXPECT_EQ(target, (Rect32{0, 0, 320, 240}));
  const Rect32 outside{0, 0, kDeskWidth + 1, kDeskHeight};
  EXPECT_EQ(s.windowless->SetVideoPosition(&outside, nullptr), hr::InvalidArg);
  EXPECT_EQ(s.windowless->SetVideoPosition(nullptr, nullptr), hr::Pointer);
  const Rect32 part{10, 10, 90, 70};
  ASSERT_EQ(s.windowless->SetVideoPosition(&part, nullptr), hr::Ok);
  ASSERT_EQ(s.windowless->GetVideoPosition(source, target), hr::Ok);
  EXPECT_EQ(source, part);

  std::uint32_t mode = 0, colour = 0;
  ASSERT_EQ(s.windowless->GetAspectRatioMode(mode), hr::Ok);
  EXPECT_EQ(mode, 1u);
  EXPECT_EQ(s.windowless->SetAspectRatioMode(2), hr::InvalidArg);
  ASSERT_EQ(s.windowless->GetBorderColor(colour), hr::Ok);
  EXPECT_EQ(colour, 0xFF000000u);
}

TEST_F(RendererTest, TheCurrentImageIsABottomUpBitmap) {
  CaptureSession s = Open(kDesk);
  ASSERT_TRUE(Succeeded(s.BuildRenderer(*platform_)));
  std::vector<std::uint8_t> image;
  EXPECT_EQ(s.windowless->GetCurrentImage(image), vfw::WrongState);
  ASSERT_EQ(s.control->Run(), hr::Ok);
  ASSERT_EQ(WaitForImage(*s.windowless, image), hr::Ok);

  ASSERT_GE(image.size(), BitmapInfoHeader::kSize);
  const auto header = BitmapInfoHeader::ReadFrom(image.data());
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, kDeskWidth);
  EXPECT_EQ(header.biHeight, kDeskHeight);
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biCompression, 0u);
  EXPECT_EQ(header.biSizeImage, std::uint32_t{kDeskWidth * kDeskHeight * 4});
  ASSERT_EQ(image.size(), BitmapInfoHeader::kSize + header.biSizeImage);
  // The picture's top row, last in memory, starts with the white bar and
  // ends with the black one.
  EXPECT_EQ(PixelAt(image, kDeskWidth, kDeskHeight - 1, 0), 0xFFB4B4B4u);
  EXPECT_EQ(PixelAt(image, kDeskWidth, kDeskHeight - 1, kDeskWidth - 1), 0xFF101010u);
}

TEST_F(RendererTest, MjpgFramesAreDecodedForTheImage) {
  CaptureSession s = Open(kDesk);
  SelectFormat(*s.capture, 1);
  ASSERT_TRUE(Succeeded(s.BuildRenderer(*platform_)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  std::vector<std::uint8_t> image;
  ASSERT_EQ(WaitForImage(*s.windowless, image), hr::Ok);
  const auto header = BitmapInfoHeader::ReadFrom(image.data());
  EXPECT_EQ(header.biWidth, kDeskWidth);
  EXPECT_EQ(header.biHeight, kDeskHeight);
  EXPECT_EQ(image.size(), BitmapInfoHeader::kSize + std::size_t{kDeskWidth * kDeskHeight * 4});
}

// Callers keep one buffer from frame to frame: whatever it held before, of
// any size, the image replaces it whole, in either compression.
TEST_F(RendererTest, AReusedImageBufferIsOverwrittenWhole) {
  for (const int format : {0, 1}) {
    SCOPED_TRACE(format == 0 ? "YUY2" : "MJPG");
    CaptureSession s = Open(kDesk);
    SelectFormat(*s.capture, format);
    ASSERT_TRUE(Succeeded(s.BuildRenderer(*platform_)));
    ASSERT_EQ(s.control->Run(), hr::Ok);
    const std::size_t whole = BitmapInfoHeader::kSize + std::size_t{kDeskWidth * kDeskHeight * 4};
    for (const std::size_t before : {std::size_t{0}, whole / 2, whole, whole + 4096}) {
      std::vector<std::uint8_t> image(before, 0x5A);
      ASSERT_EQ(WaitForImage(*s.windowless, image), hr::Ok);
      ASSERT_EQ(image.size(), whole);
      EXPECT_EQ(BitmapInfoHeader::ReadFrom(image.data()).biSizeImage, whole - 40);
      // Every pixel written: a left-over byte would show as a non-opaque one.
      int stale = 0;
      for (int row = 0; row < kDeskHeight; ++row)
        for (int x = 0; x < kDeskWidth; ++x)
          stale += (PixelAt(image, kDeskWidth, row, x) >> 24) != 0xFF;
      EXPECT_EQ(stale, 0) << "buffer of " << before << " bytes before";
    }
  }
}

TEST_F(RendererTest, AutoCaptureFallsBackToTheGrabberWhenThePreviewCannotBeRendered) {
  CaptureSession direct = Open(kNoPreview);
  EXPECT_EQ(direct.BuildRenderer(*platform_), vfw::CannotConnect);
  direct.Release();

  CaptureSession s = Open(kNoPreview);
  const auto counter = std::make_shared<FrameCounter>();
  ASSERT_TRUE(Succeeded(s.BuildAuto(*platform_, counter)));
  ASSERT_EQ(s.control->Run(), hr::Ok);
  EXPECT_TRUE(counter->WaitBeyond(0));
}

TEST_F(RendererTest, AutoCaptureKeepsTheRendererWhenItWorks) {
  CaptureSession s = Open(kDesk);
  ASSERT_TRUE(Succeeded(s.BuildAuto(*platform_, nullptr)));
  EXPECT_EQ(s.grabber, nullptr);
  ASSERT_EQ(s.control->Run(), hr::Ok);
  std::vector<std::uint8_t> image;
  EXPECT_EQ(WaitForImage(*s.windowless, image), hr::Ok);
}

}  // namespace
}  // namespace varnholt::test
