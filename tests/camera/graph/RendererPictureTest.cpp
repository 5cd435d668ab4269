// The renderer's current picture top row first: the same pixels as its
// bottom-up image read as a bitmap file, in both compressions and at odd
// sizes, written into the caller's memory and nowhere past its rows.

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>

#include "camera/platform/graph/FrameSample.h"
#include "camera/platform/graph/GraphErrors.h"
#include "camera/platform/graph/StreamInterfaces.h"
#include "camera/platform/graph/VideoMediaType.h"
#include "tests/camera/graph/GraphTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;
namespace graph = platform::graph;
namespace vfw = platform::graph::vfw;

constexpr std::uint8_t kPad = 0x5A;
constexpr std::ptrdiff_t kPadBytes = 12;
constexpr std::uint8_t kSof0[] = {0xFF, 0xC0};  // a baseline JPEG's size marker

// A windowless renderer fed frames by hand, as a connected source would.
class RendererPicture : public GraphTest {
 protected:
  void SetUp() override {
    GraphTest::SetUp();
    vmr_ = Create<IBaseFilter>(*platform_, ClassId::VideoMixingRenderer9);
    windowless_ = Query<IVMRWindowlessControl9>(vmr_);
    picture_ = Query<ICurrentPicture>(vmr_);
    receiver_ = std::dynamic_pointer_cast<graph::IFrameReceiver>(vmr_);
    ASSERT_NE(windowless_, nullptr);
    ASSERT_NE(picture_, nullptr);
    ASSERT_NE(receiver_, nullptr);
  }
  void Windowless() {
    ASSERT_EQ(Query<IVMRFilterConfig9>(vmr_)->SetRenderingMode(IVMRFilterConfig9::kModeWindowless),
              hr::Ok);
  }
  HResult Connect(std::uint32_t fourcc, int width, int height) {
    const auto type = graph::MakeVideoMediaType(
        {fourcc, width, height, static_cast<std::uint16_t>(fourcc == kFourCCYUY2 ? 16 : 24),
         333333});
    return receiver_->ReceiveConnection(*type);
  }
  void Deliver(std::vector<std::uint8_t> frame) {
    ASSERT_EQ(receiver_->Receive(std::make_shared<graph::FrameSample>(std::move(frame)), 0),
              hr::Ok);
  }

  // The bottom-up image as the camera writes it to a file, decoded.
  QImage ImageAsBitmapFile() {
    std::vector<std::uint8_t> dib;
    EXPECT_EQ(windowless_->GetCurrentImage(dib), hr::Ok);
    QByteArray file("BM", 2);
    const std::uint32_t fields[] = {static_cast<std::uint32_t>(14 + dib.size()), 0, 54};
    file.append(reinterpret_cast<const char*>(fields), sizeof fields);
    file.append(reinterpret_cast<const char*>(dib.data()), static_cast<qsizetype>(dib.size()));
    return QImage::fromData(file, "BMP");
  }

  // The picture, written into rows with padding behind them; the padding
  // must come back untouched.
  QImage Picture(HResult* result = nullptr) {
    std::vector<std::uint8_t> memory;
    int width = 0, height = 0, asked = 0;
    const HResult code = picture_->GetCurrentPicture([&](std::int32_t w, std::int32_t h) {
      ++asked;
      width = w;
      height = h;
      memory.assign(static_cast<std::size_t>((w * 4 + kPadBytes) * h), kPad);
      return ICurrentPicture::Target{memory.data(), w * 4 + kPadBytes};
    });
    if (result)
      *result = code;
    else
      EXPECT_EQ(code, hr::Ok);
    if (code != hr::Ok)
      return QImage();
    EXPECT_EQ(asked, 1);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* row = memory.data() + y * (width * 4 + kPadBytes);
      std::memcpy(image.scanLine(y), row, static_cast<std::size_t>(width) * 4);
      for (int i = 0; i < kPadBytes; ++i)
        EXPECT_EQ(row[width * 4 + i], kPad) << "padding of row " << y;
    }
    return image;
  }

  std::shared_ptr<IBaseFilter> vmr_;
  std::shared_ptr<IVMRWindowlessControl9> windowless_;
  std::shared_ptr<ICurrentPicture> picture_;
  std::shared_ptr<graph::IFrameReceiver> receiver_;
};

void ExpectSamePixels(const QImage& actual, const QImage& expected) {
  ASSERT_FALSE(expected.isNull());
  ASSERT_EQ(actual.size(), expected.size());
  ASSERT_EQ(expected.format(), QImage::Format_RGB32);
  for (int y = 0; y < actual.height(); ++y)
    ASSERT_EQ(std::memcmp(actual.constScanLine(y), expected.constScanLine(y),
                          static_cast<std::size_t>(actual.width()) * 4),
              0)
        << "row " << y;
}

