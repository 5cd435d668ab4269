// libFuzzer target for the window-state file as the window reads it at
// start (TIniFile::ReadInteger of its four keys from the file on disk) and
// writes it at close (the four keys in one WriteStrings): any bytes read as
// numbers or defaults, the same as a reading of the same bytes in memory;
// the four keys written read back as written.

#include <QFile>
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "platform/ProfileFile.h"

using varnholt::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const QString path = varnholt::fuzz::ScratchFolder() + "/Varnholt.ini";
  static const QString kSection = QStringLiteral("Varnholt-Settings");
  static const QString kKeys[] = {"Top", "Left", "width", "Height"};
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  {
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the state file is writable");
    file.write(bytes);
  }
  varnholt::TIniFile ini(path);
  const auto inMemory = varnholt::TIniSection::FromBytes(bytes, kSection);
  for (const QString& key : kKeys)
    Require(ini.ReadInteger(kSection, key, -7) == inMemory.ReadInteger(key, -7),
            "the file reads as its bytes do");
  // The close: the four keys in one replacement of the file; a write the
  // writer refuses leaves the file as it was.
  const int values[] = {int(size), -int(size % 97), 16384, 0};
  varnholt::TIniEntries entries;
  for (int i = 0; i < 4; ++i)
    entries.append({kKeys[i], QString::number(values[i])});
  QFile file(path);
  Require(file.open(QIODevice::ReadOnly), "the state file is readable");
  const QByteArray before = file.readAll();
  file.close();
  try {
    ini.WriteStrings(kSection, entries);
  } catch (const varnholt::EIniFileException&) {
    Require(file.open(QIODevice::ReadOnly) && file.readAll() == before,
            "a refused write leaves the file as it was");
    return 0;
  }
  for (int i = 0; i < 4; ++i)
    Require(ini.ReadInteger(kSection, kKeys[i], -7) == values[i], "written keys read back");
  return 0;
}
