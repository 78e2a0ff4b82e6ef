// The 680-byte block the host stores with its project: ten records of 68 bytes, sixteen track
// values and the model, each a little-endian int32.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/chain/chain.h"

namespace tonalith::cli {

constexpr size_t kBlockSize = 680;
constexpr size_t kRecordSize = 68;

using Block = std::array<uint8_t, kBlockSize>;

Block ToBlock(const Chain& chain);
// Takes a block as a host would store it: records up to the last one holding anything.
Chain FromBlock(const uint8_t* data, size_t size, const std::string& source);

}  // namespace tonalith::cli
