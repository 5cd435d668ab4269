// Still images of the current frame, from the sample grabber and from the
// renderer.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <cstring>

#include "tests/camera/CameraTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

std::uint32_t U32(const QByteArray& b, int at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + i])) << (8 * i);
  return v;
}
std::uint16_t U16(const QByteArray& b, int at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                    (static_cast<std::uint8_t>(b[at + 1]) << 8));
}

// A YUY2 frame whose first row in memory (the top of the picture) is white
// and the rest black.
std::vector<std::uint8_t> WhiteTopRow(int width, int height) {
  std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * height * 2);
  for (std::size_t i = 0; i < frame.size(); i += 2) {
    frame[i] = i < static_cast<std::size_t>(width) * 2 ? 255 : 0;
    frame[i + 1] = 128;
  }
  return frame;
}

class CameraImages : public ::testing::Test {
 protected:
  void SetUp() override {
    platform->AddCamera("Cam", "/c");
    form = std::make_unique<QWidget>();
    camera = new TFCamera(form.get(), platform);
    camera->SetDeviceName("Cam");
  }
  void TearDown() override { form.reset(); }
  void ActivateGrabber() {
    camera->SetCaptureType(ctGrabber);
    camera->SetActive(true);
  }
  QByteArray Stream(TFImageFormat* format = nullptr) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const TFImageFormat f = camera->CurrentImageToStream(buffer);
    if (format)
      *format = f;
    return buffer.data();
  }

  std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
  std::unique_ptr<QWidget> form;
  TFCamera* camera = nullptr;
};

TEST_F(CameraImages, StillImagesNeedAnActiveComponent) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  const std::string inactive = "Cannot perform this operation on inactive camera component";
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToStream(buffer); }), inactive);
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToBitmap(); }), inactive);
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToFile("x.bmp"); }), inactive);
}

TEST_F(CameraImages, BeforeTheFirstSampleNothingIsWritten) {
  ActivateGrabber();
  platform->grabberType = VideoType(640, 480, 333333, 16, kFourCCYUY2);
  TFImageFormat format = ifJpeg;
  EXPECT_TRUE(Stream(&format).isEmpty());
  EXPECT_EQ(format, ifBmp);
  EXPECT_TRUE(camera->CurrentImageToBitmap().isNull());
}

TEST_F(CameraImages, AYUY2FrameBecomesABottomUp32BitBitmap) {
  ActivateGrabber();
  platform->grabberType = VideoType(640, 480, 333333, 16, kFourCCYUY2);
  platform->grabberBuffer = WhiteTopRow(640, 480);
  TFImageFormat format = ifJpeg;
  const QByteArray bmp = Stream(&format);
  EXPECT_EQ(format, ifBmp);
  ASSERT_EQ(bmp.size(), 14 + 40 + 1228800);
  EXPECT_EQ(bmp.left(2), "BM");
  EXPECT_EQ(U32(bmp, 2), 14u + 40 + 1228800);
  EXPECT_EQ(U32(bmp, 6), 0u);
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(U32(bmp, 14), 40u);  // header size as the camera gave it
  EXPECT_EQ(U32(bmp, 18), 640u);
  EXPECT_EQ(U32(bmp, 22), 480u);
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 32u);
  EXPECT_EQ(U32(bmp, 30), 0u);  // uncompressed
  EXPECT_EQ(U32(bmp, 34), 0u);  // image size
  EXPECT_EQ(U32(bmp, 46), 0u);
  EXPECT_EQ(U32(bmp, 50), 0u);
  // The first stored row is the bottom of the picture (black); the last is the top (white).
  EXPECT_EQ(U32(bmp, 54), 0xFF000000u);
  EXPECT_EQ(U32(bmp, 54 + 4 * 640 * 479), 0xFFFFFFFFu);

  const QImage image = camera->CurrentImageToBitmap();
  ASSERT_EQ(image.size(), QSize(640, 480));
  EXPECT_EQ(image.pixel(0, 0) | 0xFF000000u, 0xFFFFFFFFu);
  EXPECT_EQ(image.pixel(0, 479) | 0xFF000000u, 0xFF000000u);
}

TEST_F(CameraImages, JpegFramesArePassedThroughUnchanged) {
  ActivateGrabber();
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QBuffer jpeg;
  jpeg.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&jpeg, "JPG"));
  platform->grabberType = VideoType(64, 48, 333333, 24, kFourCCMJPG);
  platform->grabberBuffer = std::vector<std::uint8_t>(jpeg.data().begin(), jpeg.data().end());
  TFImageFormat format = ifBmp;
  EXPECT_EQ(Stream(&format), jpeg.data());
  EXPECT_EQ(format, ifJpeg);
  EXPECT_EQ(camera->CurrentImageToBitmap().size(), QSize(64, 48));
}

