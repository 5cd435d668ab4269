#include "app/StartupTrace.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace varnholt {
namespace {

long long NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

double ElapsedMs() {
  static const long long t0 = [] {
    const char* given = std::getenv("STARTUP_T0_NS");
    return given ? std::atoll(given) : NowNs();
  }();
  return (NowNs() - t0) / 1e6;
}

bool Enabled(const char* name) {
  const char* value = std::getenv(name);
  return value && *value && *value != '0';
}

// Waits for the first paint event of one widget, then lets the rest of that
// paint (its children, the flush) finish before reporting.
class FirstPaintWatch : public QObject {
 public:
  explicit FirstPaintWatch(QWidget* widget) : QObject(widget), widget_(widget) {
    widget->installEventFilter(this);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      widget_->removeEventFilter(this);
      QTimer::singleShot(0, this, [this] {
        std::fprintf(stderr, "first_paint_ms=%.1f\n", ElapsedMs());
        deleteLater();
      });
    }
    return false;
  }

 private:
  QWidget* widget_;
  bool seen_ = false;
};

}  // namespace

void StartupMark(const char* what) {
  static const bool enabled = Enabled("VARNHOLT_STARTUP_TRACE");
  if (enabled)
    std::fprintf(stderr, "startup %-28s %8.1f ms\n", what, ElapsedMs());
}

void ReportFirstPaint(QWidget* widget) {
  if (Enabled("VARNHOLT_REPORT_FIRST_PAINT") || Enabled("VARNHOLT_STARTUP_TRACE"))
    new FirstPaintWatch(widget);
}

}  // namespace varnholt
