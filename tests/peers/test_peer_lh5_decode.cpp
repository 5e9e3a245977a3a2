// LH5 streams written by an independent encoder (jlha, -lh5-) expand through
// the engine to the original bytes: the data of jlha's member goes into an
// archive of ours as an LH5 member and comes back out through ExpandFile,
// checksum test included.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "lha_container.hpp"
#include "process.hpp"
#include "test_streams.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

Bytes Text(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) {
    std::string w;
    for (unsigned n = 2 + rng() % 8; n > 0; --n)
      w += static_cast<char>('a' + rng() % 26);
    words.push_back(w);
  }
  Bytes out;
  while (out.size() < size) {
    const std::string& w = words[rng() % words.size()];
    out.insert(out.end(), w.begin(), w.end());
    out.push_back(rng() % 12 == 0 ? '\n' : ' ');
  }
  out.resize(size);
  return out;
}

// Records of a few fields with small, repetitive values, and stretches of
// noise: the kind of bytes an executable's tables and data hold.
Bytes Binary(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out;
  while (out.size() < size) {
    if (rng() % 5 == 0) {
      for (int i = 0; i < 300; ++i)
        out.push_back(static_cast<std::uint8_t>(rng()));
    } else {
      const std::uint32_t id = rng() % 64;
      for (const std::uint32_t v :
           {id, id * 16 + 0x401000u, static_cast<std::uint32_t>(rng() % 4), 0u})
        for (int b = 0; b < 4; ++b)
          out.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    }
  }
  out.resize(size);
  return out;
}

Bytes Runs() {
  Bytes out(300000, 'a');
  out.insert(out.end(), 70000, 0x00);
  for (int i = 0; i < 2000; ++i)
    out.insert(out.end(), static_cast<std::size_t>(1 + i % 9), static_cast<std::uint8_t>(i));
  out.insert(out.end(), 100000, 0xFF);
  return out;
}

struct PeerStream {
  std::string method;
  Bytes packed;
};

PeerStream CompressWithJlha(const TempDir& dir, const Bytes& data) {
  dir.Write("in.bin", data);
  const std::string cd = "cd " + ShellQuote(dir.path().string()) + " && ";
  EXPECT_EQ(RunShell(cd + "rm -f out.lzh && jlha ao5q out.lzh in.bin"), 0);
  const auto member = FirstLhaMember(ReadWholeFile(dir.path() / "out.lzh"));
  if (!member) return {};
  EXPECT_EQ(member->original_size, data.size());
  return {member->method, member->packed};
}

Bytes ExpandAsOurMember(const TempDir& dir, const Bytes& data, const Bytes& packed) {
  const std::string archive = dir.Write(
      "ours.vsk",
      ArchiveBuilder()
          .Raw(MakeEntry(kMethodLH5, static_cast<std::int32_t>(data.size()), ByteSum(data)),
               "Installer\\member.bin", packed)
          .Build());
  TVSInstCompress component;
  TMemoryStream dest;
  component.ExpandFile(archive, dest, "installer\\MEMBER.bin");
  return dest.Memory();
}

TEST(PeerLh5Decode, JlhaStreamsExpandToTheOriginal) {
  if (!HaveProgram("jlha")) GTEST_SKIP() << "jlha (package jlha-utils) is not installed";
  const struct {
    const char* what;
    Bytes data;
  } cases[] = {
      {"text", Text(200000, 1)},
      {"binary", Binary(150000, 2)},
      {"long runs", Runs()},
      // jlha stores files under 12 bytes (method -lh0-); these are about the
      // smallest it packs. Shorter outputs are covered by hand-made streams.
      {"tiny run", Bytes(12, 'a')},
      {"tiny text", ToBytes("abcabcabcabcabcabc")},
      // Far more than 65536 symbols, so many blocks (jlha's hold fewer).
      {"large text", Text(1000000, 3)},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const PeerStream stream = CompressWithJlha(dir, c.data);
    ASSERT_EQ(stream.method, "-lh5-") << c.what;
    EXPECT_EQ(ExpandAsOurMember(dir, c.data, stream.packed), c.data) << c.what;
  }
}

}  // namespace
}  // namespace vsk::test
