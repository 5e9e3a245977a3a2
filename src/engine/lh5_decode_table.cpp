#include "lh5_decode_table.hpp"

#include <algorithm>

#include "vsk/exceptions.hpp"

namespace vsk::lh5 {
namespace {

// Marks a lookup entry or tree child that no codeword has reached yet.
constexpr std::uint16_t kUnset = 0xFFFF;

using LengthCounts = std::array<std::uint32_t, kMaxCodeLength + 2>;

// count[len] for len 1 to 16; refuses lengths above 16.
LengthCounts CountLengths(std::span<const std::uint8_t> lengths) {
  LengthCounts count{};
  for (const std::uint8_t len : lengths) {
    if (len > kMaxCodeLength) throw ELZHBadDecodeTable();
    ++count[len];
  }
  return count;
}

// start[len]: the first codeword of each length, left-aligned in 16 bits.
// Summed in 32 bits, so an over-full set cannot wrap around to look
// complete; start[17] is the whole codeword space used, exactly 2^16 for a
// complete code.
LengthCounts FirstCodewords(const LengthCounts& count) {
  LengthCounts start{};
  for (unsigned len = 1; len <= kMaxCodeLength; ++len)
    start[len + 1] = start[len] + (count[len] << (kMaxCodeLength - len));
  if (start[kMaxCodeLength + 1] != 0x10000u) throw ELZHBadDecodeTable();
  return start;
}

// Hangs `symbol` (codeword `codeword`, left-aligned in 16 bits, of `len`
// bits) below its lookup entry, making the tree nodes its path needs.
void InsertLongCodeword(unsigned symbol, std::uint32_t codeword, unsigned len,
                        unsigned symbol_count, unsigned table_bits, std::span<std::uint16_t> table,
                        std::span<std::uint16_t> tree_left, std::span<std::uint16_t> tree_right,
                        unsigned& node_count) {
  std::uint16_t* slot = &table[codeword >> (kMaxCodeLength - table_bits)];
  for (unsigned bit = table_bits; bit < len; ++bit) {
    if (*slot == kUnset) {
      // A complete code never needs as many nodes as it has symbols.
      if (node_count >= tree_left.size()) throw ELZHBadDecodeTable();
      tree_left[node_count] = kUnset;
      tree_right[node_count] = kUnset;
      *slot = static_cast<std::uint16_t>(symbol_count + node_count++);
    }
    // Only a prefix-free code keeps symbols off the paths of longer codewords.
    if (*slot < symbol_count) throw ELZHBadDecodeTable();
    const unsigned index = *slot - symbol_count;
    const bool one = ((codeword >> (kMaxCodeLength - 1 - bit)) & 1) != 0;
    slot = one ? &tree_right[index] : &tree_left[index];
  }
  if (*slot != kUnset) throw ELZHBadDecodeTable();
  *slot = static_cast<std::uint16_t>(symbol);
}

}  // namespace

void BuildDecodeTable(unsigned symbol_count, std::span<const std::uint8_t> lengths,
                      unsigned table_bits, std::span<std::uint16_t> table,
                      std::span<std::uint16_t> tree_left, std::span<std::uint16_t> tree_right,
                      unsigned& node_count) {
  LengthCounts start = FirstCodewords(CountLengths(lengths));
  const unsigned drop = kMaxCodeLength - table_bits;
  // Entries from the first long codeword's on are the roots of the trees
  // that hold the codewords longer than the table is wide.
  std::ranges::fill(table.subspan(start[table_bits + 1] >> drop), kUnset);
  node_count = 0;
  for (unsigned symbol = 0; symbol < symbol_count; ++symbol) {
    const unsigned len = lengths[symbol];
    if (len == 0) continue;
    const std::uint32_t codeword = start[len];
    start[len] += 1u << (kMaxCodeLength - len);
    if (len <= table_bits) {
      const auto entry = static_cast<std::uint16_t>(symbol | (len << kEntryLengthShift));
      std::ranges::fill(table.subspan(codeword >> drop, std::size_t{1} << (table_bits - len)),
                        entry);
    } else {
      InsertLongCodeword(symbol, codeword, len, symbol_count, table_bits, table, tree_left,
                         tree_right, node_count);
    }
  }
}

}  // namespace vsk::lh5
