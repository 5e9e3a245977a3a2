// The codec byte pipeline: refills, progress, cancel, scrambling, the output
// buffer's write boundaries, the output budget and release on every path.
// RLE literals (stored byte = expanded byte) make the stored stream easy to
// reason about.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "live_buffers.hpp"
#include "test_streams.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/inst_compress.hpp"

namespace vsk::test {
namespace {

// `n` literal bytes that contain no RLE marker.
Bytes Literals(std::size_t n) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<std::uint8_t>(i % 0x90);
  return out;
}

struct RunRecord {
  Bytes output;
  std::int32_t sum = -777;  // untouched marker
  std::vector<std::int32_t> progress;
  std::vector<std::int32_t> read_requests;
  std::vector<std::int32_t> write_sizes;
  std::vector<std::string> events;  // "yield" and "write N" in order
};

struct RunSetup {
  std::int32_t key = 0;
  bool keyed = false;
  bool with_progress = false;
  std::int32_t max_read = 0x7FFFFFFF;
  std::int32_t budget = kExpandOutputBudget;
  std::int64_t write_capacity = INT64_MAX;
  std::function<void(std::int32_t&)> progress_answer;
};

// Runs an RLE member of `stored` bytes through RunCodec, recording what
// happens; exceptions propagate with `run` filled so far.
void RunRle(const Bytes& stored, const RunSetup& setup, RunRecord& run,
            std::optional<std::int32_t> sourcesize = std::nullopt) {
  TVSInstCompress component;
  component.Key = setup.key;
  if (setup.with_progress) {
    component.OnShowProgress = [&](std::int32_t& p) {
      run.progress.push_back(p);
      if (setup.progress_answer) setup.progress_answer(p);
    };
  }
  ProbeStream source(stored);
  source.max_read = setup.max_read;
  ProbeStream dest;
  dest.write_capacity = setup.write_capacity;
  dest.on_write = [&](std::int32_t n) { run.events.push_back("write " + std::to_string(n)); };
  CodecRunOptions options;
  options.OutputBudget = setup.budget;
  options.Yield = [&] { run.events.push_back("yield"); };
  const std::int32_t size = sourcesize.value_or(static_cast<std::int32_t>(stored.size()));
  struct Collect {
    RunRecord& run;
    ProbeStream& source;
    ProbeStream& dest;
    ~Collect() {
      run.output = dest.Memory();
      run.read_requests = source.read_requests;
      run.write_sizes = dest.write_sizes;
    }
  } collect{run, source, dest};
  RunCodec(component, dest, source, size, 0, kMethodRLE, run.sum, setup.keyed, options);
}

TEST(PercentDone, SwitchesFormAbove100000) {
  EXPECT_EQ(PercentDone(8192, 50000), 16);
  EXPECT_EQ(PercentDone(50000, 50000), 100);
  EXPECT_EQ(PercentDone(100000, 100000), 100);
  EXPECT_EQ(PercentDone(8192, 366840), 2);  // 8192 div 3668
  EXPECT_EQ(PercentDone(366840, 366840), 100);
  EXPECT_EQ(PercentDone(2147483647, 2147483647), 100);
}

TEST(Pipeline, ProgressOncePerRefill) {
  const struct {
    std::size_t size;
    std::vector<std::int32_t> head;
    std::vector<std::int32_t> tail;
    std::size_t events;
  } cases[] = {
      {50000, {16, 32, 49, 65, 81, 98, 100}, {}, 7},
      {366840, {2, 4, 6, 8, 11, 13}, {96, 98, 100}, 45},
  };
  for (const auto& c : cases) {
    RunRecord run;
    RunRle(Literals(c.size), {.with_progress = true}, run);
    ASSERT_EQ(run.progress.size(), c.events);
    EXPECT_TRUE(std::equal(c.head.begin(), c.head.end(), run.progress.begin()));
    EXPECT_TRUE(std::equal(c.tail.rbegin(), c.tail.rend(), run.progress.rbegin()));
    EXPECT_EQ(run.output, Literals(c.size));
  }
}

TEST(Pipeline, NoProgressWithoutAHandlerAndNoReadForAnEmptyMember) {
  RunRecord run;
  RunRle({}, {.with_progress = true}, run);
  EXPECT_TRUE(run.read_requests.empty());
  EXPECT_TRUE(run.progress.empty());
  EXPECT_TRUE(run.write_sizes.empty());
  EXPECT_EQ(run.sum, 0);
}

TEST(Pipeline, NegativeStoredSizeReadsNothing) {
  RunRecord run;
  RunRle(Literals(10), {}, run, /*sourcesize=*/-5);
  EXPECT_TRUE(run.read_requests.empty());
  EXPECT_TRUE(run.output.empty());
  EXPECT_EQ(run.sum, 0);
}

TEST(Pipeline, ShortReadsAreNoErrorAndTheNextRefillAsksAgain) {
  RunRecord run;
  RunRle(Literals(250), {.max_read = 100}, run);
  EXPECT_EQ(run.read_requests, (std::vector<std::int32_t>{250, 150, 50}));
  EXPECT_EQ(run.output, Literals(250));
}

TEST(Pipeline, ReadsNeverPastTheMembersStoredBytes) {
  RunRecord run;
  Bytes stored = Literals(9000);
  RunRle(stored, {}, run, 8500);
  EXPECT_EQ(run.read_requests, (std::vector<std::int32_t>{8192, 308}));
  EXPECT_EQ(run.output, Bytes(stored.begin(), stored.begin() + 8500));
}

TEST(Pipeline, FullBufferGoesOutWhenTheNextByteArrives) {
  RunRecord exact;
  RunRle(Literals(8192), {}, exact);
  EXPECT_EQ(exact.events, (std::vector<std::string>{"yield", "write 8192"}));
  RunRecord one_more;
  RunRle(Literals(8193), {}, one_more);
  // refill, refill of the last byte, yield + write on the 8193rd byte, final write
  EXPECT_EQ(one_more.events,
            (std::vector<std::string>{"yield", "yield", "yield", "write 8192", "write 1"}));
  EXPECT_EQ(one_more.sum, ByteSum(Literals(8193)));
}

TEST(Pipeline, KeyedBytesAreUnscrambledLeastSignificantByteFirst) {
  const std::int32_t key = 0x11223344;
  const Bytes plain = ToBytes("ABCDEFGHIJ");
  Bytes stored = plain;
  stored[0] ^= 0x44;
  stored[3] ^= 0x11;
  stored[4] ^= 0x44;
  stored[1] ^= 0x33;
  stored[2] ^= 0x22;
  stored[5] ^= 0x33;
  stored[6] ^= 0x22;
  stored[7] ^= 0x11;
  stored[8] ^= 0x44;
  stored[9] ^= 0x33;
  RunRecord keyed;
  RunRle(stored, {.key = key, .keyed = true, .max_read = 3}, keyed);  // index runs across refills
  EXPECT_EQ(keyed.output, plain);
  RunRecord not_keyed;
  RunRle(stored, {.key = key, .keyed = false}, not_keyed);
  EXPECT_EQ(not_keyed.output, stored);
  RunRecord no_key;
  RunRle(stored, {.key = 0, .keyed = true}, no_key);
  EXPECT_EQ(no_key.output, stored);
}

TEST(Pipeline, ChecksumIsOfExpandedBytes) {
  RunRecord run;
  RunRle(Scramble(EncodeRleForTest(Bytes(600, 0xFF)), -1), {.key = -1, .keyed = true}, run);
  EXPECT_EQ(run.output, Bytes(600, 0xFF));
  EXPECT_EQ(run.sum, 600 * 255);
}

TEST(Pipeline, CancelReportsEndOfInputForThatRefill) {
  RunRecord run;
  RunRle(Literals(20000),
         {.with_progress = true, .progress_answer = [](std::int32_t& p) { p = -1; }}, run);
  EXPECT_EQ(run.progress.size(), 1u);
  EXPECT_TRUE(run.output.empty());
  EXPECT_EQ(run.events, std::vector<std::string>{});  // no yield after a cancelled refill
}

TEST(CodecState, AfterCancelTheChunkIsStillDeliveredWhileExhaustedStaysSet) {
  ProbeStream source(ToBytes("xyz"));
  TMemoryStream dest;
  int calls = 0;
  CodecState state(source, dest, 3, 0, false, [&](std::int32_t& p) {
    if (++calls == 1) p = -1;
  });
  EXPECT_EQ(state.ReadCodecByte(), 0);
  EXPECT_TRUE(state.InputExhausted());
  EXPECT_EQ(state.ReadCodecByte(), 'x');
  EXPECT_TRUE(state.InputExhausted());
  EXPECT_EQ(state.ReadCodecByte(), 'y');
  EXPECT_EQ(state.ReadCodecByte(), 'z');
  EXPECT_EQ(state.ReadCodecByte(), 0);  // input used up: no further call to the source
  EXPECT_TRUE(state.InputExhausted());
  EXPECT_EQ(source.read_requests.size(), 1u);
  EXPECT_EQ(calls, 1);
}

TEST(CodecState, TruncatedSourceIsAskedAgainOnEveryCall) {
  ProbeStream source(ToBytes("ab"));
  TMemoryStream dest;
  CodecState state(source, dest, 10, 0, false, nullptr);
  EXPECT_EQ(state.ReadCodecByte(), 'a');
  EXPECT_FALSE(state.InputExhausted());
  EXPECT_EQ(state.ReadCodecByte(), 'b');
  EXPECT_EQ(state.ReadCodecByte(), 0);
  EXPECT_TRUE(state.InputExhausted());
  EXPECT_EQ(state.ReadCodecByte(), 0);
  EXPECT_EQ(source.read_requests, (std::vector<std::int32_t>{10, 8, 8}));
}

TEST(Pipeline, FailureDropsBufferedOutputKeepsSumAndReleasesBuffers) {
  RunRecord run;
  const Bytes stored = EncodeRleForTest(Bytes(12000, 'r'));
  EXPECT_THROW(RunRle(stored, {.budget = 10000}, run), EUnableToCompress);
  EXPECT_EQ(run.output, Bytes(8192, 'r'));
  EXPECT_EQ(run.sum, -777);
  EXPECT_EQ(LiveCodecBuffers(), 0);
}

TEST(Pipeline, BudgetAllowsExactlyItsBytes) {
  RunRecord run;
  RunRle(EncodeRleForTest(Bytes(10000, 'r')), {.budget = 10000}, run);
  EXPECT_EQ(run.output.size(), 10000u);
  EXPECT_EQ(kExpandOutputBudget, 2147483647);
}

TEST(Pipeline, FailingFinalWriteHasSetSumAlready) {
  RunRecord run;
  EXPECT_THROW(RunRle(Literals(100), {.write_capacity = 50}, run), EWriteError);
  EXPECT_EQ(run.sum, ByteSum(Literals(100)));
  EXPECT_EQ(run.output.size(), 50u);
  EXPECT_EQ(LiveCodecBuffers(), 0);
}

TEST(Pipeline, HandlerExceptionPassesThroughAndBuffersAreReleased) {
  RunRecord run;
  const RunSetup setup{.with_progress = true,
                       .progress_answer = [](std::int32_t&) { throw std::runtime_error("stop"); }};
  EXPECT_THROW(RunRle(Literals(10), setup, run), std::runtime_error);
  EXPECT_EQ(run.sum, -777);
  EXPECT_EQ(LiveCodecBuffers(), 0);
}

TEST(Pipeline, MethodsWithoutDecoderReadAndWriteNothing) {
  TVSInstCompress component;
  ProbeStream source(Literals(10));
  ProbeStream dest;
  std::int32_t sum = 5;
  RunCodec(component, dest, source, 10, 10, 7, sum, false);
  EXPECT_EQ(sum, 0);
  EXPECT_TRUE(source.read_requests.empty());
  EXPECT_TRUE(dest.write_sizes.empty());
}

}  // namespace
}  // namespace vsk::test
