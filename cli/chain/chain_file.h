// A chain file in either form, told apart by content, read once whatever it is (a file, a FIFO,
// standard input).
#pragma once

#include <string>

#include "cli/chain/chain.h"

namespace tonalith::cli {

enum class ChainForm { kBlock, kJson };
struct LoadedChain {
    Chain chain;
    ChainForm form;
};
// "-" reads standard input.
LoadedChain LoadChainFile(const std::string& path);
// Chooses the form by content: JSON text begins with '{' and holds no NUL byte.
LoadedChain ParseChainBytes(const std::string& bytes, const std::string& source);

}  // namespace tonalith::cli
