#include <stdexcept>

#include "vsk/encoders.hpp"

namespace vsk {

// Placeholder until the encoder is built.
std::vector<std::uint8_t> EncodeLZH1(std::span<const std::uint8_t> /*data*/,
                                     const EncodeProgress& /*progress*/) {
  throw std::logic_error("the LZH1 encoder is not built yet");
}

}  // namespace vsk
