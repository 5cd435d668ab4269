#pragma once

// What a camera settings file holds for one camera, and how its section's
// text turns into slider values, "Auto" ticks and the power-frequency entry
// and back. Keys are written and read in key order: the seventeen property
// keys, "CheckBox" with each key, then "PowerFrequency".

#include <QLocale>
#include <QString>
#include <array>
#include <cstddef>
#include <optional>

#include "platform/ProfileFile.h"

// One value and one tick for each of the camera's property keys.
inline constexpr std::size_t kSettingsKeyCount = 17;

// Files the user keeps: extension, dialog filter entry.
inline constexpr char kSettingsExtension[] = "vhx";
inline constexpr char kSettingsFilter[] = "Varnholt Camera Settings (*.vhx)";
inline constexpr char kSettingsFileMask[] = "*.vhx";

// What a save writes, in key order (kPropertyKeys).
struct TCameraSettings {
  std::array<float, kSettingsKeyCount> Values{};
  std::array<bool, kSettingsKeyCount> Ticks{};
  int PowerFrequency = 0;
};

// What a section holds, in key order. A key the section lacks is empty, so
// that a load leaves its property as it is; one present but unreadable is
// 0 (a value), unticked (a tick) or 0 (the power frequency).
struct TStoredCameraSettings {
  std::array<std::optional<float>, kSettingsKeyCount> Values{};
  std::array<std::optional<bool>, kSettingsKeyCount> Ticks{};
  std::optional<int> PowerFrequency;
};

// "Brightness", "CheckBoxBrightness", ...: the file's keys of the property
// at that place of the key order.
QString ValueKey(std::size_t key);
QString TickKey(std::size_t key);
inline const QString kPowerFrequencyKey = QStringLiteral("PowerFrequency");

// A slider value as written in the user's locale ("128", "-4", "12,5"). A
// value that is not such a number, or is not finite, reads as nothing; one
// beyond what a slider can hold is held at the largest it can, so that the
// slider then limits it to its range.
std::optional<float> ParseSliderValue(const QString& text, const QLocale& locale = QLocale());

TStoredCameraSettings ReadCameraSettings(const varnholt::TIniSection& section,
                                         const QLocale& locale = QLocale());
// False for a section without any of the 35 keys: no section at all, a
// bare header, or only keys of other programs.
bool HoldsAnySetting(const TStoredCameraSettings& settings);

// The 35 entries of a save, in the order they are written.
varnholt::TIniEntries CameraSettingsEntries(const TCameraSettings& settings,
                                            const QLocale& locale = QLocale());
