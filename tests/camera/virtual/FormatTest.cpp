// Media types of the capture pin and the format choice.

#include "tests/camera/virtual/VirtualTestSupport.h"

namespace varnholt::test {
namespace {

using namespace varnholt::platform;

std::uint32_t Word(const std::vector<std::uint8_t>& block, std::size_t at) {
  return static_cast<std::uint32_t>(block.at(at)) | (block.at(at + 1) << 8) |
         (block.at(at + 2) << 16) | (static_cast<std::uint32_t>(block.at(at + 3)) << 24);
}

const std::string kFormats = R"("formats": [
  {"width": 640, "height": 480, "compression": "YUY2", "fps": 30},
  {"width": 640, "height": 480, "compression": "MJPG", "bitsPerPixel": 16, "fps": 30},
  {"width": 1920, "height": 1080, "compression": "MJPG", "frameTime": 666666},
  {"width": 1280, "height": 720, "compression": "NV12", "fps": 15, "formatType": "VideoInfo2"}
])";

class FormatTest : public VirtualPlatformTest {
 protected:
  void SetUp() override {
    platform_ = Load(OneCamera(kFormats));
    filter_ = BindCamera(*platform_);
    pin_ = CapturePin(*filter_);
    ASSERT_NE(pin_, nullptr);
    config_ = Query<IAMStreamConfig>(pin_);
    ASSERT_NE(config_, nullptr);
  }

  std::vector<std::unique_ptr<AmMediaType>> MediaTypes() {
    std::shared_ptr<IEnumMediaTypes> enumerator;
    EXPECT_EQ(pin_->EnumMediaTypes(enumerator), hr::Ok);
    std::vector<std::unique_ptr<AmMediaType>> types;
    std::unique_ptr<AmMediaType> type;
    while (enumerator && enumerator->Next(type) == hr::Ok)
      types.push_back(std::move(type));
    return types;
  }

  std::shared_ptr<VirtualPlatform> platform_;
  std::shared_ptr<IBaseFilter> filter_;
  std::shared_ptr<IPin> pin_;
  std::shared_ptr<IAMStreamConfig> config_;
};

TEST_F(FormatTest, MediaTypesComeInDescribedOrder) {
  const auto types = MediaTypes();
  ASSERT_EQ(types.size(), 4u);
  const std::uint32_t fourccs[] = {kFourCCYUY2, kFourCCMJPG, kFourCCMJPG,
                                   MakeFourCC('N', 'V', '1', '2')};
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(types[i]->majortype, guids::MediaTypeVideo) << i;
    EXPECT_EQ(types[i]->subtype, FourCCSubtype(fourccs[i])) << i;
    EXPECT_FALSE(types[i]->bTemporalCompression) << i;
  }
  EXPECT_TRUE(types[0]->bFixedSizeSamples);
  EXPECT_FALSE(types[1]->bFixedSizeSamples);
}

TEST_F(FormatTest, VideoInfoBlockDescribesTheFrame) {
  const auto types = MediaTypes();
  ASSERT_EQ(types.size(), 4u);
  const AmMediaType& yuy2 = *types[0];
  EXPECT_EQ(yuy2.formattype, guids::FormatVideoInfo);
  ASSERT_EQ(yuy2.cbFormat(), VideoInfoHeader::kSize);
  const auto header = VideoInfoHeader::FromBytes(yuy2.pbFormat);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->AvgTimePerFrame, 333333);
  EXPECT_EQ(header->bmiHeader.biSize, 40u);
  EXPECT_EQ(header->bmiHeader.biWidth, 640);
  EXPECT_EQ(header->bmiHeader.biHeight, 480);
  EXPECT_EQ(header->bmiHeader.biPlanes, 1);
  EXPECT_EQ(header->bmiHeader.biBitCount, 16);  // YUY2's own depth
  EXPECT_EQ(header->bmiHeader.biCompression, kFourCCYUY2);
  EXPECT_EQ(header->bmiHeader.biSizeImage, 640u * 480 * 2);
  EXPECT_EQ(yuy2.lSampleSize, 640u * 480 * 2);
  // 333333 is a hair short of a thirtieth of a second.
  EXPECT_NEAR(header->dwBitRate, 640.0 * 480 * 16 * 30, 1000);

  const auto mjpg = VideoInfoHeader::FromBytes(types[2]->pbFormat);
  ASSERT_TRUE(mjpg);
  EXPECT_EQ(mjpg->AvgTimePerFrame, 666666);
  EXPECT_EQ(mjpg->bmiHeader.biBitCount, 24);  // MJPG's default depth
}

