// DecodeLH5 on hand-made bit streams: the field forms of a block header,
// codes decoded through the lookup tables and through the overflow trees,
// the refusal of every code table that is not a complete prefix code, input
// that ends early, the window and matches, and what the pipeline sees
// (reads only when needed, refills and full-buffer writes in order).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "lh5_test_stream.hpp"
#include "test_streams.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

constexpr std::int32_t kWholeRead = 0x7FFFFFFF;

struct Lh5Run {
  Bytes output;
  std::int32_t sum = -777;  // untouched marker
  std::vector<std::int32_t> read_requests;
  std::vector<std::string> events;  // "yield" and "write N" in order
};

struct Lh5Setup {
  std::int32_t max_read = kWholeRead;
  std::optional<std::int32_t> sourcesize;  // default: all of `stored`
  std::int32_t key = 0;                    // non-zero: a keyed member
  TShowProgressEvent progress;
};

// Decodes `stored` as an LH5 member of `destsize` bytes; exceptions pass
// through with `run` filled so far.
void RunLh5(const Bytes& stored, std::int32_t destsize, Lh5Run& run, const Lh5Setup& setup = {}) {
  TVSInstCompress component;
  component.Key = setup.key;
  component.OnShowProgress = setup.progress;
  ProbeStream source(stored);
  source.max_read = setup.max_read;
  ProbeStream dest;
  dest.on_write = [&](std::int32_t n) { run.events.push_back("write " + std::to_string(n)); };
  CodecRunOptions options;
  options.Yield = [&] { run.events.push_back("yield"); };
  struct Collect {
    Lh5Run& run;
    ProbeStream& source;
    ProbeStream& dest;
    ~Collect() {
      run.output = dest.Memory();
      run.read_requests = source.read_requests;
    }
  } collect{run, source, dest};
  RunCodec(component, dest, source,
           setup.sourcesize.value_or(static_cast<std::int32_t>(stored.size())), destsize,
           kMethodLH5, run.sum, setup.key != 0, options);
}

Bytes DecodeLh5(const Bytes& stored, std::int32_t destsize, std::int32_t max_read = kWholeRead) {
  Lh5Run run;
  RunLh5(stored, destsize, run, {.max_read = max_read});
  EXPECT_EQ(run.sum, ByteSum(run.output));
  return run.output;
}

Bytes Stream(const std::vector<Lh5Block>& blocks) {
  Lh5BitWriter out;
  for (const Lh5Block& block : blocks)
    PutBlock(out, block);
  return out.Finish();
}

std::vector<Lh5Token> AllTokens(const std::vector<Lh5Block>& blocks) {
  std::vector<Lh5Token> tokens;
  for (const Lh5Block& block : blocks)
    tokens.insert(tokens.end(), block.tokens.begin(), block.tokens.end());
  return tokens;
}

std::int32_t SizeOf(const Bytes& bytes) {
  return static_cast<std::int32_t>(bytes.size());
}

// A complete code of `symbols` lengths (at most 16), made by splitting
// leaves of a code tree; half the splits deepen the newest leaf, so long
// codewords occur.
std::vector<std::uint8_t> RandomCompleteLengths(unsigned symbols, std::mt19937& rng) {
  std::vector<std::uint8_t> leaves{0};
  std::size_t newest = 0;
  while (leaves.size() < symbols) {
    std::size_t pick = rng() % 2 == 0 ? newest : rng() % leaves.size();
    if (leaves[pick] >= 16) pick = 0;
    while (leaves[pick] >= 16)
      ++pick;
    ++leaves[pick];
    leaves.push_back(leaves[pick]);
    newest = leaves.size() - 1;
  }
  std::shuffle(leaves.begin(), leaves.end(), rng);
  return leaves;
}

// Blocks with random complete codes over every symbol, and random tokens
// that use all of them, literals and matches alike.
std::vector<Lh5Block> RandomBlocks(std::uint32_t seed, const std::vector<std::size_t>& sizes) {
  std::mt19937 rng(seed);
  std::vector<Lh5Block> blocks;
  for (const std::size_t size : sizes) {
    Lh5Block block;
    block.symbols.lengths = RandomCompleteLengths(510, rng);
    block.offsets = {.lengths = RandomCompleteLengths(14, rng)};
    block.items = {.lengths = RandomCompleteLengths(19, rng)};
    for (std::size_t i = 0; i < size; ++i) {
      const unsigned symbol = rng() % 510;
      const unsigned j = rng() % 14;
      const unsigned offset = j == 0 ? 0 : (1u << (j - 1)) + rng() % (1u << (j - 1));
      block.tokens.push_back({symbol, symbol < 256 ? 0 : offset});
    }
    blocks.push_back(std::move(block));
  }
  return blocks;
}

