// vskarc list / extract / test and the command line itself, run as a user
// would run them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "test_streams.hpp"
#include "vskarc_path.hpp"

namespace vsk::test {
namespace {

class Vskarc : public ::testing::Test {
 protected:
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(VskarcPath(), args, dir_.path().string());
  }
  std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }
  std::string Write(const std::string& name, const Bytes& bytes) { return dir_.Write(name, bytes); }

  TempDir dir_;
};

const Bytes kText = ToBytes("Setup data, setup data, setup data!\n");
const Bytes kRuns(5000, 'z');
constexpr std::int32_t kKey = 0x1234ABCD;

// Three members: stored, RLE, and a keyed RLE member of the same name as the
// first (different case).
Bytes SampleArchive() {
  return ArchiveBuilder()
      .Stored("Installer\\Varnskell.exe", kText)
      .Rle("data\\runs.bin", kRuns)
      .Rle("INSTALLER\\varnskell.EXE", kRuns, kKey)
      .Build();
}

std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST_F(Vskarc, HelpAndUsageErrors) {
  const auto help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* command : {"list", "extract", "test"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
    const auto command_help = Run({command, "--help"});
    EXPECT_EQ(command_help.exit_code, 0) << command;
    EXPECT_NE(command_help.out.find(std::string("usage: vskarc ") + command), std::string::npos);
  }
  const struct {
    std::vector<std::string> args;
    const char* says;
  } usage_errors[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command 'frobnicate'"},
      {{"list"}, "wrong number of arguments"},
      {{"list", "a", "b"}, "wrong number of arguments"},
      {{"list", "a", "--bogus"}, "unknown option --bogus"},
      {{"extract", "a", "m", "-o"}, "option -o needs a value"},
      {{"extract", "a", "m", "--key=12x"}, "--key needs a signed 32-bit number"},
      {{"test", "a", "--key", "4294967296"}, "--key needs a signed 32-bit number"},
  };
  for (const auto& c : usage_errors) {
    const auto r = Run(c.args);
    EXPECT_EQ(r.exit_code, 2) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("usage: vskarc"), std::string::npos) << r.err;
  }
}

TEST_F(Vskarc, ListShowsEveryMemberAndTotals) {
  Bytes archive = ArchiveBuilder()
                      .MethodId("RLE")
                      .Stored("Installer\\Varnskell.exe", kText)
                      .Rle("data\\runs.bin", kRuns, kKey)
                      .Raw(MakeEntry(200, 0, 0), "odd", {})
                      .TotalSize(5037)  // one more than the members: all three are reached
                      .Build();
  const auto r = Run({"list", Write("a.vsk", archive)});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("method id \"RLE\""), std::string::npos) << r.out;
  const std::string text_sum = [] {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(ByteSum(kText)));
    return std::string(hex);
  }();
  EXPECT_NE(
      r.out.find("NON             36          36    0 " + text_sum + "  Installer\\Varnskell.exe"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("RLE  "), std::string::npos);
  EXPECT_NE(r.out.find("       5000    2 "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("200              0           0    0 00000000  odd"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("3 members"), std::string::npos);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("5036 bytes expanded"), std::string::npos) << r.out;
}

TEST_F(Vskarc, ListOfAFileShorterThanAHeaderShowsNoMembers) {
  const auto r = Run({"list", Write("short.vsk", ToBytes("ZULK"))});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("4 bytes, shorter than an archive header: no members"), std::string::npos)
      << r.out;
}

TEST_F(Vskarc, ListWarnsAboutBytesTheWalkDoesNotReach) {
  const Bytes archive =
      ArchiveBuilder().TotalSize(36).Stored("a", kText).Stored("b", kText).Build();
  const auto r = Run({"list", Write("a.vsk", archive)});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("1 member,"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("62 bytes after the last member"), std::string::npos) << r.err;
}

TEST_F(Vskarc, ExtractConcatenatesEveryMatchIntoFileOrStdout) {
  const std::string archive = Write("a.vsk", SampleArchive());
  Bytes both = kText;
  both.insert(both.end(), kRuns.begin(), kRuns.end());
  for (const std::string key : {"--key=305441741", "--key=0x1234abcd"}) {
    const auto r = Run({"extract", archive, "installer\\varnskell.exe", "-o", Path("out"), key});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(ReadWholeFile(Path("out")), both);
  }
  const auto to_stdout = Run({"extract", "--key", "305441741", archive, "DATA\\RUNS.BIN"});
  ASSERT_EQ(to_stdout.exit_code, 0) << to_stdout.err;
  EXPECT_EQ(to_stdout.out, Text(kRuns));
}

