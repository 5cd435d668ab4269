// libFuzzer targets for settings files of any content and camera names of
// any text. The load target reads the camera's section and turns it into
// slider values, ticks and the power frequency; the save target
// (VARNHOLT_FUZZ_SAVE) also writes the 35 keys of a save into the file.
// Besides crashes and hangs they check what must hold for every file:
// values read are finite, and every key a save wrote reads back as written
// under the same section name.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/ProfileDocument.h"
#include "platform/ProfileFile.h"
#include "settings/CameraSettings.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "violated: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const QLocale kLocales[] = {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)};
  if (size == 0)
    return 0;
  // The first byte gives the length of a camera name (device text, as
  // untrusted as the file) taken from the bytes after it; the rest is the file.
  const std::size_t nameLength = std::min<std::size_t>(data[0] % 48, size - 1);
  const QString name =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(nameLength));
  const QByteArray file(reinterpret_cast<const char*>(data + 1 + nameLength),
                        qsizetype(size - 1 - nameLength));

  for (const QString& section : {name, QStringLiteral("Lab")}) {
    const auto read = varnholt::TIniSection::FromBytes(file, section);
    for (const QLocale& locale : kLocales) {
      const TStoredCameraSettings settings = ReadCameraSettings(read, locale);
      for (const std::optional<float>& value : settings.Values)
        Require(!value || std::isfinite(*value), "slider values are finite");
    }
  }

#ifdef VARNHOLT_FUZZ_SAVE
  // A save into the file: the 35 keys, as one chain of edits.
  const varnholt::profile::ProfileDocument document(file);
  if (!document.Editable() || !varnholt::IsStorableSectionName(name))
    return 0;
  TCameraSettings settings;
  for (std::size_t i = 0; i < settings.Values.size(); ++i) {
    settings.Values[i] = float(int(i) - 8) * 1.5f;
    settings.Ticks[i] = i % 3 == 0;
  }
  const varnholt::TIniEntries entries = CameraSettingsEntries(settings, kLocales[1]);
  QByteArray saved = file;
  for (const auto& [key, value] : entries)
    saved = varnholt::profile::ProfileDocument(saved).WithValue(name, key, value);
  const auto back = varnholt::TIniSection::FromBytes(saved, name);
  for (const auto& [key, value] : entries)
    Require(back.ReadString(key, QStringLiteral("\x01")) == value, "saved keys read back");
  const TStoredCameraSettings reread = ReadCameraSettings(back, kLocales[1]);
  for (std::size_t i = 0; i < settings.Values.size(); ++i)
    Require(reread.Values[i] == settings.Values[i] && reread.Ticks[i] == settings.Ticks[i],
            "a saved section loads as saved");
#endif
  return 0;
}
