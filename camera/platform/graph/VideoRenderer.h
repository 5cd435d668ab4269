#pragma once

// The VMR-9 video renderer in windowless mode: the end of a preview stream
// whose frames a window shows. It keeps the latest frame and hands it out as
// a bitmap; painting is left to the window that owns the clipping window, so
// the renderer holds no widget.
//
// What callers may rely on:
// - the rendering mode must be set to windowless (2) before anything else:
//   until then every windowless call and a connection answer
//   VFW_E_WRONG_STATE; the windowed and renderless modes answer hr::NotImpl;
// - it accepts YUY2 and MJPG video; sizes and the current image need a
//   connection (VFW_E_NOT_CONNECTED), the image also a frame
//   (VFW_E_WRONG_STATE);
// - it also hands out the current image top row first (ICurrentPicture),
//   with the same pixels and codes as GetCurrentImage;
// - the ideal sizes are a quarter and four times the native size, as far as
//   a software scaler keeps a picture sharp.

#include <memory>

#include "camera/platform/Interfaces.h"

namespace varnholt::platform::graph {

std::shared_ptr<IBaseFilter> MakeVideoRenderer();

}  // namespace varnholt::platform::graph
