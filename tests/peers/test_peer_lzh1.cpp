// Our LZH1 streams, wrapped as -lh1- members, are read back identically by
// lhasa: the independent check of the adaptive model (through its rescales),
// the distance code and the window (no peer here writes -lh1-).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "lha_container.hpp"
#include "process.hpp"
#include "test_streams.hpp"
#include "vsk/encoders.hpp"
#include "vsk/lzh1_stream.hpp"

namespace vsk::test {
namespace {

// What lhasa prints for a one-member -lh1- archive of `packed`.
Bytes LhasaExpands(const Bytes& original, const Bytes& packed) {
  TempDir dir;
  const std::string archive = dir.Write("m.lzh", WrapLhaLevel0("-lh1-", "m.bin", original, packed));
  const std::string out = (dir.path() / "out.bin").string();
  EXPECT_EQ(RunShell("lhasa -pq " + ShellQuote(archive) + " > " + ShellQuote(out)), 0);
  return ReadWholeFile(out);
}

Bytes Mixed() {
  Bytes out;
  std::mt19937 random(11);
  for (int i = 0; i < 3000; ++i) {
    const Bytes line = ToBytes("entry " + std::to_string(random() % 500) + " = " +
                               std::to_string(random() % 100000) + ";\n");
    out.insert(out.end(), line.begin(), line.end());
    if (i % 200 == 0) out.insert(out.end(), random() % 300, static_cast<std::uint8_t>(i));
  }
  const Bytes binary = RandomBytes(50000, 12);
  out.insert(out.end(), binary.begin(), binary.end());
  return out;
}

class PeerLzh1 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  }
};

TEST_F(PeerLzh1, LhasaReadsOurEncoderOutput) {
  Bytes all_values;
  for (int b = 0; b < 256 * 4; ++b)
    all_values.push_back(static_cast<std::uint8_t>(b * 7));
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"one byte", {0x61}},
      {"all byte values", all_values},
      {"long runs",
       [] {
         Bytes out(70000, 'r');
         out.insert(out.end(), 5000, 0);
         return out;
       }()},
      {"text, runs and binary", Mixed()},
      // Well over 32454 symbols, mostly literals: four rescales.
      {"through the rescales", RandomBytes(140000, 13)},
      {"the window's far edge",
       [] {
         Bytes block = RandomBytes(4096, 14);
         block.insert(block.end(), block.begin(), block.end());
         return block;
       }()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LhasaExpands(c.data, EncodeLZH1(c.data)), c.data) << c.what;
  }
}

TEST_F(PeerLzh1, LhasaAgreesOnTheWindowsFirstContents) {
  // Matches into the window before anything was written, including the
  // positions 4036-4095 where the first bytes go: spaces throughout.
  Lzh1StreamWriter writer;
  writer.PutMatch(60, 4095);
  writer.PutLiteral('x');
  writer.PutMatch(30, 4000);
  writer.PutMatch(3, 0);
  Bytes expected(60, ' ');
  expected.push_back('x');
  expected.insert(expected.end(), 33, ' ');
  EXPECT_EQ(LhasaExpands(expected, writer.Finish()), expected);
}

}  // namespace
}  // namespace vsk::test
