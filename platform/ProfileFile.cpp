#include "platform/ProfileFile.h"

#include <algorithm>
#include <mutex>

#include "platform/ProfileDocument.h"
#include "platform/ProfileNumber.h"
#include "platform/ProfileStorage.h"

namespace varnholt {
namespace {

using profile::LoadedProfile;
using profile::ProfileDocument;

QString WithoutQuotes(const QString& value) {
  if (value.size() > 1 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front())
    return value.mid(1, value.size() - 2);
  return value;
}

QString WithoutTrailingSpaces(QString text) {
  while (text.endsWith(u' '))
    text.chop(1);
  return text;
}

// The blanks the reader trims; a key of nothing else could never be read back.
bool IsBlankOnly(const QString& text) {
  return std::all_of(text.begin(), text.end(),
                     [](QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; });
}

// Units that would split a line here or in another program's reader (NEL,
// LS and PS are line breaks to some editors), or cut it short (NUL).
bool IsUnsafeUnit(char16_t unit) {
  return (unit < 0x20 && unit != u'\t') || unit == 0x7F || unit == 0x85 || unit == 0x2028 ||
         unit == 0x2029;
}

bool Storable(const QString& text) {
  return text.isValidUtf16() &&
         std::none_of(text.begin(), text.end(), [](QChar c) { return IsUnsafeUnit(c.unicode()); });
}

// The name as a message can show it: unsafe units as escapes.
QString Escaped(const QString& text) {
  QString out;
  for (const QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'\n')
      out += QStringLiteral("\\n");
    else if (u == u'\r')
      out += QStringLiteral("\\r");
    else if (IsUnsafeUnit(u) || c.isSurrogate())
      out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QChar(u'0'));
    else
      out += c;
  }
  return out;
}

// Text files hold tab, line breaks and form feeds among their control
// characters, old ones a Ctrl-Z at the end; binary data holds the others.
bool LooksLikeText(const QByteArray& bytes) {
  const profile::ProfileText text(bytes);
  for (qsizetype i = 0; i < text.Size(); ++i) {
    const char16_t unit = text.Unit(i);
    if (unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r' && unit != u'\v' &&
        unit != u'\f' && unit != 0x1A)
      return false;
  }
  return true;
}

// Names as the reader compares them: blanks trimmed, case folded.
QString FoldName(const QString& name) {
  qsizetype from = 0;
  qsizetype to = name.size();
  auto blank = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; };
  while (from < to && blank(name[from]))
    ++from;
  while (to > from && blank(name[to - 1]))
    --to;
  return name.mid(from, to - from).toCaseFolded();
}

// Serialises read-modify-write cycles within this process, so that two
// threads writing the same file do not lose each other's changes.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

bool IsStorableSectionName(const QString& section) {
  return Storable(section);
}

TIniSection TIniSection::FromBytes(const QByteArray& bytes, const QString& section) {
  TIniSection result;
  if (!Storable(section))
    return result;
  for (const auto& [name, value] : ProfileDocument(bytes).Entries(section)) {
    const QString folded = FoldName(name);
    if (!result.values_.contains(folded))
      result.values_.insert(folded, value);
  }
  return result;
}

bool TIniSection::ValueExists(const QString& key) const {
  return values_.contains(FoldName(key));
}

QString TIniSection::ReadString(const QString& key, const QString& defaultValue) const {
  const auto found = values_.constFind(FoldName(key));
  if (found != values_.cend())
    return WithoutQuotes(*found);
  return WithoutTrailingSpaces(defaultValue);
}

int TIniSection::ReadInteger(const QString& key, int defaultValue) const {
  const auto found = values_.constFind(FoldName(key));
  if (found == values_.cend())
    return defaultValue;
  return profile::ParseProfileInteger(WithoutQuotes(*found)).value_or(defaultValue);
}

TIniFile::TIniFile(QString fileName) : fileName_(std::move(fileName)) {}

ProfileDocument TIniFile::Load() const {
  LoadedProfile loaded = profile::LoadProfile(fileName_);
  return ProfileDocument(std::move(loaded.bytes));
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  if (const auto value = Storable(section) ? Load().Value(section, key) : std::nullopt)
    return WithoutQuotes(*value);
  return WithoutTrailingSpaces(defaultValue);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  const auto value = Storable(section) ? Load().Value(section, key) : std::nullopt;
  if (!value)
    return defaultValue;
  return profile::ParseProfileInteger(WithoutQuotes(*value)).value_or(defaultValue);
}

TIniSection TIniFile::ReadSectionValues(const QString& section) const {
  return TIniSection::FromBytes(profile::LoadProfile(fileName_).bytes, section);
}

