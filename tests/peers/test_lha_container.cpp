// The LHA container helpers agree with the peer tools, so that the codec
// tests built on them compare streams, not container quirks.
#include <gtest/gtest.h>

#include "archive_builder.hpp"
#include "lha_container.hpp"
#include "process.hpp"
#include "test_streams.hpp"

namespace vsk::test {
namespace {

TEST(LhaContainer, Crc16MatchesTheCheckValue) {
  EXPECT_EQ(LhaCrc16(ToBytes("123456789")), 0xBB3D);
}

TEST(LhaContainer, PeerAcceptsOurLevel0StoredArchive) {
  if (!HaveProgram("lhasa")) GTEST_SKIP() << "lhasa is not installed";
  TempDir dir;
  const Bytes data = ToBytes("stored member for the peer\n");
  const std::string archive = dir.Write("s.lzh", WrapLhaLevel0("-lh0-", "s.txt", data, data));
  const std::string out = (dir.path() / "out.txt").string();
  ASSERT_EQ(RunShell("lhasa -pq " + ShellQuote(archive) + " > " + ShellQuote(out)), 0);
  EXPECT_EQ(ReadWholeFile(out), data);
}

TEST(LhaContainer, ReadsTheFirstMemberOfAJlhaArchive) {
  if (!HaveProgram("jlha")) GTEST_SKIP() << "jlha (package jlha-utils) is not installed";
  TempDir dir;
  Bytes text;
  for (int i = 0; i < 400; ++i) {
    const Bytes line = ToBytes("line " + std::to_string(i % 37) + " of a repetitive text\n");
    text.insert(text.end(), line.begin(), line.end());
  }
  dir.Write("t.txt", text);
  ASSERT_EQ(RunShell("cd " + ShellQuote(dir.path().string()) + " && jlha ao5q t.lzh t.txt"), 0);
  const auto member = FirstLhaMember(ReadWholeFile(dir.path() / "t.lzh"));
  ASSERT_TRUE(member.has_value());
  EXPECT_EQ(member->method, "-lh5-");
  EXPECT_EQ(member->original_size, text.size());
  // Round trip through our level-0 wrapper and the other peer.
  const std::string again =
      dir.Write("again.lzh", WrapLhaLevel0("-lh5-", "t.txt", text, member->packed));
  const std::string out = (dir.path() / "out.txt").string();
  ASSERT_EQ(RunShell("lhasa -pq " + ShellQuote(again) + " > " + ShellQuote(out)), 0);
  EXPECT_EQ(ReadWholeFile(out), text);
}

}  // namespace
}  // namespace vsk::test
