// LH5 compression: the data is parsed chunk by chunk with an optimal parse
// over the 8 KiB window, whose prices come from the statistics of a first
// parse of the same chunk; each chunk's items are then cut into blocks that
// send codes built for their own statistics.
#include <algorithm>
#include <stdexcept>

#include "lh5_encode_bit_writer.hpp"
#include "lh5_encode_block.hpp"
#include "lh5_encode_block_split.hpp"
#include "lh5_encode_parser.hpp"
#include "vsk/encoders.hpp"

namespace vsk {

namespace {

namespace lh5 = lh5_encode;

// Chunk of input parsed at once. Larger chunks cost memory for the kept
// matches; smaller ones cost a little ratio at each boundary, which no
// match crosses.
constexpr std::size_t kChunkSize = 64 * 1024;
// Parses that re-price from the previous parse of the same chunk.
constexpr int kRefinements = 1;
// The decoder counts expanded bytes in a signed 32-bit integer.
constexpr std::size_t kMaxInput = 0x7FFFFFFF;

class Lh5Encoder {
 public:
  Lh5Encoder(std::span<const std::uint8_t> data, const EncodeProgress& progress)
      : data_(data), progress_(progress), parser_(data, lh5::ParserSettings{}) {}

  std::vector<std::uint8_t> Encode() {
    out_.Reserve(data_.size() / 2 + 64);
    for (std::size_t begin = 0; begin < data_.size(); begin += kChunkSize) {
      const std::size_t end = std::min(data_.size(), begin + kChunkSize);
      parser_.NextChunk(end);
      WriteBlocks(ParseChunk());
      if (progress_) progress_(static_cast<std::int64_t>(end), Total());
    }
    return out_.Finish();
  }

 private:
  std::int64_t Total() const { return static_cast<std::int64_t>(data_.size()); }

  // Each parse is priced by the statistics of the one before; the chunk's
  // first parse by the previous chunk's, or by a greedy parse at the start.
  std::vector<lh5::LzItem> ParseChunk() {
    std::vector<lh5::LzItem> items =
        have_previous_ ? parser_.OptimalParse(lh5::PriceTable::FromHistogram(previous_))
                       : parser_.GreedyParse();
    for (int pass = 0; pass < kRefinements; ++pass)
      items = parser_.OptimalParse(lh5::PriceTable::FromHistogram(Histogram(items)));
    previous_ = Histogram(items);
    have_previous_ = true;
    return items;
  }

  static lh5::ItemHistogram Histogram(std::span<const lh5::LzItem> items) {
    lh5::ItemHistogram histogram;
    for (const lh5::LzItem item : items)
      histogram.Add(item);
    return histogram;
  }

  void WriteBlocks(std::span<const lh5::LzItem> items) {
    std::size_t begin = 0;
    for (const std::size_t end : lh5::ChooseBlockEnds(items)) {
      lh5::WriteBlock(
          out_, items.subspan(begin, end - begin),
          first_block_ ? lh5::SingleSymbolCode::kAvoided : lh5::SingleSymbolCode::kAllowed);
      first_block_ = false;
      begin = end;
    }
  }

  std::span<const std::uint8_t> data_;
  const EncodeProgress& progress_;
  lh5::ChunkParser parser_;
  lh5::BitWriter out_;
  lh5::ItemHistogram previous_;
  bool have_previous_ = false;
  bool first_block_ = true;
};

}  // namespace

std::vector<std::uint8_t> EncodeLH5(std::span<const std::uint8_t> data,
                                    const EncodeProgress& progress) {
  if (data.size() > kMaxInput) throw std::length_error("LH5 input is larger than 2147483647 bytes");
  if (data.empty()) return {};
  return Lh5Encoder(data, progress).Encode();
}

}  // namespace vsk
