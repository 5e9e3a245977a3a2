// Pieces shared by the fuzz targets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "vsk/stream.hpp"

namespace vsk::fuzz {

// Takes up to `capacity` bytes and refuses the rest, so that a member
// claiming gigabytes ends with "Stream write error" instead of eating memory
// and time.
class CappedSink final : public TStream {
 public:
  explicit CappedSink(std::int32_t capacity) : capacity_(capacity) {}
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void*, std::int32_t count) override {
    const std::int32_t n = count < capacity_ - written_ ? count : capacity_ - written_;
    written_ += n > 0 ? n : 0;
    return n > 0 ? n : 0;
  }
  std::int32_t Seek(std::int32_t, TSeekOrigin) override { return written_; }

 private:
  std::int32_t capacity_;
  std::int32_t written_ = 0;
};

// Reads fields off the front of the fuzzer's input.
class InputReader {
 public:
  explicit InputReader(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint8_t Byte() {
    if (data_.empty()) return 0;
    const std::uint8_t b = data_.front();
    data_ = data_.subspan(1);
    return b;
  }
  std::uint32_t Word32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  std::span<const std::uint8_t> Take(std::size_t n) {
    const auto part = data_.first(n < data_.size() ? n : data_.size());
    data_ = data_.subspan(part.size());
    return part;
  }
  std::span<const std::uint8_t> Rest() const { return data_; }

 private:
  std::span<const std::uint8_t> data_;
};

// A scratch file for targets whose entry point takes a path: one per process.
std::string ScratchPath(const char* name);
void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vsk::fuzz
