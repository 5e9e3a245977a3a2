// The archive container and TVSInstCompress: header validation, the member
// walk, name matching, the checksum and key rules and the exception table.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "open_files.hpp"
#include "test_streams.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/expand_member.hpp"
#include "vsk/file_stream.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

// Writes `archive` to a file, expands `name` from it into a memory stream
// that already holds `prefix`, and returns the destination's bytes.
class ExpandFixture : public ::testing::Test {
 protected:
  Bytes Expand(const Bytes& archive, const std::string& name, const Bytes& prefix = {}) {
    const std::string path = dir_.Write("archive.vsk", archive);
    TMemoryStream dest(prefix);
    dest.Seek(0, TSeekOrigin::soEnd);
    component_.ExpandFile(path, dest, name);
    return dest.Memory();
  }

  // Expands and reports the failure as "<class>: <message>", or "" when none.
  std::string Failure(const Bytes& archive, const std::string& name) {
    try {
      Expand(archive, name);
    } catch (const Exception& e) {
      return e.ClassName() + ": " + e.Message();
    }
    return "";
  }

  TempDir dir_;
  TVSInstCompress component_;
};

const Bytes kHello = ToBytes("Hello, world");
const Bytes kRuns = ToBytes("aaaaaaaaaabbbbbbbbbbbbbbbbbbbbc\x94\x94\x94\x94zzzzzzzzzzzzzzzz");

TEST(ExceptionTable, ClassesCarryTheirFixedMessages) {
  const struct {
    Exception e;
    const char* class_name;
    const char* message;
  } cases[] = {
      {ELZHBadDecodeTable(), "ELZHBadDecodeTable", "Bad decode table in archive!"},
      {EUnableToCompress(), "EUnableToCompress", "Could not compress data"},
      {EUnrecognizedCompressionMethod("lh5"), "EUnrecognizedCompressionMethod",
       "Unrecognized compression method: \"lh5\" in header"},
      {EInvalidHeaderArchiveType(), "EInvalidHeaderArchiveType", "Archive type must be caMulti"},
      {EInvalidHeader(), "EInvalidHeader", "Can't recognize compressed file header"},
      {EBadChecksum(), "EBadChecksum", "Bad checksum during expansion -- data may be invalid"},
      {EInvalidKey(), "EInvalidKey", "File locked -- valid key required"},
      {EReadError(), "EReadError", "Stream read error"},
      {EWriteError(), "EWriteError", "Stream write error"},
      {EFOpenError("C:\\a.vsk"), "EFOpenError", "Cannot open file C:\\a.vsk"},
      {EFCreateError("x"), "EFCreateError", "Cannot create file x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.e.ClassName(), c.class_name);
    EXPECT_EQ(c.e.Message(), c.message);
    EXPECT_STREQ(c.e.what(), c.message);
  }
}

TEST(ArchiveFormat, HeadersRoundTripLittleEndian) {
  EntryHeader e = MakeEntry(kMethodLH5, 0x01020304, -2, 2);
  e.NameLength = 23;
  e.FileTime = 0xBEEF;
  e.CompressedSize = 77;
  const auto bytes = EncodeEntryHeader(e);
  EXPECT_EQ(bytes[0], 23);
  EXPECT_EQ(bytes[8], 0x04);
  EXPECT_EQ(bytes[11], 0x01);
  EXPECT_EQ(bytes[16], kMethodLH5);
  EXPECT_EQ(bytes[17], 0xFE);
  const EntryHeader back = DecodeEntryHeader(bytes);
  EXPECT_EQ(back.FileTime, 0xBEEF);
  EXPECT_EQ(back.ExpandedSize, 0x01020304);
  EXPECT_EQ(back.Checksum, -2);
  EXPECT_EQ(back.KeyFlag, 2);
}

TEST(MemberNames, OnlyAsciiLettersFoldCase) {
  EXPECT_TRUE(SameMemberName("Installer\\Varnskell.exe", "INSTALLER\\varnskell.EXE"));
  EXPECT_FALSE(SameMemberName("Installer\\Varnskell.exe", "Installer/Varnskell.exe"));
  EXPECT_FALSE(SameMemberName("caf\xE9", "CAF\xC9"));  // accented letters are not folded
  EXPECT_FALSE(SameMemberName("a", "a "));
  EXPECT_TRUE(SameMemberName(std::string("a\0b", 3), std::string("A\0B", 3)));
  EXPECT_FALSE(SameMemberName("[", "{"));  // only a-z map, not 0x7B to 0x5B
}

TEST(TargetPath, SetterAppendsOneBackslash) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\Setup", "C:\\Setup\\"}, {"C:\\Setup\\", "C:\\Setup\\"}, {"", ""}, {"dir/", "dir/\\"}};
  for (const auto& c : cases) {
    TVSInstCompress component;
    component.SetTargetPath(c.in);
    EXPECT_EQ(component.TargetPath(), c.out) << c.in;
  }
}

