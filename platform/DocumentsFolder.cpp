#include "platform/DocumentsFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace varnholt {

QString DocumentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
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
