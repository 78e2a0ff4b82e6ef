// The process-wide look-up tables behind the converters, both families: built by FilterInit,
// then read-only.
#pragma once

#include "colour/cmyk_tables.h"
#include "colour/hsv_tables.h"

namespace tonalith {

// Fills all six tables; calling it again rewrites the same values.
void BuildConversionTables();

}  // namespace tonalith
