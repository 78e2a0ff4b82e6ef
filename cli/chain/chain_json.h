// The readable form of a chain: {"format": "tonalith-chain", "version": 1, "stages": [...]}, each
// stage a model name and its tracks by label or index.
#pragma once

#include <string>

#include "cli/chain/chain.h"

namespace tonalith::cli {

Chain ParseChainJson(const std::string& text, const std::string& source);
// Canonical JSON; refuses what JSON cannot carry (unknown types, values outside range).
std::string ChainToJson(const Chain& chain, const std::string& source);

}  // namespace tonalith::cli
