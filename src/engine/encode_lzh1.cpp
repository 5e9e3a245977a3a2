#include "vsk/encoders.hpp"

namespace vsk {

// Not built yet.
std::vector<std::uint8_t> EncodeLZH1(std::span<const std::uint8_t> /*data*/,
                                     const EncodeProgress& /*progress*/) {
  return {};
}

}  // namespace vsk
