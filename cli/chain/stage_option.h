// One stage given on the command line: --stage 'MODEL: LABEL=VALUE, ...'.
#pragma once

#include <string>

#include "cli/chain/chain.h"

namespace tonalith::cli {

// "HSV: H(offs)=30, S(con2)=64"; tracks by label or index, each within its range.
Stage ParseStageOption(const std::string& text);

}  // namespace tonalith::cli
