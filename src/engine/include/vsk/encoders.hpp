// The compressing direction of the built-in methods: each encoder turns a
// member's data into the stored form that the matching decoder expands back
// exactly. Tools, not the launcher's path.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace vsk {

// Reports how many input bytes are done, from time to time (not per byte).
using EncodeProgress = std::function<void(std::int64_t done, std::int64_t total)>;

std::vector<std::uint8_t> EncodeRLE(std::span<const std::uint8_t> data,
                                    const EncodeProgress& progress = {});
std::vector<std::uint8_t> EncodeLZH1(std::span<const std::uint8_t> data,
                                     const EncodeProgress& progress = {});
std::vector<std::uint8_t> EncodeLH5(std::span<const std::uint8_t> data,
                                    const EncodeProgress& progress = {});

}  // namespace vsk
