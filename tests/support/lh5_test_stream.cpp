#include "lh5_test_stream.hpp"

#include <algorithm>
#include <stdexcept>

namespace vsk::test {

namespace {
constexpr std::size_t kWindowSize = 8192;
constexpr unsigned kMatchLengthBias = 253;

// Offset symbol j and its j - 1 extra bits.
struct OffsetCode {
  unsigned symbol = 0;
  unsigned extra = 0;
  unsigned extra_bits = 0;
};

OffsetCode SplitOffset(unsigned offset) {
  if (offset == 0) return {};
  unsigned j = 1;
  while ((offset >> j) != 0)
    ++j;
  return {j, offset - (1u << (j - 1)), j - 1};
}
}  // namespace

void Lh5BitWriter::Bits(std::uint32_t value, unsigned width) {
  for (unsigned i = width; i-- > 0;) {
    if (bit_count_ % 8 == 0) bytes_.push_back(0);
    if (((value >> i) & 1) != 0)
      bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80u >> (bit_count_ % 8)));
    ++bit_count_;
  }
}

void Lh5BitWriter::SmallLength(unsigned length) {
  if (length < 7) {
    Bits(length, 3);
    return;
  }
  Bits(7, 3);
  for (unsigned i = 7; i < length; ++i)
    Bits(1, 1);
  Bits(0, 1);
}

CanonicalCode::CanonicalCode(std::vector<std::uint8_t> lengths)
    : lengths_(std::move(lengths)), codewords_(lengths_.size()) {
  std::uint32_t next = 0;  // left-aligned in 16 bits
  for (unsigned len = 1; len <= 16; ++len) {
    for (std::size_t s = 0; s < lengths_.size(); ++s) {
      if (lengths_[s] != len) continue;
      codewords_[s] = next >> (16 - len);
      next += 1u << (16 - len);
    }
  }
}

void CanonicalCode::Put(Lh5BitWriter& out, unsigned symbol) const {
  if (symbol >= lengths_.size() || lengths_[symbol] == 0)
    throw std::logic_error("symbol without a codeword");
  out.Bits(codewords_[symbol], lengths_[symbol]);
}

Lh5Token Literal(std::uint8_t byte) {
  return {byte, 0};
}

Lh5Token Match(unsigned length, unsigned offset) {
  return {length + kMatchLengthBias, offset};
}

Bytes ExpandTokens(std::span<const Lh5Token> tokens) {
  Bytes window(kWindowSize, 0x20);
  Bytes out;
  std::size_t pos = 0;
  auto put = [&](std::uint8_t b) {
    window[pos] = b;
    pos = (pos + 1) % kWindowSize;
    out.push_back(b);
  };
  for (const Lh5Token& t : tokens) {
    if (t.Symbol < 256) {
      put(static_cast<std::uint8_t>(t.Symbol));
      continue;
    }
    const std::size_t from = (pos + kWindowSize - t.Offset - 1) % kWindowSize;
    for (unsigned k = 0; k < t.Symbol - kMatchLengthBias; ++k)
      put(window[(from + k) % kWindowSize]);
  }
  return out;
}

void PutSmallLengths(Lh5BitWriter& out, unsigned nbit, std::span<const std::uint8_t> lengths,
                     std::optional<unsigned> zero_run, std::optional<unsigned> count) {
  out.Bits(count.value_or(static_cast<unsigned>(lengths.size())), nbit);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    out.SmallLength(lengths[i]);
    if (i == 2 && zero_run) out.Bits(*zero_run, 2);
  }
}

void PutSingleSymbol(Lh5BitWriter& out, unsigned nbit, unsigned symbol) {
  out.Bits(0, nbit);
  out.Bits(symbol, nbit);
}

void PutLengthItem(Lh5BitWriter& out, const CanonicalCode& items, unsigned item, unsigned run) {
  items.Put(out, item);
  if (item == 1) out.Bits(run - 3, 4);
  if (item == 2) out.Bits(run - 20, 9);
}

void PutSymbolLengths(Lh5BitWriter& out, const CanonicalCode& items,
                      std::span<const std::uint8_t> lengths, std::optional<unsigned> count) {
  std::size_t n = lengths.size();
  while (n > 0 && lengths[n - 1] == 0)
    --n;
  out.Bits(count.value_or(static_cast<unsigned>(n)), 9);
  std::size_t i = 0;
  while (i < n) {
    if (lengths[i] != 0) {
      PutLengthItem(out, items, lengths[i] + 2u);
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (i + run < n && lengths[i + run] == 0)
      ++run;
    i += run;
    while (run > 0) {
      if (run >= 20) {
        const auto part = static_cast<unsigned>(std::min<std::size_t>(run, 531));
        PutLengthItem(out, items, 2, part);
        run -= part;
      } else if (run >= 3) {
        const auto part = static_cast<unsigned>(std::min<std::size_t>(run, 18));
        PutLengthItem(out, items, 1, part);
        run -= part;
      } else {
        PutLengthItem(out, items, 0);
        --run;
      }
    }
  }
}

std::vector<std::uint8_t> AllItemsLengths() {
  std::vector<std::uint8_t> lengths(19, 4);
  std::fill(lengths.begin() + 13, lengths.end(), 5);
  return lengths;
}

std::vector<std::uint8_t> IdentityLiteralLengths() {
  return std::vector<std::uint8_t>(256, 8);
}

void PutBlock(Lh5BitWriter& out, const Lh5Block& block) {
  out.Bits(block.size_field.value_or(static_cast<std::uint32_t>(block.tokens.size())), 16);
  const CanonicalCode items(block.items.lengths);
  if (block.items.single) {
    PutSingleSymbol(out, 5, *block.items.single);
  } else {
    PutSmallLengths(out, 5, block.items.lengths, 0u);
  }
  if (block.symbols.single) {
    PutSingleSymbol(out, 9, *block.symbols.single);
  } else {
    PutSymbolLengths(out, items, block.symbols.lengths);
  }
  if (block.offsets.single) {
    PutSingleSymbol(out, 4, *block.offsets.single);
  } else {
    PutSmallLengths(out, 4, block.offsets.lengths);
  }
  PutTokens(out, block, block.tokens);
}

void PutTokens(Lh5BitWriter& out, const Lh5Block& block, std::span<const Lh5Token> tokens) {
  const CanonicalCode symbols(block.symbols.lengths);
  const CanonicalCode offsets(block.offsets.lengths);
  for (const Lh5Token& t : tokens) {
    if (block.symbols.single) {
      if (t.Symbol != *block.symbols.single) throw std::logic_error("token outside the code");
    } else {
      symbols.Put(out, t.Symbol);
    }
    if (t.Symbol < 256) continue;
    const OffsetCode offset = SplitOffset(t.Offset);
    if (block.offsets.single) {
      if (offset.symbol != *block.offsets.single) throw std::logic_error("offset outside the code");
    } else {
      offsets.Put(out, offset.symbol);
    }
    out.Bits(offset.extra, offset.extra_bits);
  }
}

}  // namespace vsk::test