TEST(DecodeLH5, RandomCodesDecodeTheSameAtEveryChunkSize) {
  const auto blocks = RandomBlocks(7, {1, 3000, 250, 4000});
  const Bytes stored = Stream(blocks);
  const Bytes expected = ExpandTokens(AllTokens(blocks));
  for (const std::int32_t max_read : {kWholeRead, 1, 7, 1000}) {
    EXPECT_EQ(DecodeLh5(stored, SizeOf(expected), max_read), expected) << "max_read " << max_read;
  }
  // Keyed, with chunks that do not line up with the key's four bytes.
  const std::int32_t key = 0x5A17C3E9;
  Lh5Run keyed;
  RunLh5(Scramble(stored, key), SizeOf(expected), keyed, {.max_read = 4093, .key = key});
  EXPECT_EQ(keyed.output, expected);
}

TEST(DecodeLH5, CodewordsLongerThanTheTablesGoThroughTheTrees) {
  // Symbol code lengths 1 to 16, code-length code lengths up to 16 (so the
  // symbol lengths are read through its tree, and written with long
  // 7-escapes), offset code lengths up to 13.
  Lh5Block block;
  const std::vector<unsigned> symbols = {'a', 256, 'b', 509, 'c', 300, 'd', 'e', 'f',
                                         400, 'g', 'h', 'i', 'j', 258, 'k', 'l'};
  block.symbols.lengths.assign(510, 0);
  for (std::size_t i = 0; i < symbols.size(); ++i)
    block.symbols.lengths[symbols[i]] = static_cast<std::uint8_t>(std::min<std::size_t>(i + 1, 16));
  block.items = {.lengths = {2, 2, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16}};
  block.offsets = {.lengths = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13}};
  for (unsigned j = 0; j < 14; ++j) {
    for (const unsigned s : symbols) {
      const unsigned offset = j == 0 ? 0 : (1u << (j - 1)) + (s * 37u) % (1u << (j - 1));
      block.tokens.push_back({s, s < 256 ? 0 : offset});
    }
  }
  const Bytes expected = ExpandTokens(block.tokens);
  EXPECT_EQ(DecodeLh5(Stream({block}), SizeOf(expected)), expected);
}

TEST(DecodeLH5, SingleSymbolCodesConsumeNoBits) {
  // 52 header bits, then nothing: 70000 literals without a single bit
  // (over one block of 65536 symbols: the second header is zero bits).
  Lh5Block literals{.symbols = {.single = 0xFF}, .items = {.single = 0}, .size_field = 0};
  const Bytes stored = Stream({literals});
  EXPECT_EQ(stored.size(), 7u);
  Bytes all_ff(65536, 0xFF);
  all_ff.resize(70000, 0x00);
  EXPECT_EQ(DecodeLh5(stored, 70000), all_ff);

  // Matches of length 4 whose offsets carry only their 2 extra bits.
  Lh5Block matches{.symbols = {.single = 4 + 253}, .offsets = {.single = 3}};
  for (unsigned extra = 0; extra < 4; ++extra)
    matches.tokens.push_back(Match(4, 4 + extra));
  const Bytes expected = ExpandTokens(matches.tokens);
  EXPECT_EQ(DecodeLh5(Stream({matches}), SizeOf(expected)), expected);
}

TEST(DecodeLH5, BlockSizeZeroHolds65536Symbols) {
  const Lh5Block first{.symbols = {.single = 'a'}, .size_field = 0};
  const Lh5Block second{.symbols = {.single = 'b'}, .size_field = 5};
  Bytes expected(65536, 'a');
  expected.insert(expected.end(), 5, 'b');
  EXPECT_EQ(DecodeLh5(Stream({first, second}), 65541), expected);
}

