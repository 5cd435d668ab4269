#pragma once

// What a camera settings file holds for one camera, and how its section's
// text turns into slider values, "Auto" ticks and the power-frequency entry
// and back. Keys are written and read in key order: the seventeen property
// keys, "CheckBox" with each key, then "PowerFrequency".

#include <QLocale>
#include <QString>
#include <array>
#include <optional>

#include "app/PropertyRows.h"
#include "platform/ProfileFile.h"

// Files the user keeps: extension, dialog filter entry.
inline constexpr char kSettingsExtension[] = "vhx";
inline constexpr char kSettingsFilter[] = "Varnholt Camera Settings (*.vhx)";
inline constexpr char kSettingsFileMask[] = "*.vhx";

struct TCameraSettings {
  // In key order (kPropertyKeys). A missing or unreadable value is 0, a
  // missing or unreadable tick unticked, a missing power frequency 0.
  std::array<float, kRowCount> Values{};
  std::array<bool, kRowCount> Ticks{};
  int PowerFrequency = 0;
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

TCameraSettings ReadCameraSettings(const varnholt::TIniSection& section,
                                   const QLocale& locale = QLocale());

// The 35 entries of a save, in the order they are written.
varnholt::TIniEntries CameraSettingsEntries(const TCameraSettings& settings,
                                            const QLocale& locale = QLocale());
