#include "platform/ProfileDocument.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <algorithm>

namespace varnholt::profile {
namespace {

bool IsBlank(char16_t unit) {
  return unit == ' ' || unit == '\t' || unit == '\v' || unit == '\f';
}

QString TrimBlanks(const QString& text) {
  qsizetype from = 0;
  qsizetype to = text.size();
  while (from < to && IsBlank(text[from].unicode()))
    ++from;
  while (to > from && IsBlank(text[to - 1].unicode()))
    --to;
  return text.mid(from, to - from);
}

QString Fold(const QString& name) {
  return TrimBlanks(name).toCaseFolded();
}

struct Range {
  qsizetype from = 0;
  qsizetype to = 0;
  bool Empty() const { return from == to; }
};

Range Trim(const ProfileText& text, Range r) {
  while (r.from < r.to && IsBlank(text.Unit(r.from)))
    ++r.from;
  while (r.to > r.from && IsBlank(text.Unit(r.to - 1)))
    --r.to;
  return r;
}

// Called for every header and key of a file: plain ASCII names, by far the
// most, compare in place without decoding.
bool Matches(const ProfileText& text, Range name, const QString& folded) {
  bool ascii = true;
  for (qsizetype i = name.from; i < name.to && ascii; ++i)
    ascii = text.Unit(i) < 0x80;
  if (!ascii)
    return text.Decode(name.from, name.to).toCaseFolded() == folded;
  if (name.to - name.from != folded.size())
    return false;
  for (qsizetype i = name.from; i < name.to; ++i) {
    char16_t unit = text.Unit(i);
    if (unit >= 'A' && unit <= 'Z')
      unit += 'a' - 'A';
    if (unit != folded[i - name.from].unicode())
      return false;
  }
  return true;
}

struct Line {
  qsizetype start = 0;
  qsizetype contentEnd = 0;  // where the line ending begins
  qsizetype end = 0;         // after the line ending
  Range content;             // without surrounding blanks
  bool HasEnding() const { return contentEnd != end; }
};

// Calls visit(line) for each line until it returns false. CR LF, LF and a
// lone CR each end a line, as they do for the Windows reader.
template <typename Visit>
void ForEachLine(const ProfileText& text, Visit&& visit) {
  const qsizetype size = text.Size();
  const unsigned char* bytes = text.Utf8Units();
  qsizetype i = 0;
  while (i < size) {
    Line line;
    line.start = i;
    if (bytes) {
      while (i < size && bytes[i] != '\n' && bytes[i] != '\r')
        ++i;
    } else {
      while (i < size && text.Unit(i) != '\n' && text.Unit(i) != '\r')
        ++i;
    }
    line.contentEnd = i;
    if (i < size)
      i += (text.Unit(i) == '\r' && i + 1 < size && text.Unit(i + 1) == '\n') ? 2 : 1;
    line.end = i;
    line.content = Trim(text, {line.start, line.contentEnd});
    if (!visit(line))
      return;
  }
}

// The file's last line as ForEachLine would end on it, found from the end.
std::optional<Line> LastLine(const ProfileText& text) {
  const qsizetype size = text.Size();
  if (size == 0)
    return std::nullopt;
  Line line;
  line.end = size;
  line.contentEnd = size;
  if (text.Unit(size - 1) == '\n')
    line.contentEnd = (size >= 2 && text.Unit(size - 2) == '\r') ? size - 2 : size - 1;
  else if (text.Unit(size - 1) == '\r')
    line.contentEnd = size - 1;
  line.start = line.contentEnd;
  while (line.start > 0 && text.Unit(line.start - 1) != '\n' && text.Unit(line.start - 1) != '\r')
    --line.start;
  line.content = Trim(text, {line.start, line.contentEnd});
  return line;
}

// A header's name: from after "[" to the line's last "]", so that
// "[USB Camera [HD]]" names "USB Camera [HD]".
std::optional<Range> SectionName(const ProfileText& text, const Line& line) {
  const Range r = line.content;
  if (r.Empty() || text.Unit(r.from) != '[')
    return std::nullopt;
  for (qsizetype i = r.to - 1; i > r.from; --i) {
    if (text.Unit(i) == ']')
      return Trim(text, {r.from + 1, i});
  }
  return std::nullopt;
}

struct KeyLine {
  Range name;
  Range value;
};

// Only for lines that are not headers. A line without "=" or with an empty
// name is no key.
std::optional<KeyLine> KeyOf(const ProfileText& text, const Line& line) {
  const Range r = line.content;
  if (r.Empty() || text.Unit(r.from) == ';')
    return std::nullopt;
  for (qsizetype i = r.from; i < r.to; ++i) {
    if (text.Unit(i) != '=')
      continue;
    const Range name = Trim(text, {r.from, i});
    if (name.Empty())
      return std::nullopt;
    return KeyLine{name, Trim(text, {i + 1, r.to})};
  }
  return std::nullopt;
}

// Visits the lines of the first section named `folded`, after its header,
// until visit returns false or the section ends. Returns that header.
template <typename Visit>
std::optional<Line> VisitSection(const ProfileText& text, const QString& folded, Visit&& visit) {
  std::optional<Line> header;
  ForEachLine(text, [&](const Line& line) {
    if (const auto name = SectionName(text, line)) {
      if (header)
        return false;
      if (Matches(text, *name, folded))
        header = line;
      return true;
    }
    return !header || visit(line);
  });
  return header;
}

struct FoundKey {
  Line line;
  KeyLine key;
};

}  // namespace

std::optional<QString> ProfileDocument::Value(const QString& section, const QString& key) const {
  const QString foldedKey = Fold(key);
  std::optional<QString> value;
  VisitSection(text_, Fold(section), [&](const Line& line) {
    const auto found = KeyOf(text_, line);
    if (!found || !Matches(text_, found->name, foldedKey))
      return true;
    value = text_.Decode(found->value.from, found->value.to);
    return false;
  });
  return value;
}

QStringList ProfileDocument::Keys(const QString& section) const {
  QStringList names;
  QSet<QString> seen;
  VisitSection(text_, Fold(section), [&](const Line& line) {
    if (const auto found = KeyOf(text_, line)) {
      const QString name = text_.Decode(found->name.from, found->name.to);
      if (!seen.contains(name.toCaseFolded())) {
        seen.insert(name.toCaseFolded());
        names.append(name);
      }
    }
    return true;
  });
  return names;
}

QList<std::pair<QString, QString>> ProfileDocument::Entries(const QString& section) const {
  QList<std::pair<QString, QString>> entries;
  VisitSection(text_, Fold(section), [&](const Line& line) {
    if (const auto found = KeyOf(text_, line))
      entries.append({text_.Decode(found->name.from, found->name.to),
                      text_.Decode(found->value.from, found->value.to)});
    return true;
  });
  return entries;
}

QByteArray ProfileDocument::WithValue(const QString& section, const QString& key,
                                      const QString& value) const {
  const QString sectionName = TrimBlanks(section);
  const QString keyName = TrimBlanks(key);
  const QString foldedKey = keyName.toCaseFolded();
  std::optional<FoundKey> existing;
  std::optional<Line> lastFilled;
  const auto header = VisitSection(text_, sectionName.toCaseFolded(), [&](const Line& line) {
    if (!line.content.Empty())
      lastFilled = line;
    const auto found = KeyOf(text_, line);
    if (!found || !Matches(text_, found->name, foldedKey))
      return true;
    existing = FoundKey{line, *found};
    return false;
  });

  if (existing) {
    // The key keeps its own spelling, byte for byte.
    const QByteArray name = text_.Raw(existing->key.name.from, existing->key.name.to);
    return text_.Splice(existing->line.start, existing->line.contentEnd,
                        name + text_.Encode(QStringLiteral("=") + value));
  }

  const QByteArray eol = text_.Encode(LineEnding());
  const QByteArray keyLine = text_.Encode(keyName + QStringLiteral("=") + value) + eol;
  if (header) {
    const Line& after = lastFilled ? *lastFilled : *header;
    const QByteArray insert = (after.HasEnding() ? QByteArray() : eol) + keyLine;
    return text_.Splice(after.end, after.end, insert);
  }

  std::optional<Line> last;
  ForEachLine(text_, [&](const Line& line) {
    last = line;
    return true;
  });
  QByteArray insert;
  if (last && !last->HasEnding())
    insert += eol;
  if (last && !last->content.Empty())
    insert += eol;
  insert += text_.Encode(QStringLiteral("[") + sectionName + QStringLiteral("]")) + eol + keyLine;
  return text_.Splice(text_.Size(), text_.Size(), insert);
}

QByteArray ProfileDocument::WithValues(const QString& section,
                                       const QList<std::pair<QString, QString>>& entries) const {
  const QString sectionName = TrimBlanks(section);
  // Each existing key line of the section by folded name, the first winning.
  QHash<QString, FoundKey> existing;
  std::optional<Line> lastFilled;
  const auto header = VisitSection(text_, sectionName.toCaseFolded(), [&](const Line& line) {
    if (!line.content.Empty())
      lastFilled = line;
    if (const auto found = KeyOf(text_, line)) {
      const QString folded = text_.Decode(found->name.from, found->name.to).toCaseFolded();
      if (!existing.contains(folded))
        existing.insert(folded, FoundKey{line, *found});
    }
    return true;
  });

  // The new value of each existing line, and the new keys in order.
  QMap<qsizetype, QString> replaced;  // line start -> value
  QList<std::pair<QString, QString>> added;
  QHash<QString, qsizetype> addedIndex;
  for (const auto& [key, value] : entries) {
    const QString keyName = TrimBlanks(key);
    const QString folded = keyName.toCaseFolded();
    if (const auto found = existing.constFind(folded); found != existing.cend()) {
      replaced[found->line.start] = value;
    } else if (const auto index = addedIndex.constFind(folded); index != addedIndex.cend()) {
      added[*index].second = value;
    } else {
      addedIndex.insert(folded, added.size());
      added.append({keyName, value});
    }
  }

  QHash<qsizetype, const FoundKey*> byStart;
  for (const FoundKey& found : existing)
    byStart.insert(found.line.start, &found);
  QList<ProfileText::Edit> edits;
  for (auto it = replaced.cbegin(); it != replaced.cend(); ++it) {
    const FoundKey& found = *byStart.value(it.key());
    // The key keeps its own spelling, byte for byte.
    const QByteArray name = text_.Raw(found.key.name.from, found.key.name.to);
    edits.append({found.line.start, found.line.contentEnd,
                  name + text_.Encode(QStringLiteral("=") + it.value())});
  }
  if (!added.isEmpty()) {
    const QByteArray eol = text_.Encode(LineEnding());
    QByteArray keyLines;
    for (const auto& [name, value] : added)
      keyLines += text_.Encode(name + QStringLiteral("=") + value) + eol;
    if (header) {
      const Line& after = lastFilled ? *lastFilled : *header;
      edits.append({after.end, after.end, (after.HasEnding() ? QByteArray() : eol) + keyLines});
    } else {
      const std::optional<Line> last = LastLine(text_);
      QByteArray insert;
      if (last && !last->HasEnding())
        insert += eol;
      if (last && !last->content.Empty())
        insert += eol;
      insert += text_.Encode(QStringLiteral("[") + sectionName + QStringLiteral("]")) + eol;
      edits.append({text_.Size(), text_.Size(), insert + keyLines});
    }
  }
  // Lines sorted by start; an insertion after a replaced line comes after it.
  std::stable_sort(
      edits.begin(), edits.end(),
      [](const ProfileText::Edit& a, const ProfileText::Edit& b) { return a.from < b.from; });
  return edits.isEmpty() ? text_.Bytes() : text_.Splice(edits);
}

QByteArray ProfileDocument::WithoutKey(const QString& section, const QString& key) const {
  const QString foldedKey = Fold(key);
  std::optional<Line> existing;
  VisitSection(text_, Fold(section), [&](const Line& line) {
    const auto found = KeyOf(text_, line);
    if (!found || !Matches(text_, found->name, foldedKey))
      return true;
    existing = line;
    return false;
  });
  if (!existing)
    return text_.Bytes();
  return text_.Splice(existing->start, existing->end, {});
}

QByteArray ProfileDocument::WithoutSection(const QString& section) const {
  const QString folded = Fold(section);
  QList<std::pair<qsizetype, qsizetype>> removed;
  bool inside = false;
  ForEachLine(text_, [&](const Line& line) {
    if (const auto name = SectionName(text_, line)) {
      if (inside)
        removed.last().second = line.start;
      inside = Matches(text_, *name, folded);
      if (inside)
        removed.append({line.start, line.start});
    }
    return true;
  });
  if (inside)
    removed.last().second = text_.Size();
  return removed.isEmpty() ? text_.Bytes() : text_.Remove(removed);
}

// New lines follow the file's first line ending: CR LF, else LF.
QString ProfileDocument::LineEnding() const {
  for (qsizetype i = 0; i < text_.Size(); ++i) {
    if (text_.Unit(i) == '\n')
      break;
    if (text_.Unit(i) == '\r') {
      if (i + 1 < text_.Size() && text_.Unit(i + 1) == '\n')
        return QStringLiteral("\r\n");
      break;
    }
  }
  return QStringLiteral("\n");
}

}  // namespace varnholt::profile
