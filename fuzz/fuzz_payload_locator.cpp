// FindPayloadOffset over a file made from the input; inputs run past the
// 16384-byte chunk borders (use -max_len of 40000 or more).
#include <cstdint>

#include "fuzz_support.hpp"
#include "payload_locator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = vsk::fuzz::ScratchPath("locator.exe");
  static constexpr std::uint8_t kMarkerText[8] = {'V', 'S', 'K', '_', 'S', 'I', 'Z', 'E'};
  vsk::fuzz::WriteFileBytes(path, {data, size});
  const std::int32_t offset = vsk::launcher::FindPayloadOffset(path, kMarkerText);
  // An accepted offset always lies inside the file.
  if (offset > 0 && static_cast<std::size_t>(offset) >= size) __builtin_trap();
  return 0;
}
