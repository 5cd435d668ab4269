#include "settings/SettingsFile.h"

#include <QFileInfo>

#include "platform/ProfileFile.h"

QString ProfileSafeName(const QString& cameraName) {
  QString safe;
  safe.reserve(cameraName.size());
  for (qsizetype i = 0; i < cameraName.size(); ++i) {
    const char16_t u = cameraName[i].unicode();
    const bool pair = QChar::isHighSurrogate(u) && i + 1 < cameraName.size() &&
                      QChar::isLowSurrogate(cameraName[i + 1].unicode());
    if (pair) {
      safe += cameraName.mid(i++, 2);
      continue;
    }
    // The units the profile reader or another program's would take as a
    // line's end or cut, and lone surrogates, which have no UTF-8 form.
    const bool unsafe = (u < 0x20 && u != u'\t') || u == 0x7F || u == 0x85 || u == 0x2028 ||
                        u == 0x2029 || QChar::isSurrogate(u);
    safe += unsafe ? QStringLiteral("\\u%1").arg(int(u), 4, 16, QChar(u'0')) : QString(QChar(u));
  }
  return safe;
}

TSettingsFileReading ReadSettingsFile(const QString& path, const QString& cameraName) {
  TSettingsFileReading result;
  const QString shownName = QFileInfo(path).fileName();
  const varnholt::TIniSectionReading reading =
      varnholt::TIniFile(path).ReadSectionValuesChecked(ProfileSafeName(cameraName));
  if (reading.Fault != varnholt::TIniFault::None) {
    result.Refusal = "Cannot load " + shownName + ": " + varnholt::IniFaultText(reading.Fault);
    return result;
  }
  // A key the section lacks leaves its property as it is.
  result.Settings = ReadCameraSettings(reading.Section);
  if (!HoldsAnySetting(result.Settings))
    result.Refusal = shownName + " holds no settings for " + cameraName;
  return result;
}

void WriteSettingsFile(const QString& path, const QString& cameraName,
                       const TCameraSettings& settings) {
  varnholt::TIniFile(path).WriteStrings(ProfileSafeName(cameraName),
                                        CameraSettingsEntries(settings));
}
