#include "vsk/lzh1_stream.hpp"

#include <array>
#include <stdexcept>

#include "lzh1_model.hpp"

namespace vsk {

namespace {

using namespace lzh1;

// Code of a distance's upper 6 bits: the 8-bit prefixes that decode to a
// value h all start with h's code, so the smallest one gives it.
struct DistanceCode {
  std::uint8_t bits;
  std::uint8_t length;
};

constexpr std::array<DistanceCode, 64> kDistanceCodes = [] {
  std::array<DistanceCode, 64> codes{};
  for (unsigned i = 256; i-- > 0;) {
    const unsigned length = kDistanceTables.DistLength[i];
    codes[kDistanceTables.DistHigh[i]] = {static_cast<std::uint8_t>(i >> (8 - length)),
                                          static_cast<std::uint8_t>(length)};
  }
  return codes;
}();

// Bits go out most significant first, as the decoder's reader takes them.
class BitWriter {
 public:
  // `count` from 0 to 24.
  void PutBits(std::uint32_t value, unsigned count) {
    pending_ = (pending_ << count) | (value & ((1u << count) - 1));
    pending_count_ += count;
    while (pending_count_ >= 8) {
      pending_count_ -= 8;
      bytes_.push_back(static_cast<std::uint8_t>(pending_ >> pending_count_));
    }
  }

  std::vector<std::uint8_t> Finish() {
    if (pending_count_ > 0) PutBits(0, 8 - pending_count_);
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t pending_ = 0;  // only the low pending_count_ bits matter
  unsigned pending_count_ = 0;
};

}  // namespace

struct Lzh1StreamWriter::Coder {
  Lzh1Model model;
  BitWriter out;

  // The path from the root to the symbol's leaf in the tree as it stands
  // (bit 1 for the second child of a pair), then the same update as the
  // decoder makes after reading it.
  void PutSymbol(unsigned symbol) {
    // A path is never longer than the number of nodes.
    std::array<std::uint8_t, kNodeCount> path;
    unsigned depth = 0;
    for (unsigned c = model.NodeParent[symbol + kLeafBase]; c != kRoot;) {
      const unsigned parent = model.NodeParent[c];
      path[depth++] = static_cast<std::uint8_t>(c - model.NodeChild[parent]);
      c = parent;
    }
    while (depth > 0)
      out.PutBits(path[--depth], 1);
    model.UpdateModel(symbol);
  }

  void PutDistance(unsigned distance) {
    const DistanceCode code = kDistanceCodes[distance >> 6];
    out.PutBits(code.bits, code.length);
    out.PutBits(distance & 0x3F, 6);
  }
};

Lzh1StreamWriter::Lzh1StreamWriter() : coder_(std::make_unique<Coder>()) {}
Lzh1StreamWriter::~Lzh1StreamWriter() = default;

void Lzh1StreamWriter::PutLiteral(std::uint8_t byte) {
  coder_->PutSymbol(byte);
}

void Lzh1StreamWriter::PutMatch(unsigned length, unsigned distance) {
  if (length < kMinMatch || length > kMaxMatch || distance >= kWindowSize) {
    throw std::invalid_argument("LZH1 match out of range");
  }
  coder_->PutSymbol(length + kMatchSymbolBias);
  coder_->PutDistance(distance);
}

std::vector<std::uint8_t> Lzh1StreamWriter::Finish() {
  return coder_->out.Finish();
}

}  // namespace vsk
