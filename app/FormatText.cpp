#include "app/FormatText.h"

#include <cstdint>

QString FormatText(const TFCameraFormat& format) {
  QString text = QString::number(format.Width) + "x" + QString::number(format.Height) + " ";
  // The rate truncates toward zero: 333334 (100-ns units) is 29 frames.
  if (format.AvgTimePerFrame != 0)
    text += QString::number(std::int64_t{10000000} / format.AvgTimePerFrame) + "Hz ";
  return text + QString::number(format.BitsPerPixel) + "bpp";
}
