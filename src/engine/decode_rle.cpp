#include "vsk/decoders.hpp"

namespace vsk {

void DecodeRLE(CodecState& state) {
  for (;;) {
    const std::uint8_t b = state.ReadCodecByte();
    if (state.InputExhausted()) return;
    if (b != RleMarker) {
      state.WriteCodecByte(b);
    } else {
      // The count is not checked for exhaustion: a lone trailing marker reads
      // as count 0 and yields the marker byte itself.
      const std::uint8_t n = state.ReadCodecByte();
      if (n == 0) {
        state.WriteCodecByte(RleMarker);
      } else {
        for (int i = 1; i < n; ++i)
          state.WriteCodecByte(state.RlePrevious);
      }
    }
    state.RlePrevious = b;
  }
}

}  // namespace vsk
