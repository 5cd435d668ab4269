#include "camera/platform/virtual/StateFile.h"

#ifdef _WIN32
#include "platform/win/WinFiles.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>

#include "platform/ProfileStorage.h"

namespace varnholt::platform::virtualcam {
namespace {

// Our own files are a few hundred bytes; anything far larger is not ours.
constexpr qint64 kMaxStateBytes = 64 * 1024;

std::atomic<std::uint64_t> g_deviceCalls{0};

bool IsKeyCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

// "key n n ..." → entry; false for anything else.
bool ParseLine(std::string_view line, StateEntries& entries) {
  const auto space = line.find(' ');
  const std::string_view key = line.substr(0, space);
  if (key.empty() || space == std::string_view::npos)
    return false;
  for (char c : key)
    if (!IsKeyCharacter(c))
      return false;
  std::vector<std::int64_t> numbers;
  std::string_view rest = line.substr(space + 1);
  while (!rest.empty()) {
    const auto end = rest.find(' ');
    const std::string_view word = rest.substr(0, end);
    std::int64_t n = 0;
    const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (word.empty() || ec != std::errc() || ptr != word.data() + word.size())
      return false;
    numbers.push_back(n);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  }
  if (numbers.empty())
    return false;
  entries[std::string(key)] = std::move(numbers);
  return true;
}

QByteArray Format(const StateEntries& entries) {
  QByteArray text = "# varnholt virtual camera state\n";
  for (const auto& [key, numbers] : entries) {
    text += QByteArray::fromStdString(key);
    for (const auto n : numbers)
      text += ' ' + QByteArray::number(static_cast<qlonglong>(n));
    text += '\n';
  }
  return text;
}

}  // namespace

StateFile::StateFile(std::shared_ptr<const StateSettings> settings, const std::string& devicePath)
    : settings_(std::move(settings)),
      path_(QDir(settings_->dir).filePath(FileNameFor(devicePath))) {}

QString StateFile::FileNameFor(const std::string& devicePath) {
  constexpr std::size_t kMaxReadable = 40;
  QString readable;
  for (char c : devicePath) {
    if (readable.size() >= static_cast<qsizetype>(kMaxReadable))
      break;
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (safe || (!readable.isEmpty() && !readable.endsWith('_')))
      readable += safe ? c : '_';
  }
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(devicePath), QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  if (readable.isEmpty())
    readable = "camera";
  return readable + '-' + QString::fromLatin1(hash) + ".state";
}

std::uint64_t StateFile::DeviceCalls() {
  return g_deviceCalls.load(std::memory_order_relaxed);
}

StateEntries StateFile::Read() const {
  g_deviceCalls.fetch_add(1, std::memory_order_relaxed);
  return Load();
}

StateEntries StateFile::Load() const {
  StateEntries entries;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly))
    return entries;
  // Read at the file's own size: a read at the cap reserves a block twice the
  // cap, and the camera reads this file at every frame.
  const QByteArray text = file.read(std::min(file.size(), kMaxStateBytes));
  qsizetype start = 0;
  // Only complete lines count: a cut-off last line is not trusted.
  for (qsizetype end = text.indexOf('\n'); end >= 0; end = text.indexOf('\n', start)) {
    const std::string_view line(text.constData() + start, static_cast<std::size_t>(end - start));
    if (!line.starts_with('#'))
      ParseLine(line, entries);
    start = end + 1;
  }
  return entries;
}

HResult StateFile::Update(const std::function<void(StateEntries&)>& change) const {
  g_deviceCalls.fetch_add(1, std::memory_order_relaxed);
  if (!QDir().mkpath(settings_->dir))
    return hr::AccessDenied;
#ifdef _WIN32
  // LockFileEx on a lock file beside the state, never removed: the system
  // drops the lock when its holder ends however it ends.
  const win::FileLock lock(QDir::toNativeSeparators(path_ + ".lock").toStdWString(),
                           static_cast<unsigned>(settings_->lockTimeoutMs.load()));
  if (!lock.Opened())
    return hr::AccessDenied;
  if (!lock.Held())
    return hr::Busy;
#else
  // flock on a lock file beside the state, never removed: the kernel drops
  // the lock when its holder dies however it dies, so a writer killed while
  // taking or holding it never locks the others out.
  const int lock = ::open(QFile::encodeName(path_ + ".lock").constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lock < 0)
    return hr::AccessDenied;
  const struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{lock};
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(settings_->lockTimeoutMs.load());
  while (::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR)
      return hr::AccessDenied;
    if (std::chrono::steady_clock::now() >= deadline)
      return hr::Busy;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
#endif
  StateEntries entries = Load();
  change(entries);
  // The profiles' replacement: permissions, attributes and leftovers of
  // killed writers handled as for every other file we save.
  return varnholt::profile::ReplaceProfile(path_, Format(entries)) ? hr::Ok : hr::AccessDenied;
}

}  // namespace varnholt::platform::virtualcam
