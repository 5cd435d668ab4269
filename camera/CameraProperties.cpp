// The camera-control and video-processing property families, power-line
// frequency, scan mode and colour enable, and the flash and stabilization
// blocks. Every read goes to the device; nothing is cached between calls.

#include "camera/FCamera.h"

using namespace varnholt::platform;

namespace {

constexpr std::int32_t kPowerLineFrequencyId = 13;  // video processing
constexpr std::int32_t kScanModeId = 7;             // camera control
constexpr std::int32_t kFocalLengthId = 18;         // camera control

constexpr char kVideoProcAmpName[] = "IAMVideoProcAmp";
constexpr char kCameraControlName[] = "IAMCameraControl";

}  // namespace

// ---- The two families ----------------------------------------------------------

std::shared_ptr<IPropertyFamily> TFCamera::Family(bool videoProcAmp) {
  if (videoProcAmp)
    return AMVideoProcAmp();
  return AMCameraControl();
}

std::shared_ptr<IPropertyFamily> TFCamera::CheckFamily(bool videoProcAmp) {
  CheckDevice();
  auto family = Family(videoProcAmp);
  CheckInterface(family, videoProcAmp ? kVideoProcAmpName : kCameraControlName);
  return family;
}

bool TFCamera::GetFamilySupported(bool videoProcAmp, std::int32_t id) {
  CheckDevice();
  auto family = Family(videoProcAmp);
  if (!family)
    return false;
  std::int32_t value = 0, flags = 0;
  // Only "unsupported" answers count: a driver that fails otherwise still
  // claims the property.
  return !IsUnsupportedProperty(family->Get(id, value, flags));
}

std::int32_t TFCamera::GetFamilyValue(bool videoProcAmp, std::int32_t id) {
  auto family = CheckFamily(videoProcAmp);
  std::int32_t value = 0, flags = 0;
  Check(family->Get(id, value, flags));
  return value;
}

void TFCamera::SetFamilyValue(bool videoProcAmp, std::int32_t id, std::int32_t value) {
  auto family = CheckFamily(videoProcAmp);
  std::int32_t current = 0, flags = 0;
  Check(family->Get(id, current, flags));
  // Keep the automatic or manual mode in force.
  Check(family->Set(id, value, flags));
}

void TFCamera::PostValue(TFPropertyAddress Property, std::int32_t Value) {
  // The device and its interface are taken here, on the component's thread,
  // so that the write touches nothing else of the component.
  CheckDeviceBound();
  auto family = Family(Property.VideoProcAmp);
  CheckInterface(family, Property.VideoProcAmp ? kVideoProcAmpName : kCameraControlName);
  if (!FValueWriter)
    FValueWriter = std::make_unique<varnholt::camera::ValueWriter>([this](std::uint64_t key) {
      // On the writer's thread, while its exception is being handled.
      HResult code = hr::Fail;
      QString message;
      try {
        throw;
      } catch (const EOleSysError& e) {
        code = e.ErrorCode();
        message = QString::fromStdString(e.Message());
      } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
      } catch (...) {
      }
      const TFPropertyAddress property{(key & 0x100000000ull) != 0,
                                       static_cast<std::int32_t>(key & 0xFFFFFFFFu)};
      QMetaObject::invokeMethod(
          this,
          [this, property, code, message] {
            if (FOnPostFailed)
              FOnPostFailed(this, property, code, message);
          },
          Qt::QueuedConnection);
    });
  const std::uint64_t key =
      (Property.VideoProcAmp ? 0x100000000ull : 0) | static_cast<std::uint32_t>(Property.Id);
  FValueWriter->Post(key, [family, platform = FPlatform, id = Property.Id, Value] {
    std::int32_t current = 0, flags = 0;
    CheckHResult(family->Get(id, current, flags), *platform);
    // Keep the automatic or manual mode in force.
    CheckHResult(family->Set(id, Value, flags), *platform);
  });
}

void TFCamera::WaitForPostedValues() {
  if (FValueWriter)
    FValueWriter->Wait();
}

