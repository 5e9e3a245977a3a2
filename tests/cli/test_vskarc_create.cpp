// vskarc create, run as a user would run it: archives that the engine reads
// back member for member, the names it gives, keys, and failures that leave
// no archive behind (nor touch an existing one).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "test_streams.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"
#include "vskarc_path.hpp"

namespace vsk::test {
namespace {

namespace fs = std::filesystem;

struct MemberSeen {
  std::string name;
  std::uint8_t method;
  std::int32_t key_flag;
};

struct ArchiveSeen {
  std::string method_id;
  std::vector<MemberSeen> members;
};

ArchiveSeen ReadBack(const std::string& path) {
  TVSInstCompress component;
  TFileStream archive(path, TFileMode::OpenReadShared);
  const ArchiveInfo info = ReadArchiveInfo(component, archive);
  ArchiveSeen seen{info.MethodId, {}};
  WalkMembers(component, archive, info, [&](const ArchiveMember& m) {
    seen.members.push_back({m.Name, m.Entry.Method, m.Entry.KeyFlag});
  });
  return seen;
}

std::vector<std::string> Names(const ArchiveSeen& seen) {
  std::vector<std::string> names;
  for (const auto& m : seen.members)
    names.push_back(m.name);
  return names;
}

Bytes Expand(const std::string& archive, const std::string& member, std::int32_t key = 0) {
  TVSInstCompress component;
  component.Key = key;
  TMemoryStream dest;
  component.ExpandFile(archive, dest, member);
  return dest.Memory();
}

Bytes Text(int lines) {
  Bytes out;
  for (int i = 0; i < lines; ++i) {
    const Bytes line = ToBytes("[section " + std::to_string(i % 17) + "] key=value\n");
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

const Bytes kReadme = Text(400);
const Bytes kRuns(20000, 0x94);
const Bytes kDeep = Text(3);

class VskarcCreate : public ::testing::Test {
 protected:
  // in/readme.txt, in/data/{empty, runs.bin, sub/deep.txt}
  void SetUp() override {
    fs::create_directories(dir_.path() / "in" / "data" / "sub");
    dir_.Write("in/readme.txt", kReadme);
    dir_.Write("in/data/empty", {});
    dir_.Write("in/data/runs.bin", kRuns);
    dir_.Write("in/data/sub/deep.txt", kDeep);
  }
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(VskarcPath(), args, dir_.path().string());
  }
  std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }
  // Files in the test directory other than the captured output.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "in" && name != "process.out" && name != "process.err") names.push_back(name);
    }
    return names;
  }

  TempDir dir_;
};

