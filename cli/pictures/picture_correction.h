// A picture through the plug-in: its samples brought into the host's YC scale, corrected as one
// frame, and brought back.
#pragma once

#include <vector>

#include "cli/pictures/image_io.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

// Corrects the picture in place. 8-bit pictures enter the YC scale through the host's own
// RgbToYc; 16-bit ones at the YC scale's full precision. Grey comes out as RGB (a chain may
// colour it); alpha is carried through untouched.
void ApplyToImage(PluginHost& host, Image& image);
// The picture on the YC scale, as ApplyToImage hands it to the plug-in.
std::vector<YcPixel> ImageToYc(const Image& image);

}  // namespace tonalith::cli
