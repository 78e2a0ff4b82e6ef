// The process-wide look-up tables behind the converters: built once by FilterInit, then read-only.
#pragma once

#include <cstdint>

namespace tonalith {

extern uint8_t CmykDivideTable[256][256];    // [v][k]: C, M or Y for a red, green or blue v
extern uint8_t CmykMultiplyTable[256][256];  // [c][k]: red, green or blue for a C, M or Y c
// The same two tables with K first, as the converters read them: a pixel's three look-ups share
// K, so they fall in one 256-byte row.
extern uint8_t CmykDivideByBlack[256][256];    // [k][v] = CmykDivideTable[v][k]
extern uint8_t CmykMultiplyByBlack[256][256];  // [k][c] = CmykMultiplyTable[c][k]
extern int16_t HueTable[1024][1024];         // [Cb'+512][Cr'+512]: hue 0..1022
extern int16_t ChromaTable[513][513];        // [|Cb'|][|Cr'|]: saturation 0..1023
extern int16_t CosTable[1024][1024];         // [hue][saturation]: Cb
extern int16_t SinTable[1024][1024];         // [hue][saturation]: Cr

// Fills all six tables; calling it again rewrites the same values.
void BuildConversionTables();

// The two families, each filling its own tables.
void BuildCmykTables();
void BuildHsvTables();

}  // namespace tonalith
