// A run of consecutive HSV stages, fused. Every step of the run works on one pixel alone, and
// Y and the chroma pair never meet: Y passes through the value curves only, and (Cb, Cr), once
// clamped and quartered, passes through the hue and saturation tables and back. So the whole run
// is two tables made from its blocks, one for Y (4096 entries) and one for the quartered chroma
// plane (1024 x 1024 pairs, 4 MiB), and a frame costs two look-ups a pixel whatever the run's
// length, giving exactly the pixels of YcToHsv, the appliers in order and HsvToYc.
#pragma once

#include <cstdint>

#include "host/filter_abi.h"

namespace tonalith {

struct HsvRunTables {
    // [(Cb' + 512) * 1024 + Cr' + 512], Cb' and Cr' the clamped, quartered chroma: the Cb and Cr
    // the run gives back, in the order they lie in a YcPixel.
    struct Chroma {
        int16_t cb;
        int16_t cr;
    };
    static_assert(sizeof(Chroma) == 4);
    static constexpr size_t kChromaEntries = 1024 * 1024;
    Chroma* chroma = nullptr;
    int16_t* value = nullptr;  // [Y clamped to 0..4095]: the Y the run gives back
};

// Fills `tables` (both arrays already allocated) for the `count` HSV blocks whose hue,
// saturation and value blocks start at the given pointers, laid out back to back.
void BuildHsvRunTables(HsvRunTables& tables, const int16_t* hueBlocks,
                       const int16_t* saturationBlocks, const int16_t* valueBlocks, int32_t count);

// The run on the frame's image pixels, in place; row tails are left alone. The wide path takes
// the leading part of every row where the CPU has it, unless `allowWide` is false (the plain
// loop alone: the reference the tests hold the wide path to).
void ApplyHsvRun(const FrameRecord& frame, const HsvRunTables& tables, bool allowWide = true);

// The fused tables a curve set keeps for its HSV runs. At most five runs: ten stages, each run
// apart from the next by a stage of another model.
struct PreparedHsvRuns {
    struct Run {
        uint64_t generation = 0;  // the curve set's generation the tables were made from; 0 = empty
        int32_t first = 0;
        int32_t count = 0;
        void* memory = nullptr;
        HsvRunTables tables;
    };
    static constexpr int kSlots = 5;
    Run runs[kSlots];
};

struct CurveSet;

// The fused tables of the run of `count` HSV blocks from block `first` of `set` as it now
// stands, made on first use and kept in the set until its blocks change. Null when memory is
// short: the caller then takes the run step by step, which gives the same pixels.
const HsvRunTables* PreparedHsvRun(CurveSet& set, int32_t first, int32_t count);
// Frees every run prepared for `set`.
void FreePreparedHsvRuns(CurveSet& set);

}  // namespace tonalith
