// Placeholder until the HSV tables land.
#include "colour/conversion_tables.h"

namespace tonalith {

int16_t HueTable[1024][1024];
int16_t ChromaTable[513][513];
int16_t CosTable[1024][1024];
int16_t SinTable[1024][1024];

void BuildHsvTables() {}

}  // namespace tonalith
