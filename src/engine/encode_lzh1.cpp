// LZH1 compression: hash-chain match finding over the 4096-byte window with
// one step of lazy evaluation; the symbols go through Lzh1StreamWriter.
#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <memory>
#include <span>

#include "lzh1_model.hpp"
#include "vsk/encoders.hpp"
#include "vsk/lzh1_stream.hpp"

namespace vsk {

namespace {

using namespace lzh1;

struct Match {
  unsigned length = 0;
  unsigned back = 0;  // 1 to kWindowSize bytes back
};

// Chains of earlier positions with the same 3-byte hash. Positions must be
// inserted in increasing order, each after it has been searched from: a
// window slot is then only reused for a position more than a window away
// from anything still searched for.
class MatchFinder {
 public:
  explicit MatchFinder(std::span<const std::uint8_t> data) : data_(data) {
    head_.fill(kNone);
    previous_.fill(kNone);
  }

  void Insert(std::size_t pos) {
    if (pos + kMinMatch > data_.size()) return;
    const std::size_t h = Hash(pos);
    previous_[pos & kWindowMask] = head_[h];
    head_[h] = pos;
  }

  // The longest match for `pos` among the last kWindowSize positions, the
  // nearest one among equals.
  Match Find(std::size_t pos) const {
    Match best;
    if (pos + kMinMatch > data_.size()) return best;
    const std::size_t limit = std::min<std::size_t>(kMaxMatch, data_.size() - pos);
    const std::uint8_t* here = data_.data() + pos;
    std::size_t candidate = head_[Hash(pos)];
    for (unsigned steps = 0; candidate != kNone && steps < kMaxChainSteps; ++steps) {
      const std::size_t back = pos - candidate;
      if (back > kWindowSize) break;
      const std::uint8_t* there = data_.data() + candidate;
      // Check the byte that would make this match the longest first.
      if (there[best.length] == here[best.length]) {
        std::size_t length = 0;
        while (length < limit && there[length] == here[length])
          ++length;
        if (length > best.length) {
          best = {static_cast<unsigned>(length), static_cast<unsigned>(back)};
          if (length == limit) break;
        }
      }
      candidate = previous_[candidate & kWindowMask];
    }
    if (best.length < kMinMatch) best = {};
    return best;
  }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  static constexpr unsigned kHashBits = 14;
  // Enough to find nearly every useful match in a 4 KiB window; bounds the
  // time spent on long chains of equal bytes.
  static constexpr unsigned kMaxChainSteps = 256;

  std::size_t Hash(std::size_t pos) const {
    const std::uint32_t v = static_cast<std::uint32_t>(data_[pos]) << 16 |
                            static_cast<std::uint32_t>(data_[pos + 1]) << 8 | data_[pos + 2];
    return (v * 2654435761u) >> (32 - kHashBits);
  }

  std::span<const std::uint8_t> data_;
  std::array<std::size_t, std::size_t{1} << kHashBits> head_;
  std::array<std::size_t, kWindowSize> previous_;
};

// Progress is reported after every this many input bytes.
constexpr std::size_t kProgressStep = std::size_t{1} << 16;

}  // namespace

std::vector<std::uint8_t> EncodeLZH1(std::span<const std::uint8_t> data,
                                     const EncodeProgress& progress) {
  const auto finder = std::make_unique<MatchFinder>(data);
  Lzh1StreamWriter writer;
  const std::size_t n = data.size();
  const auto total = static_cast<std::int64_t>(n);
  std::size_t next_report = kProgressStep;
  std::size_t i = 0;
  Match current = finder->Find(0);
  while (i < n) {
    if (progress && i >= next_report) {
      progress(static_cast<std::int64_t>(i), total);
      next_report = i + kProgressStep;
    }
    finder->Insert(i);
    if (current.length == 0) {
      writer.PutLiteral(data[i]);
      current = finder->Find(++i);
      continue;
    }
    // Lazy step: a longer match one byte later is worth a literal now.
    if (current.length < kMaxMatch) {
      const Match next = finder->Find(i + 1);
      if (next.length > current.length) {
        writer.PutLiteral(data[i]);
        ++i;
        current = next;
        continue;
      }
    }
    writer.PutMatch(current.length, current.back - 1);
    for (std::size_t k = 1; k < current.length; ++k)
      finder->Insert(i + k);
    i += current.length;
    current = finder->Find(i);
  }
  if (progress) progress(total, total);
  return writer.Finish();
}

}  // namespace vsk
