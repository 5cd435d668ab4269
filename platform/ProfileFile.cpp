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

bool HasLineBreak(const QString& text) {
  return text.contains(u'\n') || text.contains(u'\r');
}

// Serialises read-modify-write cycles within this process, so that two
// threads writing the same file do not lose each other's changes.
std::mutex& WriteMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

TIniFile::TIniFile(QString fileName) : fileName_(std::move(fileName)) {}

ProfileDocument TIniFile::Load() const {
  LoadedProfile loaded = profile::LoadProfile(fileName_);
  return ProfileDocument(std::move(loaded.bytes));
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const {
  if (const auto value = Load().Value(section, key))
    return WithoutQuotes(*value);
  return WithoutTrailingSpaces(defaultValue);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  const auto value = Load().Value(section, key);
  if (!value)
    return defaultValue;
  return profile::ParseProfileInteger(WithoutQuotes(*value)).value_or(defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || key.contains(u'=') ||
      IsBlankOnly(key))
    ThrowWriteError();
  Edit([&](const ProfileDocument& document) { return document.WithValue(section, key, value); });
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

bool TIniFile::SectionExists(const QString& section) const {
  return !Load().Keys(section).isEmpty();
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
  return Load().Value(section, key).has_value();
}

QStringList TIniFile::ReadSection(const QString& section) const {
  return Load().Keys(section);
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
  Edit([&](const ProfileDocument& document) { return document.WithoutKey(section, key); });
}

void TIniFile::EraseSection(const QString& section) {
  Edit([&](const ProfileDocument& document) { return document.WithoutSection(section); });
}

void TIniFile::Edit(const std::function<QByteArray(const ProfileDocument&)>& edit) {
  std::lock_guard lock(WriteMutex());
  LoadedProfile loaded = profile::LoadProfile(fileName_);
  if (loaded.state == LoadedProfile::State::Unusable)
    ThrowWriteError();
  const ProfileDocument document(loaded.bytes);
  if (!document.Editable())
    ThrowWriteError();
  const QByteArray updated = edit(document);
  // Like Windows, an edit that changes nothing writes nothing.
  if (updated == loaded.bytes)
    return;
  if (!profile::ReplaceProfile(fileName_, updated))
    ThrowWriteError();
}

void TIniFile::ThrowWriteError() const {
  throw EIniFileException("Unable to write to " + fileName_.toStdString());
}

}  // namespace varnholt
