#include "camera/platform/MediaType.h"

#include "camera/platform/Guid.h"

#include <cstring>

namespace varnholt::platform {
namespace {
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
void PutRect(std::uint8_t* p, const Rect32& r) {
  Put32(p, static_cast<std::uint32_t>(r.left));
  Put32(p + 4, static_cast<std::uint32_t>(r.top));
  Put32(p + 8, static_cast<std::uint32_t>(r.right));
  Put32(p + 12, static_cast<std::uint32_t>(r.bottom));
}
Rect32 GetRect(const std::uint8_t* p) {
  return Rect32{static_cast<std::int32_t>(Get32(p)), static_cast<std::int32_t>(Get32(p + 4)),
                static_cast<std::int32_t>(Get32(p + 8)), static_cast<std::int32_t>(Get32(p + 12))};
}
}  // namespace

void BitmapInfoHeader::WriteTo(std::uint8_t* out) const {
  Put32(out, biSize);
  Put32(out + 4, static_cast<std::uint32_t>(biWidth));
  Put32(out + 8, static_cast<std::uint32_t>(biHeight));
  Put16(out + 12, biPlanes);
  Put16(out + 14, biBitCount);
  Put32(out + 16, biCompression);
  Put32(out + 20, biSizeImage);
  Put32(out + 24, static_cast<std::uint32_t>(biXPelsPerMeter));
  Put32(out + 28, static_cast<std::uint32_t>(biYPelsPerMeter));
  Put32(out + 32, biClrUsed);
  Put32(out + 36, biClrImportant);
}

BitmapInfoHeader BitmapInfoHeader::ReadFrom(const std::uint8_t* in) {
  BitmapInfoHeader h;
  h.biSize = Get32(in);
  h.biWidth = static_cast<std::int32_t>(Get32(in + 4));
  h.biHeight = static_cast<std::int32_t>(Get32(in + 8));
  h.biPlanes = Get16(in + 12);
  h.biBitCount = Get16(in + 14);
  h.biCompression = Get32(in + 16);
  h.biSizeImage = Get32(in + 20);
  h.biXPelsPerMeter = static_cast<std::int32_t>(Get32(in + 24));
  h.biYPelsPerMeter = static_cast<std::int32_t>(Get32(in + 28));
  h.biClrUsed = Get32(in + 32);
  h.biClrImportant = Get32(in + 36);
  return h;
}

std::vector<std::uint8_t> VideoInfoHeader::ToBytes() const {
  std::vector<std::uint8_t> out(kSize, 0);
  PutRect(out.data(), rcSource);
  PutRect(out.data() + 16, rcTarget);
  Put32(out.data() + 32, dwBitRate);
  Put32(out.data() + 36, dwBitErrorRate);
  const auto frame = static_cast<std::uint64_t>(AvgTimePerFrame);
  Put32(out.data() + 40, static_cast<std::uint32_t>(frame));
  Put32(out.data() + 44, static_cast<std::uint32_t>(frame >> 32));
  bmiHeader.WriteTo(out.data() + kBitmapHeaderOffset);
  return out;
}

std::optional<VideoInfoHeader> VideoInfoHeader::FromBytes(const std::vector<std::uint8_t>& block) {
  if (block.size() < kSize)
    return std::nullopt;
  const std::uint8_t* p = block.data();
  VideoInfoHeader v;
  v.rcSource = GetRect(p);
  v.rcTarget = GetRect(p + 16);
  v.dwBitRate = Get32(p + 32);
  v.dwBitErrorRate = Get32(p + 36);
  v.AvgTimePerFrame = static_cast<std::int64_t>(static_cast<std::uint64_t>(Get32(p + 40)) |
                                                (static_cast<std::uint64_t>(Get32(p + 44)) << 32));
  v.bmiHeader = BitmapInfoHeader::ReadFrom(p + kBitmapHeaderOffset);
  return v;
}

WaveFormatEx WaveFormatEx::Pcm16(std::uint32_t sampleRate, std::uint16_t channels) {
  WaveFormatEx w;
  w.nChannels = channels;
  w.nSamplesPerSec = sampleRate;
  w.nBlockAlign = static_cast<std::uint16_t>(channels * 2);
  w.nAvgBytesPerSec = sampleRate * w.nBlockAlign;
  return w;
}

std::vector<std::uint8_t> WaveFormatEx::ToBytes() const {
  std::vector<std::uint8_t> out(kSize);
  Put16(out.data(), wFormatTag);
  Put16(out.data() + 2, nChannels);
  Put32(out.data() + 4, nSamplesPerSec);
  Put32(out.data() + 8, nAvgBytesPerSec);
  Put16(out.data() + 12, nBlockAlign);
  Put16(out.data() + 14, wBitsPerSample);
  Put16(out.data() + 16, cbSize);
  return out;
}

std::optional<WaveFormatEx> WaveFormatEx::FromBytes(const std::vector<std::uint8_t>& block) {
  if (block.size() < kSize)
    return std::nullopt;
  const std::uint8_t* p = block.data();
  WaveFormatEx w;
  w.wFormatTag = Get16(p);
  w.nChannels = Get16(p + 2);
  w.nSamplesPerSec = Get32(p + 4);
  w.nAvgBytesPerSec = Get32(p + 8);
  w.nBlockAlign = Get16(p + 12);
  w.wBitsPerSample = Get16(p + 14);
  w.cbSize = Get16(p + 16);
  return w;
}

AmMediaType MakePcmMediaType(std::uint32_t sampleRate, std::uint16_t channels) {
  const WaveFormatEx wave = WaveFormatEx::Pcm16(sampleRate, channels);
  AmMediaType type;
  type.majortype = guids::MediaTypeAudio;
  type.subtype = guids::MediaSubtypePcm;
  type.bFixedSizeSamples = true;
  type.lSampleSize = wave.nBlockAlign;
  type.formattype = guids::FormatWaveFormatEx;
  type.pbFormat = wave.ToBytes();
  return type;
}

void FreeMediaType(AmMediaType& mediaType) {
  mediaType.pbFormat.clear();
  mediaType.pbFormat.shrink_to_fit();
  mediaType.pUnk.reset();
}

}  // namespace varnholt::platform