TEST(InitArchiveHeader, KeyFlagFollowsTheSignOfKey) {
  for (const auto& [key, flag] : {std::pair{0, 0}, {5, 2}, {-5, 0}}) {
    TVSInstCompress component;
    component.Key = key;
    ArchiveHeader h;
    component.InitArchiveHeader(h, "LH5", caMulti, 9);
    EXPECT_EQ(h.KeyFlag, flag);
    EXPECT_EQ(h.Signature, kArchiveSignature);
    EXPECT_EQ(h.TotalSize, 9);
    EXPECT_EQ(h.Reserved, 0);
  }
}

TEST(NewComponent, StartsZeroed) {
  const TVSInstCompress c;
  EXPECT_EQ(c.Key, 0);
  EXPECT_FALSE(c.OnExpand || c.OnCompress || c.OnRecognize || c.OnShowProgress || c.OnCheckFile);
  EXPECT_FALSE(c.MakeDirectories || c.ExceptionOnFileError || c.CheckSpaceBeforeExpand);
  EXPECT_TRUE(c.TargetPath().empty());
}

TEST_F(ExpandFixture, ShortArchivesExpandNothingQuietly) {
  for (const std::size_t size : {0u, 20u}) {
    Bytes archive = ArchiveBuilder().Stored("a", kHello).Build();
    archive.resize(size);
    EXPECT_EQ(Expand(archive, "a", kHello), kHello) << size;
  }
}

TEST_F(ExpandFixture, HeaderAloneIsValidatedThenTheWalkEnds) {
  EXPECT_EQ(Expand(ArchiveBuilder().Build(), "a"), Bytes{});
  EXPECT_EQ(Failure(ArchiveBuilder().ArchiveType(2).Build(), "a"),
            "EInvalidHeaderArchiveType: Archive type must be caMulti");
  Bytes bad = ArchiveBuilder().Build();
  bad[4] = 0x1B;
  EXPECT_EQ(Failure(bad, "a"), "EInvalidHeader: Can't recognize compressed file header");
}

TEST_F(ExpandFixture, MethodIdMustBeInTableOrRecognized) {
  int asked = 0;
  std::string asked_about;
  bool answer = false;
  component_.OnRecognize = [&](const std::string& id, bool& recognized) {
    ++asked;
    asked_about = id;
    recognized = answer;
  };
  EXPECT_EQ(Expand(ArchiveBuilder().MethodId("CUS").Stored("a", kHello).Build(), "a"), kHello);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Failure(ArchiveBuilder().MethodId("lh5").Stored("a", kHello).Build(), "a"),
            "EUnrecognizedCompressionMethod: Unrecognized compression method: \"lh5\" in header");
  EXPECT_EQ(asked, 1);
  answer = true;
  EXPECT_EQ(Expand(ArchiveBuilder().MethodId("XY").Stored("a", kHello).Build(), "a"), kHello);
  EXPECT_EQ(asked_about, std::string("XY\0", 3));  // a zero byte stays part of the id
  component_.OnRecognize = nullptr;
  EXPECT_EQ(Failure(ArchiveBuilder().MethodId("XY").Build(), "a"),
            std::string("EUnrecognizedCompressionMethod: Unrecognized compression method: \"XY") +
                '\0' + "\" in header");
}

