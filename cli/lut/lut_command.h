// `tonalith lut`: exports a chain as a .cube 3D LUT, a Hald CLUT or an OpenColorIO look, and
// measures an export against the chain.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/chain/chain.h"

namespace tonalith::cli {

struct LutOptions {
    std::optional<std::string> chainPath;
    std::vector<std::string> stages;
    std::string output, ocioFolder, check, interpolation = "tetrahedral", plugin;
    int size = 0;   // 0: not given
    int level = 0;
    double maxError = -1;  // --check fails above this many 8-bit steps when >= 0
};

CLI::App* AddLutCommand(CLI::App& app, LutOptions& options, const std::string& stageHelp);
// The chain comes resolved from CHAIN or --stage; `source` names it in titles and messages.
int RunLut(const LutOptions& options, const Chain& chain, const std::string& source);

}  // namespace tonalith::cli