// A JPEG claiming more pixels than the stream's format is not decoded into
// a bitmap; its bytes still go to a stream unchanged.
TEST_F(CameraImages, AJpegClaimingMorePixelsThanTheStreamIsNoBitmap) {
  ActivateGrabber();
  QImage picture(16, 12, QImage::Format_RGB32);
  picture.fill(Qt::red);
  QBuffer jpeg;
  jpeg.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&jpeg, "JPG"));
  QByteArray huge = jpeg.data();
  const qsizetype sof = huge.indexOf("\xFF\xC0");
  ASSERT_GE(sof, 0);
  huge.replace(sof + 5, 4, "\x0B\xB8\x0F\xA0");  // 3000 rows of 4000
  platform->grabberType = VideoType(64, 48, 333333, 24, kFourCCMJPG);
  platform->grabberBuffer = std::vector<std::uint8_t>(huge.begin(), huge.end());
  EXPECT_EQ(Stream(), huge);
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToBitmap(); }),
            "JPEG frame of 4000x3000 pixels in a 64x48 stream");
  // Nor one within a format the camera claims beyond any real camera's.
  huge.replace(sof + 5, 4, "\x23\x28\x23\x28");  // 9000 on each side
  platform->grabberType = VideoType(9000, 9000, 333333, 24, kFourCCMJPG);
  platform->grabberBuffer = std::vector<std::uint8_t>(huge.begin(), huge.end());
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToBitmap(); }),
            "JPEG frame of 9000x9000 pixels in a 9000x9000 stream");
}

TEST_F(CameraImages, OtherFormatsKeepTheirHeaderAndBytes) {
  ActivateGrabber();
  platform->grabberType = VideoType(2, 2, 0, 24, 0);  // uncompressed 24-bit
  platform->grabberBuffer = std::vector<std::uint8_t>(16, 0x40);
  const QByteArray bmp = Stream();
  ASSERT_EQ(bmp.size(), 14 + 40 + 16);
  EXPECT_EQ(U32(bmp, 2), 70u);
  EXPECT_EQ(U16(bmp, 28), 24u);
  EXPECT_EQ(bmp.right(16), QByteArray(16, 0x40));
}

TEST_F(CameraImages, AShortSampleIsRefusedAndNeitherStreamNorFileIsTouched) {
  ActivateGrabber();
  platform->grabberType = VideoType(640, 480, 333333, 16, kFourCCYUY2);
  platform->grabberBuffer = std::vector<std::uint8_t>(1000, 0);
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToStream(buffer); }),
            "Incomplete frame: 1000 bytes for a 640x480 YUY2 frame");
  EXPECT_TRUE(buffer.data().isEmpty());

  QTemporaryDir dir;
  const QString file = dir.filePath("still.bmp");
  ASSERT_TRUE(WriteFile(file, "previous picture"));
  EXPECT_NE(CameraErrorOf([&] { camera->CurrentImageToFile(file); }), "<no exception>");
  EXPECT_EQ(ReadFile(file), "previous picture");

  platform->grabberBuffer = WhiteTopRow(640, 480);
  EXPECT_EQ(camera->CurrentImageToFile(file), ifBmp);
  EXPECT_EQ(QFile(file).size(), 14 + 40 + 1228800);
}

TEST_F(CameraImages, TheRenderersImageGetsAFileHeader) {
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  BitmapInfoHeader header;
  header.biWidth = 2;
  header.biHeight = 1;
  header.biBitCount = 32;
  header.biSizeImage = 8;
  platform->rendererImage.resize(48);
  header.WriteTo(platform->rendererImage.data());
  for (int i = 40; i < 48; ++i)
    platform->rendererImage[i] = static_cast<std::uint8_t>(i);
  const QByteArray bmp = Stream();
  ASSERT_EQ(bmp.size(), 14 + 48);
  EXPECT_EQ(U32(bmp, 2), 62u);
  EXPECT_EQ(U32(bmp, 10), 54u);
  EXPECT_EQ(bmp.mid(14),
            QByteArray(reinterpret_cast<const char*>(platform->rendererImage.data()), 48));

  platform->rendererImage.resize(44);  // claims 8 pixel bytes, holds 4
  EXPECT_EQ(CameraErrorOf([&] { Stream(); }), "Incomplete image from the renderer");
  EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToBitmap(); }),
            "Incomplete image from the renderer");
  platform->rendererImageResult = hr::Fail;
  EXPECT_EQ(OleErrorOf([&] { Stream(); }).code, hr::Fail);
  EXPECT_EQ(OleErrorOf([&] { camera->CurrentImageToBitmap(); }).code, hr::Fail);
}

