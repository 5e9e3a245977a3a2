// Our LH5 streams, wrapped as -lh5- members, are read back identically by
// lhasa, bsdtar and 7zz, and on a small mixed corpus they are no larger in
// sum than what jlha writes for the same files.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "lha_container.hpp"
#include "process.hpp"
#include "test_streams.hpp"
#include "vsk/encoders.hpp"

namespace vsk::test {
namespace {

using namespace std::string_literals;

struct Sample {
  const char* name;
  Bytes data;
};

void Append(Bytes& out, const std::string& text) {
  out.insert(out.end(), text.begin(), text.end());
}

// Lines of a configuration-like text with a skewed vocabulary.
Bytes Text(std::size_t size, std::uint32_t seed) {
  static const char* const kKeys[] = {"path", "name", "size", "checksum", "method", "target"};
  static const char* const kWords[] = {"installer", "archive", "windows", "system",
                                       "program",   "files",   "data",    "setup"};
  std::mt19937 random(seed);
  Bytes text;
  while (text.size() < size) {
    Append(text, std::string(kKeys[random() % std::size(kKeys)]) + " = ");
    for (unsigned w = random() % 6 + 1; w > 0; --w)
      Append(text, std::string(kWords[random() % std::size(kWords)]) + (w > 1 ? " " : ""));
    Append(text, "; " + std::to_string(random() % 100000) + "\r\n");
  }
  text.resize(size);
  return text;
}

// Something like 32-bit x86 code: frequent opcode patterns with varying
// operands, calls into a small import table, zero padding between
// functions, and a string table.
Bytes ExecutableLike(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  const std::uint32_t imports[] = {0x00402010, 0x00402014, 0x00402018, 0x0040201C, 0x00402040};
  Bytes code;
  auto le32 = [&](std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      code.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  while (code.size() < size) {
    code.insert(code.end(), {0x55, 0x8B, 0xEC, 0x83, 0xEC});  // prologue
    code.push_back(static_cast<std::uint8_t>(4 * (random() % 16)));
    for (unsigned n = random() % 24 + 4; n > 0; --n) {
      switch (random() % 6) {
        case 0:
          code.insert(code.end(), {0x8B, 0x45, static_cast<std::uint8_t>(random() % 64)});
          break;
        case 1:
          code.insert(code.end(), {0x89, 0x45, static_cast<std::uint8_t>(random() % 64)});
          break;
        case 2:
          code.insert(code.end(), {0xFF, 0x15});
          le32(imports[random() % 5]);
          break;
        case 3:
          code.push_back(0xE8);
          le32(static_cast<std::uint32_t>(-static_cast<int>(random() % 4000)));
          break;
        case 4:
          code.insert(code.end(), {0x6A, static_cast<std::uint8_t>(random() % 8)});
          break;
        default:
          code.insert(code.end(), {0x85, 0xC0, 0x74, static_cast<std::uint8_t>(random() % 40)});
          break;
      }
    }
    code.insert(code.end(), {0x8B, 0xE5, 0x5D, 0xC3});  // epilogue
    code.insert(code.end(), (16 - code.size() % 16) % 16, 0x00);
    if (random() % 50 == 0) Append(code, "GetProcAddress\0LoadLibraryA\0CreateFileA\0"s);
  }
  code.resize(size);
  return code;
}

// Long runs of a few values, as in bitmaps and zero-filled sections.
Bytes Runs(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  const std::uint8_t values[] = {0x00, 0x00, 0xFF, 0x20, 0x07};
  Bytes out;
  while (out.size() < size) {
    const std::size_t run = (random() % 3 == 0) ? random() % 2000 + 1 : random() % 12 + 1;
    out.insert(out.end(), run, values[random() % std::size(values)]);
  }
  out.resize(size);
  return out;
}

// Compressible files of the kinds a payload holds.
std::vector<Sample> Corpus() {
  Bytes text_then_code = Text(30000, 4);
  const Bytes code = ExecutableLike(30000, 5);
  text_then_code.insert(text_then_code.end(), code.begin(), code.end());
  return {
      {"text.txt", Text(60000, 1)},
      {"code.exe", ExecutableLike(80000, 2)},
      {"runs.bmp", Runs(80000, 3)},
      {"mixed.dat", text_then_code},
  };
}

// The corpus and the edge cases of the format.
std::vector<Sample> MixedSamples() {
  std::vector<Sample> samples = Corpus();
  Bytes all_values(256);
  for (std::size_t b = 0; b < all_values.size(); ++b)
    all_values[b] = static_cast<std::uint8_t>(b);
  Bytes window_apart = RandomBytes(8192, 7);  // copies exactly 8192 bytes back
  window_apart.insert(window_apart.end(), window_apart.begin(), window_apart.end());
  samples.push_back({"one.bin", {0x5A}});
  samples.push_back({"all.bin", all_values});
  samples.push_back({"window.bin", window_apart});
  samples.push_back({"noise.bin", RandomBytes(20000, 6)});
  return samples;
}

// What `command` (given the archive's path) prints for a one-member -lh5-
// archive of `packed`.
Bytes PeerExpands(const std::string& command, const Sample& sample, const Bytes& packed) {
  TempDir dir;
  const std::string archive =
      dir.Write("m.lzh", WrapLhaLevel0("-lh5-", sample.name, sample.data, packed));
  const std::string out = (dir.path() / "out.bin").string();
  EXPECT_EQ(
      RunShell(command + " " + ShellQuote(archive) + " > " + ShellQuote(out) + " 2>/dev/null"), 0)
      << command << " on " << sample.name;
  return ReadWholeFile(out);
}

struct Peer {
  const char* program;
  const char* command;  // prints the member of the archive named after it
};

class PeerLh5Encode : public ::testing::TestWithParam<Peer> {};

TEST_P(PeerLh5Encode, ReadsOurStreamsBackIdentically) {
  const Peer& peer = GetParam();
  if (!HaveProgram(peer.program)) GTEST_SKIP() << peer.program << " is not installed";
  for (const Sample& sample : MixedSamples()) {
    EXPECT_EQ(PeerExpands(peer.command, sample, EncodeLH5(sample.data)), sample.data)
        << peer.program << " on " << sample.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Peers, PeerLh5Encode,
                         ::testing::Values(Peer{"lhasa", "lhasa -pq"},
                                           Peer{"bsdtar", "bsdtar -xOf"}, Peer{"7zz", "7zz e -so"}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.program);
                         });

// The -lh5- stream jlha writes for one file (nothing when it stores it).
std::optional<std::size_t> JlhaPackedSize(const TempDir& dir, const Sample& sample) {
  dir.Write(sample.name, sample.data);
  const std::string archive = std::string(sample.name) + ".lzh";
  const std::string command = "cd " + ShellQuote(dir.path().string()) + " && jlha ao5q " +
                              ShellQuote(archive) + " " + ShellQuote(sample.name) + " >/dev/null";
  EXPECT_EQ(RunShell(command), 0) << sample.name;
  const auto member = FirstLhaMember(ReadWholeFile(dir.path() / archive));
  if (!member || member->method != "-lh5-") return std::nullopt;
  return member->packed.size();
}

TEST(PeerLh5EncodeRatio, NoLargerThanJlhaOnAMixedCorpus) {
  if (!HaveProgram("jlha")) GTEST_SKIP() << "jlha (package jlha-utils) is not installed";
  TempDir dir;
  std::size_t ours = 0;
  std::size_t theirs = 0;
  for (const Sample& sample : Corpus()) {
    const auto jlha = JlhaPackedSize(dir, sample);
    if (!jlha) continue;  // stored: no stream to compare with
    ours += EncodeLH5(sample.data).size();
    theirs += *jlha;
  }
  ASSERT_GT(theirs, 0u);
  std::printf("LH5 packed sizes: ours %zu, jlha %zu, ratio %.4f\n", ours, theirs,
              static_cast<double>(ours) / static_cast<double>(theirs));
  EXPECT_LE(ours, theirs);
}

}  // namespace
}  // namespace vsk::test
