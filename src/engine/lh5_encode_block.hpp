// One LH5 block as the writer lays it out: the three codes built for its
// items, the header that sends them, and the items' codewords.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lh5_encode_bit_writer.hpp"
#include "lh5_encode_format.hpp"
#include "lh5_encode_huffman.hpp"

namespace vsk::lh5_encode {

// One item of the symbol code's length list: 0 is one absent symbol, 1 and
// 2 are runs of absent symbols (3-18 with a 4-bit field, 20-531 with a
// 9-bit field), 3-18 a length of 1-16.
struct LengthItem {
  std::uint8_t item;
  std::uint16_t run_field;
};

struct BlockCodes {
  PrefixCode symbol;
  PrefixCode offset;
  std::vector<LengthItem> symbol_lengths;  // how the symbol code's lengths are sent
  PrefixCode length_code;                  // the code of those items
};

// Whether a block with a single symbol may send its symbol code in the
// one-symbol form. libarchive (bsdtar 3.6) refuses that form in a stream's
// first block, so the first block sends a second, unused symbol instead
// (one bit per item; only inputs of one to three equal bytes get there).
enum class SingleSymbolCode { kAllowed, kAvoided };

BlockCodes PlanBlockCodes(const ItemHistogram& histogram,
                          SingleSymbolCode single = SingleSymbolCode::kAllowed);

// Size in bits of a block holding exactly the items counted.
std::uint64_t BlockBits(const ItemHistogram& histogram);

// Appends one block of 1 to kMaxBlockSymbols items.
void WriteBlock(BitWriter& out, std::span<const LzItem> items, SingleSymbolCode single);

}  // namespace vsk::lh5_encode
