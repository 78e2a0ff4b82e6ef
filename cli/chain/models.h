// What every track of every model does, for `tonalith models` and the manual.
#pragma once

#include <string>

namespace tonalith::cli {

// One line on what the track does under the model ("" for a track the model does not read).
std::string TrackMeaning(int model, int track);
// One line on the model itself.
std::string ModelSummary(int model);
// The listing `tonalith models [MODEL]` prints: per model a table of index, label, range,
// default and meaning, then how hue degrees map to colours. `model` -1 lists all.
std::string ModelsListing(int model);

}  // namespace tonalith::cli
