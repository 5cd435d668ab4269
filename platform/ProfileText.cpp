#include "platform/ProfileText.h"

#include <QStringDecoder>

namespace varnholt::profile {

ProfileText::ProfileText(QByteArray bytes) : bytes_(std::move(bytes)) {
  if (bytes_.startsWith("\xEF\xBB\xBF")) {
    body_ = 3;
  } else if (bytes_.startsWith("\xFF\xFE")) {
    encoding_ = Encoding::Utf16Le;
    body_ = 2;
  } else if (bytes_.startsWith("\xFE\xFF")) {
    encoding_ = Encoding::Utf16Be;
    body_ = 2;
  }
  const qsizetype unitBytes = encoding_ == Encoding::Utf8 ? 1 : 2;
  size_ = (bytes_.size() - body_) / unitBytes;
}

bool ProfileText::Editable() const {
  return ByteOffset(size_) == bytes_.size();
}

qsizetype ProfileText::ByteOffset(qsizetype unit) const {
  return body_ + (encoding_ == Encoding::Utf8 ? unit : 2 * unit);
}

QString ProfileText::Decode(qsizetype from, qsizetype to) const {
  if (encoding_ == Encoding::Utf8) {
    // A piece of a line that begins with U+FEFF keeps it: the plain decoder
    // would drop it as a byte-order mark, and a name holding one would then
    // never match itself.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(bytes_.constData() + ByteOffset(from), to - from));
  }
  QString text(to - from, Qt::Uninitialized);
  QChar* out = text.data();
  for (qsizetype i = from; i < to; ++i)
    *out++ = QChar(Unit(i));
  return text;
}

QByteArray ProfileText::Encode(const QString& text) const {
  if (encoding_ == Encoding::Utf8)
    return text.toUtf8();
  QByteArray out;
  out.reserve(2 * text.size());
  for (const QChar c : text) {
    const char hi = char(c.unicode() >> 8);
    const char lo = char(c.unicode() & 0xFF);
    if (encoding_ == Encoding::Utf16Le) {
      out.append(lo).append(hi);
    } else {
      out.append(hi).append(lo);
    }
  }
  return out;
}

QByteArray ProfileText::Raw(qsizetype from, qsizetype to) const {
  return bytes_.mid(ByteOffset(from), ByteOffset(to) - ByteOffset(from));
}

QByteArray ProfileText::Splice(qsizetype from, qsizetype to, const QByteArray& encoded) const {
  const qsizetype begin = ByteOffset(from);
  const qsizetype end = ByteOffset(to);
  QByteArray out;
  out.reserve(bytes_.size() - (end - begin) + encoded.size());
  out.append(bytes_.constData(), begin);
  out.append(encoded);
  out.append(bytes_.constData() + end, bytes_.size() - end);
  return out;
}

QByteArray ProfileText::Splice(const QList<Edit>& edits) const {
  qsizetype size = bytes_.size();
  for (const Edit& edit : edits)
    size += edit.encoded.size() - (ByteOffset(edit.to) - ByteOffset(edit.from));
  QByteArray out;
  out.reserve(size);
  qsizetype kept = 0;
  for (const Edit& edit : edits) {
    out.append(bytes_.constData() + kept, ByteOffset(edit.from) - kept);
    out.append(edit.encoded);
    kept = ByteOffset(edit.to);
  }
  out.append(bytes_.constData() + kept, bytes_.size() - kept);
  return out;
}

QByteArray ProfileText::Remove(const QList<std::pair<qsizetype, qsizetype>>& ranges) const {
  QByteArray out;
  out.reserve(bytes_.size());
  qsizetype kept = 0;
  for (const auto& [from, to] : ranges) {
    out.append(bytes_.constData() + kept, ByteOffset(from) - kept);
    kept = ByteOffset(to);
  }
  out.append(bytes_.constData() + kept, bytes_.size() - kept);
  return out;
}

}  // namespace varnholt::profile
