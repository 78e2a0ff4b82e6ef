#include "colour/hsv_run.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "colour/allocation.h"
#include "colour/conversion_tables.h"
#include "colour/cpu_features.h"
#include "colour/curve_set.h"
#include "colour/hsv_simd.h"
#include "stages/stage_table.h"

namespace tonalith {

namespace {

inline int Clamp(int v, int low, int high) {
    v = v < low ? low : v;
    return v > high ? high : v;
}

}  // namespace

void BuildHsvRunTables(HsvRunTables& tables, const int16_t* hueBlocks,
                       const int16_t* saturationBlocks, const int16_t* valueBlocks,
                       int32_t count) {
    const size_t blocks = count > 0 ? static_cast<size_t>(count) : 0;
    // The same steps as YcToHsv, each applier in turn and HsvToYc, for every quartered chroma.
    for (int a = 0; a < 1024; ++a) {
        const int cb = a - 512;
        for (int b = 0; b < 1024; ++b) {
            const int cr = b - 512;
            int hue = HueTable[a][b];
            int saturation = ChromaTable[std::abs(cb)][std::abs(cr)];
            for (size_t m = 0; m < blocks; ++m) {
                hue = hueBlocks[m * kHueBlockEntries + static_cast<size_t>(hue)];
                saturation = saturationBlocks[m * kSaturationBlockEntries +
                                              static_cast<size_t>(saturation) * 1024 +
                                              static_cast<size_t>(hue)];
            }
            tables.chroma[static_cast<size_t>(a) * 1024 + static_cast<size_t>(b)] = {
                CosTable[hue][saturation], SinTable[hue][saturation]};
        }
    }
    // Each applier clamps the value it reads, the first one the pixel's Y.
    for (int y = 0; y < 4096; ++y) {
        int value = y;
        for (size_t m = 0; m < blocks; ++m)
            value = valueBlocks[m * kValueBlockEntries + static_cast<size_t>(Clamp(value, 0, 4095))];
        tables.value[y] = static_cast<int16_t>(value);
    }
}

namespace {

// The plain loop: the reference, and what finishes the rows after the wide path.
void ApplyHsvRunPlain(YcPixel* pixels, size_t rows, size_t width, size_t pitch,
                      const HsvRunTables& tables) {
    const HsvRunTables::Chroma* __restrict chroma = tables.chroma;
    const int16_t* __restrict value = tables.value;
    for (size_t y = 0; y < rows; ++y) {
        YcPixel* __restrict row = pixels + y * pitch;
        for (size_t x = 0; x < width; ++x) {
            // The arithmetic shift floors, as YcToHsv's quartering does.
            const int cb = Clamp(row[x].cb, -2048, 2047) >> 2;
            const int cr = Clamp(row[x].cr, -2048, 2047) >> 2;
            const HsvRunTables::Chroma out =
                chroma[static_cast<size_t>(cb + 512) * 1024 + static_cast<size_t>(cr + 512)];
            row[x].y = value[Clamp(row[x].y, 0, 4095)];
            row[x].cb = out.cb;
            row[x].cr = out.cr;
        }
    }
}

// Chosen once. A grainy picture walks the 4 MiB chroma table at random, and there the sixteen
// loads a gather issues together hide the misses better than plain loads do, even on CPUs whose
// gathers from L1 are slow.
bool UseGathers() {
    static const bool use = Cpu().avx512bw;
    return use;
}

}  // namespace

void ApplyHsvRun(const FrameRecord& frame, const HsvRunTables& tables, bool allowWide) {
    if (frame.width <= 0 || frame.height <= 0) return;
    const size_t width = static_cast<size_t>(frame.width);
    const size_t rows = static_cast<size_t>(frame.height);
    const size_t pitch = static_cast<size_t>(frame.rowPitch);
    size_t done = 0;
    if (allowWide && UseGathers())
        done = simd::HsvRunAvx512(frame.pixels, rows, width, pitch,
                                  reinterpret_cast<const int32_t*>(tables.chroma), tables.value);
    if (done < width) ApplyHsvRunPlain(frame.pixels + done, rows, width - done, pitch, tables);
}

namespace {

void Forget(PreparedHsvRuns::Run& run) {
    FreeBuffer(run.memory);
    run = PreparedHsvRuns::Run{};
}

}  // namespace

const HsvRunTables* PreparedHsvRun(CurveSet& set, int32_t first, int32_t count) {
    if (!set.built || first < 0 || count <= 0 || first + count > set.blockCount[kStageHsv])
        return nullptr;
    PreparedHsvRuns::Run* free = nullptr;
    for (PreparedHsvRuns::Run& run : set.hsvRuns.runs) {
        if (run.generation != set.generation) Forget(run);  // made from older blocks
        if (run.generation == 0) {
            if (free == nullptr) free = &run;
            continue;
        }
        if (run.first == first && run.count == count) return &run.tables;
    }
    if (free == nullptr) {  // cannot happen with ten stages; keep the newest runs regardless
        free = &set.hsvRuns.runs[0];
        Forget(*free);
    }
    constexpr size_t kChromaBytes = HsvRunTables::kChromaEntries * sizeof(HsvRunTables::Chroma);
    void* memory = AllocateBuffer(kChromaBytes + 4096 * sizeof(int16_t));
    if (memory == nullptr) return nullptr;
    free->memory = memory;
    free->tables.chroma = static_cast<HsvRunTables::Chroma*>(memory);
    free->tables.value = reinterpret_cast<int16_t*>(static_cast<char*>(memory) + kChromaBytes);
    const size_t block = static_cast<size_t>(first);
    BuildHsvRunTables(free->tables, set.hueCurves + block * kHueBlockEntries,
                      set.saturationCurves + block * kSaturationBlockEntries,
                      set.valueCurves + block * kValueBlockEntries, count);
    free->generation = set.generation;
    free->first = first;
    free->count = count;
    return &free->tables;
}

void FreePreparedHsvRuns(CurveSet& set) {
    for (PreparedHsvRuns::Run& run : set.hsvRuns.runs) Forget(run);
}

}  // namespace tonalith
