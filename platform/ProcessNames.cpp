#include "platform/ProcessNames.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <cctype>
#include <cstdlib>

namespace varnholt {
namespace {

const QStringList* g_replacement = nullptr;

// The kernel keeps this many bytes of a command name.
constexpr int kCommandNameLength = 15;

QByteArray ReadSmallFile(const QByteArray& path, int limit) {
  const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return {};
  QByteArray data(limit, Qt::Uninitialized);
  int total = 0;
  while (total < limit) {
    const ssize_t n = ::read(fd, data.data() + total, static_cast<size_t>(limit - total));
    if (n <= 0)
      break;
    total += static_cast<int>(n);
  }
  ::close(fd);
  data.truncate(total);
  return data;
}

QByteArray FileNamePart(const QByteArray& path) {
  return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray NameFromExeLink(const QByteArray& proc) {
  char target[4096];
  const ssize_t n = ::readlink((proc + "/exe").constData(), target, sizeof target);
  if (n <= 0 || n >= static_cast<ssize_t>(sizeof target))
    return {};
  QByteArray path(target, static_cast<int>(n));
  static const QByteArray kDeleted = " (deleted)";
  if (path.endsWith(kDeleted))
    path.chop(kDeleted.size());
  return FileNamePart(path);
}

QByteArray NameFromCommandLine(const QByteArray& proc) {
  const QByteArray commandLine = ReadSmallFile(proc + "/cmdline", 4096);
  const QByteArray argv0 = commandLine.left(commandLine.indexOf('\0'));
  if (argv0.isEmpty())
    return {};
  QByteArray command = ReadSmallFile(proc + "/comm", 64);
  if (command.endsWith('\n'))
    command.chop(1);
  const QByteArray name = FileNamePart(argv0);
  return name.left(kCommandNameLength) == command ? name : command;
}

}  // namespace

QString ExecutableName(pid_t pid) {
  const QByteArray proc = "/proc/" + QByteArray::number(pid);
  QByteArray name = NameFromExeLink(proc);
  if (name.isEmpty())
    name = NameFromCommandLine(proc);
  return QString::fromLocal8Bit(name);
}

QString OwnExecutableName() {
  return ExecutableName(::getpid());
}

QStringList RunningExecutableNames() {
  if (g_replacement)
    return *g_replacement;
  QStringList names;
  DIR* dir = ::opendir("/proc");
  if (!dir)
    return names;
  while (const dirent* entry = ::readdir(dir)) {
    // Only the numbered folders are processes.
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0])) || *end != '\0' || pid <= 0)
      continue;
    const QString name = ExecutableName(static_cast<pid_t>(pid));
    if (!name.isEmpty())
      names.append(name);
  }
  ::closedir(dir);
  return names;
}

ScopedProcessNames::ScopedProcessNames(QStringList names)
    : previous_(g_replacement), names_(std::move(names)) {
  g_replacement = &names_;
}

ScopedProcessNames::~ScopedProcessNames() {
  g_replacement = previous_;
}

}  // namespace varnholt
