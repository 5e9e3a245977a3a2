// EncodeLH5: every stream expands back to its data through RunCodec, and
// its blocks keep to the rules the decoder relies on (checked by a small
// independent reader that fails on anything the decoder would refuse or
// that the encoder promises never to write).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>
#include <queue>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "vsk/archive_format.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

// ---------------------------------------------------------------------------
// Reader

struct BlockShape {
  std::size_t items = 0;
  unsigned longest_symbol_code = 0;
  bool single_symbol = false;  // symbol code sent in the count-0 form
  bool single_offset = false;  // offset code sent in the count-0 form
  std::vector<std::uint32_t> symbol_counts = std::vector<std::uint32_t>(510, 0);
};

struct StreamReport {
  std::size_t packed_size = 0;
  Bytes data;
  std::vector<BlockShape> blocks;
  std::uint32_t longest_distance = 0;
};

class ReaderError : public std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Decodes a stream bit by bit from canonical codes, without look-up tables,
// and records each block's shape. Stricter than the decoder: reading past
// the last byte, an over-long count field, a zero run past the announced
// count, a block size of 0 (65536) and a match reaching before the first
// byte all fail, as does anything but zero padding after the last item.
class StrictLh5Reader {
 public:
  explicit StrictLh5Reader(const Bytes& stream) : stream_(stream) {}

  StreamReport Read(std::size_t size) {
    StreamReport report;
    while (report.data.size() < size) {
      BlockShape shape;
      shape.items = Take(16);
      Require(shape.items != 0, "block size field 0 (65536 symbols)");
      const Code symbols = ReadSymbolCode();
      const Code offsets = ReadSmallCode(14, 4, false);
      shape.longest_symbol_code = symbols.longest;
      shape.single_symbol = symbols.single >= 0;
      shape.single_offset = offsets.single >= 0;
      for (std::size_t i = 0; i < shape.items; ++i) {
        Require(report.data.size() < size, "block holds more symbols than the data needs");
        ++shape.symbol_counts[ReadItem(symbols, offsets, report)];
      }
      report.blocks.push_back(shape);
    }
    Require(report.data.size() == size, "last match runs past the end of the data");
    Require(stream_.size() * 8 - bit_ < 8, "bytes left after the last symbol");
    while (bit_ < stream_.size() * 8)
      Require(Bit() == 0, "padding bits are not zero");
    return report;
  }

 private:
  struct Code {
    int single = -1;                    // count-0 form: the one symbol
    std::vector<unsigned> per_length;   // codewords of each length 0..16
    std::vector<unsigned> by_codeword;  // symbols in canonical order
    unsigned longest = 0;
  };

  static void Require(bool condition, const std::string& what) {
    if (!condition) throw ReaderError(what);
  }

  unsigned Bit() {
    Require(bit_ < stream_.size() * 8, "read past the end of the stream");
    const unsigned bit = (stream_[bit_ / 8] >> (7 - bit_ % 8)) & 1u;
    ++bit_;
    return bit;
  }

  unsigned Take(unsigned count) {
    unsigned value = 0;
    for (unsigned i = 0; i < count; ++i)
      value = (value << 1) | Bit();
    return value;
  }

  static Code Canonical(const std::vector<unsigned>& lengths) {
    Code code;
    code.per_length.assign(17, 0);
    std::uint32_t kraft = 0;  // in units of 2^-16
    for (const unsigned length : lengths) {
      Require(length <= 16, "code length above 16");
      if (length == 0) continue;
      ++code.per_length[length];
      kraft += 1u << (16 - length);
      code.longest = std::max(code.longest, length);
    }
    Require(kraft == 1u << 16, "code is not complete");
    for (unsigned length = 1; length <= 16; ++length) {
      for (unsigned s = 0; s < lengths.size(); ++s) {
        if (lengths[s] == length) code.by_codeword.push_back(s);
      }
    }
    return code;
  }

