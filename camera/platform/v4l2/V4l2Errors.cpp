#include "camera/platform/v4l2/V4l2Errors.h"

#include <cerrno>

namespace varnholt::platform::v4l2 {

HResult ResultFromErrno(int negativeErrno) {
  switch (-negativeErrno) {
    case 0:
      return hr::Ok;
    case ENOTTY:
      return hr::NotImpl;
    case EINVAL:
    case ERANGE:
      return hr::InvalidArg;
    case ENODEV:
    case ENXIO:
      return hr::DeviceNotConnected;
    case EBUSY:
      return hr::Busy;
    case EACCES:
    case EPERM:
      return hr::AccessDenied;
    case EIO:
    // What USB cameras answer when a request fails on the wire: no answer in
    // time, a camera going or gone mid-request, a stall without a reason.
    case EPROTO:
    case ETIMEDOUT:
    case ESHUTDOWN:
    case EILSEQ:
    case ECOMM:
    case EPIPE:
    case EREMOTE:
    case EREMOTEIO:
      return hr_v4l2::DeviceIoError;
    case ENOMEM:
      return hr::OutOfMemory;
    default:
      if (negativeErrno < 0 && negativeErrno > -256)
        return hr_v4l2::DriverError(-negativeErrno);
      return hr::Fail;
  }
}

HResult ResultFromValueWrite(int negativeErrno, bool automaticOn) {
  if (automaticOn && (negativeErrno == -EACCES || negativeErrno == -EBUSY))
    return hr_v4l2::UnderAutomaticControl;
  return ResultFromErrno(negativeErrno);
}

std::string V4l2ErrorText(HResult code) {
  switch (code) {
    case hr_v4l2::UnderAutomaticControl:
      return "The value is under automatic control; turn Auto off to change it";
    case hr::Busy:
      // The driver's EBUSY for formats and buffers: another program streams.
      return "The camera is in use by another program; close that program and try again";
    case hr_v4l2::DeviceIoError:
      return "The camera did not answer the request; it may be unplugged or busy";
    case hr_v4l2::NodeAccessDenied:
      return "Permission denied: join the group that owns the camera's device node (usually "
             "'video': sudo usermod -aG video $USER), then log in again";
    case hr_v4l2::InterlacedFormat:
      return "The camera delivers this format as interlaced fields, which cannot be shown; "
             "choose another format";
    default:
      if ((static_cast<std::uint32_t>(code) & ~0xFFu) == hr_v4l2::kDriverErrorBase)
        return "The camera driver answered: " + ErrnoText(-(code & 0xFF));
      return {};
  }
}

}  // namespace varnholt::platform::v4l2
