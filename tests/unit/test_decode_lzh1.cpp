// DecodeLZH1: the window, distances and whole matches on hand-made streams,
// how far it reads, and that no input (truncated or garbage) makes it fail
// or overrun. The Huffman model itself is checked against lhasa in the peer
// tests.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "test_streams.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/lzh1_stream.hpp"

namespace vsk::test {
namespace {

struct Lzh1Run {
  Bytes output;
  std::int32_t sum = 0;
  std::vector<std::int32_t> read_requests;
};

Lzh1Run RunLzh1(const Bytes& stored, std::int32_t destsize, std::int32_t max_read = 0x7FFFFFFF) {
  TVSInstCompress component;
  ProbeStream source(stored);
  source.max_read = max_read;
  TMemoryStream dest;
  Lzh1Run run;
  RunCodec(component, dest, source, static_cast<std::int32_t>(stored.size()), destsize, kMethodLZH1,
           run.sum, false);
  run.output = dest.Memory();
  run.read_requests = source.read_requests;
  return run;
}

Bytes Expand(const Bytes& stored, std::int32_t destsize) {
  Lzh1Run run = RunLzh1(stored, destsize);
  EXPECT_EQ(run.sum, ByteSum(run.output));
  return run.output;
}

using Symbols = std::function<void(Lzh1StreamWriter&)>;

Bytes Stream(const Symbols& symbols) {
  Lzh1StreamWriter writer;
  symbols(writer);
  return writer.Finish();
}

Bytes Text(std::string_view text) {
  return ToBytes(text);
}

TEST(DecodeLZH1, HandMadeStreams) {
  const Bytes pattern = RandomBytes(4096, 7);
  const struct {
    const char* what;
    Symbols symbols;
    std::int32_t destsize;
    Bytes expanded;
  } cases[] = {
      {"a first match copies the spaces the window starts with", [](auto& w) { w.PutMatch(3, 0); },
       3, Text("   ")},
      {"distance below length repeats the last distance + 1 bytes",
       [](auto& w) {
         w.PutLiteral('a');
         w.PutLiteral('b');
         w.PutMatch(6, 1);
       },
       8, Text("abababab")},
      {"the last match is copied whole past Destsize",
       [](auto& w) {
         w.PutLiteral('a');
         w.PutLiteral('b');
         w.PutMatch(6, 1);
       },
       5, Text("abababab")},
      {"positions 4036-4095 start as spaces too", [](auto& w) { w.PutMatch(60, 4095); }, 60,
       Bytes(60, ' ')},
      {"part of the unwritten window after a literal",
       [](auto& w) {
         w.PutLiteral('x');
         w.PutMatch(4, 4095);
       },
       5, Text("x    ")},
      {"distance 4095 reaches the byte written 4096 bytes before",
       [&](auto& w) {
         for (const auto b : pattern)
           w.PutLiteral(b);
         w.PutMatch(3, 4095);
       },
       4099,
       [&] {
         Bytes out = pattern;
         out.insert(out.end(), pattern.begin(), pattern.begin() + 3);
         return out;
       }()},
      {"the longest match",
       [](auto& w) {
         w.PutLiteral('q');
         w.PutMatch(60, 0);
       },
       61, Bytes(61, 'q')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Expand(Stream(c.symbols), c.destsize), c.expanded) << c.what;
  }
}

TEST(DecodeLZH1, NoReadForNothingToProduce) {
  const Bytes stored = Stream([](auto& w) { w.PutLiteral('z'); });
  for (const std::int32_t destsize : {0, -1, -2147483647 - 1}) {
    const Lzh1Run run = RunLzh1(stored, destsize);
    EXPECT_TRUE(run.read_requests.empty()) << destsize;
    EXPECT_TRUE(run.output.empty()) << destsize;
    EXPECT_EQ(run.sum, 0);
  }
}

TEST(DecodeLZH1, FetchesAtMostOneByteBeyondTheStream) {
  // One byte per refill makes every fetched stored byte one Read call.
  const Bytes text = ToBytes(std::string(3000, 'k') + "tail of a text, then more text");
  Bytes stored = EncodeLZH1(text);
  const std::size_t needed = stored.size();
  stored.resize(needed + 1000, 0xA5);  // bytes the decoder must leave alone
  const Lzh1Run run = RunLzh1(stored, static_cast<std::int32_t>(text.size()), 1);
  EXPECT_EQ(run.output, text);
  EXPECT_GE(run.read_requests.size(), needed);
  EXPECT_LE(run.read_requests.size(), needed + 1);
}

TEST(DecodeLZH1, BytesOfACancelledRefillCountAsMissing) {
  // The handler cancels the only refill: its bytes still arrive, but the
  // decoder must take them as the zeros of an input that has ended.
  const Bytes text = ToBytes(std::string(500, 'c') + "and some text after the run");
  const Bytes stored = EncodeLZH1(text);
  const auto destsize = static_cast<std::int32_t>(text.size());
  TVSInstCompress component;
  component.OnShowProgress = [](std::int32_t& percentage) { percentage = -1; };
  TMemoryStream source(stored);
  TMemoryStream dest;
  std::int32_t sum = 0;
  RunCodec(component, dest, source, static_cast<std::int32_t>(stored.size()), destsize, kMethodLZH1,
           sum, false);
  EXPECT_EQ(dest.Memory(), Expand(Bytes(stored.size(), 0), destsize));
  EXPECT_NE(dest.Memory(), text);
}

TEST(DecodeLZH1, StreamsCutShortStillProduceDestsizeBytes) {
  Bytes text;
  for (int i = 0; i < 2000; ++i) {
    const Bytes line = ToBytes("row " + std::to_string(i * 7919 % 1000) + "\n");
    text.insert(text.end(), line.begin(), line.end());
  }
  const Bytes stored = EncodeLZH1(text);
  const auto destsize = static_cast<std::int32_t>(text.size());
  for (const std::size_t kept :
       {std::size_t{0}, std::size_t{1}, stored.size() / 2, stored.size() - 1}) {
    const Bytes cut(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(kept));
    const Bytes out = Expand(cut, destsize);
    EXPECT_GE(out.size(), text.size()) << kept;
    EXPECT_LE(out.size(), text.size() + 59) << kept;
  }
}

TEST(DecodeLZH1, AnyInputDecodesWithinBounds) {
  // Garbage of every kind: decoding never fails and stops within one match
  // of Destsize (the sanitizer build checks every table access).
  const Bytes inputs[] = {RandomBytes(5000, 1), RandomBytes(300000, 2), Bytes(4000, 0xFF),
                          Bytes(4000, 0x00)};
  for (const auto& input : inputs) {
    for (const std::int32_t destsize : {1, 4097, 200000}) {
      const Bytes out = Expand(input, destsize);
      EXPECT_GE(out.size(), static_cast<std::size_t>(destsize));
      EXPECT_LE(out.size(), static_cast<std::size_t>(destsize) + 59);
    }
  }
}

}  // namespace
}  // namespace vsk::test