  unsigned Decode(const Code& code) {
    if (code.single >= 0) return static_cast<unsigned>(code.single);
    unsigned value = 0;
    unsigned first = 0;
    unsigned index = 0;
    for (unsigned length = 1; length <= 16; ++length) {
      value |= Bit();
      const unsigned count = code.per_length[length];
      if (value - first < count) return code.by_codeword[index + value - first];
      index += count;
      first = (first + count) << 1;
      value <<= 1;
    }
    throw ReaderError("no codeword matches");
  }

  Code Single(unsigned symbol, unsigned symbol_count) {
    Require(symbol < symbol_count, "single symbol outside the code");
    Code code;
    code.single = static_cast<int>(symbol);
    return code;
  }

  Code ReadSmallCode(unsigned symbol_count, unsigned count_bits, bool zero_run) {
    const unsigned n = Take(count_bits);
    if (n == 0) return Single(Take(count_bits), symbol_count);
    Require(n <= symbol_count, "count field above the symbol count");
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
      unsigned length = Take(3);
      if (length == 7) {
        while (Bit() == 1)
          ++length;
      }
      lengths.push_back(length);
      if (zero_run && lengths.size() == 3) lengths.resize(3 + Take(2), 0);
    }
    Require(lengths.size() == n, "zero run past the count");
    lengths.resize(symbol_count, 0);
    return Canonical(lengths);
  }

  Code ReadSymbolCode() {
    const Code items = ReadSmallCode(19, 5, true);
    const unsigned n = Take(9);
    if (n == 0) return Single(Take(9), 510);
    Require(n <= 510, "symbol count field above 510");
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
      const unsigned item = Decode(items);
      if (item == 0)
        lengths.push_back(0);
      else if (item == 1)
        lengths.resize(lengths.size() + 3 + Take(4), 0);
      else if (item == 2)
        lengths.resize(lengths.size() + 20 + Take(9), 0);
      else
        lengths.push_back(item - 2);
    }
    Require(lengths.size() == n, "zero run past the symbol count");
    lengths.resize(510, 0);
    return Canonical(lengths);
  }

  // Expands one item; returns its symbol.
  unsigned ReadItem(const Code& symbols, const Code& offsets, StreamReport& report) {
    const unsigned symbol = Decode(symbols);
    if (symbol < 256) {
      report.data.push_back(static_cast<std::uint8_t>(symbol));
      return symbol;
    }
    const unsigned slot = Decode(offsets);
    const unsigned offset = slot == 0 ? 0 : (1u << (slot - 1)) + Take(slot > 1 ? slot - 1 : 0);
    const std::size_t distance = offset + 1u;
    Require(distance <= report.data.size(), "match reaches before the first byte");
    report.longest_distance =
        std::max(report.longest_distance, static_cast<std::uint32_t>(distance));
    for (unsigned k = 0; k < symbol - 253; ++k)
      report.data.push_back(report.data[report.data.size() - distance]);
    return symbol;
  }

  const Bytes& stream_;
  std::size_t bit_ = 0;
};

// The reader's view of EncodeLH5(data); a rule broken fails the test.
StreamReport Inspect(const Bytes& data) {
  const Bytes packed = EncodeLH5(data);
  try {
    StreamReport report = StrictLh5Reader(packed).Read(data.size());
    report.packed_size = packed.size();
    EXPECT_EQ(report.data, data) << "the reader expands the stream to other bytes";
    return report;
  } catch (const ReaderError& error) {
    ADD_FAILURE() << "stream breaks a rule: " << error.what();
    return {};
  }
}

// Deepest codeword of an unlimited Huffman code for `counts`. Among equal
// weights the shallower subtree is merged first, which gives the smallest
// depth any Huffman code for these counts can have.
unsigned HuffmanDepth(const std::vector<std::uint32_t>& counts) {
  using Node = std::pair<std::uint64_t, unsigned>;  // weight, depth
  std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
  for (const std::uint32_t count : counts) {
    if (count != 0) queue.push({count, 0});
  }
  while (queue.size() > 1) {
    const Node a = queue.top();
    queue.pop();
    const Node b = queue.top();
    queue.pop();
    queue.push({a.first + b.first, std::max(a.second, b.second) + 1});
  }
  return queue.empty() ? 0 : queue.top().second;
}

