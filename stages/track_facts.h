// What each colour model makes of the sixteen tracks, in one table: the label the window shows
// beside each slider, the host's slider range, the range the model takes, the (lower)/(upper)
// pairs the range links keep equal, and a name for every track index. The filter table, the
// clamping, the links, the window, the curve builders and the command-line host all read it from
// here; it is header-only, so the command-line host uses it without linking the plug-in.
#pragma once

#include <cstdint>

namespace tonalith {

constexpr int kTrackCount = 16;
constexpr int kMaxStages = 10;

// A stage's colour model, as stored in its record. Values outside 0..3 can only come from a
// corrupted block; the curve build and the frame walk skip such stages alike.
enum StageType : int32_t {
    kStageRgb = 0,
    kStageYcbcr = 1,
    kStageCmyk = 2,
    kStageHsv = 3,
};
constexpr int kStageTypeCount = 4;

constexpr bool IsKnownStageType(int32_t type) { return type >= 0 && type < kStageTypeCount; }

// The tracks of each model by name. The builders address tracks by these.
namespace rgb {
enum Track : int {
    kRedOffset, kRedLower, kRedUpper, kRedGamma, kRedInverseGamma,
    kGreenOffset, kGreenLower, kGreenUpper, kGreenGamma, kGreenInverseGamma,
    kBlueOffset, kBlueLower, kBlueUpper, kBlueGamma, kBlueInverseGamma,
    kUnused,  // RGB uses fifteen tracks
};
// A channel's five tracks follow its offset track in this order.
enum ChannelTrack : int { kOffset, kLower, kUpper, kGamma, kInverseGamma };
}  // namespace rgb

namespace ycbcr {
enum Track : int {
    kYClipLow,        // Y(clip1): the output window's lower end
    kYClipHigh,       // Y(clip2): its upper end, counted down from the top
    kYOffset, kYLower, kYUpper,
    kYBlackContrast,  // Y(0con): contrast pivoting on black
    kYWhiteContrast,  // Y(1con): contrast pivoting on white
    kYGamma,
    kCbOffset, kCbContrastPlus, kCbContrastMinus, kCbGamma,
    kCrOffset, kCrContrastPlus, kCrContrastMinus, kCrGamma,
};
// A chroma channel's four tracks follow its offset track in this order.
enum ChromaTrack : int { kChromaOffset, kChromaContrastPlus, kChromaContrastMinus, kChromaGamma };
}  // namespace ycbcr

namespace cmyk {
enum Track : int {
    kCyanOffset, kCyanLower, kCyanUpper, kCyanGamma,
    kMagentaOffset, kMagentaLower, kMagentaUpper, kMagentaGamma,
    kYellowOffset, kYellowLower, kYellowUpper, kYellowGamma,
    kBlackOffset, kBlackLower, kBlackUpper, kBlackGamma,
};
// An ink's four tracks follow its offset track in this order.
enum InkTrack : int { kOffset, kLower, kUpper, kGamma };
}  // namespace cmyk

namespace hsv {
enum Track : int {
    kHueOffset,        // H(offs): rotation in degrees
    kHueDegree,        // H(degree): the hue the stretch pivots on
    kHueLower, kHueUpper,
    kSaturationOffset, kSaturationLower, kSaturationUpper, kSaturationGamma,
    kWindowStrength,   // S(con2): the saturation change inside the hue window
    kWindowDegree,     // the second H(degree): the hue window's centre
    kWindowWidth,      // H(width): its flat part on each side, in degrees
    kWindowSlope,      // H(slope): the fade on each side, in degrees
    kValueOffset, kValueContrast, kValueGamma, kValueInverseGamma,
};
}  // namespace hsv

struct TrackRange {
    int32_t low;
    int32_t high;
};

// The host's sliders: tracks 0, 1 and 9 run -360..360, the others -256..256, under every model.
constexpr TrackRange kNarrowHostRange = {-256, 256};
constexpr TrackRange kWideHostRange = {-360, 360};
constexpr TrackRange HostTrackRange(int track) {
    return track == 0 || track == 1 || track == 9 ? kWideHostRange : kNarrowHostRange;
}

struct TrackFacts {
    // The window's label: ten characters, so a shorter one fully covers a longer one it replaces.
    const char* label;
    // The values the model takes: the host's range narrowed by the model's own limits.
    TrackRange range;
};

// A (lower)/(upper) pair kept equal by a range link; {-1, -1} for a link the model does not use.
struct LinkedPair {
    int32_t lower;
    int32_t upper;
};
constexpr int kRangeLinkCount = 4;
constexpr LinkedPair kNoLink = {-1, -1};

struct ModelFacts {
    const char* name;  // as the command-line host reads and writes it
    TrackFacts tracks[kTrackCount];
    LinkedPair links[kRangeLinkCount];  // RangeLink 0 first
};

namespace track_facts_detail {
constexpr TrackRange k256 = {-256, 256};
constexpr TrackRange k360 = {-360, 360};
}  // namespace track_facts_detail

// Indexed by StageType.
inline constexpr ModelFacts kModelFacts[kStageTypeCount] = {
    {"RGB",
     {
         {"R(off)    ", track_facts_detail::k256},  // 0: narrowed from -360..360
         {"R(lower)  ", track_facts_detail::k256},  // 1: narrowed from -360..360
         {"R(upper)  ", track_facts_detail::k256},
         {"R(gamm)   ", track_facts_detail::k256},
         {"R(-gam)   ", track_facts_detail::k256},
         {"G(off)    ", track_facts_detail::k256},
         {"G(lower)  ", track_facts_detail::k256},
         {"G(upper)  ", track_facts_detail::k256},
         {"G(gamm)   ", track_facts_detail::k256},
         {"G(-gam)   ", track_facts_detail::k256},  // 9: narrowed from -360..360
         {"B(off)    ", track_facts_detail::k256},
         {"B(lower)  ", track_facts_detail::k256},
         {"B(upper)  ", track_facts_detail::k256},
         {"B(gamm)   ", track_facts_detail::k256},
         {"B(-gam)   ", track_facts_detail::k256},
         {"           ", track_facts_detail::k256},  // unused: the label shows blank
     },
     {{rgb::kRedLower, rgb::kRedUpper},
      {rgb::kGreenLower, rgb::kGreenUpper},
      {rgb::kBlueLower, rgb::kBlueUpper},
      kNoLink}},
    {"YCbCr",
     {
         {"Y(clip1)  ", {0, 256}},   // the window's lower end never goes below black
         {"Y(clip2)  ", {-256, 0}},  // nor its upper end above white
         {"Y(offs)   ", track_facts_detail::k256},
         {"Y(lower)  ", track_facts_detail::k256},
         {"Y(upper)  ", track_facts_detail::k256},
         {"Y(0con)   ", track_facts_detail::k256},
         {"Y(1con)   ", track_facts_detail::k256},
         {"Y(gamm)   ", track_facts_detail::k256},
         {"Cb(off)   ", track_facts_detail::k256},
         {"Cb(con+)  ", track_facts_detail::k256},  // 9: narrowed from -360..360
         {"Cb(con-)  ", track_facts_detail::k256},
         {"Cb(gam)   ", track_facts_detail::k256},
         {"Cr(off)   ", track_facts_detail::k256},
         {"Cr(con+)  ", track_facts_detail::k256},
         {"Cr(con-)  ", track_facts_detail::k256},
         {"Cr(gam)   ", track_facts_detail::k256},
     },
     {{ycbcr::kYLower, ycbcr::kYUpper}, kNoLink, kNoLink, kNoLink}},
    {"CMYK",
     {
         {"C(off)    ", track_facts_detail::k256},  // 0: narrowed from -360..360
         {"C(lower)  ", track_facts_detail::k256},  // 1: narrowed from -360..360
         {"C(upper)  ", track_facts_detail::k256},
         {"C(gamm)   ", track_facts_detail::k256},
         {"M(off)    ", track_facts_detail::k256},
         {"M(lower)  ", track_facts_detail::k256},
         {"M(upper)  ", track_facts_detail::k256},
         {"M(gamm)   ", track_facts_detail::k256},
         {"Y(off)    ", track_facts_detail::k256},
         {"Y(lower)  ", track_facts_detail::k256},  // 9: narrowed from -360..360
         {"Y(upper)  ", track_facts_detail::k256},
         {"Y(gamm)   ", track_facts_detail::k256},
         {"K(off)    ", track_facts_detail::k256},
         {"K(lower)  ", track_facts_detail::k256},
         {"K(upper)  ", track_facts_detail::k256},
         {"K(gamm)   ", track_facts_detail::k256},
     },
     {{cmyk::kCyanLower, cmyk::kCyanUpper},
      {cmyk::kMagentaLower, cmyk::kMagentaUpper},
      {cmyk::kYellowLower, cmyk::kYellowUpper},
      {cmyk::kBlackLower, cmyk::kBlackUpper}}},
    {"HSV",
     {
         {"H(offs)   ", track_facts_detail::k360},
         {"H(degree) ", track_facts_detail::k360},
         {"H(lower)  ", track_facts_detail::k256},
         {"H(upper)  ", track_facts_detail::k256},
         {"S(offs)   ", track_facts_detail::k256},
         {"S(lower)  ", track_facts_detail::k256},
         {"S(upper)  ", track_facts_detail::k256},
         {"S(gamm)   ", track_facts_detail::k256},
         {"S(con2)   ", track_facts_detail::k256},
         {"H(degree) ", {0, 360}},  // a window centre is a hue: no negative degrees
         {"H(width)  ", {0, 180}},  // half a turn on each side covers the circle
         {"H(slope)  ", {0, 180}},
         {"V(offs)   ", track_facts_detail::k256},
         {"V(con)    ", track_facts_detail::k256},
         {"V(gamm)   ", track_facts_detail::k256},
         {"V(-gam)   ", track_facts_detail::k256},
     },
     {{hsv::kHueLower, hsv::kHueUpper},
      {hsv::kSaturationLower, hsv::kSaturationUpper},
      kNoLink,
      kNoLink}},
};

// Shift-JIS display names of the four models ("RGB補正", ...), indexed by StageType: the stage
// list shows them and the model selector offers them in this order.
inline constexpr const char* modeNames[kStageTypeCount] = {
    "RGB\x95\xe2\x90\xb3",
    "YCbCr\x95\xe2\x90\xb3",
    "CMYK\x95\xe2\x90\xb3",
    "HSV\x95\xe2\x90\xb3",
};

// The range a model takes on a track. A type no model has gets the limits every model but HSV
// shares (tracks 0, 1 and 9 narrowed to -256..256), as the clamping gives it.
constexpr TrackRange ModelTrackRange(int32_t type, int track) {
    return kModelFacts[IsKnownStageType(type) ? type : kStageRgb].tracks[track].range;
}

// A stage's tracks clamped into its model's ranges, whatever int32 values it holds. The curve
// builders start with this, so a corrupted or foreign block can never reach a formula out of range.
constexpr void ClampTracksForModel(int32_t type, const int32_t* tracks, int32_t* clamped) {
    for (int i = 0; i < kTrackCount; ++i) {
        const TrackRange range = ModelTrackRange(type, i);
        clamped[i] = tracks[i] < range.low ? range.low : tracks[i] > range.high ? range.high : tracks[i];
    }
}

// Every model's range lies inside the host's, and every link pairs two tracks of one range.
constexpr bool TrackFactsAreConsistent() {
    for (const ModelFacts& model : kModelFacts) {
        for (int t = 0; t < kTrackCount; ++t) {
            const TrackRange host = HostTrackRange(t), own = model.tracks[t].range;
            if (own.low < host.low || own.high > host.high || own.low > own.high) return false;
        }
        for (const LinkedPair& link : model.links) {
            if (link.lower == -1 && link.upper == -1) continue;
            if (link.lower < 0 || link.lower >= kTrackCount || link.upper < 0 ||
                link.upper >= kTrackCount || link.lower == link.upper)
                return false;
            const TrackRange a = model.tracks[link.lower].range, b = model.tracks[link.upper].range;
            if (a.low != b.low || a.high != b.high) return false;
        }
    }
    return true;
}
static_assert(TrackFactsAreConsistent());

}  // namespace tonalith
