// The adaptive Huffman model of LZH1 and its fixed distance code, shared by
// the decoder and the encoder so that both sides evolve the tree in exactly
// the same way, symbol by symbol.
//
// 314 symbols: 0-255 are bytes, 256-313 are match lengths 3-60. The tree has
// 627 nodes kept in non-decreasing frequency order (node 626 is the root);
// an internal node's children are the adjacent pair NodeChild, NodeChild + 1.
// A leaf's NodeChild entry is kLeafBase + its symbol, and NodeParent entries
// from kLeafBase on map a symbol to its leaf.
#pragma once

#include <array>
#include <cstdint>

namespace vsk::lzh1 {

inline constexpr unsigned kWindowSize = 4096;
inline constexpr unsigned kWindowMask = kWindowSize - 1;
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 60;
inline constexpr unsigned kSymbolCount = 256 + kMaxMatch - kMinMatch + 1;  // 314
inline constexpr unsigned kNodeCount = 2 * kSymbolCount - 1;               // 627
inline constexpr unsigned kRoot = kNodeCount - 1;                          // 626
inline constexpr unsigned kLeafBase = kNodeCount;  // NodeChild value of leaf 0
inline constexpr unsigned kFirstMatchSymbol = 256;
// Match length = symbol - kMatchSymbolBias.
inline constexpr unsigned kMatchSymbolBias = kFirstMatchSymbol - kMinMatch;  // 253
inline constexpr std::uint16_t kRescaleAt = 0x8000;
// The first write position of a member; the window starts as all spaces.
inline constexpr unsigned kRingStart = kWindowSize - kMaxMatch;  // 4036
inline constexpr std::uint8_t kRingFill = 0x20;

class Lzh1Model {
 public:
  Lzh1Model() { InitModel(); }

  void InitModel();

  // Counts one more occurrence of `Symbol`, keeping the frequency order by
  // exchanging a node with the last node of lower frequency. Runs
  // RescaleModel first once the root has reached kRescaleAt.
  void UpdateModel(unsigned Symbol) {
    if (NodeFreq[kRoot] == kRescaleAt) [[unlikely]]
      RescaleModel();
    CountUpFrom(NodeParent[Symbol + kLeafBase]);
  }

  // Halves every leaf frequency (rounding up) and rebuilds the tree.
  void RescaleModel();

  // Node frequencies plus the sentinel; first-child index or kLeafBase +
  // symbol; parent of each node, then the leaf of each symbol.
  std::array<std::uint16_t, kNodeCount + 1> NodeFreq;
  std::array<std::uint16_t, kNodeCount> NodeChild;
  std::array<std::uint16_t, kNodeCount + kSymbolCount> NodeParent;

 private:
  // Adds 1 to node c and each node above it, exchanging where the order
  // demands. The root's parent entry is 0 and node 0 is never internal (it
  // has the lowest frequency), so reaching 0 means the root was counted.
  void CountUpFrom(unsigned c) {
    do {
      const unsigned k = ++NodeFreq[c];
      // The sentinel 0xFFFF at kNodeCount ends the search: k <= kRescaleAt.
      if (k > NodeFreq[c + 1]) [[unlikely]]
        c = ExchangeWithLastBelow(c, k);
      c = NodeParent[c];
    } while (c != 0);
  }

  // Moves node c (just raised to frequency k) behind the nodes it now
  // outweighs; returns its new index.
  unsigned ExchangeWithLastBelow(unsigned c, unsigned k) {
    unsigned l = c + 1;
    while (k > NodeFreq[l + 1])
      ++l;
    NodeFreq[c] = NodeFreq[l];
    NodeFreq[l] = static_cast<std::uint16_t>(k);
    const unsigned i = NodeChild[c];
    const unsigned j = NodeChild[l];
    AdoptChildren(i, l);
    NodeChild[l] = static_cast<std::uint16_t>(i);
    AdoptChildren(j, c);
    NodeChild[c] = static_cast<std::uint16_t>(j);
    return l;
  }

  // Makes `parent` the parent of the node pair starting at `child` (or of
  // the one leaf entry, when `child` names a symbol).
  void AdoptChildren(unsigned child, unsigned parent) {
    NodeParent[child] = static_cast<std::uint16_t>(parent);
    if (child < kLeafBase) NodeParent[child + 1] = static_cast<std::uint16_t>(parent);
  }
};

// The fixed code of a distance's upper 6 bits, indexed by the next 8 input
// bits: DistLength bits of them form the code of DistHigh.
struct DistanceTables {
  std::array<std::uint8_t, 256> DistHigh;
  std::array<std::uint8_t, 256> DistLength;
};

inline constexpr DistanceTables kDistanceTables = [] {
  // Code lengths 3..8 and how many 8-bit prefixes each group spans.
  constexpr struct {
    unsigned length, first_index, last_index, first_high;
  } kGroups[] = {{3, 0, 31, 0},     {4, 32, 79, 1},    {5, 80, 143, 4},
                 {6, 144, 191, 12}, {7, 192, 239, 24}, {8, 240, 255, 48}};
  DistanceTables t{};
  for (const auto& g : kGroups) {
    const unsigned span = 1u << (8 - g.length);  // prefixes sharing one code
    for (unsigned i = g.first_index; i <= g.last_index; ++i) {
      t.DistLength[i] = static_cast<std::uint8_t>(g.length);
      t.DistHigh[i] = static_cast<std::uint8_t>(g.first_high + (i - g.first_index) / span);
    }
  }
  return t;
}();

}  // namespace vsk::lzh1
