// Placeholder until the CMYK tables land.
#include "colour/conversion_tables.h"

namespace tonalith {

uint8_t CmykDivideTable[256][256];
uint8_t CmykMultiplyTable[256][256];

void BuildCmykTables() {}

}  // namespace tonalith