TEST_F(ExpandFixture, CustomMethodHandlerSeesTheArchiveMethodId) {
  std::string seen_id;
  component_.OnExpand = [&](TStream& dest, TStream& source, std::int32_t sourcesize,
                            std::int32_t destsize, const std::string& id, std::int32_t& checksum) {
    seen_id = id;
    EXPECT_EQ(checksum, 0);
    Bytes data(static_cast<std::size_t>(sourcesize));
    source.ReadBuffer(data.data(), sourcesize);
    for (auto& b : data)
      b = static_cast<std::uint8_t>(b ^ 0x20);  // "decode"
    dest.WriteBuffer(data.data(), destsize);
    checksum = ByteSum(data);
  };
  const Bytes stored = ToBytes("HELLO");
  const Bytes archive =
      ArchiveBuilder()
          .MethodId("RLE")
          .Raw(MakeEntry(kMethodCustom, 5, ByteSum(ToBytes("hello"))), "c", stored)
          .Build();
  EXPECT_EQ(Expand(archive, "C"), ToBytes("hello"));
  EXPECT_EQ(seen_id, "RLE");
}

TEST_F(ExpandFixture, TotalSizeBoundsTheWalk) {
  const Bytes two = ArchiveBuilder().Stored("a", kHello).Stored("a", kRuns).Build();
  Bytes zero_total = ArchiveBuilder().TotalSize(0).Stored("a", kHello).Build();
  EXPECT_EQ(Expand(zero_total, "a"), Bytes{});
  const auto first_only = ArchiveBuilder()
                              .TotalSize(static_cast<std::int32_t>(kHello.size()))
                              .Stored("a", kHello)
                              .Stored("a", kRuns)
                              .Build();
  EXPECT_EQ(Expand(first_only, "a"), kHello);
  Bytes both = kHello;
  both.insert(both.end(), kRuns.begin(), kRuns.end());
  EXPECT_EQ(Expand(two, "a"), both);
}

TEST_F(ExpandFixture, EveryMatchIsAppendedInArchiveOrder) {
  const Bytes archive = ArchiveBuilder()
                            .Stored("Dir\\File.txt", kHello)
                            .Stored("other", kRuns)
                            .Rle("dir\\FILE.TXT", kRuns)
                            .Stored("Dir/File.txt", kHello)
                            .Build();
  Bytes expected = ToBytes(">");
  expected.insert(expected.end(), kHello.begin(), kHello.end());
  expected.insert(expected.end(), kRuns.begin(), kRuns.end());
  EXPECT_EQ(Expand(archive, "DIR\\file.txt", ToBytes(">")), expected);
  EXPECT_EQ(Expand(archive, "missing"), Bytes{});
}

TEST_F(ExpandFixture, StoredMembersAreNeitherVerifiedNorKeyed) {
  EntryHeader odd = MakeEntry(kMethodStored, 1, 12345, kKeyFlagScrambled);  // Key is 0
  const Bytes archive = ArchiveBuilder()
                            .Raw(odd, "a", kHello)
                            .Raw(MakeEntry(kMethodStored, 0, 99), "a", {})
                            .Stored("a", kRuns)
                            .Build();
  Bytes expected = kHello;
  expected.insert(expected.end(), kRuns.begin(), kRuns.end());
  EXPECT_EQ(Expand(archive, "a"), expected);
}

TEST_F(ExpandFixture, StoredMemberRunningPastTheEndIsAReadError) {
  Bytes archive = ArchiveBuilder().Stored("a", kRuns).Build();
  archive.resize(archive.size() - 1);
  EXPECT_EQ(Failure(archive, "a"), "EReadError: Stream read error");
}

// The checksum and key rules of one RLE member, as a table.
TEST_F(ExpandFixture, ChecksumAndKeyRules) {
  const std::int32_t sum = ByteSum(kRuns);
  const std::int32_t key = 0x5A;
  const Bytes plain = EncodeRleForTest(kRuns);
  const Bytes scrambled = Scramble(plain, key);
  const struct {
    std::int32_t key_flag;
    std::int32_t component_key;
    const Bytes* stored;
    std::int32_t checksum;
    const char* failure;
  } cases[] = {
      {0, 0, &plain, sum, ""},
      {0, 0, &plain, sum + 1, "EBadChecksum"},
      {0, key, &plain, sum + key, "EBadChecksum"},  // the key never excuses a plain member
      {2, 0, &scrambled, sum, "EInvalidKey"},       // locked: nothing read
      {2, key, &scrambled, sum, ""},
      {2, key, &scrambled, sum + key, ""},
      {2, key, &scrambled, sum + 1, "EInvalidKey"},
      {2, key + 1, &scrambled, sum, "EInvalidKey"},  // wrong key garbles the data
      {1, key, &plain, sum, ""},                     // flag 1: keyed, but not scrambled
      {1, key, &plain, sum + key, ""},
      {1, key, &plain, sum - 1, "EInvalidKey"},
      {-1, key, &plain, sum + key, "EBadChecksum"},  // a negative flag is "not keyed"
  };
  for (const auto& c : cases) {
    component_.Key = c.component_key;
    const Bytes archive = ArchiveBuilder()
                              .Raw(MakeEntry(kMethodRLE, static_cast<std::int32_t>(kRuns.size()),
                                             c.checksum, c.key_flag),
                                   "m", *c.stored)
                              .Build();
    const std::string failure = Failure(archive, "m");
    EXPECT_EQ(failure.substr(0, failure.find(':')), c.failure)
        << "flag " << c.key_flag << " key " << c.component_key << " checksum " << c.checksum;
  }
}