// ---------------------------------------------------------------------------
// Inputs

std::uint32_t Fibonacci(unsigned k) {
  std::uint32_t a = 1;
  std::uint32_t b = 1;
  for (unsigned i = 1; i < k; ++i) {
    b = std::exchange(a, b) + b;
  }
  return a;
}

// Words from a small vocabulary: compressible, with a skewed alphabet.
Bytes Text(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"the ",   "archive ", "member ", "of ",   "window ",
                                       "block ", "code ",    "length ", "and ",  "a ",
                                       "match ", "symbol ",  "offset ", "tree ", "table\n"};
  std::mt19937 random(seed);
  Bytes text;
  while (text.size() < size) {
    const std::string word = kWords[random() % std::size(kWords)];
    text.insert(text.end(), word.begin(), word.end());
  }
  text.resize(size);
  return text;
}

// Text, then a binary ramp, then noise, then text again: statistics that
// change call for blocks of their own.
Bytes ShiftingData() {
  Bytes data = Text(60000, 1);
  for (std::size_t i = 0; i < 50000; ++i)
    data.push_back(static_cast<std::uint8_t>((i * 7) ^ (i >> 5)));
  const Bytes noise = RandomBytes(20000, 2);
  data.insert(data.end(), noise.begin(), noise.end());
  const Bytes more = Text(60000, 3);
  data.insert(data.end(), more.begin(), more.end());
  return data;
}

// Fisher-Yates with the generator's raw output, so every platform gets the
// same order.
void Shuffle(Bytes& bytes, std::mt19937& random) {
  for (std::size_t i = bytes.size(); i > 1; --i)
    std::swap(bytes[i - 1], bytes[random() % i]);
}

// 100 byte values with slowly falling counts (each 0.98 of the one
// before) and 10 rarer ones with the Fibonacci numbers 1, 1, 2, ... 55 as
// counts, shuffled: too random for many matches, so nearly all are
// literals, and their Huffman code is deeper than 16 bits.
Bytes FibonacciText() {
  Bytes data;
  std::size_t count = 1400;
  for (unsigned b = 0; b < 100; ++b, count = count * 49 / 50)
    data.insert(data.end(), count, static_cast<std::uint8_t>(b));
  for (unsigned k = 1; k <= 10; ++k)
    data.insert(data.end(), Fibonacci(k), static_cast<std::uint8_t>(100 + k));
  std::mt19937 random(5);
  Shuffle(data, random);
  return data;
}

// A random block followed by itself: the copy is exactly 8192 bytes back.
Bytes RepeatedAtWindowDistance() {
  Bytes data = RandomBytes(8192, 4);
  const Bytes copy = data;
  data.insert(data.end(), copy.begin(), copy.end());
  data.insert(data.end(), copy.begin(), copy.begin() + 3000);
  return data;
}

Bytes AllByteValues() {
  Bytes data(256);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  return data;
}

Bytes Runs() {
  Bytes data(140000, 'a');
  data.insert(data.end(), 70000, 0);
  data.insert(data.end(), 1, 'b');
  data.insert(data.end(), 300, 0);
  return data;
}

struct NamedInput {
  const char* name;
  Bytes data;
};

std::vector<NamedInput> Inputs() {
  return {
      {"empty", {}},
      {"one byte", {0x42}},
      {"two bytes", {0x20, 0x20}},
      {"all byte values", AllByteValues()},
      {"runs", Runs()},
      {"spaces from the start", Bytes(1000, ' ')},
      {"repeat at window distance", RepeatedAtWindowDistance()},
      {"shifting statistics", ShiftingData()},
      {"random", RandomBytes(100000, 6)},
      {"fibonacci text", FibonacciText()},
  };
}

// ---------------------------------------------------------------------------
// Round trips through the engine

Bytes ExpandWithEngine(const Bytes& packed, std::size_t size) {
  std::int32_t sum = 0;
  Bytes out = ExpandStored(kMethodLH5, packed, static_cast<std::int32_t>(size), &sum);
  EXPECT_EQ(sum, ByteSum(out));
  return out;
}

