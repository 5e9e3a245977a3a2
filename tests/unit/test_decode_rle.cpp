// DecodeRLE: literals, escaped markers, runs of the previous item's byte.
#include <gtest/gtest.h>

#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

Bytes DecodeRle(const Bytes& stored) {
  std::int32_t sum = 0;
  Bytes out = ExpandStored(kMethodRLE, stored, 0, &sum);
  EXPECT_EQ(sum, ByteSum(out));
  return out;
}

Bytes Repeat(std::size_t n, std::uint8_t b) {
  return Bytes(n, b);
}

// `first` bytes a, then `second` bytes b.
Bytes TwoRuns(std::size_t first, std::uint8_t a, std::size_t second, std::uint8_t b) {
  Bytes out(first, a);
  out.resize(first + second, b);
  return out;
}

TEST(DecodeRLE, Items) {
  const struct {
    Bytes stored;
    Bytes expanded;
  } cases[] = {
      {{}, {}},
      {{0x41, 0x94, 0x05}, Repeat(5, 0x41)},
      {{0x41, 0x94, 0x01}, {0x41}},
      {{0x41, 0x94, 0x00}, {0x41, 0x94}},
      {{0x94, 0x03}, {0x00, 0x00}},  // a run at the start repeats 0x00
      {{0x41, 0x94, 0x05, 0x94, 0x03}, TwoRuns(5, 0x41, 2, 0x94)},
      {{0x94, 0x00, 0x94, 0x04}, Repeat(4, 0x94)},
      {{0x41, 0x94}, {0x41, 0x94}},  // a lone trailing marker counts as 0
      {{0x41, 0x94, 0xFF, 0x41, 0x94, 0x2D}, Repeat(300, 0x41)},
      {{0x00, 0x94, 0xFF}, Repeat(255, 0x00)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeRle(c.stored), c.expanded) << ::testing::PrintToString(c.stored);
  }
}

TEST(DecodeRLE, RoundTripsEveryByteValueAndLongRuns) {
  Bytes data;
  for (int b = 0; b < 256; ++b) {
    data.insert(data.end(), static_cast<std::size_t>(b % 7 + 1), static_cast<std::uint8_t>(b));
  }
  data.insert(data.end(), 1000, 0x94);
  data.insert(data.end(), 70000, 'z');  // many refills of input and output
  EXPECT_EQ(DecodeRle(EncodeRleForTest(data)), data);
}

}  // namespace
}  // namespace vsk::test
