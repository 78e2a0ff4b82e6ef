// A chain told back to the user: what the plug-in will do differently from what it says, and a
// table with labels.
#pragma once

#include <string>
#include <vector>

#include "cli/chain/chain.h"

namespace tonalith::cli {

// What the plug-in will do differently from what the chain says: values it clamps, stages it
// leaves out, types it skips. One line each, prefixed with the source name.
std::vector<std::string> ChainWarnings(const Chain& chain, const std::string& source);
// A table of the chain with labels, for `chain show`.
std::string FormatChainTable(const Chain& chain);

}  // namespace tonalith::cli
