// The library's one export.
#include "host/filter_table.h"

extern "C" tonalith::FilterTable* TONALITH_CALL GetFilterTable(void) {
    return &tonalith::filterTable;
}
