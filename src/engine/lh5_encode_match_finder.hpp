// Match finding for the LH5 writer: a binary search tree over the strings
// that start in the last 8192 positions, one tree per 3-byte hash. The tree
// is rebuilt along the search path at every insertion, so the newest
// position is always the root and each child is older than its parent.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "lh5_encode_format.hpp"

namespace vsk::lh5_encode {

struct Match {
  std::uint16_t length;    // kMinMatch to kMaxMatch
  std::uint16_t distance;  // 1 to kWindowSize
};

class BinaryTreeMatchFinder {
 public:
  // `data` must outlive the finder and hold fewer than 2^31 bytes.
  // `max_depth` bounds the nodes visited per position.
  BinaryTreeMatchFinder(std::span<const std::uint8_t> data, unsigned max_depth);

  // Matches for the next position, which it then inserts. Positions are
  // visited in order from 0, each exactly once (by this or by Skip). Writes
  // up to kMaxMatch - kMinMatch + 1 matches to `out`, each longer than the
  // one before and with the nearest distance found for its length; returns
  // how many. No match reaches before position 0 or past the data's end.
  std::size_t FindMatches(Match* out);

  // Inserts the next position without reporting matches.
  void Skip();

  std::uint32_t position() const { return position_; }

 private:
  template <bool kReport>
  std::size_t Insert(Match* out);

  std::span<const std::uint8_t> data_;
  unsigned max_depth_;
  std::uint32_t position_ = 0;
  std::uint32_t slot_ = 0;               // position_ modulo kSlots
  std::vector<std::uint32_t> head_;      // per hash: newest position, or kNone
  std::vector<std::uint32_t> children_;  // per slot: smaller child, larger child
};

}  // namespace vsk::lh5_encode
