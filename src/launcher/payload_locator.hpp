// Finds the payload behind the launcher's image: the first copy of the
// marker text in the file, and the 32-bit offset stored right behind it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace vsk::launcher {

inline constexpr std::int32_t kMarkerTextSize = 8;
inline constexpr std::int32_t kPayloadMarkerSize = 12;
inline constexpr std::int32_t kLocatorChunkSize = 16384;
// A stored offset whose first byte is this marks a launcher without payload.
inline constexpr std::uint8_t kNoPayloadFlag = 'X';

using MarkerText = std::span<const std::uint8_t, kMarkerTextSize>;

// Scans `path` in 16384-byte chunks that overlap by the marker's length.
// Returns the stored offset of the first accepted copy of `marker_text`
// (greater than 0), 0 for no payload, or a negative stored offset unchanged.
// Raises EFOpenError when the file cannot be opened.
std::int32_t FindPayloadOffset(const std::string& path, MarkerText marker_text);

}  // namespace vsk::launcher
