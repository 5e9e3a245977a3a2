#include "vsk/stream.hpp"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>

#include "vsk/exceptions.hpp"

namespace vsk {

namespace {
// Copy chunk of CopyFrom: bounded, so no member is ever held whole.
constexpr std::int32_t kCopyChunk = 61440;
}  // namespace

std::int32_t ClampSeekTarget(std::int64_t base, std::int32_t offset) {
  const std::int64_t target = base + offset;
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(target, 0, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t TStream::Size() {
  const std::int32_t here = Position();
  const std::int32_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(here, TSeekOrigin::soBeginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError();
}

std::int32_t TStream::CopyFrom(TStream& source, std::int32_t count) {
  if (count <= 0) return 0;
  const auto chunk = std::min(count, kCopyChunk);
  auto buffer = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(chunk));
  std::int32_t left = count;
  while (left > 0) {
    const std::int32_t n = std::min(left, chunk);
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    left -= n;
  }
  return count;
}

}  // namespace vsk
