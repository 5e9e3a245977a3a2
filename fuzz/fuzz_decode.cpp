// One decoder through RunCodec on raw stored bytes (FUZZ_METHOD selects it):
// expanded size, key and progress cancelling come from the input.
#include <cstdint>

#include "fuzz_support.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/memory_stream.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vsk::fuzz::InputReader input({data, size});
  const std::uint8_t config = input.Byte();
  // Capped so that one run stays short: at most 64 KiB of output, still
  // several windows' worth. Short input decodes as zero bits up to Destsize.
  const auto destsize = static_cast<std::int32_t>(input.Word32() & 0xFFFF);
  const auto key = static_cast<std::int32_t>(input.Word32());
  vsk::TVSInstCompress component;
  component.Key = key;
  int calls = 0;
  if ((config & 0x02) != 0) {
    component.OnShowProgress = [&calls, config](std::int32_t& percentage) {
      if (((config >> 4) & (1 << (calls++ & 3))) != 0) percentage = -1;
    };
  }
  const auto stored = input.Rest();
  vsk::TMemoryStream source(stored);
  vsk::fuzz::CappedSink dest(1 << 17);
  std::int32_t sum = 0;
  try {
    vsk::RunCodec(component, dest, source, static_cast<std::int32_t>(stored.size()), destsize,
                  FUZZ_METHOD, sum, (config & 0x01) != 0);
  } catch (const vsk::Exception&) {
  }
  return 0;
}
