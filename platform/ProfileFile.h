#pragma once

// Profile (INI) files with the behaviour of the Windows profile functions
// (GetPrivateProfileString / WritePrivateProfileString), so that window-state
// files and the camera settings files users exchange read and write the same
// everywhere.
//
// Every read parses the file as it is now; every write replaces the file at
// once, atomically (a sibling file renamed over it, keeping its permission
// bits; through a symbolic link the link's target is replaced). Only the
// lines a write concerns change; all other bytes stay as they were.
//
// - Names: section and key names compare case-insensitively after trimming
//   blanks. "[" name "]" starts a section, the name running to the line's
//   last "]". Keys are "name=value" lines split at the first "="; lines
//   starting with ";" are comments. The first matching section and the first
//   matching key in it win; lines before the first section belong to none.
// - Values: blanks trimmed, then one pair of enclosing double or single
//   quotes removed. Like Windows, a default string loses trailing spaces.
// - Encodings: UTF-8 with or without byte-order mark, UTF-16 with mark.
//   New lines use the file's encoding and first line ending (CR LF, else
//   LF); a new file is UTF-8 without mark.
// - Size cap: a file larger than 16 MiB, a folder, a FIFO or anything else
//   that is not a readable regular file reads as empty, and writing to it
//   throws rather than losing its content; so does a write that would make
//   the file larger than 16 MiB.
// - Read-only files (no write permission for their owner) are never
//   rewritten, not even by root. Extended attributes and ACLs, the owner and
//   the permission bits carry over to the replacement (ProfileStorage.h).
// - Other writers: a write reads and replaces the file holding flock on it,
//   as programs that rewrite it in place do, waiting for them at most a
//   second; a change by a writer that takes no lock is kept, and the edit
//   made again on top of it.
// - Untrusted names: a section name may come from a device (a camera's
//   name). "]" and "=" in it are harmless (the header runs to the line's
//   last "]", and headers are recognised before keys), but a line break of
//   any kind, a NUL or another control character but tab, or broken UTF-16
//   would split the header or be cut short by other readers. Such a name
//   never matches anything when read, and writing under it is refused.
// - Writing throws EIniFileException ("Unable to write to <path>: <reason>",
//   the system's words where the system refused) and leaves the file as
//   it was when the file cannot be replaced, when a name or value holds such
//   a character, or when the key is empty or holds "=".

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

#include "platform/Exception.h"

namespace varnholt {

namespace profile {
class ProfileDocument;
}

class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

// Whether a section name can be written and read back as it is (see the
// rule for untrusted names above).
bool IsStorableSectionName(const QString& section);

// One section as read at one moment: every read answers from that reading,
// so a series of reads sees one state of the file and parses it once.
class TIniSection {
 public:
  TIniSection() = default;
  // The section of a file holding these bytes (what a file read would see).
  static TIniSection FromBytes(const QByteArray& bytes, const QString& section);

  bool ValueExists(const QString& key) const;
  // Same rules as TIniFile's reads of the same name.
  QString ReadString(const QString& key, const QString& defaultValue) const;
  int ReadInteger(const QString& key, int defaultValue) const;

 private:
  QHash<QString, QString> values_;  // folded name -> value; the first line of a name wins
};

// Why a whole file cannot be taken as a profile file at all.
enum class TIniFault {
  None,
  Missing,
  Folder,
  NotRegularFile,  // a FIFO, a device, a socket
  TooLarge,        // beyond the size cap
  Unreadable,      // no permission, a read error
  NotText,         // control characters no text file holds: binary data
};

// Why a file is refused, in the user's words ("it is a folder").
QString IniFaultText(TIniFault fault);

struct TIniSectionReading {
  TIniFault Fault = TIniFault::None;
  TIniSection Section;  // empty unless Fault is None
};

// Key and value pairs in the order they are to be written.
using TIniEntries = QList<std::pair<QString, QString>>;

class TIniFile {
 public:
  explicit TIniFile(QString fileName);

  QString FileName() const { return fileName_; }

  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  // Decimal with optional sign, or hexadecimal after "0x", "0X" or "$" taken
  // as 32-bit two's complement ("$FFFFFFFF" is -1); anything else, trailing
  // junk or out of range reads as the default.
  int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);
  // Writes the keys in order as one replacement of the file: either all of
  // them reach it or, on failure, none does.
  void WriteStrings(const QString& section, const TIniEntries& entries);

  // The whole section in one reading of the file.
  TIniSection ReadSectionValues(const QString& section) const;
  // The same for a file the user chose to load: where the reads above take
  // anything unreadable as empty, this says why the file cannot be used,
  // so that the caller can refuse it instead of loading nothing as values.
  TIniSectionReading ReadSectionValuesChecked(const QString& section) const;

  // A section exists when it holds at least one key, as in the classic
  // TIniFile; a bare header does not count.
  bool SectionExists(const QString& section) const;
  bool ValueExists(const QString& section, const QString& key) const;
  // The section's key names in file order, each once.
  QStringList ReadSection(const QString& section) const;
  void DeleteKey(const QString& section, const QString& key);
  // Removes every section of that name with all its lines.
  void EraseSection(const QString& section);

 private:
  profile::ProfileDocument Load() const;
  void Edit(const std::function<QByteArray(const profile::ProfileDocument&)>& edit);
  void CheckWritable(const QString& section, const QString& key, const QString& value) const;
  [[noreturn]] void ThrowWriteError(const QString& reason = {}) const;

  QString fileName_;
};

}  // namespace varnholt
