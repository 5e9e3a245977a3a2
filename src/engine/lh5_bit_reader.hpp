// The LH5 bit reader: most significant bit first, over the codec pipeline.
//
// The method's reader holds a 16-bit look-ahead (PeekBits) plus the unread
// rest of the last byte taken (PendingByte), and takes a byte from the
// pipeline only when a ConsumeBits leaves fewer than 16 bits buffered. Once
// the pipeline reports InputExhausted it supplies zero bytes without asking
// again. These readers keep up to 64 bits instead, left-aligned: the top 16
// are PeekBits, the rest play the part of PendingByte.
//
// Buffering more than the method does is invisible as long as the extra
// bytes come from the chunk the pipeline already holds: only a refill (a
// source read, a progress event, a yield) can be seen from outside. So bytes
// of the current chunk are taken freely (TakeBufferedInput), and a byte that
// needs a refill is asked for through ReadCodecByte exactly when the method's
// reader would ask for it: when a ConsumeBits would otherwise leave fewer than
// 16 bits.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "vsk/codec_pipeline.hpp"

namespace vsk::lh5 {

// Bits buffered from the bytes of the pipeline's current chunk.
struct BitBuffer {
  std::uint64_t bits = 0;  // the earliest bit in bit 63
  unsigned count = 0;      // meaningful bits at the top of `bits`, 0 to 63
  // Bytes of the chunk not yet in `bits`.
  const std::uint8_t* next = nullptr;
  const std::uint8_t* end = nullptr;
};

// The fast path: a copy of the buffer, kept in registers by the decoding
// loop and handed back to the Lh5BitReader when the loop ends.
class FastBitCursor {
 public:
  explicit FastBitCursor(const BitBuffer& buffer) noexcept : b_(buffer) {}
  const BitBuffer& Buffer() const noexcept { return b_; }

  // When the chunk holds at least 8 unread bytes, tops the buffer up to 56
  // bits or more from it and returns true. It takes at most 7 of those bytes,
  // so at least one stays in the chunk: until the next Refill a caller may
  // consume up to 56 bits, and no byte the method would take meanwhile can
  // need a pipeline refill.
  bool Refill() noexcept {
    if (b_.end - b_.next < 8) return false;
    // Bytes 0-7 land behind the buffered bits. Whatever falls below the new
    // count is the start of bytes not yet counted, which the next refill ORs
    // in again with the same values, so it never needs clearing.
    b_.bits |= LoadBigEndian64(b_.next) >> b_.count;
    const unsigned taken = (63 - b_.count) >> 3;
    b_.next += taken;
    b_.count += 8 * taken;
    return true;
  }

  std::uint64_t Bits() const noexcept { return b_.bits; }
  // n must not exceed the bits buffered.
  void ConsumeBits(unsigned n) noexcept {
    b_.bits <<= n;
    b_.count -= n;
  }
  // The next n bits (0 to 16) as a number, then consumed.
  std::uint32_t TakeBits(unsigned n) noexcept {
    const auto value = static_cast<std::uint32_t>(b_.bits >> 48) >> (16 - n);
    ConsumeBits(n);
    return value;
  }

 private:
  static std::uint64_t LoadBigEndian64(const std::uint8_t* bytes) noexcept {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap64(value);
    return value;
  }

  BitBuffer b_;
};

// The method's exact reader. Between calls PeekBits always holds 16 bits
// (after Prime).
class Lh5BitReader {
 public:
  explicit Lh5BitReader(CodecState& state) noexcept : state_(state) {}

  // The priming ConsumeBits(16) of a decoding: fills the look-ahead.
  void Prime() { Fill(16); }

  // The next 16 unread bits, the earliest in bit 15.
  std::uint32_t PeekBits() const noexcept { return static_cast<std::uint32_t>(b_.bits >> 48); }
  // The same bits from bit 63 down (more may follow below them).
  std::uint64_t Bits() const noexcept { return b_.bits; }

  // Drops n bits (n may exceed 16, as the 7-escape of a code length needs)
  // and keeps the 16-bit look-ahead full, fetching from the pipeline only
  // what that needs.
  void ConsumeBits(unsigned n) {
    Fill(n + 16);
    b_.bits <<= n;
    b_.count -= n;
  }

  // The next n bits (0 to 16) as a number, then consumed.
  std::uint32_t TakeBits(unsigned n) {
    const std::uint32_t value = PeekBits() >> (16 - n);
    ConsumeBits(n);
    return value;
  }

  // A fast cursor over what this reader holds, or nothing when the chunk in
  // hand is too short for one (see FastBitCursor::Refill).
  bool StartFast(FastBitCursor& cursor) const noexcept {
    cursor = FastBitCursor(b_);
    return cursor.Refill();
  }

  // Takes the cursor's state back. A fast step may leave fewer than 16 bits
  // buffered, but then the chunk still holds the bytes that make them up, so
  // restoring the look-ahead cannot refill.
  void FinishFast(const FastBitCursor& cursor) {
    b_ = cursor.Buffer();
    Fill(16);
  }

 private:
  void Fill(unsigned wanted) {
    while (b_.count < wanted)
      FetchByte();
  }

  // One more byte behind the buffered bits: from the chunk in hand, as a 0
  // once the input is exhausted, otherwise through ReadCodecByte, which
  // refills (its 0 on a failed or cancelled refill is that zero byte).
  void FetchByte() {
    std::uint8_t byte = 0;
    if (b_.next != b_.end) {
      byte = *b_.next++;
    } else if (!state_.InputExhausted()) {
      byte = state_.ReadCodecByte();
      const auto rest = state_.TakeBufferedInput();
      b_.next = rest.data();
      b_.end = b_.next + rest.size();
    }
    b_.bits |= static_cast<std::uint64_t>(byte) << (56 - b_.count);
    b_.count += 8;
  }

  CodecState& state_;
  BitBuffer b_;
};

}  // namespace vsk::lh5
