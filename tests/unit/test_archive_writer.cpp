// ArchiveWriter: archives it writes expand back through ExpandFile for every
// method, keyed or not; the stored fallback; the header fields; the limits
// of the format; members taken from files.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "archive_builder.hpp"
#include "codec_helpers.hpp"
#include "test_streams.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/archive_writer.hpp"
#include "vsk/encoders.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/memory_stream.hpp"

namespace vsk::test {
namespace {

struct NamedData {
  std::string name;
  Bytes data;
};

Bytes Text(std::size_t lines) {
  Bytes out;
  for (std::size_t i = 0; i < lines; ++i) {
    const Bytes line = ToBytes("setting " + std::to_string(i % 41) + " = value\r\n");
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

// The test members: text, a long run, an empty file, random bytes (which no
// method can shrink) and one byte.
std::vector<NamedData> SampleMembers() {
  Bytes runs(20000, 0x94);
  runs.insert(runs.end(), 30000, 'x');
  return {{"Installer\\Setup.ini", Text(800)},
          {"data\\runs.bin", runs},
          {"empty.txt", {}},
          {"data\\noise.bin", RandomBytes(9000, 21)},
          {"one", {0x7F}}};
}

Bytes WriteArchive(std::uint8_t method, std::int32_t key, const std::vector<NamedData>& members,
                   std::vector<EntryHeader>* entries = nullptr) {
  TMemoryStream archive;
  ArchiveWriter writer(archive, {.Method = method, .Key = key});
  for (const auto& m : members) {
    const EntryHeader entry = writer.AddMember(m.name, m.data);
    if (entries != nullptr) entries->push_back(entry);
  }
  writer.Finish();
  return archive.Memory();
}

Bytes ExpandFromFile(const Bytes& archive, const std::string& name, std::int32_t key) {
  TempDir dir;
  const std::string path = dir.Write("a.zulk", archive);
  TVSInstCompress component;
  component.Key = key;
  TMemoryStream dest;
  component.ExpandFile(path, dest, name);
  return dest.Memory();
}

class ArchiveWriterMethod : public ::testing::TestWithParam<std::uint8_t> {};

TEST_P(ArchiveWriterMethod, EveryMemberExpandsBackKeyedOrNot) {
  const auto members = SampleMembers();
  for (const std::int32_t key : {0, 0x1234ABCD, -7}) {
    const Bytes archive = WriteArchive(GetParam(), key, members);
    for (const auto& m : members) {
      EXPECT_EQ(ExpandFromFile(archive, m.name, key), m.data) << m.name << " key " << key;
    }
  }
}

TEST_P(ArchiveWriterMethod, HeadersDescribeTheMembers) {
  const std::uint8_t method = GetParam();
  const auto members = SampleMembers();
  std::vector<EntryHeader> entries;
  const Bytes archive = WriteArchive(method, 0, members, &entries);

  ArchiveHeaderBytes header_bytes{};
  std::copy_n(archive.begin(), kArchiveHeaderSize, header_bytes.begin());
  const ArchiveHeader header = DecodeArchiveHeader(header_bytes);
  EXPECT_EQ(header.Signature, kArchiveSignature);
  EXPECT_EQ(std::string(header.MethodId.begin(), header.MethodId.end()), kMethodIds[method]);
  EXPECT_EQ(header.ArchiveType, caMulti);
  EXPECT_EQ(header.KeyFlag, 0);
  std::int32_t total = 0;
  std::size_t length = kArchiveHeaderSize;
  for (std::size_t i = 0; i < members.size(); ++i) {
    const EntryHeader& e = entries[i];
    const Bytes& data = members[i].data;
    total += e.ExpandedSize;
    length +=
        kEntryHeaderSize + members[i].name.size() + static_cast<std::size_t>(e.CompressedSize);
    EXPECT_EQ(e.ExpandedSize, static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(e.Checksum, ByteSum(data));
    EXPECT_EQ(e.Attributes, 0x20);
    EXPECT_EQ(e.NameLength, static_cast<std::int16_t>(members[i].name.size()));
    EXPECT_EQ(e.KeyFlag, 0);
    // Stored exactly when compression would not save a byte.
    if (e.Method == kMethodStored) {
      EXPECT_EQ(e.CompressedSize, e.ExpandedSize) << members[i].name;
    } else {
      EXPECT_EQ(e.Method, method);
      EXPECT_LT(e.CompressedSize, e.ExpandedSize) << members[i].name;
    }
  }
  EXPECT_EQ(header.TotalSize, total);
  EXPECT_EQ(archive.size(), length);
}

INSTANTIATE_TEST_SUITE_P(Methods, ArchiveWriterMethod,
                         ::testing::Values(kMethodStored, kMethodRLE, kMethodLZH1, kMethodLH5),
                         [](const auto& p) { return std::string(kMethodIds[p.param]); });

TEST(ArchiveWriter, CompressibleAndIncompressibleMembers) {
  const Bytes text = Text(800);
  const Bytes noise = RandomBytes(3000, 22);
  const std::vector<NamedData> members = {{"t", text}, {"n", noise}, {"e", {}}};
  std::vector<EntryHeader> rle;
  WriteArchive(kMethodRLE, 0, members, &rle);
  EXPECT_EQ(rle[0].Method, kMethodStored);  // text without runs: RLE saves nothing
  std::vector<EntryHeader> lzh;
  WriteArchive(kMethodLZH1, 0, members, &lzh);
  EXPECT_EQ(lzh[0].Method, kMethodLZH1);
  EXPECT_EQ(lzh[1].Method, kMethodStored);
  EXPECT_EQ(lzh[2].Method, kMethodStored);
}

TEST(ArchiveWriter, KeyedMembersAreScrambledAndNeedTheKey) {
  const Bytes text = Text(500);
  const Bytes noise = RandomBytes(2000, 23);
  constexpr std::int32_t kKey = 0x0A0B0C0D;
  std::vector<EntryHeader> entries;
  const Bytes archive = WriteArchive(kMethodLZH1, kKey, {{"t", text}, {"n", noise}}, &entries);

  ArchiveHeaderBytes header_bytes{};
  std::copy_n(archive.begin(), kArchiveHeaderSize, header_bytes.begin());
  EXPECT_EQ(DecodeArchiveHeader(header_bytes).KeyFlag, kKeyFlagScrambled);
  EXPECT_EQ(entries[0].KeyFlag, kKeyFlagScrambled);
  // The stored bytes are the plain stream XORed with the key, least
  // significant byte first, starting again for each member.
  const std::size_t first_stored = kArchiveHeaderSize + kEntryHeaderSize + 1;
  const Bytes stored(
      archive.begin() + static_cast<std::ptrdiff_t>(first_stored),
      archive.begin() + static_cast<std::ptrdiff_t>(
                            first_stored + static_cast<std::size_t>(entries[0].CompressedSize)));
  EXPECT_EQ(stored, Scramble(EncodeLZH1(text), kKey));
  // A stored member is copied as it is by the reader: never scrambled.
  EXPECT_EQ(entries[1].Method, kMethodStored);
  EXPECT_EQ(entries[1].KeyFlag, 0);

  EXPECT_EQ(ExpandFromFile(archive, "n", 0), noise);
  EXPECT_THROW(ExpandFromFile(archive, "t", 0), EInvalidKey);
  EXPECT_THROW(ExpandFromFile(archive, "t", kKey + 1), EInvalidKey);
}

TEST(ArchiveWriter, RefusesWhatTheFormatCannotHold) {
  TMemoryStream archive;
  ArchiveWriter writer(archive, {.Method = kMethodRLE});
  const std::string longest(32767, 'n');
  writer.AddMember(longest, {});
  EXPECT_THROW(writer.AddMember(longest + "n", {}), EArchiveLimit);

  TMemoryStream small;
  ArchiveWriter limited(small, {.Method = kMethodLZH1, .SizeLimit = 1000});
  limited.AddMember("a", Bytes(600, 'a'));
  const std::int32_t before = small.Size();
  // Expanded sizes beyond the limit in all, though this one would store small.
  EXPECT_THROW(limited.AddMember("b", Bytes(401, 'b')), EArchiveLimit);
  EXPECT_EQ(small.Size(), before);  // nothing of the refused member written
  limited.AddMember("c", Bytes(400, 'c'));
  limited.Finish();
  EXPECT_EQ(limited.TotalSize(), 1000);

  // The archive itself beyond the limit (names count too).
  TMemoryStream names;
  ArchiveWriter by_length(names, {.Method = kMethodStored, .SizeLimit = 1000});
  by_length.AddMember(std::string(900, 'x'), {});
  EXPECT_THROW(by_length.AddMember(std::string(60, 'y'), {}), EArchiveLimit);

  TMemoryStream any;
  EXPECT_THROW(ArchiveWriter(any, {.Method = kMethodCustom}), std::invalid_argument);
}

TEST(ArchiveWriter, EmptyMembersAtTheEndStayWithinTheWalk) {
  // TotalSize bounds the readers' walk: with the plain sum, trailing empty
  // members would never be reached.
  const struct {
    std::vector<NamedData> members;
    std::int32_t total_size;
  } cases[] = {
      {{{"a", Bytes(10, 'a')}, {"e", {}}, {"f", {}}}, 11},
      {{{"e", {}}}, 1},
      {{{"e", {}}, {"a", Bytes(10, 'a')}}, 10},
      {{}, 0},
  };
  for (const auto& c : cases) {
    const Bytes archive = WriteArchive(kMethodStored, 0, c.members);
    TMemoryStream stream(archive);
    TVSInstCompress component;
    const ArchiveInfo info = ReadArchiveInfo(component, stream);
    EXPECT_EQ(info.Header.TotalSize, c.total_size);
    std::size_t reached = 0;
    WalkMembers(component, stream, info, [&](const ArchiveMember&) { ++reached; });
    EXPECT_EQ(reached, c.members.size());
  }
}

TEST(ArchiveWriter, AnEmptyArchiveIsJustTheHeader) {
  const Bytes archive = WriteArchive(kMethodLH5, 0, {});
  ASSERT_EQ(archive.size(), static_cast<std::size_t>(kArchiveHeaderSize));
  EXPECT_EQ(ExpandFromFile(archive, "anything", 0), Bytes{});
}

TEST(ArchiveWriter, FileMembersCarryTheirLocalModificationTime) {
  TempDir dir;
  const Bytes data = Text(100);
  const std::string path = dir.Write("f.txt", data);
  std::tm local{};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 6 - 1;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 31;
  local.tm_isdst = -1;
  const auto when = std::chrono::system_clock::from_time_t(std::mktime(&local));
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(when));

  TMemoryStream archive;
  ArchiveWriter writer(archive, {.Method = kMethodStored});
  const EntryHeader e = writer.AddFile("f.txt", path);
  EXPECT_EQ(e.FileDate, (2021 - 1980) << 9 | 6 << 5 | 15);
  EXPECT_EQ(e.FileTime, 13 << 11 | 45 << 5 | 31 / 2);
  EXPECT_EQ(e.ExpandedSize, static_cast<std::int32_t>(data.size()));

  EXPECT_THROW(writer.AddFile("missing", (dir.path() / "missing").string()), EFOpenError);
  EXPECT_THROW(writer.AddFile("dir", dir.path().string()), EFOpenError);
}

TEST(ArchiveWriter, DosTimestampsClampToTheirRange) {
  const struct {
    int year, month, day, hour, minute, second;
    std::uint16_t time, date;
  } cases[] = {
      {1980, 1, 1, 0, 0, 0, 0, 1 << 5 | 1},
      {1979, 12, 31, 23, 59, 59, 0, 1 << 5 | 1},
      {2107, 12, 31, 23, 59, 58, 23 << 11 | 59 << 5 | 29, 127 << 9 | 12 << 5 | 31},
      {2200, 1, 1, 0, 0, 0, 23 << 11 | 59 << 5 | 29, 127 << 9 | 12 << 5 | 31},
      {2024, 2, 29, 12, 30, 60, 12 << 11 | 30 << 5 | 29, 44 << 9 | 2 << 5 | 29},
  };
  for (const auto& c : cases) {
    const DosTimestamp stamp = PackDosTimestamp(c.year, c.month, c.day, c.hour, c.minute, c.second);
    EXPECT_EQ(stamp.FileTime, c.time) << c.year;
    EXPECT_EQ(stamp.FileDate, c.date) << c.year;
  }
}

}  // namespace
}  // namespace vsk::test
