#include "camera/PropertyKeys.h"

#define VARNHOLT_KEY(Name)                                                         \
  TFPropertyKey {                                                                  \
#Name, &TFCamera::Name, &TFCamera::Set##Name, &TFCamera::Name##Supported,      \
        &TFCamera::Name##Auto, &TFCamera::Set##Name##Auto, &TFCamera::Name##Range, \
        TFCamera::Name##Address()                                                  \
  }

const std::array<TFPropertyKey, 17> kPropertyKeys = {
    VARNHOLT_KEY(BacklightCompensation),
    VARNHOLT_KEY(Brightness),
    VARNHOLT_KEY(ColorEnable),
    VARNHOLT_KEY(Contrast),
    VARNHOLT_KEY(Exposure),
    VARNHOLT_KEY(Focus),
    VARNHOLT_KEY(Gain),
    VARNHOLT_KEY(Gamma),
    VARNHOLT_KEY(Hue),
    VARNHOLT_KEY(Iris),
    VARNHOLT_KEY(Pan),
    VARNHOLT_KEY(Roll),
    VARNHOLT_KEY(Saturation),
    VARNHOLT_KEY(Sharpness),
    VARNHOLT_KEY(Tilt),
    VARNHOLT_KEY(WhiteBalance),
    VARNHOLT_KEY(Zoom),
};

#undef VARNHOLT_KEY
