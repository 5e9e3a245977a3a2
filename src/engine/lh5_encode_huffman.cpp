#include "lh5_encode_huffman.hpp"

#include <algorithm>
#include <array>
#include <cassert>

namespace vsk::lh5_encode {

namespace {

// Used symbols, cheapest first (ties by symbol, so results are stable).
std::vector<std::uint16_t> UsedSymbolsByFrequency(std::span<const std::uint32_t> frequencies) {
  std::vector<std::uint16_t> used;
  for (std::size_t s = 0; s < frequencies.size(); ++s) {
    if (frequencies[s] != 0) used.push_back(static_cast<std::uint16_t>(s));
  }
  std::sort(used.begin(), used.end(), [&](std::uint16_t a, std::uint16_t b) {
    return frequencies[a] != frequencies[b] ? frequencies[a] < frequencies[b] : a < b;
  });
  return used;
}

// Unlimited Huffman code lengths, computed in place (Moffat and Katajainen):
// `a` holds the weights in ascending order and receives the lengths. The
// first pass pairs items as Huffman's algorithm does, leaving parent
// indexes in place of the internal nodes' weights; the second turns them
// into node depths; the third hands out leaf depths level by level.
void HuffmanLengthsInPlace(std::vector<std::uint64_t>& a) {
  const std::size_t n = a.size();
  a[0] += a[1];
  std::size_t root = 0;
  std::size_t leaf = 2;
  for (std::size_t next = 1; next < n - 1; ++next) {
    if (leaf >= n || a[root] < a[leaf]) {
      a[next] = a[root];
      a[root++] = next;
    } else {
      a[next] = a[leaf++];
    }
    if (leaf >= n || (root < next && a[root] < a[leaf])) {
      a[next] += a[root];
      a[root++] = next;
    } else {
      a[next] += a[leaf++];
    }
  }
  a[n - 2] = 0;
  for (std::size_t next = n - 2; next-- > 0;)
    a[next] = a[static_cast<std::size_t>(a[next])] + 1;
  std::size_t available = 1;
  std::size_t depth = 0;
  std::size_t internal = n - 1;  // one past the next internal node, right to left
  std::size_t next = n;          // one past the next leaf to receive a depth
  while (available > 0) {
    std::size_t used = 0;
    while (internal > 0 && a[internal - 1] == depth) {
      ++used;
      --internal;
    }
    while (available > used) {
      a[--next] = depth;
      --available;
    }
    available = 2 * used;
    ++depth;
  }
}

// Package-merge: list 0 holds the leaves; list k merges the leaves with the
// pairs ("packages") of list k - 1. Taking the cheapest 2n - 2 items of the
// last list and, level by level, the items the chosen packages were made of,
// a leaf's code length is the number of lists in which it was taken. Since
// leaves keep their order in every list, the leaves taken from a list are
// always the cheapest ones, so recording leaf/package flags per list suffices.
std::vector<std::uint8_t> PackageMergeLengths(std::span<const std::uint64_t> leaf_weights,
                                              unsigned max_length) {
  const std::size_t n = leaf_weights.size();
  assert(n >= 2 && max_length < 32 && n <= (std::size_t{1} << max_length));
  const std::size_t keep = 2 * n - 2;
  std::vector<std::vector<bool>> is_leaf(max_length);
  is_leaf[0].assign(n, true);
  std::vector<std::uint64_t> weights(leaf_weights.begin(), leaf_weights.end());
  std::vector<std::uint64_t> merged;
  for (unsigned level = 1; level < max_length; ++level) {
    const std::size_t packages = weights.size() / 2;
    merged.clear();
    std::vector<bool>& flags = is_leaf[level];
    std::size_t leaf = 0;
    std::size_t package = 0;
    while (merged.size() < keep && (leaf < n || package < packages)) {
      const std::uint64_t package_weight =
          package < packages ? weights[2 * package] + weights[2 * package + 1] : 0;
      if (leaf < n && (package == packages || leaf_weights[leaf] <= package_weight)) {
        merged.push_back(leaf_weights[leaf++]);
        flags.push_back(true);
      } else {
        merged.push_back(package_weight);
        ++package;
        flags.push_back(false);
      }
    }
    weights.swap(merged);
  }

  std::vector<std::uint8_t> lengths(n, 0);
  std::size_t take = keep;
  for (unsigned level = max_length; level-- > 0;) {
    const std::vector<bool>& flags = is_leaf[level];
    assert(take <= flags.size());
    const auto leaves_taken = static_cast<std::size_t>(
        std::count(flags.begin(), flags.begin() + static_cast<std::ptrdiff_t>(take), true));
    for (std::size_t i = 0; i < leaves_taken; ++i)
      ++lengths[i];
    take = 2 * (take - leaves_taken);
  }
  return lengths;
}

}  // namespace

std::size_t PrefixCode::SentLengths() const {
  std::size_t n = lengths.size();
  while (n > 0 && lengths[n - 1] == 0)
    --n;
  return n;
}

// Huffman's lengths are optimal whenever they fit the limit, which they
// nearly always do; package-merge finds the optimum under the limit for the
// rest.
std::vector<std::uint8_t> LimitedCodeLengths(std::span<const std::uint32_t> frequencies,
                                             unsigned max_length) {
  std::vector<std::uint8_t> lengths(frequencies.size(), 0);
  const std::vector<std::uint16_t> used = UsedSymbolsByFrequency(frequencies);
  const std::size_t n = used.size();
  if (n < 2) return lengths;
  std::vector<std::uint64_t> weights(n);
  for (std::size_t i = 0; i < n; ++i)
    weights[i] = frequencies[used[i]];

  std::vector<std::uint64_t> huffman = weights;
  HuffmanLengthsInPlace(huffman);
  if (huffman.front() <= max_length) {  // the rarest symbol has the longest code
    for (std::size_t i = 0; i < n; ++i)
      lengths[used[i]] = static_cast<std::uint8_t>(huffman[i]);
    return lengths;
  }
  const std::vector<std::uint8_t> limited = PackageMergeLengths(weights, max_length);
  for (std::size_t i = 0; i < n; ++i)
    lengths[used[i]] = limited[i];
  return lengths;
}

std::vector<std::uint16_t> CanonicalCodewords(std::span<const std::uint8_t> lengths) {
  std::array<std::uint32_t, 33> count{};
  for (const std::uint8_t length : lengths) {
    assert(length < count.size());
    ++count[length];
  }
  count[0] = 0;
  std::array<std::uint32_t, 33> next{};
  std::uint32_t code = 0;
  for (std::size_t length = 1; length < next.size(); ++length) {
    code = (code + count[length - 1]) << 1;
    next[length] = code;
  }
  std::vector<std::uint16_t> codewords(lengths.size(), 0);
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codewords[s] = static_cast<std::uint16_t>(next[lengths[s]]++);
  }
  return codewords;
}

PrefixCode BuildPrefixCode(std::span<const std::uint32_t> frequencies, unsigned max_length) {
  PrefixCode code;
  code.lengths = LimitedCodeLengths(frequencies, max_length);
  const auto used =
      std::count_if(frequencies.begin(), frequencies.end(), [](std::uint32_t f) { return f != 0; });
  code.degenerate = used < 2;
  if (code.degenerate) {
    const auto first = std::find_if(frequencies.begin(), frequencies.end(),
                                    [](std::uint32_t f) { return f != 0; });
    code.single = first == frequencies.end()
                      ? std::uint16_t{0}
                      : static_cast<std::uint16_t>(first - frequencies.begin());
  }
  code.codewords = CanonicalCodewords(code.lengths);
  return code;
}

}  // namespace vsk::lh5_encode
