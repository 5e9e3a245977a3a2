// Just enough of the LHA container to exchange method data with Debian's
// LHA tools: wrap a compressed stream in a level-0 archive, and take the
// first member's compressed stream out of an archive with a level 0, 1 or 2
// header. Test peers only; the product never reads or writes LHA files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vsk::test {

// CRC-16 as LHA computes it (polynomial 0xA001, reflected, initial 0).
std::uint16_t LhaCrc16(std::span<const std::uint8_t> data);

// A one-member level-0 archive: `method` is "-lh5-" or "-lh1-" (or "-lh0-"),
// `original` the expanded bytes (for sizes and CRC), `packed` the stream.
std::vector<std::uint8_t> WrapLhaLevel0(std::string_view method, std::string_view name,
                                        std::span<const std::uint8_t> original,
                                        std::span<const std::uint8_t> packed);

struct LhaMember {
  std::string method;  // "-lh5-" etc.
  std::uint32_t original_size = 0;
  std::vector<std::uint8_t> packed;
};

// The first member of an LHA archive, or nothing when the header is not
// understood.
std::optional<LhaMember> FirstLhaMember(std::span<const std::uint8_t> archive);

}  // namespace vsk::test
