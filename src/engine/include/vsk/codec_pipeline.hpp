// The codec byte pipeline: one run expands the stored bytes of one member.
// Decoders pull stored bytes through ReadCodecByte (8192-byte refills, key
// unscrambling, one progress event and one yield per refill) and push
// expanded bytes through WriteCodecByte (8192-byte output buffer, byte sum,
// output budget). They never touch a stream themselves.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>

#include "vsk/inst_compress.hpp"
#include "vsk/stream.hpp"

namespace vsk {

inline constexpr std::int32_t kCodecBufferSize = 8192;
// Most bytes one member may expand to.
inline constexpr std::int32_t kExpandOutputBudget = 2147483647;

// Percentage of Position within Total, in signed 32-bit arithmetic that
// cannot overflow: above 100000 the total is divided first.
std::int32_t PercentDone(std::int32_t Position, std::int32_t Total);

// Knobs of a run that only tests turn: the output budget and the yield.
struct CodecRunOptions {
  std::int32_t OutputBudget = kExpandOutputBudget;
  std::function<void()> Yield;  // empty: give up the time slice
};

// The state of one run, owned by that run (so a nested run cannot disturb
// another). Buffers live exactly as long as the object.
class CodecState {
 public:
  CodecState(TStream& source, TStream& dest, std::int32_t sourcesize, std::int32_t key,
             bool unscramble, TShowProgressEvent progress, CodecRunOptions options = {});
  CodecState(const CodecState&) = delete;
  CodecState& operator=(const CodecState&) = delete;

  // Next stored byte, unscrambled for keyed members; 0 with InputExhausted
  // set when no byte could be had. May be called again after that.
  std::uint8_t ReadCodecByte() {
    if (in_pos_ < in_end_) [[likely]]
      return TakeInputByte();
    return Refill();
  }

  bool InputExhausted() const noexcept { return input_exhausted_; }

  // Fast path for decoders that read many bytes at a time: hands over every
  // byte of the current chunk that ReadCodecByte would still deliver
  // (already unscrambled) and counts them as delivered. Empty while
  // InputExhausted is set, so a cancelled chunk stays unread exactly as it
  // would through ReadCodecByte. Never refills: when the span is used up,
  // the next byte comes from ReadCodecByte, which refills as usual.
  std::span<const std::uint8_t> TakeBufferedInput() noexcept {
    if (input_exhausted_) return {};
    const auto first = static_cast<std::size_t>(in_pos_);
    const auto count = static_cast<std::size_t>(in_end_ - in_pos_);
    in_pos_ = in_end_;
    return {in_.get() + first, count};
  }

  // Appends one expanded byte. The full buffer goes out when the 8193rd
  // byte arrives, so a buffer exactly full at the end waits for Flush().
  void WriteCodecByte(std::uint8_t Value) {
    if (output_left_ <= 0) [[unlikely]]
      RaiseBudgetExhausted();
    --output_left_;
    if (out_pos_ == kCodecBufferSize) [[unlikely]]
      WriteFullBuffer();
    out_[static_cast<std::size_t>(out_pos_++)] = Value;
    output_sum_ += Value;
  }

  // Same effect as WriteCodecByte for each byte in turn: the same budget
  // failure at the same byte, the same full-buffer writes (with their
  // yields) at the same bytes, the same sum.
  void WriteCodecBytes(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
      if (output_left_ <= 0) [[unlikely]]
        RaiseBudgetExhausted();
      if (out_pos_ == kCodecBufferSize) [[unlikely]]
        WriteFullBuffer();
      const std::size_t room = static_cast<std::size_t>(kCodecBufferSize - out_pos_);
      const std::size_t n = std::min({bytes.size(), room, static_cast<std::size_t>(output_left_)});
      std::uint8_t* to = out_.get() + out_pos_;
      std::memcpy(to, bytes.data(), n);
      output_sum_ += SumBytes(to, n);
      out_pos_ += static_cast<std::int32_t>(n);
      output_left_ -= static_cast<std::int32_t>(n);
      bytes = bytes.subspan(n);
    }
  }

  // Value XOR the current key byte (least significant first); advances the
  // key index.
  std::uint8_t ScrambleByte(std::uint8_t Value) {
    const std::uint8_t result = Value ^ key_bytes_[key_index_];
    key_index_ = (key_index_ + 1) & 3u;
    return result;
  }

  // Writes what the output buffer holds (no yield before this last write).
  void Flush();

  // Wrapping 32-bit sum of every byte passed to WriteCodecByte.
  std::int32_t OutputSum() const noexcept { return static_cast<std::int32_t>(output_sum_); }

  // The byte an RLE run repeats; 0 at the start of every run.
  std::uint8_t RlePrevious = 0;

 private:
  // Chunks are unscrambled as a whole when they arrive (see Refill).
  std::uint8_t TakeInputByte() { return in_[static_cast<std::size_t>(in_pos_++)]; }
  static std::uint32_t SumBytes(const std::uint8_t* bytes, std::size_t count) noexcept;
  std::uint8_t Refill();
  void UnscrambleChunk(std::int32_t count) noexcept;
  void WriteFullBuffer();
  void YieldSlice();
  [[noreturn]] static void RaiseBudgetExhausted();

  TStream& source_;
  TStream& dest_;
  TShowProgressEvent progress_;
  std::function<void()> yield_;
  // Declared out-then-in so the input buffer is released first.
  std::unique_ptr<std::uint8_t[]> out_;
  std::unique_ptr<std::uint8_t[]> in_;
  std::int32_t in_pos_ = 0;
  std::int32_t in_end_ = 0;
  std::int32_t input_left_;
  std::int32_t input_read_ = 0;
  bool input_exhausted_ = false;
  std::int32_t out_pos_ = 0;
  std::uint32_t output_sum_ = 0;
  std::int32_t output_left_;
  bool unscramble_;
  std::uint8_t key_bytes_[4];
  std::uint32_t key_index_ = 0;
};

// Expands `Sourcesize` stored bytes of a member of method 1 (RLE), 2 (LZH1)
// or 4 (LH5) from `Source` into `Dest`. `Sum` receives the byte sum as soon
// as the decoder returns and is left alone when the decoder raises. Any other
// method reads and writes nothing and sets `Sum` to 0.
void RunCodec(TVSInstCompress& Component, TStream& Dest, TStream& Source, std::int32_t Sourcesize,
              std::int32_t Destsize, std::uint8_t Method, std::int32_t& Sum, bool Keyed,
              const CodecRunOptions& options = {});

}  // namespace vsk
