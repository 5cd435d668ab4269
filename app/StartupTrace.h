#pragma once

// Start-up figures for bench/startup.sh, off unless asked for by the
// environment: VARNHOLT_REPORT_FIRST_PAINT prints "first_paint_ms=..." on
// standard error when the main window first paints; VARNHOLT_STARTUP_TRACE
// also prints a line at each step of the start. Times count from
// STARTUP_T0_NS (CLOCK_MONOTONIC nanoseconds, set by the program that
// started us) or, without it, from the first mark.

#include <QByteArray>

class QWidget;

namespace varnholt {

// One line "startup <what> <ms>" when the trace is on.
void StartupMark(const char* what);
inline void StartupMark(const QByteArray& what) {
  StartupMark(what.constData());
}

// Reports the widget's first paint, once it has been handed to the window
// system, when VARNHOLT_REPORT_FIRST_PAINT or VARNHOLT_STARTUP_TRACE is set.
void ReportFirstPaint(QWidget* widget);

}  // namespace varnholt