std::vector<std::uint8_t> NoiseYuy2(int width, int height, std::uint32_t seed) {
  QRandomGenerator random(seed);
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
  for (auto& byte : frame)
    byte = static_cast<std::uint8_t>(random.bounded(256));
  return frame;
}

// A picture whose rows and columns all differ, so that a turned or shifted
// row shows.
std::vector<std::uint8_t> Jpeg(int width, int height,
                               QImage::Format format = QImage::Format_RGB32) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, (x * y) & 0xFF));
  QByteArray data;
  QBuffer out(&data);
  out.open(QIODevice::WriteOnly);
  QImageWriter writer(&out, "jpeg");
  writer.setQuality(85);
  EXPECT_TRUE(writer.write(picture.convertToFormat(format)));
  return std::vector<std::uint8_t>(data.begin(), data.end());
}

TEST_F(RendererPicture, HoldsTheImagesPixelsTopRowFirstAtEverySize) {
  Windowless();
  const QSize sizes[] = {{1, 1}, {3, 5}, {161, 121}, {1921, 3}};
  for (const QSize size : sizes) {
    SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
    {
      SCOPED_TRACE("YUY2");
      ASSERT_EQ(Connect(kFourCCYUY2, size.width(), size.height()), hr::Ok);
      Deliver(NoiseYuy2(size.width(), size.height(), static_cast<std::uint32_t>(size.width())));
      ExpectSamePixels(Picture(), ImageAsBitmapFile());
    }
    {
      SCOPED_TRACE("MJPG");
      ASSERT_EQ(Connect(kFourCCMJPG, size.width(), size.height()), hr::Ok);
      Deliver(Jpeg(size.width(), size.height()));
      ExpectSamePixels(Picture(), ImageAsBitmapFile());
    }
  }
}

// Frames the decoder cannot write into the caller's memory directly still
// give the same pixels: a grey JPEG, and one of another size than the
// connection's.
TEST_F(RendererPicture, JpegFramesOfAnotherKindOrSizeGiveTheSamePixels) {
  Windowless();
  ASSERT_EQ(Connect(kFourCCMJPG, 64, 48), hr::Ok);
  Deliver(Jpeg(64, 48, QImage::Format_Grayscale8));
  const QImage grey = Picture();
  ExpectSamePixels(grey, ImageAsBitmapFile());
  EXPECT_EQ(qRed(grey.pixel(10, 10)), qGreen(grey.pixel(10, 10)));

  Deliver(Jpeg(33, 17));
  const QImage other = Picture();
  EXPECT_EQ(other.size(), QSize(33, 17));
  ExpectSamePixels(other, ImageAsBitmapFile());
}

// A small JPEG whose header claims a picture far larger than the stream's
// format is refused by both forms before any memory is asked for it; one of
// exactly the format's pixels is still decoded.
TEST_F(RendererPicture, AJpegClaimingMorePixelsThanTheFormatIsRefusedUndecoded) {
  Windowless();
  ASSERT_EQ(Connect(kFourCCMJPG, 64, 48), hr::Ok);
  std::vector<std::uint8_t> huge = Jpeg(16, 12);
  const auto sof = std::search(huge.begin(), huge.end(), std::begin(kSof0), std::end(kSof0));
  ASSERT_NE(sof, huge.end());
  const std::uint8_t claimed[] = {0x0B, 0xB8, 0x0F, 0xA0};  // 3000 rows of 4000
  std::copy(std::begin(claimed), std::end(claimed), sof + 5);
  Deliver(huge);
  bool asked = false;
  EXPECT_EQ(picture_->GetCurrentPicture([&](std::int32_t, std::int32_t) {
    asked = true;
    return ICurrentPicture::Target{};
  }),
            hr::Fail);
  EXPECT_FALSE(asked);
  std::vector<std::uint8_t> dib;
  EXPECT_EQ(windowless_->GetCurrentImage(dib), hr::Fail);

  Deliver(Jpeg(48, 64));  // turned, but no more pixels
  EXPECT_EQ(Picture().size(), QSize(48, 64));
  EXPECT_EQ(windowless_->GetCurrentImage(dib), hr::Ok);
}

