#pragma once

// Where loaded settings go, and the order they go there in. The window's
// target is its rows, so that a load reaches the camera exactly as the
// user's edits do; TCameraSettingsTarget writes to the camera directly.

#include <cstddef>

#include "settings/CameraSettings.h"

class TFCamera;

class TSettingsTarget {
 public:
  virtual ~TSettingsTarget() = default;
  // Keys are places in the camera's property key order.
  virtual bool Supported(std::size_t key) = 0;
  virtual void SetValue(std::size_t key, float value) = 0;
  virtual bool Tick(std::size_t key) = 0;
  virtual void SetTick(std::size_t key, bool tick) = 0;
  virtual bool PowerFrequencySupported() = 0;
  // The power-frequency entry: 0 for 50 Hz, 1 for 60 Hz.
  virtual void SetPowerFrequency(int index) = 0;
};

// Values of supported properties first, then their ticks, then the power
// frequency (whose failure keeps the camera's own choice), then the
// manual values once more, now that every mode is in place.
void ApplyCameraSettings(const TStoredCameraSettings& settings, TSettingsTarget& target);

// Applies settings straight to a camera; a value beyond the property's
// range is held at its end, and a fraction is cut off.
class TCameraSettingsTarget : public TSettingsTarget {
 public:
  explicit TCameraSettingsTarget(TFCamera& camera) : camera_(camera) {}
  bool Supported(std::size_t key) override;
  void SetValue(std::size_t key, float value) override;
  bool Tick(std::size_t key) override;
  void SetTick(std::size_t key, bool tick) override;
  bool PowerFrequencySupported() override;
  void SetPowerFrequency(int index) override;

 private:
  TFCamera& camera_;
};

// What a save of the camera's current state writes: unsupported properties
// as 0 and manual, a power frequency the camera lacks as -1.
TCameraSettings CurrentCameraSettings(TFCamera& camera);
