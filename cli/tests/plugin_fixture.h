// What the tests that run chains through the built plug-in share: a host that has loaded it, and
// chains of one stage.
#pragma once

#include <gtest/gtest.h>

#include "cli/chain/chain.h"
#include "cli/plugin/plugin_host.h"

namespace tonalith::cli {

inline Chain ChainOf(const Stage& stage) {
    Chain chain;
    chain.stages.push_back(stage);
    return chain;
}

class PluginTest : public ::testing::Test {
protected:
    PluginHost host{TONALITH_PLUGIN_PATH};
};

}  // namespace tonalith::cli
