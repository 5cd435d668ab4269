#include "platform/DocumentsFolder.h"

#include <QDir>
#include <QStandardPaths>

#ifdef _WIN32
#include "platform/win/WinFolders.h"
#endif

namespace varnholt {

QString DocumentsFolder() {
#ifdef _WIN32
  // The shell's own answer (FOLDERID_Documents), redirection included.
  const QString folder =
      QDir::fromNativeSeparators(QString::fromStdWString(win::DocumentsFolder()));
#else
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
#endif
  return folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString SettingsFolder() {
  const QString documents = DocumentsFolder();
  if (documents.isEmpty())
    return {};
  return (documents == QStringLiteral("/") ? QString() : documents) + QStringLiteral("/Varnholt");
}

bool CreateSettingsFolder() {
  const QString folder = SettingsFolder();
  return !folder.isEmpty() && QDir().mkpath(folder);
}

}  // namespace varnholt
