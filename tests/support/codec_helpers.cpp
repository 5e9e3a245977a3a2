#include "codec_helpers.hpp"

#include <random>

#include "vsk/codec_pipeline.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes)
    b = static_cast<std::uint8_t>(random());
  return bytes;
}

Bytes ExpandStored(std::uint8_t method, const Bytes& stored, std::int32_t destsize,
                   std::int32_t* sum) {
  TVSInstCompress component;
  TMemoryStream source(stored);
  TMemoryStream dest;
  std::int32_t run_sum = 0;
  RunCodec(component, dest, source, static_cast<std::int32_t>(stored.size()), destsize, method,
           run_sum, false);
  if (sum != nullptr) *sum = run_sum;
  return dest.Memory();
}

}  // namespace vsk::test