TEST(DecodeLH5, CountFieldsAboveTheSymbolCountReadAndIgnoreTheSurplus) {
  Lh5Block block;
  block.symbols.lengths = IdentityLiteralLengths();
  block.symbols.lengths.resize(510, 0);
  block.tokens = {Literal('x'), Literal('y')};
  const CanonicalCode items(AllItemsLengths());
  Lh5BitWriter out;
  out.Bits(2, 16);
  // 25 lengths for the 19 items, the surplus ones up to the largest escape
  // (20, which takes 17 bits).
  std::vector<std::uint8_t> item_lengths = AllItemsLengths();
  item_lengths.insert(item_lengths.end(), {20, 7, 0, 16, 20, 3});
  PutSmallLengths(out, 5, item_lengths, 0u);
  // 511 symbol lengths: the 511th is read and dropped.
  std::vector<std::uint8_t> lengths = block.symbols.lengths;
  lengths.push_back(9);
  PutSymbolLengths(out, items, lengths, 511);
  // 15 offset lengths for 14 symbols.
  PutSmallLengths(out, 4, std::vector<std::uint8_t>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20});
  PutTokens(out, block, block.tokens);
  EXPECT_EQ(DecodeLh5(out.Finish(), 2), ToBytes("xy"));
}

TEST(DecodeLH5, ZeroRunFieldOnlyAfterTheThirdCodeLengthLength) {
  const struct {
    std::vector<std::uint8_t> items;
    std::optional<unsigned> zero_run;
    unsigned count;
  } cases[] = {
      {{1, 2, 2}, 3u, 3},         // exactly three lengths: the field is still read
      {{1, 1}, std::nullopt, 2},  // fewer than three: no field
      {{2, 2, 2, 2}, 3u, 7},      // the run fills entries 3-5, the 4th length is entry 6
  };
  for (const auto& c : cases) {
    Lh5BitWriter out;
    out.Bits(4, 16);
    PutSmallLengths(out, 5, c.items, c.zero_run, c.count);
    PutSingleSymbol(out, 9, 'z');
    // The offset code has no zero-run field even with more than 3 lengths.
    PutSmallLengths(out, 4, std::vector<std::uint8_t>{1, 2, 3, 3});
    EXPECT_EQ(DecodeLh5(out.Finish(), 4), ToBytes("zzzz"));
  }
}

TEST(DecodeLH5, OffsetCodeWithoutZeroRunField) {
  Lh5Block block{.symbols = {.lengths = IdentityLiteralLengths()},
                 .offsets = {.lengths = {1, 2, 3, 3}}};
  block.symbols.lengths.resize(510, 0);
  // Replace literal 0xFF by match length 3 and 0xFE by length 256, keeping
  // the code complete.
  std::swap(block.symbols.lengths[255], block.symbols.lengths[256]);
  std::swap(block.symbols.lengths[254], block.symbols.lengths[509]);
  block.tokens = {Literal('a'), Literal('b'), Match(3, 0), Match(3, 1), Match(256, 2), Match(3, 3)};
  const Bytes expected = ExpandTokens(block.tokens);
  EXPECT_EQ(DecodeLh5(Stream({block}), SizeOf(expected)), expected);
}

TEST(DecodeLH5, SymbolLengthZeroRunsOfEveryItem) {
  // Literal 'q' and the match symbols 256 and 509 far apart: runs coded as
  // item 0 (1 zero), item 1 (3-18) and item 2 (20-531).
  Lh5Block block{.offsets = {.single = 0}};
  block.symbols.lengths.assign(510, 0);
  block.symbols.lengths['q'] = 1;
  block.symbols.lengths['q' + 2] = 3;
  block.symbols.lengths['q' + 12] = 3;
  block.symbols.lengths[256] = 3;
  block.symbols.lengths[509] = 3;
  block.tokens = {Literal('q'), Literal('q' + 2), Literal('q' + 12), Match(3, 0), Match(256, 0)};
  const Bytes expected = ExpandTokens(block.tokens);
  EXPECT_EQ(DecodeLh5(Stream({block}), SizeOf(expected)), expected);

  // A zero run may end exactly at the table's 511th entry.
  const CanonicalCode items(AllItemsLengths());
  Lh5BitWriter out;
  out.Bits(2, 16);
  PutSmallLengths(out, 5, AllItemsLengths(), 0u);
  out.Bits(511, 9);
  PutLengthItem(out, items, 3);
  PutLengthItem(out, items, 3);
  PutLengthItem(out, items, 2, 509);
  PutSingleSymbol(out, 4, 0);
  out.Bits(0b10, 2);  // symbols 1 and 0
  EXPECT_EQ(DecodeLh5(out.Finish(), 2), (Bytes{1, 0}));
}

