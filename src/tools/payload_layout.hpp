// Where the payload lies in a setup file: the marker, the stored offset and
// the chain of length-prefixed blocks behind it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vsk/stream.hpp"

namespace vsk::tools {

inline constexpr std::array<std::uint8_t, 8> kMarkerText = {'V', 'S', 'K', '_', 'S', 'I', 'Z', 'E'};

struct PayloadBlockInfo {
  std::int64_t offset = 0;  // of the 4-byte length field
  std::int32_t length = 0;  // archive bytes behind the length field
  bool complete = false;    // all of them lie inside the file
};

struct PayloadLayout {
  std::int64_t file_size = 0;
  std::vector<std::int64_t> marker_positions;               // every copy of the marker text
  std::optional<std::array<std::uint8_t, 4>> stored_bytes;  // behind the first copy
  std::int32_t located_offset = 0;       // what the launcher's scan finds (0 or less: no payload)
  std::vector<PayloadBlockInfo> blocks;  // the first and the second block, as far as present
};

// Every offset at which the marker text starts, scanning in bounded chunks.
std::vector<std::int64_t> FindMarkerPositions(TStream& file);

// Reads the layout of the setup file at `path`.
PayloadLayout InspectPayload(const std::string& path);

}  // namespace vsk::tools
