#pragma once

// varnholt-vcam: lists the virtual cameras and changes their shared state
// from outside the program, as another application changes a real device.

#include <QStringList>
#include <QTextStream>

namespace varnholt::platform::virtualcam {

constexpr int kVcamOk = 0;
constexpr int kVcamFailed = 2;

// arguments without the program name; answers the exit code.
int RunVcamTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace varnholt::platform::virtualcam