// Writes a header whose code-length code is the all-items one and whose
// symbol lengths are the given items (item, run) under the count `count`.
std::function<void(Lh5BitWriter&)> SymbolItems(unsigned count,
                                               std::vector<std::pair<unsigned, unsigned>> list) {
  return [=](Lh5BitWriter& out) {
    const CanonicalCode items(AllItemsLengths());
    PutSmallLengths(out, 5, AllItemsLengths(), 0u);
    out.Bits(count, 9);
    for (const auto& [item, run] : list)
      PutLengthItem(out, items, item, run);
    PutSingleSymbol(out, 4, 0);
  };
}

std::function<void(Lh5BitWriter&)> ItemLengths(std::vector<std::uint8_t> lengths) {
  return [=](Lh5BitWriter& out) {
    PutSmallLengths(out, 5, lengths, 0u);
    PutSingleSymbol(out, 9, 'a');
    PutSingleSymbol(out, 4, 0);
  };
}

std::function<void(Lh5BitWriter&)> OffsetLengths(std::vector<std::uint8_t> lengths) {
  return [=](Lh5BitWriter& out) {
    PutSingleSymbol(out, 5, 0);
    PutSingleSymbol(out, 9, 'a');
    PutSmallLengths(out, 4, lengths);
  };
}

std::function<void(Lh5BitWriter&)> Singles(unsigned items, unsigned symbol, unsigned offset) {
  return [=](Lh5BitWriter& out) {
    PutSingleSymbol(out, 5, items);
    PutSingleSymbol(out, 9, symbol);
    PutSingleSymbol(out, 4, offset);
  };
}

TEST(DecodeLH5, RefusesEveryTableThatIsNotACompletePrefixCode) {
  // The 16-bit sum of {1, 1, 1, 1} wraps to 0; the same holds for 510
  // lengths of 1 (all produced by a single item 3 code).
  const struct {
    const char* what;
    std::function<void(Lh5BitWriter&)> header;
  } cases[] = {
      {"incomplete symbol code", SymbolItems(1, {{3, 0}})},
      {"over-full symbol code", SymbolItems(4, {{3, 0}, {3, 0}, {3, 0}, {3, 0}})},
      {"symbol code without lengths", SymbolItems(5, {{1, 5}})},
      {"wrapping over-full symbol code from a single item",
       [](Lh5BitWriter& out) {
         PutSingleSymbol(out, 5, 3);
         out.Bits(510, 9);
         PutSingleSymbol(out, 4, 0);
       }},
      {"zero run past the table", SymbolItems(511, {{2, 531}})},
      {"zero run one past the table", SymbolItems(511, {{3, 0}, {3, 0}, {2, 510}})},
      {"incomplete code-length code", ItemLengths({1})},
      {"over-full code-length code", ItemLengths({1, 1, 1, 1})},
      {"code-length code without lengths", ItemLengths({0, 0, 0})},
      {"code-length length above 16",
       ItemLengths({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 17})},
      {"incomplete offset code", OffsetLengths({1})},
      {"offset length of 20", OffsetLengths({1, 20, 2})},
      {"single code-length item 19", Singles(19, 'a', 0)},
      {"single code-length item 31", Singles(31, 'a', 0)},
      {"single symbol 510", Singles(0, 510, 0)},
      {"single symbol 511", Singles(0, 511, 0)},
      {"single offset 14", Singles(0, 'a', 14)},
      {"single offset 15", Singles(0, 'a', 15)},
  };
  for (const auto& c : cases) {
    // A good block of 10000 literals first: the full buffer it fills goes
    // out when its 8193rd byte arrives, the rest is dropped with the run.
    Lh5Block good{.symbols = {.lengths = IdentityLiteralLengths()}};
    for (int i = 0; i < 10000; ++i)
      good.tokens.push_back(Literal(static_cast<std::uint8_t>(i * 7)));
    Lh5BitWriter out;
    PutBlock(out, good);
    out.Bits(1, 16);
    c.header(out);
    out.Bits(0, 32);
    Lh5Run run;
    try {
      RunLh5(out.Finish(), 10001, run);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ELZHBadDecodeTable& e) {
      EXPECT_STREQ(e.what(), "Bad decode table in archive!") << c.what;
    }
    EXPECT_EQ(run.sum, -777) << c.what;
    const Bytes expanded = ExpandTokens(good.tokens);
    EXPECT_EQ(run.output, Bytes(expanded.begin(), expanded.begin() + 8192)) << c.what;
  }
}

