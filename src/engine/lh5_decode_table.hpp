// Decoding tables of the LH5 Huffman codes: a direct lookup on the first
// 8 or 12 bits of a codeword plus an overflow tree for the longer codewords.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace vsk::lh5 {

inline constexpr unsigned kMaxCodeLength = 16;

// A lookup entry holds a symbol or a tree node number in its low 12 bits
// and, for a symbol whose codeword fits the table, the codeword length in
// its top 4 bits (0 for a tree node and for a single-symbol code).
inline constexpr unsigned kEntryValueMask = 0x0FFF;
inline constexpr unsigned kEntryLengthShift = 12;

// Returned by a tree walk that leaves the tree.
inline constexpr unsigned kNoSymbol = 0xFFFF;

// Builds `table` (2^table_bits entries) and the overflow tree for the code
// whose first `symbol_count` lengths are given, as canonical codewords:
// shorter codewords first, equal lengths in symbol order. Tree nodes are
// numbered from symbol_count up and stored at index node - symbol_count of
// `tree_left`/`tree_right`; `node_count` receives how many were made.
// Refuses (ELZHBadDecodeTable) every length set that is not a complete
// prefix code: a length above 16, or lengths whose codeword space does not
// add up to exactly 2^16 (an empty set included).
void BuildDecodeTable(unsigned symbol_count, std::span<const std::uint8_t> lengths,
                      unsigned table_bits, std::span<std::uint16_t> table,
                      std::span<std::uint16_t> tree_left, std::span<std::uint16_t> tree_right,
                      unsigned& node_count);

// One Huffman code of the method: `Symbols` symbols, looked up on the first
// `TableBits` bits of a codeword.
template <unsigned Symbols, unsigned TableBits>
struct Lh5Code {
  static constexpr unsigned kSymbols = Symbols;
  static constexpr unsigned kTableBits = TableBits;

  std::array<std::uint16_t, std::size_t{1} << TableBits> Table;
  std::array<std::uint8_t, Symbols> Lengths;
  // A complete code of s symbols has fewer than s tree nodes.
  std::array<std::uint16_t, Symbols> TreeLeft;
  std::array<std::uint16_t, Symbols> TreeRight;
  unsigned NodeCount = 0;

  // `lengths` holds at least Symbols entries; any beyond are ignored.
  void Build(std::span<const std::uint8_t> lengths) {
    BuildDecodeTable(Symbols, lengths.first(Symbols), TableBits, Table, TreeLeft, TreeRight,
                     NodeCount);
    std::copy_n(lengths.begin(), Symbols, Lengths.begin());
  }

  // The single-symbol form: every codeword is `symbol`, of length 0, so it
  // is decoded without consuming a bit. `symbol` must be below Symbols.
  void SetSingle(unsigned symbol) {
    Table.fill(static_cast<std::uint16_t>(symbol));
    Lengths.fill(0);
    NodeCount = 0;
  }

  // The lookup entry for the codeword at the top of `bits` (from bit 63).
  std::uint16_t Lookup(std::uint64_t bits) const noexcept {
    return Table[static_cast<std::size_t>(bits >> (64 - TableBits))];
  }

  // Follows the codeword bits below the table's width (`bits` holds the
  // codeword from bit 63 down) from tree node `node` to its symbol;
  // kNoSymbol when the path leaves the tree, which no complete code allows.
  unsigned Walk(unsigned node, std::uint64_t bits) const noexcept {
    for (unsigned bit = TableBits; bit < kMaxCodeLength; ++bit) {
      const unsigned index = node - Symbols;
      if (index >= NodeCount) return kNoSymbol;
      node = ((bits >> (63 - bit)) & 1) != 0 ? TreeRight[index] : TreeLeft[index];
      if (node < Symbols) return node;
    }
    return kNoSymbol;
  }
};

}  // namespace vsk::lh5
