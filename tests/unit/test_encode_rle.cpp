// EncodeRLE: the items it chooses (runs only where they save bytes, long
// runs split, runs that reuse the byte the previous item left) and exact
// round trips through DecodeRLE.
#include <gtest/gtest.h>

#include <random>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

Bytes ExpandRle(const Bytes& stored) {
  return ExpandStored(kMethodRLE, stored, 0);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(EncodeRLE, Items) {
  const struct {
    Bytes data;
    Bytes stored;
  } cases[] = {
      {{}, {}},
      {{0x41, 0x41, 0x41}, {0x41, 0x41, 0x41}},  // a run item would save nothing
      {Bytes(4, 0x41), {0x41, 0x94, 0x04}},
      {Bytes(255, 0x41), {0x41, 0x94, 0xFF}},
      // After a run item the decoder repeats 0x94: a new literal first.
      {Bytes(300, 0x41), {0x41, 0x94, 0xFF, 0x41, 0x94, 0x2D}},
      {{0x94}, {0x94, 0x00}},
      {Bytes(4, 0x94), {0x94, 0x00, 0x94, 0x04}},
      // Runs of the marker chain without escapes: each run leaves 0x94.
      {Bytes(600, 0x94), {0x94, 0x00, 0x94, 0xFF, 0x94, 0xFF, 0x94, 0x5C}},
      // A run item at the very start repeats 0x00.
      {Bytes(5, 0x00), {0x94, 0x06}},
      // After a run item, 0x94s need no escape.
      {Concat({Bytes(5, 0x41), Bytes(3, 0x94)}), {0x41, 0x94, 0x05, 0x94, 0x04}},
  };
  for (const auto& c : cases) {
    const Bytes stored = EncodeRLE(c.data);
    EXPECT_EQ(stored, c.stored) << ::testing::PrintToString(c.data);
    EXPECT_EQ(ExpandRle(stored), c.data) << ::testing::PrintToString(c.data);
  }
}

TEST(EncodeRLE, RoundTripsRunsOfEveryLengthAndAnyData) {
  Bytes data;
  for (const std::uint8_t b : {0x00, 0x94, 0x41}) {
    for (std::size_t length = 1; length <= 520; ++length) {
      data.insert(data.end(), length, b);
      data.push_back(0x07);  // separates the runs
    }
  }
  for (int b = 0; b < 256; ++b)
    data.push_back(static_cast<std::uint8_t>(b));
  std::mt19937 random(9);
  for (int i = 0; i < 100000; ++i)
    data.push_back(static_cast<std::uint8_t>(random() % 3 == 0 ? 0x94 : random()));
  EXPECT_EQ(ExpandRle(EncodeRLE(data)), data);
}

TEST(EncodeRLE, ReportsProgressNowAndThen) {
  const Bytes data(1000000, 0x33);
  int calls = 0;
  std::int64_t last = -1;
  EncodeRLE(data, [&](std::int64_t done, std::int64_t total) {
    ++calls;
    EXPECT_EQ(total, 1000000);
    EXPECT_GT(done, last);
    last = done;
  });
  EXPECT_LT(calls, 40);
  EXPECT_EQ(last, 1000000);
}

}  // namespace
}  // namespace vsk::test
