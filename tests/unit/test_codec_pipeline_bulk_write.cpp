// WriteCodecBytes, the bulk form of WriteCodecByte: the same full-buffer
// writes and yields at the same bytes, the same sum, the same budget failure.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "test_streams.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/exceptions.hpp"

namespace vsk::test {
namespace {

struct WriteRecord {
  std::vector<std::string> events;  // "yield" and "write N" in order
  Bytes written;
  std::optional<std::int32_t> sum;  // empty when the writes raised
  bool budget_exhausted = false;
};

// Writes `pieces` (sizes of consecutive slices of a byte pattern) one byte
// at a time or one slice at a time, then flushes.
WriteRecord Write(const std::vector<std::size_t>& pieces, std::int32_t budget, bool bulk) {
  WriteRecord record;
  ProbeStream source;
  ProbeStream dest;
  dest.on_write = [&](std::int32_t n) { record.events.push_back("write " + std::to_string(n)); };
  CodecRunOptions options;
  options.OutputBudget = budget;
  options.Yield = [&] { record.events.push_back("yield"); };
  CodecState state(source, dest, 0, 0, false, nullptr, options);
  std::size_t total = 0;
  for (const std::size_t n : pieces)
    total += n;
  Bytes data(total);
  for (std::size_t i = 0; i < total; ++i)
    data[i] = static_cast<std::uint8_t>(255 - i % 251);
  try {
    std::size_t at = 0;
    for (const std::size_t n : pieces) {
      const std::span<const std::uint8_t> piece(data.data() + at, n);
      if (bulk) {
        state.WriteCodecBytes(piece);
      } else {
        for (const std::uint8_t b : piece)
          state.WriteCodecByte(b);
      }
      at += n;
    }
    record.sum = state.OutputSum();
    state.Flush();
  } catch (const EUnableToCompress&) {
    record.budget_exhausted = true;
  }
  record.written = dest.Memory();
  return record;
}

TEST(CodecStateBulkWrite, BehavesLikeOneWriteCodecBytePerByte) {
  const struct {
    std::vector<std::size_t> pieces;
    std::int32_t budget;
    bool raises = false;
  } cases[] = {
      {{0, 1, 8191, 0, 1, 8192, 3}, kExpandOutputBudget},
      {{8192}, kExpandOutputBudget},
      {{20000, 5000}, kExpandOutputBudget},
      {{100, 20000}, 16384, true},  // the budget ends on a buffer boundary
      {{100, 20000}, 16385, true},  // one byte past it: that byte forces a write
      {{9000, 1}, 9000, true},
  };
  for (const auto& c : cases) {
    const WriteRecord bytewise = Write(c.pieces, c.budget, false);
    const WriteRecord bulk = Write(c.pieces, c.budget, true);
    EXPECT_EQ(bulk.events, bytewise.events);
    EXPECT_EQ(bulk.written, bytewise.written);
    EXPECT_EQ(bulk.sum, bytewise.sum);
    EXPECT_EQ(bytewise.budget_exhausted, c.raises);
    EXPECT_EQ(bulk.budget_exhausted, c.raises);
  }
}

}  // namespace
}  // namespace vsk::test
