// EncodeLZH1: every kind of data comes back exactly through DecodeLZH1, the
// window's far edge is used but never crossed, and progress is occasional.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

Bytes ExpandLzh1(const Bytes& stored, std::size_t size) {
  return ExpandStored(kMethodLZH1, stored, static_cast<std::int32_t>(size));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts)
    out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes RepetitiveText(std::size_t lines) {
  Bytes out;
  for (std::size_t i = 0; i < lines; ++i) {
    const Bytes line = ToBytes("line " + std::to_string(i % 97) + ": the quick brown fox, " +
                               std::to_string(i * 31 % 13) + " lazy dogs\n");
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

Bytes AllByteValues() {
  Bytes out;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b)
      out.push_back(static_cast<std::uint8_t>(round == 1 ? 255 - b : b));
  }
  return out;
}

TEST(EncodeLZH1, RoundTrips) {
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"empty", {}},
      {"one byte", {0x42}},
      {"two bytes", {0x00, 0xFF}},
      {"text", RepetitiveText(3000)},
      {"binary", RandomBytes(20000, 3)},
      {"all byte values", AllByteValues()},
      {"long run", Bytes(100000, 'a')},
      {"leading spaces", Concat({Bytes(5000, ' '), ToBytes("x")})},
      // Over 100000 symbols, mostly literals: several rescales of the model.
      {"past the rescales", Concat({RandomBytes(120000, 4), RepetitiveText(500)})},
  };
  for (const auto& c : cases) {
    const Bytes stored = EncodeLZH1(c.data);
    EXPECT_EQ(ExpandLzh1(stored, c.data.size()), c.data) << c.what;
  }
}

TEST(EncodeLZH1, CompressesRepetitiveData) {
  const Bytes text = RepetitiveText(3000);
  EXPECT_LT(EncodeLZH1(text).size(), text.size() / 4);
  EXPECT_LT(EncodeLZH1(Bytes(100000, 0)).size(), 3000u);
}

TEST(EncodeLZH1, UsesTheWholeWindowButNeverMore) {
  // A random block repeated at a distance of exactly 4096 compresses to
  // about one block; at 4097 it cannot be reached and must still round trip.
  const Bytes block = RandomBytes(4096, 5);
  const Bytes within = Concat({block, block});
  const Bytes within_stored = EncodeLZH1(within);
  EXPECT_LT(within_stored.size(), block.size() + block.size() / 8);
  EXPECT_EQ(ExpandLzh1(within_stored, within.size()), within);

  const Bytes longer = RandomBytes(4097, 6);
  const Bytes beyond = Concat({longer, longer});
  EXPECT_EQ(ExpandLzh1(EncodeLZH1(beyond), beyond.size()), beyond);
}

TEST(EncodeLZH1, ReportsProgressNowAndThen) {
  const Bytes data = RandomBytes(300000, 8);
  std::vector<std::int64_t> done;
  EncodeLZH1(data, [&](std::int64_t d, std::int64_t total) {
    EXPECT_EQ(total, 300000);
    done.push_back(d);
  });
  ASSERT_FALSE(done.empty());
  EXPECT_LT(done.size(), 20u);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(done.back(), 300000);
}

}  // namespace
}  // namespace vsk::test
