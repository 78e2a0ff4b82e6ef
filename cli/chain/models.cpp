#include "cli/chain/models.h"

#include <cstdio>
#include <sstream>

#include "cli/chain/chain.h"

namespace tonalith::cli {
namespace {

// The RGB and CMYK channels share their tracks' meanings; {C} stands for the channel's name.
const char* const kRgbChannel[5] = {
    "shifts the {C} curve up (+) or down (-) by that many levels of 255",
    "moves the black end of the {C} stretch line: + clips shadows to 0 (about half a level per step), - lifts black",
    "moves the white end of the {C} stretch line: + clips highlights to 255, - lowers white",
    "bends the {C} curve through black and white: + lifts the mid-tones, - lowers them",
    "bends the {C} curve from the white end: + lowers the mid-tones, - lifts them",
};
const char* const kCmykChannel[4] = {
    "shifts the {C} ink curve up (+, more ink) or down (-) by that many levels of 255",
    "moves the zero end of the {C} ink stretch: + clears light {C} to none, - adds a floor of ink",
    "moves the full end of the {C} ink stretch: + makes heavy {C} solid, - caps the ink",
    "bends the {C} ink curve: + more ink in the mid-tones, - less",
};
const char* const kYcbcrTracks[kTracks] = {
    "lowest Y allowed: 16 levels of 4095 per step (0 = no floor)",
    "highest Y allowed: 4096 + 16 levels per step (0 = no ceiling)",
    "shifts Y (brightness) by 16 levels of 4095 per step",
    "moves the black end of the Y stretch line, 7 levels per step: + deepens shadows, - lifts black",
    "moves the white end of the Y stretch line, 7 levels per step: + brightens highlights, - lowers white",
    "Y contrast pivoting on black: scales Y by (256 + value)/256, white moves, black stays",
    "Y contrast pivoting on white: scales the distance from white, black moves, white stays",
    "bends Y through black and white: + lifts the mid-tones, - lowers them",
    "shifts Cb by 16 levels per step: + toward blue, - toward yellow",
    "scales the yellow side of Cb (inputs below 0) by (256 + value)/256",
    "scales the blue side of Cb (inputs 0 and above) by (256 + value)/256",
    "bends Cb symmetrically about 0: + boosts weak blue/yellow, - mutes it",
    "shifts Cr by 16 levels per step: + toward red, - toward cyan-green",
    "scales the green side of Cr (inputs below 0) by (256 + value)/256",
    "scales the red side of Cr (inputs 0 and above) by (256 + value)/256",
    "bends Cr symmetrically about 0: + boosts weak red/green, - mutes it",
};
const char* const kHsvTracks[kTracks] = {
    "rotates every hue by this many degrees (the wheel below: 0 blue, 109 red, 171 yellow, 232 green)",
    "reference hue (degrees) that H(lower)/H(upper) stretch the hue circle about",
    "pulls hues up to 2 x value/1023 of a turn after the reference hue onto it (- pushes them away)",
    "pulls hues up to 2 x value/1023 of a turn before the reference hue onto it (- pushes them away)",
    "adds saturation: 4 units of 1023 per step (grey stays grey)",
    "moves the zero end of the saturation stretch: + makes weak colours grey, - lifts all saturation",
    "moves the full end of the saturation stretch: + saturates strong colours fully, - caps saturation",
    "bends saturation: + boosts weak colours more than strong ones, - mutes them",
    "saturation factor (256 + value)/256 inside the hue window (-256 greys it, +256 doubles it)",
    "centre of the hue window, degrees on the same wheel (0 blue, 109 red, ~130 skin, 171 yellow)",
    "half-width of the window's flat part, degrees on each side of its centre",
    "width of the ramps over which the window fades out on both sides, degrees",
    "shifts value (the luma Y) by 8 levels of 4095 per step",
    "contrast about the middle: + steepens (input 7 x value maps to black), - flattens",
    "bends value through black and white: + lifts the mid-tones, - lowers them",
    "bends value from the white end: + lowers the mid-tones, - lifts them",
};

std::string Fill(std::string text, const std::string& channel) {
    for (size_t at; (at = text.find("{C}")) != std::string::npos;) text.replace(at, 3, channel);
    return text;
}

}  // namespace

std::string TrackMeaning(int model, int track) {
    if (track < 0 || track >= kTracks) return "";
    switch (model) {
    case kRgb: {
        static const char* const names[3] = {"red", "green", "blue"};
        return track == 15 ? "" : Fill(kRgbChannel[track % 5], names[track / 5]);
    }
    case kCmyk: {
        static const char* const names[4] = {"cyan", "magenta", "yellow", "black"};
        return Fill(kCmykChannel[track % 4], names[track / 4]);
    }
    case kYcbcr: return kYcbcrTracks[track];
    case kHsv: return kHsvTracks[track];
    default: return "";
    }
}

std::string ModelSummary(int model) {
    switch (model) {
    case kRgb: return "8-bit RGB: one tone curve per channel from offset, stretch end points, gamma and inverse gamma";
    case kYcbcr: return "the host's 12-bit Y, Cb, Cr directly: a Y curve with clips and two contrasts, one curve per chroma";
    case kCmyk: return "8-bit CMYK (C = 255 - R, K the shared part): one ink curve per channel";
    case kHsv: return "hue, saturation, value: a hue map, a saturation curve boosted or cut in a hue window, a value curve";
    default: return "";
    }
}

std::string ModelsListing(int model) {
    std::ostringstream out;
    for (int m = 0; m < kModelCount; ++m) {
        if (model >= 0 && m != model) continue;
        out << ModelName(m) << ": " << ModelSummary(m) << "\n";
        out << "  index  label      range       default  what it does\n";
        for (int t = 0; t < kTracks; ++t) {
            const std::string meaning = TrackMeaning(m, t);
            const TrackRange range = ModelRange(m, t);
            char line[96];
            std::snprintf(line, sizeof line, "  %5d  %-9s  %-10s  %7d  ", t,
                          TrackLabel(m, t).empty() ? "-" : TrackLabel(m, t).c_str(),
                          (std::to_string(range.low) + ".." + std::to_string(range.high)).c_str(), 0);
            out << line << (meaning.empty() ? "not used" : meaning) << "\n";
        }
        out << "\n";
    }
    if (model < 0 || model == kHsv)
        out << "HSV hue degrees run from +Cb (blue) toward +Cr (red), not the usual hue angle:\n"
               "  0 blue, 52 magenta, 109 red, 120-150 orange and skin, 171 yellow, 232 green, 289 cyan.\n"
               "A hue window: S(con2) sets its strength, the second H(degree) (track 9) its centre,\n"
               "H(width) the flat half-width and H(slope) the fade on each side; tracks 1 and 9 share a\n"
               "label, so name them by index (\"1\", \"9\").\n";
    return out.str();
}

}  // namespace tonalith::cli
