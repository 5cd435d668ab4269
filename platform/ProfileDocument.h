#pragma once

// One profile file's text, read and edited with the rules of the Windows
// profile functions: names compared case-insensitively after trimming
// blanks; "[" name "]" headers where the name runs to the last "]"; lines
// before the first header belong to no section; "name=value" keys split at
// the first "="; ";" comments; the first matching section and key win.
// Edits touch only the lines they must; every other byte stays as it was.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/ProfileText.h"

namespace varnholt::profile {

class ProfileDocument {
 public:
  explicit ProfileDocument(QByteArray bytes) : text_(std::move(bytes)) {}

  // The value of the key, blanks trimmed, quotes still on.
  std::optional<QString> Value(const QString& section, const QString& key) const;
  // The section's key names in file order, each name once, first spelling.
  QStringList Keys(const QString& section) const;
  // The section's key lines in file order: names and values blanks trimmed,
  // quotes still on; a name may come more than once.
  QList<std::pair<QString, QString>> Entries(const QString& section) const;

  bool Editable() const { return text_.Editable(); }
  // The whole file after setting the key; names are written trimmed, the
  // value verbatim. The caller rejects line breaks and "=" in the key.
  QByteArray WithValue(const QString& section, const QString& key, const QString& value) const;
  // The same for each key in turn, in one pass over the file: a later key of
  // the same name replaces an earlier one's value.
  QByteArray WithValues(const QString& section,
                        const QList<std::pair<QString, QString>>& entries) const;
  QByteArray WithoutKey(const QString& section, const QString& key) const;
  // Removes every section of that name, header through its last line.
  QByteArray WithoutSection(const QString& section) const;

 private:
  QString LineEnding() const;

  ProfileText text_;
};

}  // namespace varnholt::profile
