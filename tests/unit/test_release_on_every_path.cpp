// Whatever a member's bytes are and however its expansion ends, the engine
// gives back every block it took from the heap.
#include <gtest/gtest.h>

#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "live_buffers.hpp"
#include "test_streams.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/exceptions.hpp"

namespace vsk::test {
namespace {

struct Case {
  const char* name;
  const char* raises;  // the exception class the run ends with, "" for none
  std::uint8_t method;
  Bytes stored;
  std::int32_t destsize;
  std::int64_t write_capacity = INT64_MAX;
  std::int32_t budget = kExpandOutputBudget;
  bool cancel = false;
};

// Runs one case and puts the class of what it raised, if anything, into
// `raised` (whose room the caller reserved, so that it allocates nothing).
void RunCase(const Case& c, std::string& raised) {
  TVSInstCompress component;
  if (c.cancel) component.OnShowProgress = [](std::int32_t& p) { p = -1; };
  ProbeStream source(c.stored);
  ProbeStream dest;
  dest.write_capacity = c.write_capacity;
  CodecRunOptions options;
  options.OutputBudget = c.budget;
  std::int32_t sum = 0;
  try {
    RunCodec(component, dest, source, static_cast<std::int32_t>(c.stored.size()), c.destsize,
             c.method, sum, false, options);
  } catch (const Exception& e) {
    raised = e.ClassName();
  }
}

TEST(ReleaseOnEveryPath, CodecRunsGiveBackEveryBlock) {
  const Bytes text = RandomBytes(3000, 1);
  Bytes data;
  for (int i = 0; i < 40; ++i)
    data.insert(data.end(), text.begin(), text.begin() + 700);
  const auto size = static_cast<std::int32_t>(data.size());
  const Bytes lh5 = EncodeLH5(data);
  const Bytes lzh1 = EncodeLZH1(data);
  Bytes lh5_cut(lh5.begin(), lh5.begin() + 100);
  Bytes garbage = RandomBytes(500, 7);
  garbage[0] = garbage[1] = 0xFF;  // a block header that cannot describe a complete code
  const Case cases[] = {
      {"lh5", "", kMethodLH5, lh5, size},
      {"lh5 refused table", "ELZHBadDecodeTable", kMethodLH5, garbage, size},
      {"lh5 truncated", "", kMethodLH5, lh5_cut, size},
      {"lh5 cancelled", "", kMethodLH5, lh5, size, INT64_MAX, kExpandOutputBudget, true},
      {"lh5 write error", "EWriteError", kMethodLH5, lh5, size, 10000},
      {"lh5 budget", "EUnableToCompress", kMethodLH5, lh5, size, INT64_MAX, 20000},
      {"lzh1", "", kMethodLZH1, lzh1, size},
      {"lzh1 truncated", "", kMethodLZH1, Bytes(lzh1.begin(), lzh1.begin() + 50), size},
      {"lzh1 write error", "EWriteError", kMethodLZH1, lzh1, size, 10000},
      {"rle budget", "EUnableToCompress", kMethodRLE, EncodeRLE(Bytes(50000, 'r')), 0, INT64_MAX,
       20000},
  };
  for (const Case& c : cases) {
    std::string raised;
    raised.reserve(64);
    const long before = LiveAllocations();
    RunCase(c, raised);
    EXPECT_EQ(LiveAllocations(), before) << c.name;
    EXPECT_EQ(raised, c.raises) << c.name;
  }
}

}  // namespace
}  // namespace vsk::test
