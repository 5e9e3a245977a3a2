// Prefix codes for the LH5 writer: optimal code lengths under a length
// limit, and the canonical codewords the reader derives from the lengths.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vsk::lh5_encode {

// A code as the reader rebuilds it from its lengths. With fewer than two
// symbols in use the code is degenerate: the stream names its one symbol
// (`single`, 0 when nothing is used) and every codeword is zero bits long.
struct PrefixCode {
  std::vector<std::uint8_t> lengths;     // per symbol; 0 = absent
  std::vector<std::uint16_t> codewords;  // right-aligned, `lengths` bits each
  bool degenerate = true;
  std::uint16_t single = 0;

  // Number of length fields the stream must carry: up to the last used symbol.
  std::size_t SentLengths() const;
};

// Lengths minimizing the sum of frequency x length with none above
// `max_length` (package-merge). Every symbol with a non-zero frequency gets a
// length and, with two or more such symbols, the code is complete (its
// Kraft sum is exactly 1). With fewer than two, every length is 0.
std::vector<std::uint8_t> LimitedCodeLengths(std::span<const std::uint32_t> frequencies,
                                             unsigned max_length);

// Codewords in the canonical order: by increasing length, then by symbol.
std::vector<std::uint16_t> CanonicalCodewords(std::span<const std::uint8_t> lengths);

PrefixCode BuildPrefixCode(std::span<const std::uint32_t> frequencies, unsigned max_length);

}  // namespace vsk::lh5_encode
