#include "payload_locator.hpp"

#include <algorithm>
#include <memory>

#include "vsk/file_stream.hpp"

namespace vsk::launcher {

namespace {

enum class Verdict { kPassOver, kAccept, kNoPayload };

struct StoredOffset {
  Verdict verdict;
  std::int32_t value;
};

// Judges the four bytes behind a marker found at file offset `marker_at`.
StoredOffset ReadStoredOffset(TStream& file, std::int64_t marker_at, std::int32_t file_size) {
  std::uint8_t bytes[4] = {};
  file.SetPosition(static_cast<std::int32_t>(marker_at + kMarkerTextSize));
  // A marker too close to the end to carry an offset is not accepted.
  if (file.Read(bytes, 4) != 4) return {Verdict::kNoPayload, 0};
  if (bytes[0] == kNoPayloadFlag) return {Verdict::kNoPayload, 0};
  const auto value = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
  if (value >= file_size) return {Verdict::kNoPayload, 0};
  if (value == 0) return {Verdict::kPassOver, 0};
  return {Verdict::kAccept, value};
}

}  // namespace

std::int32_t FindPayloadOffset(const std::string& path, MarkerText marker_text) {
  TFileStream file(path, TFileMode::OpenReadShared);
  const std::int32_t file_size = file.Size();
  auto chunk = std::make_unique<std::uint8_t[]>(kLocatorChunkSize);
  std::int64_t base = 0;
  std::int32_t count = file.Read(chunk.get(), kLocatorChunkSize);
  while (count > kMarkerTextSize) {
    const std::uint8_t* begin = chunk.get();
    const std::uint8_t* end = begin + count;
    const std::uint8_t* found = std::search(begin, end, marker_text.begin(), marker_text.end());
    if (found != end) {
      const StoredOffset stored = ReadStoredOffset(file, base + (found - begin), file_size);
      if (stored.verdict == Verdict::kNoPayload) return 0;
      if (stored.verdict == Verdict::kAccept) return stored.value;
    }
    // Overlap by the marker's length so a marker across the border is whole
    // in the next chunk.
    base += count - kMarkerTextSize;
    file.SetPosition(static_cast<std::int32_t>(base));
    count = file.Read(chunk.get(), kLocatorChunkSize);
  }
  return 0;
}

}  // namespace vsk::launcher