std::size_t TFCamera::PostedValuesWritten() const {
  return FValueWriter ? FValueWriter->Written() : 0;
}

bool TFCamera::GetFamilyAuto(bool videoProcAmp, std::int32_t id) {
  auto family = CheckFamily(videoProcAmp);
  std::int32_t value = 0, flags = 0;
  Check(family->Get(id, value, flags));
  return flags == kPropertyFlagsAuto;
}

void TFCamera::SetFamilyAuto(bool videoProcAmp, std::int32_t id, bool value) {
  auto family = CheckFamily(videoProcAmp);
  std::int32_t current = 0, flags = 0;
  Check(family->Get(id, current, flags));
  Check(family->Set(id, current, value ? kPropertyFlagsAuto : kPropertyFlagsManual));
}

TFRange TFCamera::GetFamilyRange(bool videoProcAmp, std::int32_t id) {
  auto family = CheckFamily(videoProcAmp);
  TFRange range;
  std::int32_t caps = 0;
  Check(family->GetRange(id, range.Min, range.Max, range.Delta, range.Default, caps));
  range.Auto = (caps & kPropertyFlagsAuto) != 0;
  range.Manual = (caps & kPropertyFlagsManual) != 0;
  return range;
}

// ---- Enumerated and derived members ---------------------------------------------

TFPowerLineFrequency TFCamera::PowerLineFrequency() {
  switch (GetVideoProcAmpValue(kPowerLineFrequencyId)) {
    case 0:
      return pfDisabled;
    case 1:
      return pf50Hz;
    case 2:
      return pf60Hz;
    case 3:
      return pfAuto;
    default:
      return pfUnknown;
  }
}

void TFCamera::SetPowerLineFrequency(TFPowerLineFrequency Value) {
  std::int32_t device = 0;
  switch (Value) {
    case pf50Hz:
      device = 1;
      break;
    case pf60Hz:
      device = 2;
      break;
    case pfAuto:
      device = 3;
      break;
    default:
      device = 0;
  }
  SetVideoProcAmpValue(kPowerLineFrequencyId, device);
}

bool TFCamera::PowerLineFrequencySupported() {
  return GetVideoProcAmpSupported(kPowerLineFrequencyId);
}
bool TFCamera::PowerLineFrequencyAuto() {
  return GetVideoProcAmpAuto(kPowerLineFrequencyId);
}
void TFCamera::SetPowerLineFrequencyAuto(bool Value) {
  SetVideoProcAmpAuto(kPowerLineFrequencyId, Value);
}

bool TFCamera::ColorEnabled() {
  return ColorEnable() != 0;
}
void TFCamera::SetColorEnabled(bool Value) {
  SetColorEnable(Value ? 1 : 0);
}

TFScanMode TFCamera::ScanMode() {
  switch (GetCameraControlValue(kScanModeId)) {
    case 0:
      return smInterlace;
    case 1:
      return smProgressive;
    default:
      return smUnknown;
  }
}

void TFCamera::SetScanMode(TFScanMode Value) {
  SetCameraControlValue(kScanModeId, Value == smProgressive ? 1 : 0);
}

bool TFCamera::ScanModeAuto() {
  return GetCameraControlAuto(kScanModeId);
}
void TFCamera::SetScanModeAuto(bool Value) {
  SetCameraControlAuto(kScanModeId, Value);
}

std::int32_t TFCamera::FocalLength() {
  return GetCameraControlValue(kFocalLengthId);
}

// ---- Flash and stabilization blocks ------------------------------------------------
// Each block is 8 bytes: word 0 the mode, word 1 the control flags, both
// little-endian. Failures use the plain platform-error check.

std::shared_ptr<IKsPropertySet> TFCamera::CheckKsPropertySet() {
  auto properties = Query<IKsPropertySet>(CaptureFilter());
  CheckPlatformError(properties ? hr::Ok : hr::NoInterface);
  return properties;
}

