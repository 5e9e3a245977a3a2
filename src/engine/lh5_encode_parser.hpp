// Parsing for the LH5 writer: which literals and matches cover a chunk of
// the data. The matches of every position of a chunk are found once and
// kept; the optimal parse then takes the cheapest path through the chunk
// under a price table, and can be run again with prices drawn from its own
// result.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "lh5_encode_format.hpp"
#include "lh5_encode_match_finder.hpp"

namespace vsk::lh5_encode {

// Price of each symbol in 1/16 bit.
inline constexpr std::uint32_t kPriceScale = 16;

struct PriceTable {
  std::array<std::uint32_t, kSymbolCount> symbol{};
  std::array<std::uint32_t, kOffsetSlotCount> offset_slot{};  // extra bits included

  std::uint32_t Offset(std::uint32_t offset) const { return offset_slot[OffsetSlot(offset)]; }

  // Prices that the counted symbols would cost under a code built for them;
  // symbols never seen are priced as rarer than the rarest seen.
  static PriceTable FromHistogram(const ItemHistogram& histogram);
};

struct ParserSettings {
  unsigned max_depth = 48;  // tree nodes visited per position
  // A match at least this long is taken without weighing the positions it
  // covers (they are only inserted into the tree): long matches are almost
  // always right, and weighing every length of them is slow.
  std::uint32_t nice_length = 128;
};

class ChunkParser {
 public:
  ChunkParser(std::span<const std::uint8_t> data, ParserSettings settings);

  // Moves on to the next chunk, [end of the previous one, end), and finds
  // its matches. Matches stay inside the chunk.
  void NextChunk(std::size_t end);

  // The longest match at every position; bootstraps the first prices.
  std::vector<LzItem> GreedyParse() const;
  // The cheapest cover of the chunk under `prices`.
  std::vector<LzItem> OptimalParse(const PriceTable& prices);

 private:
  void CollectMatches();
  std::span<const Match> MatchesAt(std::size_t index) const;

  std::span<const std::uint8_t> data_;
  ParserSettings settings_;
  BinaryTreeMatchFinder finder_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  // matches_[first_match_[i] .. first_match_[i + 1]) belong to position begin_ + i.
  std::vector<std::uint32_t> first_match_;
  std::vector<Match> matches_;
  // Scratch of the optimal parse, one entry per position of the chunk plus one.
  std::vector<std::uint32_t> cost_;
  std::vector<LzItem> arrival_;
};

}  // namespace vsk::lh5_encode
