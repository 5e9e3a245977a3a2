// The shape of an LH5 stream as its writer sees it: the alphabets, the
// window, and how a match splits into a length symbol and an offset slot
// with extra bits. Private to the LH5 encoder.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace vsk::lh5_encode {

inline constexpr std::uint32_t kWindowSize = 8192;  // largest match distance
inline constexpr std::uint32_t kMinMatch = 3;
inline constexpr std::uint32_t kMaxMatch = 256;
inline constexpr std::uint32_t kLiteralCount = 256;
// Literals 0-255, then match lengths 3-256 as symbols 256-509.
inline constexpr std::size_t kSymbolCount = 510;
inline constexpr std::size_t kOffsetSlotCount = 14;
// The code that codes the symbol code's lengths (items 0-18).
inline constexpr std::size_t kLengthCodeCount = 19;
inline constexpr unsigned kMaxCodeLength = 16;
// The block-size field is 16 bits; 0 would mean 65536, which we never send.
inline constexpr std::size_t kMaxBlockSymbols = 65535;

// One coded item of the stream: a literal (symbol below 256) or a match
// (symbol 256 + length - 3) whose offset is its distance minus 1.
struct LzItem {
  std::uint16_t symbol;
  std::uint16_t offset;

  static LzItem Literal(std::uint8_t byte) { return {byte, 0}; }
  static LzItem Match(std::uint32_t length, std::uint32_t distance) {
    return {static_cast<std::uint16_t>(kLiteralCount + length - kMinMatch),
            static_cast<std::uint16_t>(distance - 1)};
  }
  bool IsMatch() const { return symbol >= kLiteralCount; }
  std::uint32_t Length() const {
    return IsMatch() ? std::uint32_t{symbol} - kLiteralCount + kMinMatch : 1;
  }
};

// Offset 0 is slot 0; offset v >= 1 is slot bit_width(v), sent as the slot's
// codeword followed by the low slot - 1 bits of v.
inline unsigned OffsetSlot(std::uint32_t offset) {
  return static_cast<unsigned>(std::bit_width(offset));
}
inline unsigned OffsetExtraBits(unsigned slot) {
  return slot > 1 ? slot - 1 : 0;
}

// How often each symbol and offset slot occurs in a run of items.
struct ItemHistogram {
  std::array<std::uint32_t, kSymbolCount> symbols{};
  std::array<std::uint32_t, kOffsetSlotCount> offsets{};

  void Add(LzItem item) {
    ++symbols[item.symbol];
    if (item.IsMatch()) ++offsets[OffsetSlot(item.offset)];
  }
  void Remove(LzItem item) {
    --symbols[item.symbol];
    if (item.IsMatch()) --offsets[OffsetSlot(item.offset)];
  }
};

}  // namespace vsk::lh5_encode
