#include "tests/vm/VmChecks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QBuffer>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#include "tests/vm/VividRig.h"

namespace varnholt::test {

const TFPropertyKey& Key(const std::string& name) {
  for (const TFPropertyKey& key : kPropertyKeys)
    if (name == key.Name)
      return key;
  throw std::logic_error("no property key " + name);
}

void ExpectUnsupported(TFCamera& camera, const TFPropertyKey& key) {
  SCOPED_TRACE(key.Name);
  // The rows grey a property whose support check says no ...
  EXPECT_FALSE((camera.*key.Supported)());
  // ... and every other call answers the platform's "unsupported" code.
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { (camera.*key.Value)(); },
           [&] { (camera.*key.SetValue)(1); },
           [&] { (camera.*key.IsAuto)(); },
           [&] { (camera.*key.SetAuto)(true); },
           [&] { (camera.*key.Range)(); },
       }) {
    const RaisedError raised = ErrorOf(call);
    EXPECT_TRUE(raised.ole) << raised.message;
    EXPECT_EQ(raised.code, kUnsupported);
  }
}

void ExpectRange(TFCamera& camera, const TFPropertyKey& key, const TFRange& expected) {
  SCOPED_TRACE(key.Name);
  EXPECT_TRUE((camera.*key.Supported)());
  const TFRange range = (camera.*key.Range)();
  EXPECT_EQ(range.Min, expected.Min);
  EXPECT_EQ(range.Max, expected.Max);
  EXPECT_EQ(range.Delta, expected.Delta);
  EXPECT_EQ(range.Default, expected.Default);
  EXPECT_EQ(range.Auto, expected.Auto);
  EXPECT_EQ(range.Manual, expected.Manual);
}

std::string FourCC(const TFFourCC& f) {
  return std::string(reinterpret_cast<const char*>(f.Bytes), 4);
}

std::set<std::int64_t> DriverFrameTimes(const std::string& node, int width, int height) {
  std::set<std::int64_t> times;
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK);
  if (fd < 0)
    return times;
  v4l2_frmivalenum ival{};
  ival.pixel_format = V4L2_PIX_FMT_YUYV;
  ival.width = width;
  ival.height = height;
  while (::ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &ival) == 0 &&
         ival.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
    const std::int64_t den = ival.discrete.denominator;
    times.insert((10'000'000LL * ival.discrete.numerator + den / 2) / den);
    ++ival.index;
  }
  ::close(fd);
  return times;
}

DriverFormat CurrentDriverFormat(const std::string& node) {
  DriverFormat out;
  const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK);
  if (fd < 0)
    return out;
  v4l2_format fmt{};
  fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (::ioctl(fd, VIDIOC_G_FMT, &fmt) == 0) {
    out.width = fmt.fmt.pix.width;
    out.height = fmt.fmt.pix.height;
    out.pixelFormat = fmt.fmt.pix.pixelformat;
  }
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (::ioctl(fd, VIDIOC_G_PARM, &parm) == 0 && parm.parm.capture.timeperframe.denominator) {
    const std::int64_t den = parm.parm.capture.timeperframe.denominator;
    out.frameTime = (10'000'000LL * parm.parm.capture.timeperframe.numerator + den / 2) / den;
  }
  ::close(fd);
  return out;
}

TFCameraFormat Yuy2Format(TFCamera& camera, int width, int height) {
  for (const TFCameraFormat& f : camera.SupportedFormats())
    if (FourCC(f.Compression) == "YUY2" && f.Width == width && std::abs(f.Height) == height)
      return f;
  return {};
}

std::shared_ptr<Grabbed> StartGrabbing(TFCamera& camera) {
  auto grabbed = std::make_shared<Grabbed>();
  camera.SetOnImageAvailable([grabbed](TFCamera*, double time) {
    if (time <= grabbed->lastTime)
      grabbed->timesRise = false;
    grabbed->lastTime = time;
    ++grabbed->frames;
  });
  camera.SetCaptureType(ctGrabber);
  camera.SetActive(true);
  camera.Run();
  return grabbed;
}

void ExpectStreamEndedKeepingTheLastPicture(TFCamera& camera, const Grabbed& grabbed) {
  QThread::msleep(1500);
  const int seen = grabbed.frames;
  QThread::msleep(1500);
  EXPECT_EQ(grabbed.frames, seen) << "frames still arrive";
  QBuffer bmp;
  bmp.open(QIODevice::WriteOnly);
  camera.CurrentImageToStream(bmp);
  EXPECT_FALSE(bmp.data().isEmpty()) << "the last picture is gone";
}

int DistinctColoursInFirstRow(const QByteArray& bmp, int width) {
  std::set<std::uint32_t> colours;
  for (int x = 0; x < width && 54 + 4 * (x + 1) <= bmp.size(); ++x) {
    std::uint32_t v = 0;
    std::memcpy(&v, bmp.constData() + 54 + 4 * x, 4);
    colours.insert(v & 0xFFFFFF);
  }
  return static_cast<int>(colours.size());
}

double MeanLevel(const QByteArray& bmp) {
  const auto* p = reinterpret_cast<const unsigned char*>(bmp.constData());
  double sum = 0;
  std::int64_t n = 0;
  for (qsizetype i = 54; i + 4 <= bmp.size(); i += 4, n += 3)
    sum += p[i] + p[i + 1] + p[i + 2];
  return n ? sum / static_cast<double>(n) : 0.0;
}

}  // namespace varnholt::test
