// Where the LH5 writer ends its blocks: every block sends its own codes, so
// a run of items is cut where the statistics change enough to pay for the
// extra header, and always often enough to keep blocks within the 16-bit
// block-size field.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "lh5_encode_format.hpp"

namespace vsk::lh5_encode {

// Ends (exclusive item indexes, ascending, the last one items.size()) of
// the blocks to cut `items` into; each block holds 1 to kMaxBlockSymbols
// items. Empty for no items.
std::vector<std::size_t> ChooseBlockEnds(std::span<const LzItem> items);

}  // namespace vsk::lh5_encode
