#pragma once

// The bytes of a profile file seen as a run of text units: bytes for UTF-8
// (with or without a byte-order mark), 16-bit units for UTF-16 with a mark.
// Lines, names and values are located by unit index, so that edits can
// splice new text in while every other byte stays exactly as it was, invalid
// UTF-8 included.

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace varnholt::profile {

class ProfileText {
 public:
  explicit ProfileText(QByteArray bytes);

  const QByteArray& Bytes() const { return bytes_; }
  // Units after the byte-order mark; a trailing odd byte of UTF-16 is not one.
  qsizetype Size() const { return size_; }
  char16_t Unit(qsizetype i) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.constData()) + body_;
    switch (encoding_) {
      case Encoding::Utf8:
        return p[i];
      case Encoding::Utf16Le:
        return char16_t(p[2 * i] | (p[2 * i + 1] << 8));
      case Encoding::Utf16Be:
        return char16_t((p[2 * i] << 8) | p[2 * i + 1]);
    }
    return 0;
  }
  // The units themselves when they are bytes (UTF-8), else nullptr: the
  // scan for line ends runs over them directly.
  const unsigned char* Utf8Units() const {
    return encoding_ == Encoding::Utf8
               ? reinterpret_cast<const unsigned char*>(bytes_.constData()) + body_
               : nullptr;
  }
  // False when bytes lie outside the units (a UTF-16 file of odd length):
  // appending there would misalign everything after.
  bool Editable() const;

  QString Decode(qsizetype from, qsizetype to) const;
  QByteArray Encode(const QString& text) const;
  // The raw bytes of the units [from, to).
  QByteArray Raw(qsizetype from, qsizetype to) const;
  // The whole file with the units [from, to) replaced by already encoded bytes.
  QByteArray Splice(qsizetype from, qsizetype to, const QByteArray& encoded) const;
  // The whole file with each of the sorted, disjoint unit ranges replaced by
  // its encoded bytes (an empty range inserts them).
  struct Edit {
    qsizetype from = 0;
    qsizetype to = 0;
    QByteArray encoded;
  };
  QByteArray Splice(const QList<Edit>& edits) const;
  // The whole file without the given sorted, disjoint unit ranges.
  QByteArray Remove(const QList<std::pair<qsizetype, qsizetype>>& ranges) const;

 private:
  enum class Encoding { Utf8, Utf16Le, Utf16Be };
  qsizetype ByteOffset(qsizetype unit) const;

  QByteArray bytes_;
  Encoding encoding_ = Encoding::Utf8;
  qsizetype body_ = 0;
  qsizetype size_ = 0;
};

}  // namespace varnholt::profile
