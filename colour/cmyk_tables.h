// The two tables behind RgbToCmyk and CmykToRgb (cmyk_tables.cpp): built once by FilterInit,
// then read-only.
#pragma once

#include <cstdint>

namespace tonalith {

extern uint8_t CmykDivideTable[256][256];    // [v][k]: C, M or Y for a red, green or blue v
extern uint8_t CmykMultiplyTable[256][256];  // [c][k]: red, green or blue for a C, M or Y c
// The same two tables with K first, as the converters read them: a pixel's three look-ups share
// K, so they fall in one 256-byte row.
extern uint8_t CmykDivideByBlack[256][256];    // [k][v] = CmykDivideTable[v][k]
extern uint8_t CmykMultiplyByBlack[256][256];  // [k][c] = CmykMultiplyTable[c][k]

void BuildCmykTables();

}  // namespace tonalith
