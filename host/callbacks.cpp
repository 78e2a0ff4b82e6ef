// FilterInit, FilterExit and FilterUpdate. FilterProcess is the frame pipeline's, FilterWindowProc
// the configuration window's.
#include "colour/conversion_tables.h"
#include "colour/curve_set.h"
#include "host/filter_table.h"
#include "stages/stage_table.h"
#include "stages/track_links.h"

namespace tonalith {

int32_t FilterInit(FilterTable*) {
    BuildConversionTables();
    return 1;
}

int32_t FilterExit(FilterTable*) {
    // Forgets the buffers too, so a later rebuild frees nothing twice.
    FreeCurves();
    return 1;
}

int32_t FilterUpdate(FilterTable* filter) {
    ClampAndLinkTracks(filter);
    StoreTracksFromHost(filter);
    BuildCurves();
    return 1;
}

}  // namespace tonalith
