#include "vsk/memory_stream.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vsk {

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  const auto size = static_cast<std::int32_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  const std::int32_t n = std::min(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::int32_t room = std::numeric_limits<std::int32_t>::max() - position_;
  const std::int32_t n = std::min(count, room);
  const auto end = static_cast<std::size_t>(position_) + static_cast<std::size_t>(n);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int32_t TMemoryStream::Seek(std::int32_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
  position_ = ClampSeekTarget(base, offset);
  return position_;
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

}  // namespace vsk