TEST_F(VskarcCreate, DefaultMethodDirectoriesAndNamesRelativeToC) {
  const auto r = Run({"create", Path("a.zulk"), "-C", Path("in"), "readme.txt", "data"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const ArchiveSeen seen = ReadBack(Path("a.zulk"));
  EXPECT_EQ(seen.method_id, "LH5");
  EXPECT_EQ(Names(seen), (std::vector<std::string>{"readme.txt", "data\\empty", "data\\runs.bin",
                                                   "data\\sub\\deep.txt"}));
  EXPECT_EQ(Expand(Path("a.zulk"), "readme.txt"), kReadme);
  EXPECT_EQ(Expand(Path("a.zulk"), "DATA\\RUNS.BIN"), kRuns);
  EXPECT_EQ(Expand(Path("a.zulk"), "data\\sub\\deep.txt"), kDeep);
  EXPECT_EQ(seen.members[0].method, kMethodLH5);
}

TEST_F(VskarcCreate, NamesAreTheArgumentsAsGivenWithBackslashes) {
  const auto r =
      Run({"create", Path("a.zulk"), "-C", dir_.path().string(), "in/data/", "in/readme.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Names(ReadBack(Path("a.zulk"))),
            (std::vector<std::string>{"in\\data\\empty", "in\\data\\runs.bin",
                                      "in\\data\\sub\\deep.txt", "in\\readme.txt"}));
}

TEST_F(VskarcCreate, EveryMethodAndItsArchiveId) {
  const struct {
    const char* option;
    const char* id;
    std::uint8_t method;
  } cases[] = {{"stored", "NON", kMethodStored},
               {"rle", "RLE", kMethodRLE},
               {"lzh", "LZH", kMethodLZH1},
               {"lh5", "LH5", kMethodLH5}};
  for (const auto& c : cases) {
    const std::string archive = Path(std::string(c.option) + ".zulk");
    const auto r = Run({"create", archive, "--method", c.option, "-C", Path("in"), "data"});
    ASSERT_EQ(r.exit_code, 0) << c.option << r.err;
    const ArchiveSeen seen = ReadBack(archive);
    EXPECT_EQ(seen.method_id, c.id);
    EXPECT_EQ(seen.members[1].method, c.method) << c.option;  // the runs compress with any
    EXPECT_EQ(Expand(archive, "data\\runs.bin"), kRuns) << c.option;
    EXPECT_EQ(Expand(archive, "data\\sub\\deep.txt"), kDeep) << c.option;
  }
}

TEST_F(VskarcCreate, KeyScramblesTheCompressedMembers) {
  constexpr std::int32_t kKey = 0x1234ABCD;
  const auto r = Run({"create", Path("k.zulk"), "--method=lzh", "--key", "0x1234ABCD", "-C",
                      Path("in"), "readme.txt", "data"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const ArchiveSeen seen = ReadBack(Path("k.zulk"));
  EXPECT_EQ(seen.members[0].key_flag, 2);
  EXPECT_EQ(Expand(Path("k.zulk"), "readme.txt", kKey), kReadme);
  EXPECT_THROW(Expand(Path("k.zulk"), "readme.txt"), EInvalidKey);
  EXPECT_EQ(Run({"test", Path("k.zulk"), "--key", "305441741"}).exit_code, 0);
  EXPECT_EQ(Run({"test", Path("k.zulk")}).exit_code, 1);

  // Stored members cannot be scrambled: said, not hidden.
  const auto stored =
      Run({"create", Path("s.zulk"), "--method", "stored", "--key", "5", "-C", Path("in"), "data"});
  ASSERT_EQ(stored.exit_code, 0) << stored.err;
  EXPECT_NE(stored.err.find("2 members are stored uncompressed, in the clear"), std::string::npos)
      << stored.err;
  EXPECT_EQ(Expand(Path("s.zulk"), "data\\runs.bin"), kRuns);
}

TEST_F(VskarcCreate, ReplacesAnExistingArchive) {
  ASSERT_EQ(Run({"create", Path("a.zulk"), "-C", Path("in"), "data"}).exit_code, 0);
  ASSERT_EQ(Run({"create", Path("a.zulk"), "-C", Path("in"), "readme.txt"}).exit_code, 0);
  EXPECT_EQ(Names(ReadBack(Path("a.zulk"))), std::vector<std::string>{"readme.txt"});
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"a.zulk"});
}

TEST_F(VskarcCreate, AnArchiveInsideTheTreeIsNotPackedIntoItself) {
  const std::string inside = Path("in/data/self.zulk");
  ASSERT_EQ(Run({"create", inside, "-C", Path("in"), "data"}).exit_code, 0);
  const auto again = Run({"create", inside, "-C", Path("in"), "data"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_NE(again.err.find("data\\self.zulk is the archive itself"), std::string::npos)
      << again.err;
  EXPECT_EQ(Names(ReadBack(inside)),
            (std::vector<std::string>{"data\\empty", "data\\runs.bin", "data\\sub\\deep.txt"}));
}

TEST_F(VskarcCreate, FailuresLeaveNoArchiveAndAnExistingOneUntouched) {
  const Bytes existing = ToBytes("an archive from before");
  const std::string in = Path("in");
  const struct {
    std::vector<std::string> args;
    int exit_code;
    const char* says;
  } cases[] = {
      {{"-C", in, "readme.txt", "missing.txt"}, 1, "vskarc: cannot read missing.txt"},
      {{"-C", in, "readme.txt", "--method", "zip"}, 2, "--method takes stored, rle, lzh or lh5"},
      {{"-C", in, "readme.txt", "--key", "0x100000000"}, 2, "--key needs a signed 32-bit"},
      {{}, 2, "create needs ARCHIVE and at least one FILE"},
  };
  for (const bool archive_exists : {false, true}) {
    for (const auto& c : cases) {
      if (archive_exists) dir_.Write("a.zulk", existing);
      std::vector<std::string> args = {"create", Path("a.zulk")};
      args.insert(args.end(), c.args.begin(), c.args.end());
      const auto r = Run(args);
      EXPECT_EQ(r.exit_code, c.exit_code) << c.says;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
      if (archive_exists) {
        EXPECT_EQ(ReadWholeFile(Path("a.zulk")), existing) << c.says;
        EXPECT_EQ(Leftovers(), std::vector<std::string>{"a.zulk"}) << c.says;
      } else {
        EXPECT_TRUE(Leftovers().empty()) << c.says;
      }
      std::error_code ignored;
      fs::remove(Path("a.zulk"), ignored);
    }
  }
}

TEST_F(VskarcCreate, AFailureAfterWritingLeavesNothingHalfWritten) {
  // The complete archive cannot take the place of a directory.
  fs::create_directory(Path("taken"));
  const auto r = Run({"create", Path("taken"), "-C", Path("in"), "data"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("vskarc: "), std::string::npos);
  EXPECT_TRUE(fs::is_directory(Path("taken")));
  EXPECT_EQ(Leftovers(), std::vector<std::string>{"taken"});
}

TEST_F(VskarcCreate, RefusesWhatTheFormatCannotHold) {
  // Two sparse files of 1.1 GiB: more than a signed 32-bit total.
  fs::create_directory(Path("big"));
  for (const char* name : {"big/1", "big/2"}) {
    dir_.Write(name, {});
    fs::resize_file(Path(name), std::uintmax_t{1100} << 20);
  }
  const auto total = Run({"create", Path("a.zulk"), Path("big")});
  EXPECT_EQ(total.exit_code, 1);
  EXPECT_NE(total.err.find("add up to more than 2147483647 bytes"), std::string::npos) << total.err;
  fs::remove_all(Path("big"));
#ifndef _WIN32
  // A name of 32768 bytes that still names readme.txt (Windows command
  // lines are shorter than that).
  std::string name;
  for (int i = 0; i < 16379; ++i)
    name += "./";
  name += "readme.txt";
  const auto long_name = Run({"create", Path("a.zulk"), "-C", Path("in"), name});
  EXPECT_EQ(long_name.exit_code, 1);
  EXPECT_NE(long_name.err.find("member name longer than 32767 bytes"), std::string::npos)
      << long_name.err;
#endif
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(VskarcCreate, ProgressBarOnlyWhenAsked) {
  const auto shown = Run({"create", Path("a.zulk"), "--progress", "-C", Path("in"), "data"});
  ASSERT_EQ(shown.exit_code, 0);
  EXPECT_NE(shown.err.find("100%"), std::string::npos) << shown.err;
  const auto hidden = Run({"create", Path("b.zulk"), "--no-progress", "-C", Path("in"), "data"});
  ASSERT_EQ(hidden.exit_code, 0);
  EXPECT_EQ(hidden.err.find('%'), std::string::npos) << hidden.err;
}

}  // namespace
}  // namespace vsk::test