TEST(EncodeLH5, RoundTripsThroughRunCodec) {
  for (const auto& input : Inputs()) {
    const Bytes packed = EncodeLH5(input.data);
    EXPECT_EQ(ExpandWithEngine(packed, input.data.size()), input.data) << input.name;
  }
}

// The larger inputs are inspected by the tests of their own below.
TEST(EncodeLH5, SmallInputsKeepTheBlockRules) {
  for (const Bytes& data : {Bytes{0x42}, Bytes{0x20, 0x20}, AllByteValues()}) {
    SCOPED_TRACE(data.size());
    Inspect(data);
  }
}

TEST(EncodeLH5, EmptyDataGivesAnEmptyStream) {
  EXPECT_TRUE(EncodeLH5({}).empty());
}

TEST(EncodeLH5, CodeLengthsStopAtSixteenBits) {
  const StreamReport report = Inspect(FibonacciText());
  ASSERT_FALSE(report.blocks.empty());
  for (const BlockShape& block : report.blocks) {
    EXPECT_GT(HuffmanDepth(block.symbol_counts), 16u) << "the fixture no longer needs the limit";
    EXPECT_EQ(block.longest_symbol_code, 16u);
  }
}

TEST(EncodeLH5, UsesTheWholeWindowButNothingBeforeTheData) {
  const Bytes data = RepeatedAtWindowDistance();
  const StreamReport report = Inspect(data);
  EXPECT_EQ(report.longest_distance, 8192u);
  EXPECT_LT(report.packed_size, 8192u + 200u);
  // The decoder's window starts as spaces; leading spaces must still be
  // sent as a literal first.
  EXPECT_LE(Inspect(Bytes(1000, ' ')).longest_distance, 1u);
}

TEST(EncodeLH5, LongRunsCollapseIntoSingleSymbolBlocks) {
  const Bytes data = Runs();
  const StreamReport report = Inspect(data);
  EXPECT_TRUE(std::any_of(report.blocks.begin(), report.blocks.end(),
                          [](const BlockShape& b) { return b.single_symbol && b.single_offset; }));
  EXPECT_LT(report.packed_size, 400u);
}

TEST(EncodeLH5, FirstBlockAvoidsTheSingleSymbolForm) {
  // bsdtar refuses that form in a stream's first block.
  for (const Bytes& data : {Bytes{'a'}, Bytes{'a', 'a'}, Bytes{'a', 'a', 'a'}}) {
    const StreamReport report = Inspect(data);
    ASSERT_EQ(report.blocks.size(), 1u);
    EXPECT_FALSE(report.blocks[0].single_symbol) << data.size() << " bytes";
  }
}

TEST(EncodeLH5, ChangingStatisticsGetBlocksOfTheirOwn) {
  const Bytes data = ShiftingData();
  const StreamReport report = Inspect(data);
  EXPECT_GE(report.blocks.size(), 4u);
  EXPECT_LT(report.packed_size, data.size() / 2);
}

TEST(EncodeLH5, IncompressibleDataGrowsOnlyByTheBlockHeaders) {
  const Bytes data = RandomBytes(100000, 6);
  const StreamReport report = Inspect(data);
  // 65536 literals do not fit one block.
  EXPECT_GE(report.blocks.size(), 2u);
  EXPECT_LT(report.packed_size, data.size() + data.size() / 200);
}

TEST(EncodeLH5, ReportsProgressNowAndThenUpToTheTotal) {
  const Bytes data = RandomBytes(200000, 7);
  std::vector<std::int64_t> done;
  EncodeLH5(data, [&](std::int64_t d, std::int64_t total) {
    EXPECT_EQ(total, static_cast<std::int64_t>(data.size()));
    done.push_back(d);
  });
  ASSERT_FALSE(done.empty());
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_EQ(done.back(), static_cast<std::int64_t>(data.size()));
  EXPECT_LE(done.size(), 64u);
}

}  // namespace
}  // namespace vsk::test