TEST(DecodeLH5, DamagedStreamsDecodeOrAreRefusedButNeverMisbehave) {
  // Under the sanitizers this checks every table access on arbitrary input.
  const auto blocks = RandomBlocks(5, {40, 300});
  const Bytes good = Stream(blocks);
  const auto destsize = SizeOf(ExpandTokens(AllTokens(blocks)));
  std::mt19937 rng(99);
  for (int i = 0; i < 400; ++i) {
    Bytes damaged = good;
    if (i % 4 == 0) {
      for (auto& b : damaged)
        b = static_cast<std::uint8_t>(rng());
    } else {
      for (int flips = 1 + i % 3; flips > 0; --flips)
        damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
    }
    Lh5Run run;
    try {
      RunLh5(damaged, destsize, run);
      EXPECT_GE(run.output.size(), static_cast<std::size_t>(destsize));
      EXPECT_LE(run.output.size(), static_cast<std::size_t>(destsize) + 255);
    } catch (const ELZHBadDecodeTable&) {
    }
  }
}

TEST(DecodeLH5, InputEndingEarlyDecodesZeroBitsUpToDestsize) {
  // No stored byte at all: block size 0, single-symbol codes for symbol 0.
  Lh5Run empty;
  RunLh5({}, 5, empty);
  EXPECT_EQ(empty.output, Bytes(5, 0));
  EXPECT_TRUE(empty.read_requests.empty());

  // A truncated archive: the refill that finds nothing ends the reading for
  // good, and the output still reaches Destsize.
  const auto blocks = RandomBlocks(3, {2000});
  const Bytes stored = Stream(blocks);
  const Bytes expected = ExpandTokens(AllTokens(blocks));
  const Bytes head(stored.begin(), stored.begin() + 1000);
  Lh5Run cut;
  RunLh5(head, SizeOf(expected), cut, {.sourcesize = SizeOf(stored)});
  EXPECT_EQ(cut.read_requests, (std::vector<std::int32_t>{SizeOf(stored), SizeOf(stored) - 1000}));
  ASSERT_GE(cut.output.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + 1000, cut.output.begin()));

  // A progress handler that stops the input at the second refill: the first
  // chunk's bits, then zero bits; the chunk read last is never decoded.
  int refills = 0;
  Lh5Run stopped;
  RunLh5(stored, SizeOf(expected), stopped, {.max_read = 1000, .progress = [&](std::int32_t& p) {
                                               if (++refills == 2) p = -1;
                                             }});
  EXPECT_EQ(stopped.read_requests.size(), 2u);
  EXPECT_EQ(stopped.output, cut.output);
}

TEST(DecodeLH5, WindowAndMatches) {
  const Lh5Block codes{.symbols = {.lengths =
                                       [] {
                                         auto l = std::vector<std::uint8_t>(510, 0);
                                         std::fill(l.begin(), l.begin() + 256, 9);
                                         std::fill(l.begin() + 256, l.end(), 9);
                                         l[0] = l[1] = 8;  // 2 x 8 + 508 x 9 bits: complete
                                         return l;
                                       }()},
                       .offsets = {.lengths = {3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}}};
  const struct {
    const char* what;
    std::vector<Lh5Token> tokens;
    std::int32_t destsize;
    Bytes expected;
  } cases[] = {
      {"match at the start copies spaces", {Match(5, 100)}, 5, Bytes(5, ' ')},
      {"offset 0 repeats the last byte", {Literal('r'), Match(256, 0)}, 257, Bytes(257, 'r')},
      {"offset 1 repeats two bytes",
       {Literal('a'), Literal('b'), Match(4, 1)},
       6,
       ToBytes("ababab")},
      {"a last match runs past Destsize whole", {Literal('a'), Match(10, 0)}, 5, Bytes(11, 'a')},
      {"distance 8192 reaches the first window byte",
       {Literal('s'), Match(256, 0), Match(256, 8191)},
       513,
       [] {
         Bytes b(257, 's');
         b.insert(b.end(), 256, ' ');
         return b;
       }()},
  };
  for (const auto& c : cases) {
    Lh5Block block = codes;
    block.tokens = c.tokens;
    EXPECT_EQ(DecodeLh5(Stream({block}), c.destsize), c.expected) << c.what;
  }
}

