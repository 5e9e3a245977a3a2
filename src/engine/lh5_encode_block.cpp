#include "lh5_encode_block.hpp"

#include <array>
#include <cassert>

namespace vsk::lh5_encode {

namespace {

constexpr unsigned kBlockSizeBits = 16;
constexpr unsigned kSymbolCountBits = 9;
constexpr unsigned kLengthCodeCountBits = 5;
constexpr unsigned kOffsetCountBits = 4;
// The code-length code carries a 2-bit run of absent lengths (0-3) right
// after its third length.
constexpr std::size_t kLengthCodeZeroRunAt = 3;
constexpr std::size_t kLengthCodeZeroRunMax = 3;
constexpr unsigned kShortRunBits = 4;  // item 1: 3-18 absent symbols
constexpr unsigned kLongRunBits = 9;   // item 2: 20-531 absent symbols
constexpr std::size_t kShortRunMin = 3;
constexpr std::size_t kShortRunMax = 18;
constexpr std::size_t kLongRunMin = 20;
constexpr std::uint8_t kLengthItemBase = 2;  // item = length + 2

void AppendAbsentRun(std::vector<LengthItem>& items, std::size_t run) {
  if (run < kShortRunMin) {
    items.insert(items.end(), run, LengthItem{0, 0});
  } else if (run <= kShortRunMax) {
    items.push_back({1, static_cast<std::uint16_t>(run - kShortRunMin)});
  } else if (run < kLongRunMin) {
    // 19 fits neither run item: one single absent symbol, then 18.
    items.push_back({0, 0});
    items.push_back({1, static_cast<std::uint16_t>(run - 1 - kShortRunMin)});
  } else {
    items.push_back({2, static_cast<std::uint16_t>(run - kLongRunMin)});
  }
}

// The symbol code's lengths up to its last used symbol, as length items.
// Runs never pass that symbol, so they stay below 510 < 531.
std::vector<LengthItem> SymbolLengthItems(const PrefixCode& symbol) {
  std::vector<LengthItem> items;
  const std::size_t sent = symbol.SentLengths();
  for (std::size_t i = 0; i < sent;) {
    if (symbol.lengths[i] != 0) {
      items.push_back({static_cast<std::uint8_t>(symbol.lengths[i] + kLengthItemBase), 0});
      ++i;
      continue;
    }
    std::size_t run = 0;
    while (symbol.lengths[i + run] == 0)
      ++run;
    AppendAbsentRun(items, run);
    i += run;
  }
  return items;
}

unsigned RunFieldBits(std::uint8_t item) {
  return item == 1 ? kShortRunBits : item == 2 ? kLongRunBits : 0;
}

// A small-code length: 0-6 in three bits; 7 and more as 111, then one 1 bit
// per step above 7, then a 0 bit.
template <class Sink>
void PutSmallLength(Sink& out, std::uint8_t length) {
  if (length < 7) {
    out.Put(length, 3);
    return;
  }
  const unsigned ones = length - 7u;
  out.Put(7, 3);
  out.Put(((1u << ones) - 1) << 1, ones + 1);
}

// Count field, then the lengths; a degenerate code is a zero count and its
// one symbol.
template <class Sink>
void PutSmallCode(Sink& out, const PrefixCode& code, unsigned count_bits, bool zero_run_field) {
  if (code.degenerate) {
    out.Put(0, count_bits);
    out.Put(code.single, count_bits);
    return;
  }
  const std::size_t sent = code.SentLengths();
  out.Put(static_cast<std::uint32_t>(sent), count_bits);
  for (std::size_t i = 0; i < sent;) {
    PutSmallLength(out, code.lengths[i]);
    ++i;
    if (zero_run_field && i == kLengthCodeZeroRunAt) {
      std::size_t run = 0;
      while (run < kLengthCodeZeroRunMax && i + run < sent && code.lengths[i + run] == 0)
        ++run;
      out.Put(static_cast<std::uint32_t>(run), 2);
      i += run;
    }
  }
}

template <class Sink>
void PutSymbolCode(Sink& out, const BlockCodes& codes) {
  if (codes.symbol.degenerate) {
    // The code-length code is read but never used: send it degenerate too.
    PutSmallCode(out, PrefixCode{}, kLengthCodeCountBits, true);
    out.Put(0, kSymbolCountBits);
    out.Put(codes.symbol.single, kSymbolCountBits);
    return;
  }
  PutSmallCode(out, codes.length_code, kLengthCodeCountBits, true);
  out.Put(static_cast<std::uint32_t>(codes.symbol.SentLengths()), kSymbolCountBits);
  for (const LengthItem& item : codes.symbol_lengths) {
    out.Put(codes.length_code.codewords[item.item], codes.length_code.lengths[item.item]);
    out.Put(item.run_field, RunFieldBits(item.item));
  }
}

// `item_count` may exceed the field while a block's size is only weighed.
template <class Sink>
void PutHeader(Sink& out, std::size_t item_count, const BlockCodes& codes) {
  out.Put(static_cast<std::uint32_t>(item_count), kBlockSizeBits);
  PutSymbolCode(out, codes);
  PutSmallCode(out, codes.offset, kOffsetCountBits, false);
}

std::size_t ItemCount(const ItemHistogram& histogram) {
  std::size_t count = 0;
  for (const std::uint32_t c : histogram.symbols)
    count += c;
  return count;
}

}  // namespace

BlockCodes PlanBlockCodes(const ItemHistogram& histogram, SingleSymbolCode single) {
  BlockCodes codes;
  codes.symbol = BuildPrefixCode(histogram.symbols, kMaxCodeLength);
  if (codes.symbol.degenerate && single == SingleSymbolCode::kAvoided) {
    // A neighbour keeps the length list short.
    const std::size_t only = codes.symbol.single;
    std::array<std::uint32_t, kSymbolCount> with_partner = histogram.symbols;
    with_partner[only + 1 < kSymbolCount ? only + 1 : only - 1] = 1;
    codes.symbol = BuildPrefixCode(with_partner, kMaxCodeLength);
  }
  codes.offset = BuildPrefixCode(histogram.offsets, kMaxCodeLength);
  if (!codes.symbol.degenerate) {
    codes.symbol_lengths = SymbolLengthItems(codes.symbol);
    std::array<std::uint32_t, kLengthCodeCount> item_counts{};
    for (const LengthItem& item : codes.symbol_lengths)
      ++item_counts[item.item];
    codes.length_code = BuildPrefixCode(item_counts, kMaxCodeLength);
  }
  return codes;
}

std::uint64_t BlockBits(const ItemHistogram& histogram) {
  const BlockCodes codes = PlanBlockCodes(histogram);
  BitCounter counter;
  PutHeader(counter, ItemCount(histogram), codes);
  std::uint64_t bits = counter.bits();
  for (std::size_t s = 0; s < kSymbolCount; ++s)
    bits += std::uint64_t{histogram.symbols[s]} * codes.symbol.lengths[s];
  for (unsigned slot = 0; slot < kOffsetSlotCount; ++slot)
    bits += std::uint64_t{histogram.offsets[slot]} *
            (codes.offset.lengths[slot] + OffsetExtraBits(slot));
  return bits;
}

void WriteBlock(BitWriter& out, std::span<const LzItem> items, SingleSymbolCode single) {
  ItemHistogram histogram;
  for (const LzItem item : items)
    histogram.Add(item);
  assert(!items.empty() && items.size() <= kMaxBlockSymbols);
  const BlockCodes codes = PlanBlockCodes(histogram, single);
  PutHeader(out, items.size(), codes);
  for (const LzItem item : items) {
    out.Put(codes.symbol.codewords[item.symbol], codes.symbol.lengths[item.symbol]);
    if (!item.IsMatch()) continue;
    const unsigned slot = OffsetSlot(item.offset);
    out.Put(codes.offset.codewords[slot], codes.offset.lengths[slot]);
    const unsigned extra = OffsetExtraBits(slot);
    out.Put(item.offset, extra);  // Put keeps the low bits: the slot's top bit is implied
  }
}

}  // namespace vsk::lh5_encode
