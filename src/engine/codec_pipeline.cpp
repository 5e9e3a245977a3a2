#include "vsk/codec_pipeline.hpp"

#include <algorithm>
#include <utility>

#include "vsk/archive_format.hpp"
#include "vsk/decoders.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/yield.hpp"

namespace vsk {

std::int32_t PercentDone(std::int32_t Position, std::int32_t Total) {
  if (Total <= 100000) return (Position * 100) / Total;
  return Position / (Total / 100);
}

CodecState::CodecState(TStream& source, TStream& dest, std::int32_t sourcesize, std::int32_t key,
                       bool unscramble, TShowProgressEvent progress, CodecRunOptions options)
    : source_(source),
      dest_(dest),
      progress_(std::move(progress)),
      yield_(std::move(options.Yield)),
      out_(std::make_unique_for_overwrite<std::uint8_t[]>(kCodecBufferSize)),
      in_(std::make_unique_for_overwrite<std::uint8_t[]>(kCodecBufferSize)),
      // A negative stored size reads nothing: the input counts as used up.
      input_left_(std::max(sourcesize, 0)),
      output_left_(options.OutputBudget),
      unscramble_(unscramble && key != 0) {
  const auto k = static_cast<std::uint32_t>(key);
  for (std::uint32_t i = 0; i < 4; ++i)
    key_bytes_[i] = static_cast<std::uint8_t>(k >> (8 * i));
}

void CodecState::YieldSlice() {
  if (yield_) {
    yield_();
  } else {
    YieldTimeSlice();
  }
}

std::uint8_t CodecState::Refill() {
  input_exhausted_ = true;
  if (input_left_ == 0) return 0;
  const std::int32_t wanted = std::min(kCodecBufferSize, input_left_);
  // Trust no stream to stay within what was asked.
  const std::int32_t n = std::clamp(source_.Read(in_.get(), wanted), 0, wanted);
  input_left_ -= n;
  if (n == 0) return 0;
  // A refill happens only once every byte of the previous chunk has been
  // delivered, so unscrambling the whole chunk now gives each byte the same
  // key byte as unscrambling it on delivery would.
  if (unscramble_) UnscrambleChunk(n);
  in_pos_ = 0;
  in_end_ = n;
  if (progress_) {
    input_read_ += n;
    std::int32_t percentage = PercentDone(input_read_, input_read_ + input_left_);
    progress_(percentage);
    // Cancelled: report the end of input for this refill; the chunk stays
    // available and InputExhausted stays set until the next good refill.
    if (percentage == -1) return 0;
  }
  YieldSlice();
  input_exhausted_ = false;
  return TakeInputByte();
}

void CodecState::UnscrambleChunk(std::int32_t count) noexcept {
  std::uint8_t* bytes = in_.get();
  for (std::int32_t i = 0; i < count; ++i)
    bytes[i] = ScrambleByte(bytes[i]);
}

std::uint32_t CodecState::SumBytes(const std::uint8_t* bytes, std::size_t count) noexcept {
  // Eight bytes at a time: the even and the odd bytes of a word are added
  // into four 16-bit lanes, which cannot overflow within 128 words
  // (128 x 2 x 255 < 65536); then the lanes are folded into the total.
  constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
  std::uint32_t sum = 0;
  while (count >= 8) {
    const std::size_t words = std::min<std::size_t>(count / 8, 128);
    std::uint64_t lanes = 0;
    for (std::size_t i = 0; i < words; ++i) {
      std::uint64_t word;
      std::memcpy(&word, bytes + 8 * i, sizeof word);
      lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
    }
    lanes = (lanes & 0x0000FFFF0000FFFFull) + ((lanes >> 16) & 0x0000FFFF0000FFFFull);
    sum += static_cast<std::uint32_t>(lanes) + static_cast<std::uint32_t>(lanes >> 32);
    bytes += 8 * words;
    count -= 8 * words;
  }
  for (std::size_t i = 0; i < count; ++i)
    sum += bytes[i];
  return sum;
}

void CodecState::WriteFullBuffer() {
  YieldSlice();
  dest_.WriteBuffer(out_.get(), kCodecBufferSize);
  out_pos_ = 0;
}

void CodecState::Flush() {
  if (out_pos_ > 0) dest_.WriteBuffer(out_.get(), out_pos_);
  out_pos_ = 0;
}

void CodecState::RaiseBudgetExhausted() {
  throw EUnableToCompress();
}

void RunCodec(TVSInstCompress& Component, TStream& Dest, TStream& Source, std::int32_t Sourcesize,
              std::int32_t Destsize, std::uint8_t Method, std::int32_t& Sum, bool Keyed,
              const CodecRunOptions& options) {
  if (Method != kMethodRLE && Method != kMethodLZH1 && Method != kMethodLH5) {
    Sum = 0;
    return;
  }
  // The state releases both buffers on every way out of the run.
  CodecState state(Source, Dest, Sourcesize, Component.Key, Keyed, Component.OnShowProgress,
                   options);
  switch (Method) {
    case kMethodRLE:
      DecodeRLE(state);
      break;
    case kMethodLZH1:
      DecodeLZH1(state, Destsize);
      break;
    default:
      DecodeLH5(state, Destsize);
      break;
  }
  Sum = state.OutputSum();
  state.Flush();
}

}  // namespace vsk