TFCamera::Block TFCamera::GetBlock(const Guid& set) {
  CheckDevice();
  std::array<std::uint8_t, 8> bytes{};
  auto properties = CheckKsPropertySet();
  std::uint32_t returned = 0;
  CheckPlatformError(properties->Get(set, 0, {}, bytes, returned));
  Block block{};
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 4; ++i)
      block[w] |= static_cast<std::uint32_t>(bytes[4 * w + i]) << (8 * i);
  return block;
}

void TFCamera::SetBlock(const Guid& set, const Block& block) {
  CheckDevice();
  auto properties = CheckKsPropertySet();
  std::array<std::uint8_t, 8> bytes{};
  for (int w = 0; w < 2; ++w)
    for (int i = 0; i < 4; ++i)
      bytes[4 * w + i] = static_cast<std::uint8_t>(block[w] >> (8 * i));
  CheckPlatformError(properties->Set(set, 0, {}, bytes));
}

bool TFCamera::GetBlockSupported(const Guid& set) {
  CheckDevice();
  auto properties = CheckKsPropertySet();
  std::array<std::uint8_t, 1> probe{};
  std::uint32_t returned = 0;
  return !IsUnsupportedProperty(properties->Get(set, 0, {}, probe, returned));
}

TFCamera::Block TFCamera::GetFlashData() {
  return GetBlock(guids::KsPropSetFlash);
}
void TFCamera::SetFlashData(const Block& block) {
  SetBlock(guids::KsPropSetFlash, block);
}
bool TFCamera::GetFlashSupported() {
  return GetBlockSupported(guids::KsPropSetFlash);
}
TFCamera::Block TFCamera::GetStabilizationData() {
  return GetBlock(guids::KsPropSetVideoStabilization);
}
void TFCamera::SetStabilizationData(const Block& block) {
  SetBlock(guids::KsPropSetVideoStabilization, block);
}
bool TFCamera::GetStabilizationSupported() {
  return GetBlockSupported(guids::KsPropSetVideoStabilization);
}

TFFlashMode TFCamera::FlashMode() {
  switch (GetFlashData()[0]) {
    case 0:
      return fmOff;
    case 1:
      return fmOn;
    case 2:
      return fmAuto;
    default:
      return fmUnknown;
  }
}

void TFCamera::SetFlashMode(TFFlashMode Value) {
  Block block = GetFlashData();
  block[0] = Value == fmOn ? 1 : Value == fmAuto ? 2 : 0;
  SetFlashData(block);
}

TFFlashControl TFCamera::FlashControl() {
  switch (GetFlashData()[1]) {
    case 1:
      return fcAuto;
    case 2:
      return fcManual;
    default:
      return fcUnknown;
  }
}

void TFCamera::SetFlashControl(TFFlashControl Value) {
  Block block = GetFlashData();
  block[1] = Value == fcManual ? 2 : 1;
  SetFlashData(block);
}

TFVideoStabilizationMode TFCamera::VideoStabilizationMode() {
  switch (GetStabilizationData()[0]) {
    case 0:
      return vmOff;
    case 1:
      return vmHigh;
    case 2:
      return vmMedium;
    case 3:
      return vmLow;
    case 4:
      return vmAuto;
    default:
      return vmUnknown;
  }
}

void TFCamera::SetVideoStabilizationMode(TFVideoStabilizationMode Value) {
  Block block = GetStabilizationData();
  switch (Value) {
    case vmHigh:
      block[0] = 1;
      break;
    case vmMedium:
      block[0] = 2;
      break;
    case vmLow:
      block[0] = 3;
      break;
    case vmAuto:
      block[0] = 4;
      break;
    default:
      block[0] = 0;
  }
  SetStabilizationData(block);
}

TFVideoStabilizationControl TFCamera::VideoStabilizationControl() {
  switch (GetStabilizationData()[1]) {
    case 1:
      return vcAuto;
    case 2:
      return vcManual;
    default:
      return vcUnknown;
  }
}

void TFCamera::SetVideoStabilizationControl(TFVideoStabilizationControl Value) {
  Block block = GetStabilizationData();
  block[1] = Value == vcManual ? 2 : 1;
  SetStabilizationData(block);
}
