// vskarc's payload inspection and stamp checks on a launcher image made from
// the input: [2-byte length of the image][image][first archive].
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli_options.hpp"
#include "commands.hpp"
#include "fuzz_support.hpp"
#include "vsk/exceptions.hpp"

namespace {

void RunQuietly(int (*command)(const vsk::tools::ParsedArgs&), const vsk::tools::ParsedArgs& args) {
  try {
    command(args);
  } catch (const vsk::Exception&) {
  } catch (const vsk::tools::ToolError&) {
  } catch (const vsk::tools::UsageError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string image = vsk::fuzz::ScratchPath("setup.exe");
  static const std::string first = vsk::fuzz::ScratchPath("first.vsk");
  static const std::string out = vsk::fuzz::ScratchPath("stamped.exe");
  // The listings go nowhere; libFuzzer reports on standard error.
  static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
  (void)quiet;
  vsk::fuzz::InputReader input({data, size});
  const std::size_t image_size = input.Byte() | static_cast<std::size_t>(input.Byte()) << 8;
  vsk::fuzz::WriteFileBytes(image, input.Take(image_size));
  vsk::fuzz::WriteFileBytes(first, input.Rest());

  vsk::tools::ParsedArgs payload;
  payload.positional = {image};
  RunQuietly(vsk::tools::RunPayload, payload);

  vsk::tools::ParsedArgs stamp;
  stamp.positional = {image, first, first};
  stamp.values["output"] = out;
  RunQuietly(vsk::tools::RunStamp, stamp);
  payload.positional = {out};
  RunQuietly(vsk::tools::RunPayload, payload);
  std::remove(out.c_str());
  return 0;
}