TEST(DecodeLH5, DestsizeZeroOrNegativeDecodesNothing) {
  const Bytes stored = Stream({Lh5Block{.symbols = {.single = 'a'}, .size_field = 9}});
  Lh5Run zero;
  RunLh5(stored, 0, zero, {.max_read = 1});
  EXPECT_TRUE(zero.read_requests.empty());
  EXPECT_TRUE(zero.output.empty());
  EXPECT_EQ(zero.sum, 0);
  Lh5Run negative;
  RunLh5(stored, -1, negative, {.max_read = 1});
  EXPECT_EQ(negative.read_requests.size(), 2u);  // the priming 16 bits
  EXPECT_TRUE(negative.output.empty());
}

TEST(DecodeLH5, TakesAByteFromTheSourceOnlyWhenItsBitsAreNeeded) {
  // 52 header bits and single-symbol codes: ceil((16 + 52) / 8) = 9 bytes,
  // however much the member stores.
  Bytes stored =
      Stream({Lh5Block{.symbols = {.single = 'a'}, .items = {.single = 0}, .size_field = 100}});
  stored.resize(20, 0xAA);
  Lh5Run run;
  RunLh5(stored, 100, run, {.max_read = 1});
  EXPECT_EQ(run.output, Bytes(100, 'a'));
  EXPECT_EQ(run.read_requests.size(), 9u);
}

TEST(DecodeLH5, RefillsAndFullBufferWritesComeInTheOrderOfTheBits) {
  // Literals of 8 bits each: literal k needs byte ceil((16 + H + 8k) / 8).
  // Chunks of 1000 bytes: a refill (a yield) whenever that crosses into a
  // new chunk, and the full output buffer goes out when byte 8193 arrives.
  constexpr std::size_t kCount = 20000;
  constexpr std::size_t kChunk = 1000;
  Lh5Block block{.symbols = {.lengths = IdentityLiteralLengths()},
                 .size_field = static_cast<std::uint32_t>(kCount)};
  Lh5BitWriter out;
  PutBlock(out, block);
  const std::size_t header_bits = out.BitCount();
  Bytes data(kCount);
  for (std::size_t i = 0; i < kCount; ++i) {
    data[i] = static_cast<std::uint8_t>((i * 131) >> 3);
    out.Bits(data[i], 8);
  }
  const Bytes stored = out.Finish();

  std::vector<std::string> expected;
  std::size_t chunks = 0;
  auto need_bits = [&](std::size_t bits) {
    const std::size_t bytes = std::min((16 + bits + 7) / 8, stored.size());
    while (chunks * kChunk < bytes) {
      expected.push_back("yield");
      ++chunks;
    }
  };
  need_bits(header_bits);
  for (std::size_t k = 1; k <= kCount; ++k) {
    need_bits(header_bits + 8 * k);
    if (k > 8192 && k % 8192 == 1) expected.insert(expected.end(), {"yield", "write 8192"});
  }
  expected.push_back("write " + std::to_string(kCount % 8192));

  Lh5Run run;
  RunLh5(stored, kCount, run, {.max_read = kChunk});
  EXPECT_EQ(run.output, data);
  EXPECT_EQ(run.events, expected);
}

TEST(DecodeLH5, WrongKeyIsReportedAsInvalidKey) {
  const std::int32_t key = 0x01020304;
  const std::int32_t wrong = 0x7F6E5D4C;
  const auto blocks = RandomBlocks(11, {300});
  const Bytes stream = Stream(blocks);
  const Bytes data = ExpandTokens(AllTokens(blocks));
  const Bytes stored = Scramble(stream, key);
  // What a wrong key makes of the stream is a bad code table...
  Lh5Run garbled;
  EXPECT_THROW(RunLh5(Scramble(stored, wrong), SizeOf(data), garbled), ELZHBadDecodeTable);

  TempDir dir;
  const auto archive = [&](std::int32_t key_flag, const Bytes& bytes) {
    return dir.Write(
        "a.vsk", ArchiveBuilder()
                     .Raw(MakeEntry(kMethodLH5, SizeOf(data), ByteSum(data), key_flag), "m", bytes)
                     .Build());
  };
  const auto expand = [&](const std::string& path, std::int32_t with_key) {
    TVSInstCompress component;
    component.Key = with_key;
    TMemoryStream dest;
    component.ExpandFile(path, dest, "M");
    return dest.Memory();
  };
  // ...which a keyed member reports as the wrong key, an unkeyed one as is.
  EXPECT_EQ(expand(archive(2, stored), key), data);
  EXPECT_THROW(expand(archive(2, stored), wrong), EInvalidKey);
  EXPECT_THROW(expand(archive(0, Scramble(stored, wrong)), 0), ELZHBadDecodeTable);
}

}  // namespace
}  // namespace vsk::test