// A renderer image: header, then pixel bytes that differ from pixel to
// pixel, alpha included.
std::vector<std::uint8_t> RendererImage(BitmapInfoHeader header, std::size_t pixelBytes,
                                        std::uint8_t seed = 0) {
  std::vector<std::uint8_t> image(BitmapInfoHeader::kSize + pixelBytes);
  header.WriteTo(image.data());
  for (std::size_t i = 0; i < pixelBytes; ++i)
    image[BitmapInfoHeader::kSize + i] = static_cast<std::uint8_t>(i * 37 + seed);
  return image;
}

BitmapInfoHeader Plain(int width, int height) {
  BitmapInfoHeader header;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = 32;
  header.biSizeImage = static_cast<std::uint32_t>(width * std::abs(height) * 4);
  return header;
}

// The bitmap is what decoding the image file gives, whichever form the
// renderer's image takes.
TEST_F(CameraImages, TheRenderersBitmapIsItsImageFileDecoded) {
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  BitmapInfoHeader resolution = Plain(5, 3);
  resolution.biXPelsPerMeter = 2835;
  resolution.biYPelsPerMeter = 1417;
  BitmapInfoHeader topDown = Plain(4, -3);
  BitmapInfoHeader rgb24 = Plain(4, 2);
  rgb24.biBitCount = 24;
  rgb24.biSizeImage = 24;
  BitmapInfoHeader wide = Plain(1921, 2);
  BitmapInfoHeader noImageSize = Plain(2, 2);
  noImageSize.biSizeImage = 0;  // the file then holds no pixels
  const struct {
    const char* name;
    BitmapInfoHeader header;
    std::size_t pixelBytes;
  } cases[] = {{"plain", Plain(5, 3), 60},        {"one pixel", Plain(1, 1), 4},
               {"wide", wide, wide.biSizeImage},  {"resolution", resolution, 60},
               {"top-down", topDown, 48},         {"24-bit", rgb24, 24},
               {"no image size", noImageSize, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    platform->rendererImage = RendererImage(c.header, c.pixelBytes);
    const QImage expected = QImage::fromData(Stream());
    if (expected.isNull())
      EXPECT_EQ(CameraErrorOf([&] { camera->CurrentImageToBitmap(); }),
                "<other exception: Loading bitmap failed.>");
    else
      ExpectSameBitmap(camera->CurrentImageToBitmap(), expected);
  }
}

// Bitmaps go to the caller: one still held keeps its picture while later
// frames arrive, of the same size or another.
TEST_F(CameraImages, AHeldBitmapKeepsItsPictureThroughLaterFrames) {
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  platform->rendererImage = RendererImage(Plain(6, 4), 96, 1);
  const QImage first = camera->CurrentImageToBitmap();
  const QImage firstCopy = first.copy();
  platform->rendererImage = RendererImage(Plain(6, 4), 96, 2);
  const QImage second = camera->CurrentImageToBitmap();
  const QImage secondCopy = second.copy();
  ExpectSameBitmap(first, firstCopy);
  ExpectSameBitmap(second, QImage::fromData(Stream()));
  EXPECT_NE(second, first);

  platform->rendererImage = RendererImage(Plain(3, 7), 84, 3);
  const QImage resized = camera->CurrentImageToBitmap();
  ExpectSameBitmap(resized, QImage::fromData(Stream()));
  ExpectSameBitmap(second, secondCopy);
  ExpectSameBitmap(first, firstCopy);
}

// The camera keeps its frame-sized bitmap only while the graph lives: the
// caller's bitmap shares it until then, and is nobody else's afterwards.
TEST_F(CameraImages, TheCameraLetsGoOfItsBitmapWithTheGraph) {
  camera->SetCaptureType(ctVmr9);
  camera->SetActive(true);
  platform->rendererImage = RendererImage(Plain(6, 4), 96);
  const QImage bitmap = camera->CurrentImageToBitmap();
  ASSERT_FALSE(bitmap.isDetached());
  camera->SetActive(false);
  EXPECT_TRUE(bitmap.isDetached());
}

}  // namespace
}  // namespace varnholt::test
