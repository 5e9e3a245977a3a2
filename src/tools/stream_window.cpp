#include "stream_window.hpp"

#include <algorithm>

namespace vsk::tools {

std::int32_t TStreamWindow::Read(void* buffer, std::int32_t count) {
  const std::int32_t n = std::min(count, length_ - position_);
  if (n <= 0) return 0;
  base_.SetPosition(offset_ + position_);
  const std::int32_t got = std::clamp(base_.Read(buffer, n), 0, n);
  position_ += got;
  return got;
}

std::int32_t TStreamWindow::Seek(std::int32_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = length_;
  position_ = ClampSeekTarget(base, offset);
  return position_;
}

}  // namespace vsk::tools