TEST_F(FormatTest, VideoInfo2BlockHasItsOwnLayout) {
  const auto types = MediaTypes();
  ASSERT_EQ(types.size(), 4u);
  const AmMediaType& nv12 = *types[3];
  EXPECT_EQ(nv12.formattype, guids::FormatVideoInfo2);
  ASSERT_EQ(nv12.cbFormat(), 112u);
  const auto& block = nv12.pbFormat;
  EXPECT_EQ(Word(block, 40), 666667u);  // frame time, low word
  EXPECT_EQ(Word(block, 44), 0u);
  EXPECT_EQ(Word(block, 48), 0u);   // progressive
  EXPECT_EQ(Word(block, 56), 16u);  // picture aspect 16:9
  EXPECT_EQ(Word(block, 60), 9u);
  const auto bitmap = BitmapInfoHeader::ReadFrom(block.data() + 72);
  EXPECT_EQ(bitmap.biSize, 40u);
  EXPECT_EQ(bitmap.biWidth, 1280);
  EXPECT_EQ(bitmap.biHeight, 720);
  EXPECT_EQ(bitmap.biBitCount, 12);
  EXPECT_EQ(bitmap.biCompression, MakeFourCC('N', 'V', '1', '2'));
  EXPECT_EQ(bitmap.biSizeImage, 1280u * 720 * 3 / 2);
}

TEST_F(FormatTest, GetFormatStartsAtTheFirstAndSetFormatSelectsAMatch) {
  std::unique_ptr<AmMediaType> current;
  ASSERT_EQ(config_->GetFormat(current), hr::Ok);
  EXPECT_EQ(current->subtype, FourCCSubtype(kFourCCYUY2));

  // The MJPG twin of the first format differs only in its subtype.
  auto types = MediaTypes();
  ASSERT_EQ(config_->SetFormat(*types[1]), hr::Ok);
  ASSERT_EQ(config_->GetFormat(current), hr::Ok);
  EXPECT_EQ(current->subtype, FourCCSubtype(kFourCCMJPG));
  EXPECT_EQ(current->pbFormat, types[1]->pbFormat);

  ASSERT_EQ(config_->SetFormat(*types[3]), hr::Ok);
  ASSERT_EQ(config_->GetFormat(current), hr::Ok);
  EXPECT_EQ(current->formattype, guids::FormatVideoInfo2);
}

TEST_F(FormatTest, SetFormatRefusesWhatNoDescribedFormatMatches) {
  auto types = MediaTypes();
  auto header = *VideoInfoHeader::FromBytes(types[0]->pbFormat);
  const auto withHeader = [&](VideoInfoHeader h) {
    AmMediaType m = *types[0];
    m.pbFormat = h.ToBytes();
    return m;
  };
  VideoInfoHeader other = header;
  other.AvgTimePerFrame = 400000;
  EXPECT_EQ(config_->SetFormat(withHeader(other)), hr::InvalidArg) << "frame time";
  other = header;
  other.bmiHeader.biWidth = 800;
  EXPECT_EQ(config_->SetFormat(withHeader(other)), hr::InvalidArg) << "width";
  other = header;
  other.bmiHeader.biBitCount = 24;
  EXPECT_EQ(config_->SetFormat(withHeader(other)), hr::InvalidArg) << "bit count";
  AmMediaType shortBlock = *types[0];
  shortBlock.pbFormat.resize(40);
  EXPECT_EQ(config_->SetFormat(shortBlock), hr::InvalidArg) << "short block";
  AmMediaType audio = *types[0];
  audio.majortype = guids::MediaTypeAudio;
  EXPECT_EQ(config_->SetFormat(audio), hr::InvalidArg) << "major type";

  std::unique_ptr<AmMediaType> current;
  ASSERT_EQ(config_->GetFormat(current), hr::Ok);
  EXPECT_EQ(current->pbFormat, types[0]->pbFormat);
}

TEST_F(FormatTest, CameraWithoutFormatsHasNone) {
  const auto platform = Load(R"({"cameras": [{"friendlyName": "N", "devicePath": "none"}]})");
  const auto pin = CapturePin(*BindCamera(*platform));
  std::shared_ptr<IEnumMediaTypes> enumerator;
  ASSERT_EQ(pin->EnumMediaTypes(enumerator), hr::Ok);
  std::unique_ptr<AmMediaType> type;
  EXPECT_EQ(enumerator->Next(type), hr::False);
  EXPECT_EQ(type, nullptr);
  EXPECT_EQ(Query<IAMStreamConfig>(pin)->GetFormat(type), hr::Fail);
}

}  // namespace
}  // namespace varnholt::test
