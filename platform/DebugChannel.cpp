#include "platform/DebugChannel.h"

#ifdef _WIN32
#include "platform/win/WinDebugOutput.h"
#else
#include <unistd.h>
#include <cerrno>
#endif

namespace varnholt {

#ifdef _WIN32
void OutputDebugString(const QString& text) {
  win::DebugOutput(text.toStdWString());
}
#else
void OutputDebugString(const QString& text) {
  QByteArray line = text.toUtf8();
  line.append('\n');
  const char* data = line.constData();
  qsizetype left = line.size();
  // One call carries the whole line; a pipe may still take a long line in
  // parts, and the rest must not be lost.
  while (left > 0) {
    const ssize_t n = ::write(STDERR_FILENO, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    data += n;
    left -= n;
  }
}
#endif

}  // namespace varnholt