TEST_F(ExpandFixture, KeyPlusSumWrapsAt32Bits) {
  const std::int32_t sum = ByteSum(kHello);
  component_.Key = 0x7FFFFFFF;
  const auto wrapped = static_cast<std::int32_t>(0x7FFFFFFFu + static_cast<std::uint32_t>(sum));
  const Bytes archive =
      ArchiveBuilder()
          .Raw(MakeEntry(kMethodRLE, 12, wrapped, 1), "m", EncodeRleForTest(kHello))
          .Build();
  EXPECT_EQ(Expand(archive, "m"), kHello);
}

TEST_F(ExpandFixture, MembersWithoutDecoderAreCheckedAgainstSumZero) {
  for (const std::uint8_t method : {std::uint8_t{3}, std::uint8_t{5}, std::uint8_t{255}}) {
    component_.Key = 0;
    EXPECT_EQ(Failure(ArchiveBuilder().Raw(MakeEntry(method, 5, 0), "m", kHello).Build(), "m"), "");
    EXPECT_EQ(Failure(ArchiveBuilder().Raw(MakeEntry(method, 5, 1), "m", kHello).Build(), "m"),
              "EBadChecksum: Bad checksum during expansion -- data may be invalid");
    component_.Key = 7;
    EXPECT_EQ(Failure(ArchiveBuilder().Raw(MakeEntry(method, 5, 7, 1), "m", kHello).Build(), "m"),
              "");
  }
}

TEST_F(ExpandFixture, FailedChecksumLeavesTheMemberInTheDestination) {
  const std::string path =
      dir_.Write("a.vsk", ArchiveBuilder()
                              .Raw(MakeEntry(kMethodRLE, 12, 0), "m", EncodeRleForTest(kHello))
                              .Stored("m", kRuns)
                              .Build());
  TMemoryStream dest;
  EXPECT_THROW(component_.ExpandFile(path, dest, "m"), EBadChecksum);
  EXPECT_EQ(dest.Memory(), kHello);  // written in full; the later member is never reached
}

// The walk resumes at the end of each member's stored bytes, whatever the
// expansion consumed.
TEST_F(ExpandFixture, WalkResumesAfterEachMembersStoredBytes) {
  for (const std::int32_t consumed : {0, 2, 5, 40}) {
    component_.OnExpand = [&](TStream&, TStream& source, std::int32_t, std::int32_t,
                              const std::string&, std::int32_t&) {
      Bytes sink(static_cast<std::size_t>(consumed));
      source.Read(sink.data(), consumed);  // too little, exact, or far too much
    };
    const Bytes archive = ArchiveBuilder()
                              .Raw(MakeEntry(kMethodCustom, 0, 0), "x", kHello)
                              .Raw(MakeEntry(9, 0, 0), "x", kRuns)  // expands nothing, sum 0
                              .Stored("x", ToBytes("tail"))
                              .Build();
    EXPECT_EQ(Expand(archive, "x"), ToBytes("tail")) << consumed;
  }
}

TEST_F(ExpandFixture, NegativeSizesEndTheWalkQuietly) {
  EntryHeader negative_name = MakeEntry(kMethodStored, 1, 0);
  negative_name.NameLength = -1;
  EntryHeader negative_stored = MakeEntry(kMethodStored, 1, 0);
  negative_stored.CompressedSize = -30;
  for (const EntryHeader& bad : {negative_name, negative_stored}) {
    const Bytes archive =
        ArchiveBuilder().Stored("a", kHello).Raw(bad, "a", {}).Stored("a", kRuns).Build();
    EXPECT_EQ(Expand(archive, "a"), kHello);
  }
}