// The picture answers as the image does, whatever is missing; memory the
// caller cannot give is out of memory.
TEST_F(RendererPicture, FailsWithTheImagesCodes) {
  HResult code = hr::Ok;
  std::vector<std::uint8_t> dib;
  EXPECT_TRUE(Picture(&code).isNull());
  EXPECT_EQ(code, vfw::WrongState);  // not windowless yet
  Windowless();
  Picture(&code);
  EXPECT_EQ(code, vfw::NotConnected);
  ASSERT_EQ(Connect(kFourCCYUY2, 8, 4), hr::Ok);
  Picture(&code);
  EXPECT_EQ(code, vfw::WrongState);  // no frame yet
  EXPECT_EQ(windowless_->GetCurrentImage(dib), code);

  Deliver(std::vector<std::uint8_t>(8 * 4 * 2 - 1, 0x80));  // a byte short
  bool asked = false;
  EXPECT_EQ(picture_->GetCurrentPicture([&](std::int32_t, std::int32_t) {
    asked = true;
    return ICurrentPicture::Target{};
  }),
            hr::Fail);
  EXPECT_FALSE(asked);
  EXPECT_EQ(windowless_->GetCurrentImage(dib), hr::Fail);

  ASSERT_EQ(Connect(kFourCCMJPG, 8, 4), hr::Ok);
  Deliver({0xFF, 0xD8, 0x00, 0x01, 0x02});
  Picture(&code);
  EXPECT_EQ(code, hr::Fail);
  EXPECT_EQ(windowless_->GetCurrentImage(dib), hr::Fail);

  for (const std::uint32_t fourcc : {kFourCCYUY2, kFourCCMJPG}) {
    ASSERT_EQ(Connect(fourcc, 8, 4), hr::Ok);
    Deliver(fourcc == kFourCCYUY2 ? NoiseYuy2(8, 4, 1) : Jpeg(8, 4));
    EXPECT_EQ(picture_->GetCurrentPicture(
                  [](std::int32_t, std::int32_t) { return ICurrentPicture::Target{}; }),
              hr::OutOfMemory);
  }
}

// Pictures prepared on the streaming thread wait in one slot: the listener
// hears when the empty slot fills, a newer frame replaces an untaken one,
// and a taken picture keeps its pixels while frames go on.
TEST_F(RendererPicture, PreparedPicturesWaitInOneSlotThatTheListenerHearsFill) {
  Windowless();
  const auto prepared = Query<IPreparedPicture>(vmr_);
  ASSERT_NE(prepared, nullptr);
  ASSERT_EQ(Connect(kFourCCYUY2, 16, 8), hr::Ok);
  const auto Take = [&](IPreparedPicture::Picture& picture) {
    return prepared->TakePicture(picture);
  };
  const auto AsImage = [](const IPreparedPicture::Picture& p) {
    return QImage(p.pixels->data() + p.offset, p.width, p.height, p.stride, QImage::Format_RGB32)
        .copy();
  };
  IPreparedPicture::Picture taken;
  Deliver(NoiseYuy2(16, 8, 1));
  EXPECT_EQ(Take(taken), hr::False);  // nobody listens: nothing prepared

  int heard = 0;
  ASSERT_EQ(prepared->SetPictureListener([&] { ++heard; }), hr::Ok);
  Deliver(NoiseYuy2(16, 8, 2));
  Deliver(NoiseYuy2(16, 8, 3));
  EXPECT_EQ(heard, 1);
  ASSERT_EQ(Take(taken), hr::Ok);
  const QImage newest = Picture();
  ExpectSamePixels(AsImage(taken), newest);
  IPreparedPicture::Picture none;
  EXPECT_EQ(Take(none), hr::False);

  // Pictures are laid out half a page from where the caller copies them.
  for (const std::uintptr_t target : {std::uintptr_t{16}, std::uintptr_t{0x7ff0}}) {
    prepared->SetCopyTarget(target);
    Deliver(NoiseYuy2(16, 8, 3));
    IPreparedPicture::Picture placed;
    ASSERT_EQ(Take(placed), hr::Ok);
    EXPECT_EQ(
        (reinterpret_cast<std::uintptr_t>(placed.pixels->data() + placed.offset) - target) % 4096,
        2048u);
    ExpectSamePixels(AsImage(placed), newest);
  }

  // Frames while the taken picture is held, one of them too short to show.
  for (std::uint32_t seed = 4; seed < 10; ++seed) {
    Deliver(NoiseYuy2(16, 8, seed));
    ASSERT_EQ(Take(none), hr::Ok);
  }
  EXPECT_EQ(heard, 9);
  Deliver(std::vector<std::uint8_t>(16 * 8 * 2 - 1, 0x80));
  EXPECT_EQ(heard, 9);
  EXPECT_EQ(Take(none), hr::False);
  ExpectSamePixels(AsImage(taken), newest);

  // Without a listener the slot empties and stays empty.
  Deliver(NoiseYuy2(16, 8, 10));
  ASSERT_EQ(prepared->SetPictureListener(nullptr), hr::Ok);
  Deliver(NoiseYuy2(16, 8, 11));
  EXPECT_EQ(Take(none), hr::False);
  EXPECT_EQ(heard, 10);
}

}  // namespace
}  // namespace varnholt::test
