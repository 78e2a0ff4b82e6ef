// The four tables between the host's chroma plane and HSV16 (hsv_tables.cpp): built once by
// FilterInit, then read-only.
#pragma once

#include <cstdint>

namespace tonalith {

extern int16_t HueTable[1024][1024];         // [Cb'+512][Cr'+512]: hue 0..1022
extern int16_t ChromaTable[513][513];        // [|Cb'|][|Cr'|]: saturation 0..1023
extern int16_t CosTable[1024][1024];         // [hue][saturation]: Cb
extern int16_t SinTable[1024][1024];         // [hue][saturation]: Cr

void BuildHsvTables();

}  // namespace tonalith
