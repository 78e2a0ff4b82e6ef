#include "cli/chain/stage_option.h"

#include <exception>
#include <sstream>

#include "cli/chain/track_keys.h"
#include "cli/failure.h"

namespace tonalith::cli {

Stage ParseStageOption(const std::string& text) {
    const std::string where = "--stage '" + text + "'";
    const auto colon = text.find(':');
    Stage stage;
    stage.type = ParseModel(Trim(text.substr(0, colon)), where);
    if (colon == std::string::npos) return stage;
    std::array<bool, kTracks> seen{};
    std::stringstream rest(text.substr(colon + 1));
    std::string item;
    while (std::getline(rest, item, ',')) {
        if (Trim(item).empty()) continue;
        const auto eq = item.rfind('=');
        if (eq == std::string::npos) throw Failure(where + ": expected LABEL=VALUE, got \"" + Trim(item) + "\"");
        const std::string key = Trim(item.substr(0, eq)), valueText = Trim(item.substr(eq + 1));
        long long value = 0;
        size_t used = 0;
        try {
            value = std::stoll(valueText, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != valueText.size())
            throw Failure(where + ": \"" + valueText + "\" is not an integer value for " + key);
        SetTrack(stage, seen, ResolveTrack(stage.type, key, where), value, where);
    }
    return stage;
}

}  // namespace tonalith::cli
