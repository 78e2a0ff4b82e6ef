#include "colour/conversion_tables.h"

namespace tonalith {

void BuildConversionTables() {
    BuildCmykTables();
    BuildHsvTables();
}

}  // namespace tonalith
