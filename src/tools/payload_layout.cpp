#include "payload_layout.hpp"

#include <algorithm>
#include <memory>

#include "payload_locator.hpp"
#include "vsk/file_stream.hpp"

namespace vsk::tools {

namespace {

constexpr std::int32_t kScanChunk = 1 << 16;
constexpr auto kMarkerSize = static_cast<std::int32_t>(kMarkerText.size());

std::optional<std::int32_t> ReadInt32At(TStream& file, std::int64_t at) {
  if (at < 0 || at > file.Size() - 4) return std::nullopt;
  std::uint8_t b[4];
  file.SetPosition(static_cast<std::int32_t>(at));
  if (file.Read(b, 4) != 4) return std::nullopt;
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
      static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

}  // namespace

std::vector<std::int64_t> FindMarkerPositions(TStream& file) {
  std::vector<std::int64_t> found;
  auto chunk = std::make_unique<std::uint8_t[]>(kScanChunk);
  std::int64_t base = 0;
  file.SetPosition(0);
  std::int32_t count = file.Read(chunk.get(), kScanChunk);
  while (count >= kMarkerSize) {
    const std::uint8_t* begin = chunk.get();
    const std::uint8_t* end = begin + count;
    for (const std::uint8_t* at = begin;
         (at = std::search(at, end, kMarkerText.begin(), kMarkerText.end())) != end; ++at) {
      const std::int64_t position = base + (at - begin);
      // Chunks overlap by the marker's length less one: a copy is seen once.
      if (found.empty() || found.back() < position) found.push_back(position);
    }
    if (count < kScanChunk) break;
    base += count - (kMarkerSize - 1);
    file.SetPosition(static_cast<std::int32_t>(base));
    count = file.Read(chunk.get(), kScanChunk);
  }
  return found;
}

PayloadLayout InspectPayload(const std::string& path) {
  PayloadLayout layout;
  layout.located_offset = launcher::FindPayloadOffset(path, kMarkerText);
  TFileStream file(path, TFileMode::OpenReadShared);
  layout.file_size = file.Size();
  layout.marker_positions = FindMarkerPositions(file);
  if (!layout.marker_positions.empty()) {
    const std::int64_t behind = layout.marker_positions.front() + kMarkerSize;
    if (behind + 4 <= layout.file_size) {
      std::array<std::uint8_t, 4> bytes{};
      file.SetPosition(static_cast<std::int32_t>(behind));
      file.Read(bytes.data(), 4);
      layout.stored_bytes = bytes;
    }
  }
  std::int64_t at = layout.located_offset;
  while (layout.located_offset > 0 && layout.blocks.size() < 2) {
    const auto length = ReadInt32At(file, at);
    if (!length) break;
    PayloadBlockInfo block{at, *length, *length >= 0 && at + 4 + *length <= layout.file_size};
    layout.blocks.push_back(block);
    if (!block.complete) break;
    at += 4 + static_cast<std::int64_t>(*length);
  }
  return layout;
}

}  // namespace vsk::tools
