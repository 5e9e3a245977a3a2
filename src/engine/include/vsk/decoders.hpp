// The built-in decoders. Each reads stored bytes only through the pipeline's
// ReadCodecByte/InputExhausted and writes only through WriteCodecByte.
#pragma once

#include <cstdint>

#include "vsk/codec_pipeline.hpp"

namespace vsk {

inline constexpr std::uint8_t RleMarker = 0x94;

// Run-length items until the stored bytes are used up; ignores sizes.
void DecodeRLE(CodecState& state);
// Adaptive-Huffman LZ (method "LZH") until Destsize bytes are produced.
void DecodeLZH1(CodecState& state, std::int32_t Destsize);
// Block-Huffman LZ (method "LH5") until Destsize bytes are produced.
void DecodeLH5(CodecState& state, std::int32_t Destsize);

}  // namespace vsk
