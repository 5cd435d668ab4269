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
// paint (its children, the flush) finish before calling on.
class FirstPaintWatch : public QObject {
 public:
  FirstPaintWatch(QWidget* widget, void (*then)(QWidget*))
      : QObject(widget), widget_(widget), then_(then) {
    widget->installEventFilter(this);
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      widget_->removeEventFilter(this);
      QTimer::singleShot(0, widget_, [widget = widget_, then = then_, self = this] {
        if (Enabled("VARNHOLT_REPORT_FIRST_PAINT") || Enabled("VARNHOLT_STARTUP_TRACE"))
          std::fprintf(stderr, "first_paint_ms=%.1f\n", ElapsedMs());
        self->deleteLater();
        if (then)
          then(widget);
      });
    }
    return false;
  }

 private:
  QWidget* widget_;
  void (*then_)(QWidget*);
  bool seen_ = false;
};

}  // namespace

void StartupMark(const char* what) {
  static const bool enabled = Enabled("VARNHOLT_STARTUP_TRACE");
  if (enabled)
    std::fprintf(stderr, "startup %-28s %8.1f ms\n", what, ElapsedMs());
}

void AfterFirstPaint(QWidget* widget, void (*then)(QWidget*)) {
  new FirstPaintWatch(widget, then);
}

}  // namespace varnholt
