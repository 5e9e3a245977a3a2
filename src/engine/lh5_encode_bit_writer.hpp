// Bit sinks for the LH5 writer: fields go out most significant bit first,
// and bytes are filled from their top bit. BitCounter measures what a
// BitWriter would write, so block sizes can be weighed without writing.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace vsk::lh5_encode {

class BitWriter {
 public:
  // Appends the low `count` bits of `value` (count at most 32).
  void Put(std::uint32_t value, unsigned count) {
    accumulator_ = (accumulator_ << count) | (value & LowMask(count));
    pending_ += count;
    while (pending_ >= 8) {
      pending_ -= 8;
      bytes_.push_back(static_cast<std::uint8_t>(accumulator_ >> pending_));
    }
  }

  // The bytes written, the last one padded with zero bits.
  std::vector<std::uint8_t> Finish() {
    if (pending_ > 0) Put(0, 8 - pending_);
    return std::move(bytes_);
  }

  void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }

 private:
  static std::uint64_t LowMask(unsigned count) { return (std::uint64_t{1} << count) - 1; }

  std::vector<std::uint8_t> bytes_;
  // Only the low `pending_` bits (fewer than 8 between calls) are unwritten;
  // older bits above them are already out and shift away harmlessly.
  std::uint64_t accumulator_ = 0;
  unsigned pending_ = 0;
};

class BitCounter {
 public:
  void Put(std::uint32_t /*value*/, unsigned count) { bits_ += count; }
  std::uint64_t bits() const { return bits_; }

 private:
  std::uint64_t bits_ = 0;
};

}  // namespace vsk::lh5_encode
