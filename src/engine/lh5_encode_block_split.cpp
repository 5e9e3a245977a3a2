#include "lh5_encode_block_split.hpp"

#include <limits>

#include "lh5_encode_block.hpp"

namespace vsk::lh5_encode {

namespace {

// Blocks smaller than this never pay for their header.
constexpr std::size_t kMinBlockItems = 256;
// Cut points tried in each range: at 1/kCandidates, 2/kCandidates, ...
// (the middle one is always far enough from both ends).
constexpr std::size_t kCandidates = 8;
static_assert(kCandidates % 2 == 0 && 2 * kMinBlockItems <= kMaxBlockSymbols);

class BlockSplitter {
 public:
  explicit BlockSplitter(std::span<const LzItem> items) : items_(items) {}

  std::vector<std::size_t> Run() {
    if (!items_.empty()) Split(0, items_.size(), HistogramOf(0, items_.size()));
    return ends_;
  }

 private:
  ItemHistogram HistogramOf(std::size_t begin, std::size_t end) const {
    ItemHistogram histogram;
    for (std::size_t i = begin; i < end; ++i)
      histogram.Add(items_[i]);
    return histogram;
  }

  struct Cut {
    std::size_t at = 0;
    std::uint64_t bits = std::numeric_limits<std::uint64_t>::max();
    ItemHistogram left;
    ItemHistogram right;
  };

  // The cheapest of the candidate cuts of [begin, end) into two blocks;
  // the range holds at least 2 * kMinBlockItems items.
  Cut BestCut(std::size_t begin, std::size_t end, const ItemHistogram& whole) const {
    Cut best;
    ItemHistogram left;
    ItemHistogram right = whole;
    std::size_t swept = begin;
    for (std::size_t k = 1; k < kCandidates; ++k) {
      const std::size_t at = begin + (end - begin) * k / kCandidates;
      for (; swept < at; ++swept) {
        left.Add(items_[swept]);
        right.Remove(items_[swept]);
      }
      if (at - begin < kMinBlockItems || end - at < kMinBlockItems) continue;
      const std::uint64_t bits = BlockBits(left) + BlockBits(right);
      if (bits < best.bits) best = {at, bits, left, right};
    }
    return best;
  }

  // A range is cut in two when two blocks with their own codes cost less
  // than one, and then each part is considered again; a range too long for
  // one block is cut even when that costs.
  void Split(std::size_t begin, std::size_t end, const ItemHistogram& whole) {
    if (end - begin >= 2 * kMinBlockItems) {
      const Cut cut = BestCut(begin, end, whole);
      if (end - begin > kMaxBlockSymbols || cut.bits < BlockBits(whole)) {
        Split(begin, cut.at, cut.left);
        Split(cut.at, end, cut.right);
        return;
      }
    }
    ends_.push_back(end);
  }

  std::span<const LzItem> items_;
  std::vector<std::size_t> ends_;
};

}  // namespace

std::vector<std::size_t> ChooseBlockEnds(std::span<const LzItem> items) {
  return BlockSplitter(items).Run();
}

}  // namespace vsk::lh5_encode
