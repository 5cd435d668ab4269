#include "platform/TerminalText.h"

namespace varnholt {
namespace {

QString Escape(const QString& text, bool field) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const char16_t u = c.unicode();
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      out += c;
      out += text[++i];
      continue;
    }
    if (field && u == u'\\')
      out += QStringLiteral("\\\\");
    else if (!field && (u == u'\n' || u == u'\t'))
      out += c;
    else if (u == u'\t')
      out += QStringLiteral("\\t");
    else if (u == u'\n')
      out += QStringLiteral("\\n");
    else if (u == u'\r')
      out += QStringLiteral("\\r");
    else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
      out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QChar(u'0'));
    else if (u == 0x2028 || u == 0x2029 || c.isSurrogate())
      out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QChar(u'0'));
    else
      out += c;
  }
  return out;
}

}  // namespace

QString TerminalField(const QString& text) {
  return Escape(text, true);
}

QString TerminalLines(const QString& text) {
  return Escape(text, false);
}

}  // namespace varnholt
