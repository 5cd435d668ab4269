// Saves one kind of file the program writes over and over, switching between
// two versions, until it is killed: the writer the interrupted-save test
// kills at random moments.
//
//   save_loop server <kind> <file>   for each line read, a forked writer:
//                                    it saves version 0, prints "ready PID",
//                                    then versions 1, 0, 1, ... forever;
//                                    "gone" once that writer has ended
//   save_loop states <kind> <file>   versions 0, 1, 0 once, printing the
//                                    file after each single write as hex
//   save_loop loop <avi|asf> <file>  a recording, "ready" just before it
//                                    opens so that a kill may land in its
//                                    start too, then finished, resumed and
//                                    finished again over and over
//
// Kinds: settings, window, marks, vcam (the file is then the folder), avi
// and asf.

#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "camera/platform/virtual/StateFile.h"
#include "media/MediaModule.h"
#include "platform/ProfileFile.h"
#include "settings/RestoreMarks.h"
#include "settings/SettingsFile.h"

namespace {

using Written = std::function<void()>;

// A recording of YUY2 frames, 64x48, each one grey level brighter: open
// from the start, then ten frames and the finish, and from then on a
// resume, ten more and the finish that replaces the file. The writer comes
// from the media module as in the program, which also keeps FFmpeg out of
// the start of the other kinds (one start per kill).
class Recording {
 public:
  Recording(const QString& kind, const QString& file) {
    namespace media = varnholt::media;
    writer_->Open(file.toStdString(), kind == "avi" ? media::Container::Avi : media::Container::Asf,
                  {64, 48, media::VideoFormat::YUY2, 1.0 / 30, {}}, std::nullopt);
  }
  void NextVersion() {
    if (frame_ > 0)
      writer_->Resume();
    for (int n = 0; n < 10; ++n, ++frame_) {
      const std::vector<std::uint8_t> picture(64 * 48 * 2, std::uint8_t(16 + frame_ % 200));
      writer_->WriteVideo(picture, frame_ / 30.0);
    }
    writer_->Finish();
  }

 private:
  std::unique_ptr<varnholt::media::FileWriter> writer_ = varnholt::media::Media().NewWriter();
  int frame_ = 0;
};

// Calls written after each write that replaces the file.
void Save(const QString& kind, const QString& file, int version, const Written& written) {
  if (kind == "settings") {
    TCameraSettings settings;
    for (std::size_t key = 0; key < kSettingsKeyCount; ++key)
      settings.Values[key] = float(version * 100 + key);
    settings.Ticks[3] = version;
    WriteSettingsFile(file, "USB Camera", settings);
    written();
  } else if (kind == "window") {
    // As the main window saves its place: one write per key.
    varnholt::TIniFile ini(file);
    for (const char* key : {"Height", "Top", "Left", "width"}) {
      ini.WriteInteger("Window", key, 400 + version * 7);
      written();
    }
  } else if (kind == "marks") {
    TRestoreMarks(file).Mark({"USB Camera", "uvc", "/dev/v4l/by-id/usb-cam"},
                             version ? "/home/u/b.vhx" : "/home/u/a.vhx");
    written();
  } else if (kind == "vcam") {
    auto settings = std::make_shared<varnholt::platform::virtualcam::StateSettings>();
    settings->dir = file;
    varnholt::platform::virtualcam::StateFile state(settings, "virtual:/lab");
    const auto result = state.Update([&](auto& entries) {
      entries["Brightness"] = {10 + version, 1};
      entries["Contrast"] = {20 + version * 3};
    });
    if (result != varnholt::platform::hr::Ok) {
      std::fprintf(stderr, "state not saved: 0x%08x\n", unsigned(result));
      std::exit(1);
    }
    written();
  } else {
    std::fprintf(stderr, "unknown kind\n");
    std::exit(2);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4)
    return 2;
  const QString mode = argv[1], kind = argv[2], file = argv[3];
  if (kind == "avi" || kind == "asf") {
    if (mode != "loop")
      return 2;
    // Ready before the open: a kill may land in the start itself.
    std::printf("ready\n");
    std::fflush(stdout);
    Recording recording(kind, file);
    for (;;)
      recording.NextVersion();
  }
  const QString target =
      kind == "vcam" ? QDir(file).filePath(
                           varnholt::platform::virtualcam::StateFile::FileNameFor("virtual:/lab"))
                     : file;
  if (mode == "states") {
    const auto print = [&] {
      QFile read(target);
      read.open(QIODevice::ReadOnly);
      std::printf("%s\n", read.readAll().toHex().constData());
    };
    for (int version : {0, 1, 0})
      Save(kind, file, version, print);
    return 0;
  }
  if (mode != "server")
    return 2;
  // A fork costs the killing test far less than a sanitized program's
  // start, and the writer it makes is a process of its own all the same.
  char line[64];
  while (std::fgets(line, sizeof line, stdin)) {
    const pid_t writer = ::fork();
    if (writer < 0)
      return 1;
    if (writer == 0) {
      // Never left writing when the test ends early and takes us with it.
      if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() == 1)
        std::_Exit(1);
      Save(kind, file, 0, [] {});
      std::printf("ready %d\n", int(::getpid()));
      std::fflush(stdout);
      for (int version = 1;; version ^= 1)
        Save(kind, file, version, [] {});
    }
    int status = 0;
    ::waitpid(writer, &status, 0);
    std::printf("gone\n");
    std::fflush(stdout);
  }
  return 0;
}
