// The reference for start-up figures: the least a Qt Widgets program does
// to show a window (bench/startup.sh). With VARNHOLT_REPORT_FIRST_PAINT set
// it reports its first paint as Varnholt does.

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

class BareWindow : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::white);
    static bool reported = false;
    const char* t0 = std::getenv("STARTUP_T0_NS");
    if (reported || !t0 || !std::getenv("VARNHOLT_REPORT_FIRST_PAINT"))
      return;
    reported = true;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec - std::atoll(t0);
    std::fprintf(stderr, "first_paint_ms=%.1f\n", ns / 1e6);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BareWindow window;
  window.resize(670, 740);
  window.setWindowTitle("Bare window");
  window.show();
  return QApplication::exec();
}
