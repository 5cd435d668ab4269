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

// Calls then() once, after the widget's first paint has been handed to the
// window system (and reports it when asked to).
void AfterFirstPaint(QWidget* widget, void (*then)(QWidget*));

}  // namespace varnholt
