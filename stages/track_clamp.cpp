#include "stages/track_clamp.h"

#include <algorithm>
#include <climits>

#include "stages/track_facts.h"

namespace tonalith {

void ClampToModelLimits(int32_t type, int32_t* tracks) {
    // Only where the model narrows the host's range, and only on the narrowed side: a value the
    // host itself let through is the host's business. A type no model has gets the limits every
    // model but HSV shares.
    for (int i = 0; i < kTrackCount; ++i) {
        const TrackRange host = HostTrackRange(i), own = ModelTrackRange(type, i);
        if (own.low == host.low && own.high == host.high) continue;
        const int32_t low = own.low > host.low ? own.low : INT32_MIN;
        const int32_t high = own.high < host.high ? own.high : INT32_MAX;
        tracks[i] = std::clamp(tracks[i], low, high);
    }
}

}  // namespace tonalith
