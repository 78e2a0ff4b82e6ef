// The conversion tables built the plain way, one formula evaluation per entry and nothing shared
// between entries: the yardstick the conversion tables' build is timed and compared against.
#pragma once

#include <cstdint>

namespace tonalith::bench {

struct LiteralTables {
    uint8_t cmykDivide[256][256];
    uint8_t cmykMultiply[256][256];
    int16_t hue[1024][1024];
    int16_t chroma[513][513];
    int16_t cosine[1024][1024];
    int16_t sine[1024][1024];
};

void BuildLiteralTables(LiteralTables& t);
// True when every entry equals the plug-in's tables (BuildConversionTables must have run).
bool SameAsPluginTables(const LiteralTables& t);

}  // namespace tonalith::bench
