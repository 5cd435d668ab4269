// Saving camera settings into large settings files, the way the window's
// Save does: one replacement of the whole file, fsync included. Each case
// prints the time of one save and its share of the 200 ms a save may take.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <chrono>

#include "platform/ProfileStorage.h"
#include "settings/SettingsFile.h"

namespace {

constexpr double kBudgetMs = 200;

// A file of sections, each holding a camera's settings, of about bytes.
QByteArray CameraSections(qint64 bytes) {
  TCameraSettings settings;
  QByteArray file;
  QTemporaryDir dir;
  const QString one = dir.filePath("one.vhx");
  WriteSettingsFile(one, "Camera", settings);
  QFile read(one);
  read.open(QIODevice::ReadOnly);
  const QByteArray body = read.readAll().mid(QByteArrayLiteral("[Camera]\n").size());
  for (int i = 0; file.size() < bytes; ++i)
    file += "[USB Camera " + QByteArray::number(i) + "]\n" + body + "\n";
  return file;
}

// Tiny sections: the most headers a file within the cap can hold.
QByteArray TinySections(qint64 bytes) {
  QByteArray file;
  for (int i = 0; file.size() < bytes; ++i)
    file += "[c" + QByteArray::number(i) + "]\nk=1\n";
  return file;
}

// One comment line as long as the file.
QByteArray OneLongLine(qint64 bytes) {
  return ";" + QByteArray(bytes - 2, 'x') + "\n";
}

void Save(benchmark::State& state, const QByteArray& content, const QString& camera) {
  QTemporaryDir dir;
  const QString path = dir.filePath("big.vhx");
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(content);
  file.close();
  TCameraSettings settings;
  double totalMs = 0;
  for (auto _ : state) {
    settings.Values[0] += 1;  // every save changes the file
    const auto start = std::chrono::steady_clock::now();
    WriteSettingsFile(path, camera, settings);
    totalMs +=
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  const double ms = totalMs / double(state.iterations());
  state.counters["ms_per_save"] = ms;
  state.counters["share_of_200ms"] = ms / kBudgetMs;
  state.counters["file_MB"] = double(content.size()) / 1e6;
}

const qint64 kSettings = 11'500'000;
const qint64 kCap = varnholt::profile::kMaxProfileBytes - 64 * 1024;

void BM_SaveIntoSettingsFile_11_5MB_LastCamera(benchmark::State& state) {
  const QByteArray content = CameraSections(kSettings);
  const qsizetype header = content.lastIndexOf("\n[USB Camera ") + 2;
  const QByteArray name = content.mid(header, content.indexOf(']', header) - header);
  Save(state, content, QString::fromLatin1(name));
}
void BM_SaveIntoSettingsFile_11_5MB_NewCamera(benchmark::State& state) {
  Save(state, CameraSections(kSettings), "New Camera");
}
void BM_SaveIntoSettingsFile_16MiB_TinySections(benchmark::State& state) {
  Save(state, TinySections(kCap), "New Camera");
}
void BM_SaveIntoSettingsFile_16MiB_OneLine(benchmark::State& state) {
  Save(state, OneLongLine(kCap), "New Camera");
}

BENCHMARK(BM_SaveIntoSettingsFile_11_5MB_LastCamera)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveIntoSettingsFile_11_5MB_NewCamera)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveIntoSettingsFile_16MiB_TinySections)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveIntoSettingsFile_16MiB_OneLine)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
