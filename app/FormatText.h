#pragma once

// The text of a video format in the format list: width x height, the frame
// rate when the format has a frame time, then the bit depth, for example
// "640x480 30Hz 24bpp" or "640x480 24bpp".

#include <QString>

#include "camera/CameraTypes.h"

QString FormatText(const TFCameraFormat& format);
