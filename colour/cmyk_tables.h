// The two tables behind RgbToCmyk and CmykToRgb (cmyk_tables.cpp): built once by FilterInit,
// then read-only.
#pragma once

#include <cstdint>

namespace tonalith {

extern uint8_t CmykDivideTable[256][256];    // [v][k]: C, M or Y for a red, green or blue v
extern uint8_t CmykMultiplyTable[256][256];  // [c][k]: red, green or blue for a C, M or Y c

void BuildCmykTables();

}  // namespace tonalith