namespace {

// The fault of a file LoadProfile could not use.
TIniFault FaultOf(const LoadedProfile& loaded) {
  using Reason = LoadedProfile::Reason;
  if (loaded.state == LoadedProfile::State::Missing)
    return TIniFault::Missing;
  switch (loaded.reason) {
    case Reason::Folder:
      return TIniFault::Folder;
    case Reason::NotRegularFile:
      return TIniFault::NotRegularFile;
    case Reason::TooLarge:
      return TIniFault::TooLarge;
    case Reason::None:
    case Reason::Unreadable:
      break;
  }
  return TIniFault::Unreadable;
}

}  // namespace

QString IniFaultText(TIniFault fault) {
  switch (fault) {
    case TIniFault::Missing:
      return QStringLiteral("the file does not exist");
    case TIniFault::Folder:
      return QStringLiteral("it is a folder");
    case TIniFault::NotRegularFile:
      return QStringLiteral("it is not a regular file");
    case TIniFault::TooLarge:
      return QStringLiteral("it is larger than 16 MiB");
    case TIniFault::NotText:
      return QStringLiteral("it is not a settings file");
    case TIniFault::None:
    case TIniFault::Unreadable:
      break;
  }
  return QStringLiteral("it cannot be read");
}

TIniSectionReading TIniFile::ReadSectionValuesChecked(const QString& section) const {
  const LoadedProfile loaded = profile::LoadProfile(fileName_);
  if (loaded.state != LoadedProfile::State::Loaded)
    return {FaultOf(loaded), {}};
  if (!LooksLikeText(loaded.bytes))
    return {TIniFault::NotText, {}};
  return {TIniFault::None, TIniSection::FromBytes(loaded.bytes, section)};
}

void TIniFile::CheckWritable(const QString& section, const QString& key,
                             const QString& value) const {
  if (!Storable(section))
    ThrowWriteError("the section name \"" + Escaped(section) +
                    "\" holds a line break or another control character");
  if (!Storable(key) || key.contains(u'=') || IsBlankOnly(key))
    ThrowWriteError("the key \"" + Escaped(key) +
                    "\" is blank or holds \"=\" or a control character");
  if (!Storable(value))
    ThrowWriteError("the value holds a line break or another control character");
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  CheckWritable(section, key, value);
  Edit([&](const ProfileDocument& document) { return document.WithValue(section, key, value); });
}

void TIniFile::WriteStrings(const QString& section, const TIniEntries& entries) {
  for (const auto& [key, value] : entries)
    CheckWritable(section, key, value);
  if (entries.isEmpty())
    return;
  Edit([&](const ProfileDocument& document) { return document.WithValues(section, entries); });
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

bool TIniFile::SectionExists(const QString& section) const {
  return Storable(section) && !Load().Keys(section).isEmpty();
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  return Storable(section) && Load().Value(section, key).has_value();
}

QStringList TIniFile::ReadSection(const QString& section) const {
  return Storable(section) ? Load().Keys(section) : QStringList();
}

// A name that can never have been written names nothing to remove.
void TIniFile::DeleteKey(const QString& section, const QString& key) {
  if (Storable(section))
    Edit([&](const ProfileDocument& document) { return document.WithoutKey(section, key); });
}

void TIniFile::EraseSection(const QString& section) {
  if (Storable(section))
    Edit([&](const ProfileDocument& document) { return document.WithoutSection(section); });
}

void TIniFile::Edit(const std::function<QByteArray(const ProfileDocument&)>& edit) {
  std::lock_guard lock(WriteMutex());
  // A writer that takes no lock may change the file between our reading and
  // our replacing it: then the edit is made again on top of theirs.
  for (int attempt = 0;; ++attempt) {
    const profile::ProfileLock shared(fileName_);
    if (!shared.Held())
      ThrowWriteError("another program keeps it locked");
    LoadedProfile loaded = profile::LoadProfile(fileName_);
    if (loaded.state == LoadedProfile::State::Unusable)
      ThrowWriteError(loaded.error ? qt_error_string(loaded.error) : IniFaultText(FaultOf(loaded)));
    const ProfileDocument document(loaded.bytes);
    if (!document.Editable())
      ThrowWriteError("its UTF-16 text is cut short");
    const QByteArray updated = edit(document);
    // Like Windows, an edit that changes nothing writes nothing.
    if (updated == loaded.bytes)
      return;
    QString reason;
    switch (profile::ReplaceProfileIfUnchanged(fileName_, updated, loaded.stamp, &reason)) {
      case profile::Replacement::Done:
        return;
      case profile::Replacement::Failed:
        ThrowWriteError(reason);
      case profile::Replacement::Changed:
        if (attempt == 4)
          ThrowWriteError("another program keeps changing it");
        break;
    }
  }
}

void TIniFile::ThrowWriteError(const QString& reason) const {
  QString message = "Unable to write to " + fileName_;
  if (!reason.isEmpty())
    message += ": " + reason;
  throw EIniFileException(message.toStdString());
}

}  // namespace varnholt
