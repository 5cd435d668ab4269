#pragma once

// The camera component's shared types: device records, ranges, formats and
// its enumerations. The enumerations are plain (unscoped) so that their
// prefixed values read as the component's vocabulary (csRunning, pf50Hz).

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

enum TFCaptureType : std::uint8_t { ctAuto, ctGrabber, ctVmr9 };
enum TFMediaType : std::uint8_t { mtAsf, mtAvi };
enum TFCameraState : std::uint8_t { csUnknown, csInactive, csStopped, csPaused, csRunning };

enum TFPowerLineFrequency : std::uint8_t { pfUnknown, pfDisabled, pf50Hz, pf60Hz, pfAuto };
enum TFScanMode : std::uint8_t { smUnknown, smInterlace, smProgressive };
enum TFFlashControl : std::uint8_t { fcUnknown, fcAuto, fcManual };
enum TFFlashMode : std::uint8_t { fmUnknown, fmOff, fmOn, fmAuto };
enum TFVideoStabilizationControl : std::uint8_t { vcUnknown, vcAuto, vcManual };
enum TFVideoStabilizationMode : std::uint8_t { vmUnknown, vmOff, vmHigh, vmMedium, vmLow, vmAuto };

enum TFImageFormat : std::uint8_t { ifBmp, ifJpeg };

// Range of one camera property as the driver reports it.
struct TFRange {
  std::int32_t Min = 0;
  std::int32_t Max = 0;
  std::int32_t Delta = 0;  // step
  std::int32_t Default = 0;
  bool Auto = false;    // automatic mode possible
  bool Manual = false;  // manual setting possible
  friend bool operator==(const TFRange&, const TFRange&) = default;
};

// Where a camera-control or video-processing property lives: its family and
// the platform's id within it.
struct TFPropertyAddress {
  bool VideoProcAmp = false;
  std::int32_t Id = 0;
  friend bool operator==(const TFPropertyAddress&, const TFPropertyAddress&) = default;
};

struct TFVideoCaptureDevice {
  QString Name;  // friendly name
  QString Description;
  QString Path;  // device path
  friend bool operator==(const TFVideoCaptureDevice&, const TFVideoCaptureDevice&) = default;
};
using TFVideoCaptureDevices = std::vector<TFVideoCaptureDevice>;

struct TFAudioCaptureDevice {
  QString Name;
  QString Description;
  std::int32_t WaveInID = 0;
  friend bool operator==(const TFAudioCaptureDevice&, const TFAudioCaptureDevice&) = default;
};
using TFAudioCaptureDevices = std::vector<TFAudioCaptureDevice>;

struct TFRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TFRect&, const TFRect&) = default;
};

// Four raw bytes of a compression code, byte for byte ("YUY2", "MJPG").
struct TFFourCC {
  std::uint8_t Bytes[4] = {0, 0, 0, 0};
  friend bool operator==(const TFFourCC&, const TFFourCC&) = default;
};

// One video format of the camera's capture pin.
struct TFCameraFormat {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::int64_t AvgTimePerFrame = 0;  // 100-ns units
  bool FixedSizeSamples = false;
  bool TemporalCompression = false;
  std::int32_t SampleSize = 0;
  TFRect Source;
  TFRect Target;
  std::int32_t BitRate = 0;
  std::int32_t BitErrorRate = 0;
  std::int32_t BitsPerPixel = 0;
  TFFourCC Compression;
  std::int32_t XPelsPerMeter = 0;
  std::int32_t YPelsPerMeter = 0;
  friend bool operator==(const TFCameraFormat&, const TFCameraFormat&) = default;
};
using TFCameraFormats = std::vector<TFCameraFormat>;
