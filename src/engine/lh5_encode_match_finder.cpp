#include "lh5_encode_match_finder.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>

namespace vsk::lh5_encode {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
// One slot more than the window: the node of the position kWindowSize back
// is still intact when the current position overwrites the oldest slot.
constexpr std::uint32_t kSlots = kWindowSize + 1;
constexpr unsigned kHashBits = 16;

// Length of the common prefix of a and b, from `length` (known to match)
// up to `limit`. Compares eight bytes at a time where the byte order lets
// the first difference be found from the low end of a word.
std::uint32_t CommonPrefix(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t length,
                           std::uint32_t limit) {
  if constexpr (std::endian::native == std::endian::little) {
    while (limit - length >= sizeof(std::uint64_t)) {
      std::uint64_t x = 0;
      std::uint64_t y = 0;
      std::memcpy(&x, a + length, sizeof x);
      std::memcpy(&y, b + length, sizeof y);
      if (x != y) return length + static_cast<std::uint32_t>(std::countr_zero(x ^ y) / 8);
      length += sizeof(std::uint64_t);
    }
  }
  while (length < limit && a[length] == b[length])
    ++length;
  return length;
}

std::uint32_t Hash3(const std::uint8_t* p) {
  const std::uint32_t key = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  return (key * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

BinaryTreeMatchFinder::BinaryTreeMatchFinder(std::span<const std::uint8_t> data, unsigned max_depth)
    : data_(data),
      max_depth_(max_depth),
      head_(std::size_t{1} << kHashBits, kNone),
      children_(2 * std::size_t{kSlots}, kNone) {
  assert(data.size() < 0x80000000u);
}

std::size_t BinaryTreeMatchFinder::FindMatches(Match* out) {
  return Insert<true>(out);
}

void BinaryTreeMatchFinder::Skip() {
  Insert<false>(nullptr);
}

// Walks down the tree of the position's hash, comparing the current string
// with each node's, and splits the tree into the strings smaller and larger
// than the current one, which become the new root's two subtrees. The common
// prefix with both bounds so far is known to match, so comparisons start
// there. A node that matches over the whole length limit is replaced by the
// new root outright (its subtrees are taken over), which keeps long runs
// cheap.
template <bool kReport>
std::size_t BinaryTreeMatchFinder::Insert(Match* out) {
  const std::uint32_t pos = position_;
  assert(pos < data_.size());
  const std::uint32_t own_slot = slot_;
  ++position_;
  if (++slot_ == kSlots) slot_ = 0;

  std::uint32_t* smaller = &children_[2 * std::size_t{own_slot}];
  std::uint32_t* larger = smaller + 1;
  const auto available = static_cast<std::uint32_t>(data_.size() - pos);
  const std::uint32_t limit = std::min(kMaxMatch, available);
  if (limit < kMinMatch) {
    // Too near the end to start a match: the node stays out of every tree.
    *smaller = *larger = kNone;
    return 0;
  }

  const std::uint8_t* current = data_.data() + pos;
  std::uint32_t& head = head_[Hash3(current)];
  std::uint32_t candidate = head;
  head = pos;

  std::size_t found = 0;
  std::uint32_t best = kMinMatch - 1;
  std::uint32_t smaller_common = 0;
  std::uint32_t larger_common = 0;
  for (unsigned depth = max_depth_;; --depth) {
    if (candidate == kNone || pos - candidate > kWindowSize || depth == 0) {
      *smaller = *larger = kNone;
      break;
    }
    const std::uint32_t distance = pos - candidate;
    const std::uint32_t slot =
        own_slot >= distance ? own_slot - distance : own_slot + kSlots - distance;
    std::uint32_t* pair = &children_[2 * std::size_t{slot}];
    const std::uint8_t* other = data_.data() + candidate;
    const std::uint32_t length =
        CommonPrefix(other, current, std::min(smaller_common, larger_common), limit);
    if constexpr (kReport) {
      if (length > best) {
        best = length;
        out[found++] = {static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)};
      }
    }
    if (length == limit) {
      *smaller = pair[0];
      *larger = pair[1];
      break;
    }
    if (other[length] < current[length]) {
      *smaller = candidate;
      smaller = &pair[1];
      candidate = *smaller;
      smaller_common = length;
    } else {
      *larger = candidate;
      larger = &pair[0];
      candidate = *larger;
      larger_common = length;
    }
  }
  return found;
}

}  // namespace vsk::lh5_encode