TEST_F(Vskarc, ExtractFailuresNameTheEngineClass) {
  const std::string archive = Write("a.vsk", SampleArchive());
  const auto locked = Run({"extract", archive, "Installer\\Varnskell.exe", "-o", Path("out")});
  EXPECT_EQ(locked.exit_code, 1);
  EXPECT_EQ(locked.err, "vskarc: EInvalidKey: File locked -- valid key required\n");
  EXPECT_EQ(ReadWholeFile(Path("out")), kText);  // what came before the failure stays

  const auto damaged_archive =
      ArchiveBuilder().Raw(MakeEntry(kMethodRLE, 5000, 1), "m", EncodeRleForTest(kRuns)).Build();
  const auto checksum = Run({"extract", Write("bad.vsk", damaged_archive), "m", "-o", Path("m")});
  EXPECT_EQ(checksum.exit_code, 1);
  EXPECT_EQ(checksum.err,
            "vskarc: EBadChecksum: Bad checksum during expansion -- data may be invalid\n");
  EXPECT_EQ(ReadWholeFile(Path("m")), kRuns);

  // An existing output is never replaced by a half-written one.
  Write("keep", ToBytes("previous contents"));
  const auto kept = Run({"extract", Write("bad2.vsk", damaged_archive), "m", "-o", Path("keep")});
  EXPECT_EQ(kept.exit_code, 1);
  EXPECT_EQ(ReadWholeFile(Path("keep")), ToBytes("previous contents"));
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }

  const auto missing = Run({"extract", Path("none.vsk"), "m"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_EQ(missing.err, "vskarc: EFOpenError: Cannot open file " + Path("none.vsk") + "\n");

  const auto no_member = Run({"extract", archive, "nothing", "-o", Path("never")});
  EXPECT_EQ(no_member.exit_code, 1);
  EXPECT_NE(no_member.err.find("no member \"nothing\""), std::string::npos) << no_member.err;
  EXPECT_FALSE(std::filesystem::exists(Path("never")));

  const auto onto_itself = Run({"extract", archive, "data\\runs.bin", "-o", archive});
  EXPECT_EQ(onto_itself.exit_code, 1);
  EXPECT_NE(onto_itself.err.find("is the archive itself"), std::string::npos) << onto_itself.err;
  EXPECT_EQ(ReadWholeFile(archive), SampleArchive());

  Bytes not_archive = ToBytes("PK\x03\x04 this is something else entirely");
  const auto header = Run({"list", Write("zip.vsk", not_archive)});
  EXPECT_EQ(header.exit_code, 1);
  EXPECT_EQ(header.err, "vskarc: EInvalidHeader: Can't recognize compressed file header\n");
}

TEST_F(Vskarc, TestReportsEachMemberAndFailsOnAny) {
  const std::string archive = Write("a.vsk", SampleArchive());
  const auto good = Run({"test", archive, "--key", "0x1234ABCD"});
  EXPECT_EQ(good.exit_code, 0) << good.err;
  EXPECT_EQ(good.out,
            "OK      Installer\\Varnskell.exe\nOK      data\\runs.bin\n"
            "OK      INSTALLER\\varnskell.EXE\n3 members tested, 0 failed\n");
  const auto wrong_key = Run({"test", archive, "--key=-1"});
  EXPECT_EQ(wrong_key.exit_code, 1);
  EXPECT_NE(wrong_key.out.find("FAILED  INSTALLER\\varnskell.EXE: EInvalidKey: File locked -- "
                               "valid key required\n3 members tested, 1 failed"),
            std::string::npos)
      << wrong_key.out;
  EXPECT_EQ(wrong_key.err, "vskarc: EInvalidKey: File locked -- valid key required\n");
}

TEST_F(Vskarc, ProgressBarOnlyWhenAskedOrOnATerminal) {
  const std::string archive =
      Write("a.vsk", ArchiveBuilder().Rle("big", Bytes(40000, 'q')).Build());
  const auto quiet = Run({"test", archive});
  EXPECT_EQ(quiet.err, "");
  const auto shown = Run({"test", archive, "--progress"});
  EXPECT_EQ(shown.exit_code, 0);
  EXPECT_NE(shown.err.find("100% big"), std::string::npos) << shown.err;
  const auto extract = Run({"extract", archive, "big", "--progress", "-o", Path("big")});
  EXPECT_NE(extract.err.find("100% big"), std::string::npos) << extract.err;
}

}  // namespace
}  // namespace vsk::test
