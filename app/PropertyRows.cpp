#include "app/PropertyRows.h"

const std::array<TRowDesign, kRowCount> kRowDesigns = {{
    {"Exposure", "Exposure", 14, 3, "Layout10", "Image18", "exposure"},
    {"Gain", "Gain", 14, 3, "Layout11", "Image17", "gain"},
    {"WhiteBalance", "White balance", 14, 3, "Layout4", "Image12", "whitebalance"},
    {"Focus", "Focus", 14, 3, "Layout8", "Image4", "focus"},
    {"Zoom", "Zoom (+/-)", 14, 0, "Layout7", "Image3", "zoom"},
    {"Brightness", "Brightness", 16, 3, "Layout20", "Image7", "brightness"},
    {"Saturation", "Saturation", 14, 3, "Layout15", "Image8", "saturation"},
    {"Contrast", "Contrast", 14, 3, "Layout13", "Image13", "contrast"},
    {"Sharpness", "Sharpness", 14, 3, "Layout9", "Image9", "sharpness"},
    {"BacklightCompensation", "Backlight comp.", 16, 3, "Layout5", "Image10", "backlight"},
    {"Gamma", "Gamma", 14, 3, "Layout14", "Image14", "gamma"},
    {"ColorEnable", "Color enable", 14, 3, "Layout12", "Image15", "colorenable"},
    {"Hue", "Hue", 14, 3, "Layout16", "Image16", "hue"},
    {"Iris", "Iris", 14, 3, "Layout21", "Image11", "iris"},
    {"Roll", "Roll", 14, 3, "Layout3", "Image19", "roll"},
    {"Tilt", "Tilt (\u2195)", 14, 3, "Layout6", "Image5", "tilt"},
    {"Pan", "Pan (\u2194)", 14, 3, "Layout22", "Image6", "pan"},
}};