TEST_F(ExpandFixture, ArchiveEndingInsideAHeaderOrNameStopsQuietly) {
  const Bytes full = ArchiveBuilder().Stored("a", kHello).Stored("longer-name", kRuns).Build();
  const std::size_t second = 21 + 25 + 1 + kHello.size();
  for (const std::size_t cut : {second + 10, second + 25 + 4}) {
    Bytes archive(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    EXPECT_EQ(Expand(archive, "a"), kHello) << cut;
    EXPECT_EQ(Expand(archive, "longer-name"), Bytes{}) << cut;
  }
}

TEST_F(ExpandFixture, HugeStoredSizeEndsTheWalk) {
  EntryHeader huge = MakeEntry(kMethodStored, 0, 0);
  huge.CompressedSize = 0x7FFFFFF0;
  const Bytes archive = ArchiveBuilder().Raw(huge, "skip", {}).Stored("a", kHello).Build();
  EXPECT_EQ(Expand(archive, "a"), Bytes{});
}

TEST(ExpandMember, ExpandsWithTheGivenProgressHandler) {
  TempDir dir;
  Bytes big(20000, 'q');
  const std::string path =
      dir.Write("a.vsk", ArchiveBuilder().Rle("Installer\\Varnskell.exe", big).Build());
  TMemoryStream dest;
  std::vector<std::int32_t> progress;
  ExpandMember(path, dest, "installer\\varnskell.exe",
               [&](std::int32_t& p) { progress.push_back(p); });
  EXPECT_EQ(dest.Memory(), big);
  EXPECT_EQ(progress, std::vector<std::int32_t>{100});
  TMemoryStream untouched;
  ExpandMember(path, untouched, "Installer\\Varnskell.exe", nullptr);
  EXPECT_EQ(untouched.Memory(), big);
}

TEST(ExpandMember, MissingArchiveIsAnOpenError) {
  TempDir dir;
  const std::string path = (dir.path() / "none.vsk").string();
  TMemoryStream dest;
  try {
    ExpandMember(path, dest, "x", nullptr);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + path);
  }
}

#ifdef _WIN32
// The archive is held open with no sharing while handlers run.
TEST_F(ExpandFixture, ArchiveIsLockedWhileExpanding) {
  const std::string path = dir_.Write(
      "locked.vsk", ArchiveBuilder().Raw(MakeEntry(kMethodCustom, 5, 0), "c", kHello).Build());
  bool refused = false;
  component_.OnExpand = [&](TStream&, TStream&, std::int32_t, std::int32_t, const std::string&,
                            std::int32_t&) {
    try {
      TFileStream again(path, TFileMode::OpenReadShared);
    } catch (const EFOpenError&) {
      refused = true;
    }
  };
  TMemoryStream dest;
  component_.ExpandFile(path, dest, "c");
  EXPECT_TRUE(refused);
  TFileStream after(path, TFileMode::OpenReadExclusive);  // closed again afterwards
}
#endif

}  // namespace
}  // namespace vsk::test

namespace vsk::test {
namespace {

// Every way out of ExpandFile closes the archive: success, each kind of
// failure, and a failure raised by a handler.
TEST_F(ExpandFixture, ArchiveIsClosedOnEveryPath) {
  Bytes truncated = ArchiveBuilder().Stored("m", kRuns).Build();
  truncated.resize(truncated.size() - 1);
  const Bytes cases[] = {
      ArchiveBuilder().Rle("m", kRuns).Build(),
      ArchiveBuilder().Raw(MakeEntry(kMethodRLE, 5000, 1), "m", EncodeRleForTest(kRuns)).Build(),
      ArchiveBuilder().Rle("m", kRuns, 77).Build(),  // locked: Key is 0
      ArchiveBuilder().ArchiveType(9).Build(),
      ArchiveBuilder().MethodId("???").Build(),
      truncated,
      ArchiveBuilder().Raw(MakeEntry(kMethodCustom, 1, 0), "m", kHello).Build(),
  };
  component_.OnExpand = [](TStream&, TStream&, std::int32_t, std::int32_t, const std::string&,
                           std::int32_t&) { throw EWriteError(); };
  const int before = OpenFileCount();
  for (const Bytes& archive : cases) {
    try {
      Expand(archive, "m");
    } catch (const Exception&) {
    }
    EXPECT_EQ(OpenFileCount(), before);
  }
}

}  // namespace
}  // namespace vsk::test
