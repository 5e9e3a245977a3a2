// A stream over a growable byte vector: fixtures, tests, in-memory archives.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "vsk/stream.hpp"

namespace vsk {

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::span<const std::uint8_t> bytes) : data_(bytes.begin(), bytes.end()) {}

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int32_t Seek(std::int32_t offset, TSeekOrigin origin) override;
  std::int32_t Size() override { return static_cast<std::int32_t>(data_.size()); }

  const std::vector<std::uint8_t>& Memory() const { return data_; }
  void Clear();

 private:
  std::vector<std::uint8_t> data_;
  std::int32_t position_ = 0;
};

}  // namespace vsk
