// list and get: what the window shows of the cameras, as text or JSON.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <exception>

#include "camera/PropertyKeys.h"
#include "cli/CameraAccess.h"
#include "cli/Commands.h"
#include "platform/TerminalText.h"
#include "settings/CameraSettings.h"

namespace varnholt::cli {

namespace {

QString CompressionText(const TFFourCC& code) {
  QString text;
  for (std::uint8_t byte : code.Bytes) {
    if (byte < 0x20 || byte > 0x7E)  // not a printable code: RGB and the like
      return QString("0x%1%2%3%4")
          .arg(code.Bytes[3], 2, 16, QChar('0'))
          .arg(code.Bytes[2], 2, 16, QChar('0'))
          .arg(code.Bytes[1], 2, 16, QChar('0'))
          .arg(code.Bytes[0], 2, 16, QChar('0'));
    text += QChar(byte);
  }
  return text;
}

// Frames per second from the frame time in 100-ns units, to 1/100; 0
// without one. 333333 units are 30 frames, not 30.00003.
double FrameRate(const TFCameraFormat& format) {
  if (format.AvgTimePerFrame <= 0)
    return 0;
  return std::round(1e9 / double(format.AvgTimePerFrame)) / 100;
}

void Print(TInvocation& in, const QJsonObject& json) {
  in.Out << QJsonDocument(json).toJson(QJsonDocument::Indented);
}

// One property as get shows it; Error is set when reading it failed.
struct TReading {
  QString Name;
  bool Supported = false;
  QJsonObject Json;
  QString Text;
  QString Error;
};

TReading ReadRowProperty(TFCamera& camera, std::size_t key) {
  const TFPropertyKey& property = kPropertyKeys[key];
  TReading r{QLatin1String(property.Name), false, {}, {}, {}};
  r.Json["name"] = r.Name;
  try {
    r.Supported = (camera.*property.Supported)();
    r.Json["supported"] = r.Supported;
    if (!r.Supported) {
      r.Text = "unsupported";
      return r;
    }
    const TFRange range = (camera.*property.Range)();
    const std::int32_t value = (camera.*property.Value)();
    const bool automatic = (camera.*property.IsAuto)();
    r.Json["value"] = value;
    r.Json["min"] = range.Min;
    r.Json["max"] = range.Max;
    r.Json["step"] = range.Delta;
    r.Json["default"] = range.Default;
    r.Json["auto"] = automatic;
    r.Json["autoPossible"] = range.Auto;
    r.Json["manualPossible"] = range.Manual;
    r.Text = QString("%1  range %2..%3  step %4  default %5  auto %6")
                 .arg(value)
                 .arg(range.Min)
                 .arg(range.Max)
                 .arg(range.Delta)
                 .arg(range.Default)
                 .arg(automatic    ? "on"
                      : range.Auto ? "off"
                                   : "not possible");
  } catch (const std::exception& e) {
    r.Error = QString::fromStdString(e.what());
  }
  return r;
}

TReading ReadPowerFrequency(TFCamera& camera) {
  TReading r{kPowerFrequencyKey, false, {}, {}, {}};
  r.Json["name"] = r.Name;
  try {
    r.Supported = camera.PowerLineFrequencySupported();
    r.Json["supported"] = r.Supported;
    if (!r.Supported) {
      r.Text = "unsupported";
      return r;
    }
    const TFPowerLineFrequency frequency = camera.PowerLineFrequency();
    const bool automatic = camera.PowerLineFrequencyAuto();
    // Hertz, 0 when the filter is off; null for a state the window has no entry for.
    const QJsonValue hertz = frequency == pf50Hz       ? QJsonValue(50)
                             : frequency == pf60Hz     ? QJsonValue(60)
                             : frequency == pfDisabled ? QJsonValue(0)
                                                       : QJsonValue();
    r.Json["value"] = hertz;
    r.Json["auto"] = automatic || frequency == pfAuto;
    r.Text = (hertz.isNull()  ? QString(frequency == pfAuto ? "auto" : "unknown")
              : hertz.toInt() ? QString("%1 Hz").arg(hertz.toInt())
                              : QString("off")) +
             QString("  auto %1").arg(r.Json["auto"].toBool() ? "on" : "off");
  } catch (const std::exception& e) {
    r.Error = QString::fromStdString(e.what());
  }
  return r;
}

}  // namespace

int ListCommand(TInvocation& in) {
  TFCamera camera(nullptr, CapturePlatform());
  QJsonArray cameras;
  for (const TFVideoCaptureDevice& device : camera.Devices()) {
    QJsonObject entry{{"name", device.Name}, {"path", device.Path}};
    if (!in.Json)
      in.Out << TerminalField(device.Name) << "  (" << TerminalField(device.Path) << ")\n";
    QJsonArray formats;
    try {
      camera.SetDeviceName(device.Name);
      for (const TFCameraFormat& format : camera.SupportedFormats()) {
        const double rate = FrameRate(format);
        formats.append(QJsonObject{{"width", format.Width},
                                   {"height", format.Height},
                                   {"compression", CompressionText(format.Compression)},
                                   {"fps", rate},
                                   {"bitsPerPixel", format.BitsPerPixel}});
        if (!in.Json)
          in.Out << "  " << format.Width << "x" << format.Height << " "
                 << CompressionText(format.Compression)
                 << (rate > 0 ? QString(" %1 fps").arg(rate, 0, 'g', 4) : QString()) << "\n";
      }
      entry["formats"] = formats;
    } catch (const std::exception& e) {
      // A camera this user may not open is listed all the same, with the reason.
      const QString reason = QString::fromStdString(e.what());
      entry["error"] = reason;
      if (!in.Json)
        in.Out << "  formats unavailable: " << TerminalLines(reason) << "\n";
    }
    cameras.append(entry);
  }
  // What record takes for --audio, --compressor and --audio-compressor.
  QJsonArray microphones;
  if (!in.Json)
    in.Out << "Sound inputs:\n";
  for (const TFAudioCaptureDevice& device : camera.AudioCaptureDevices()) {
    microphones.append(QJsonObject{{"name", device.Name}, {"waveInId", device.WaveInID}});
    if (!in.Json)
      in.Out << "  " << TerminalField(device.Name) << "  (WaveInID " << device.WaveInID << ")\n";
  }
  const QStringList compressors = camera.Compressors();
  const QStringList audioCompressors = camera.AudioCompressors();
  if (!in.Json)
    in.Out << "Video compressors: " << compressors.join(", ") << "\n"
           << "Sound compressors: " << audioCompressors.join(", ") << "\n";
  if (in.Json)
    Print(in, QJsonObject{{"cameras", cameras},
                          {"audioCaptureDevices", microphones},
                          {"compressors", QJsonArray::fromStringList(compressors)},
                          {"audioCompressors", QJsonArray::fromStringList(audioCompressors)}});
  return kExitOk;
}

int GetCommand(TInvocation& in) {
  TCameraSession session(in.Arguments[0]);
  std::vector<TReading> readings;
  if (in.Arguments.size() > 1) {
    const std::optional<std::size_t> key = FindProperty(in.Arguments[1]);
    readings.push_back(key ? ReadRowProperty(*session.Camera, *key)
                           : ReadPowerFrequency(*session.Camera));
  } else {
    for (std::size_t key = 0; key < kPropertyKeys.size(); ++key)
      readings.push_back(ReadRowProperty(*session.Camera, key));
    readings.push_back(ReadPowerFrequency(*session.Camera));
  }
  int code = kExitOk;
  QJsonArray properties;
  for (TReading& r : readings) {
    if (!r.Error.isEmpty()) {
      r.Json["error"] = r.Error;
      r.Text = "unreadable: " + r.Error;
      code = kExitRefused;
    }
    properties.append(r.Json);
    if (!in.Json)
      in.Out << QString("%1 %2\n").arg(r.Name, -22).arg(r.Text);
  }
  // A property asked for by name that the camera lacks is a refusal.
  if (in.Arguments.size() > 1 && !readings.front().Supported)
    code = kExitRefused;
  if (in.Json)
    Print(in, QJsonObject{{"camera", session.Name}, {"properties", properties}});
  return code;
}

}  // namespace varnholt::cli
