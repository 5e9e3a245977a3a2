#include "lh5_encode_parser.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <limits>

namespace vsk::lh5_encode {

namespace {

constexpr unsigned kPriceFractionBits = 4;
static_assert(kPriceScale == 1u << kPriceFractionBits);

// log2(x) in price units, for x >= 1, in integer arithmetic only, so that
// every platform prices alike and so parses alike: the integer part from
// the bit width, each fraction bit from squaring the mantissa (kept in
// [1, 2) as a fixed-point number with 30 fraction bits).
std::uint32_t Log2InPriceUnits(std::uint64_t x) {
  constexpr unsigned kMantissaBits = 30;
  constexpr std::uint64_t kTwo = std::uint64_t{2} << kMantissaBits;
  const auto whole = static_cast<unsigned>(std::bit_width(x) - 1);
  std::uint64_t mantissa =
      whole >= kMantissaBits ? x >> (whole - kMantissaBits) : x << (kMantissaBits - whole);
  std::uint32_t fraction = 0;
  for (unsigned bit = 0; bit < kPriceFractionBits; ++bit) {
    mantissa = (mantissa * mantissa) >> kMantissaBits;
    fraction <<= 1;
    if (mantissa >= kTwo) {
      mantissa >>= 1;
      fraction |= 1;
    }
  }
  return whole * kPriceScale + fraction;
}

// Price of each symbol: its information content under the counts, but at
// least one bit (no codeword is shorter) and at most the longest codeword.
// An unseen symbol is priced as if it had turned up half a time, so counts
// are doubled.
template <std::size_t N>
std::array<std::uint32_t, N> PricesOf(const std::array<std::uint32_t, N>& counts) {
  constexpr std::uint32_t kFloor = kPriceScale;
  constexpr std::uint32_t kCeiling = kMaxCodeLength * kPriceScale;
  std::uint64_t total = 1;
  for (const std::uint32_t c : counts)
    total += c;
  const std::uint32_t log_total = Log2InPriceUnits(2 * total);
  std::array<std::uint32_t, N> prices{};
  for (std::size_t s = 0; s < N; ++s) {
    const std::uint32_t log_count =
        Log2InPriceUnits(counts[s] == 0 ? 1 : 2 * std::uint64_t{counts[s]});
    const std::uint32_t bits = log_total > log_count ? log_total - log_count : 0;
    prices[s] = std::clamp(bits, kFloor, kCeiling);
  }
  return prices;
}

}  // namespace

PriceTable PriceTable::FromHistogram(const ItemHistogram& histogram) {
  PriceTable table;
  table.symbol = PricesOf(histogram.symbols);
  table.offset_slot = PricesOf(histogram.offsets);
  for (unsigned slot = 0; slot < kOffsetSlotCount; ++slot)
    table.offset_slot[slot] += OffsetExtraBits(slot) * kPriceScale;
  return table;
}

ChunkParser::ChunkParser(std::span<const std::uint8_t> data, ParserSettings settings)
    : data_(data), settings_(settings), finder_(data, settings.max_depth) {}

void ChunkParser::NextChunk(std::size_t end) {
  assert(end >= end_ && end <= data_.size());
  begin_ = end_;
  end_ = end;
  CollectMatches();
}

// Positions covered by a nice match are only inserted; they get no matches,
// so the parse can leave them only by literals and keeps to the long match.
void ChunkParser::CollectMatches() {
  first_match_.clear();
  matches_.clear();
  std::array<Match, kMaxMatch> found{};
  std::size_t covered_until = begin_;
  for (std::size_t pos = begin_; pos < end_; ++pos) {
    first_match_.push_back(static_cast<std::uint32_t>(matches_.size()));
    if (pos < covered_until) {
      finder_.Skip();
      continue;
    }
    const std::size_t count = finder_.FindMatches(found.data());
    const auto room = static_cast<std::uint32_t>(std::min<std::size_t>(end_ - pos, kMaxMatch));
    std::uint32_t longest = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint32_t length = std::min<std::uint32_t>(found[k].length, room);
      if (length < kMinMatch || length <= longest) continue;
      longest = length;
      matches_.push_back({static_cast<std::uint16_t>(length), found[k].distance});
    }
    if (longest >= settings_.nice_length) covered_until = pos + longest;
  }
  first_match_.push_back(static_cast<std::uint32_t>(matches_.size()));
}

std::span<const Match> ChunkParser::MatchesAt(std::size_t index) const {
  return std::span<const Match>(matches_).subspan(first_match_[index],
                                                  first_match_[index + 1] - first_match_[index]);
}

std::vector<LzItem> ChunkParser::GreedyParse() const {
  std::vector<LzItem> items;
  for (std::size_t i = 0; i < end_ - begin_;) {
    const std::span<const Match> here = MatchesAt(i);
    if (here.empty()) {
      items.push_back(LzItem::Literal(data_[begin_ + i]));
      ++i;
    } else {
      items.push_back(LzItem::Match(here.back().length, here.back().distance));
      i += here.back().length;
    }
  }
  return items;
}

// Shortest path over the positions of the chunk: from each position a
// literal leads one on, and each match (length L, distance d) leads on by
// any length from one past the previous match's length up to L, at the
// distance d (the nearest one known for those lengths).
std::vector<LzItem> ChunkParser::OptimalParse(const PriceTable& prices) {
  const std::size_t size = end_ - begin_;
  constexpr std::uint32_t kUnreached = std::numeric_limits<std::uint32_t>::max();
  cost_.assign(size + 1, kUnreached);
  arrival_.resize(size + 1);
  cost_[0] = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t here = cost_[i];
    assert(here != kUnreached);
    const std::uint8_t byte = data_[begin_ + i];
    const std::uint32_t literal = here + prices.symbol[byte];
    if (literal < cost_[i + 1]) {
      cost_[i + 1] = literal;
      arrival_[i + 1] = LzItem::Literal(byte);
    }
    std::uint32_t length = kMinMatch;
    for (const Match& match : MatchesAt(i)) {
      const auto offset = static_cast<std::uint16_t>(match.distance - 1u);
      const std::uint32_t base = here + prices.Offset(offset);
      for (; length <= match.length; ++length) {
        const std::size_t symbol = kLiteralCount + length - kMinMatch;
        const std::uint32_t total = base + prices.symbol[symbol];
        if (total < cost_[i + length]) {
          cost_[i + length] = total;
          arrival_[i + length] = {static_cast<std::uint16_t>(symbol), offset};
        }
      }
    }
  }

  std::vector<LzItem> items;
  for (std::size_t i = size; i > 0; i -= arrival_[i].Length())
    items.push_back(arrival_[i]);
  std::reverse(items.begin(), items.end());
  return items;
}

}  // namespace vsk::lh5_encode
