#include "vsk/archive_writer.hpp"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "archive_writer_platform.hpp"
#include "vsk/file_stream.hpp"

namespace vsk {

namespace {

bool IsWritableMethod(std::uint8_t method) {
  return method == kMethodStored || method == kMethodRLE || method == kMethodLZH1 ||
         method == kMethodLH5;
}

std::vector<std::uint8_t> Compress(std::uint8_t method, std::span<const std::uint8_t> data,
                                   const EncodeProgress& progress) {
  switch (method) {
    case kMethodRLE:
      return EncodeRLE(data, progress);
    case kMethodLZH1:
      return EncodeLZH1(data, progress);
    default:
      return EncodeLH5(data, progress);
  }
}

std::int32_t ByteSum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  for (const std::uint8_t b : data)
    sum += b;
  return static_cast<std::int32_t>(sum);
}

// Stored byte k is XORed with byte k mod 4 of the key, least significant
// first; the pipeline undoes exactly this while reading.
void ScrambleStoredBytes(std::vector<std::uint8_t>& bytes, std::int32_t key) {
  const auto k = static_cast<std::uint32_t>(key);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] ^= static_cast<std::uint8_t>(k >> (8 * (i % 4)));
}

std::span<const std::uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

constexpr const char* kTotalTooLarge = "Members add up to more than ";

std::string Bytes(std::int64_t limit) {
  return std::to_string(limit) + " bytes";
}

}  // namespace

EArchiveLimit::EArchiveLimit(std::string message)
    : Exception("EArchiveLimit", std::move(message)) {}

DosTimestamp PackDosTimestamp(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return DosTimestamp{};
  if (year > 2107) {
    year = 2107;
    month = 12;
    day = 31;
    hour = 23;
    minute = 59;
    second = 59;
  }
  DosTimestamp stamp;
  // Two-second resolution; a leap second counts as 59.
  stamp.FileTime =
      static_cast<std::uint16_t>(std::clamp(hour, 0, 23) << 11 | std::clamp(minute, 0, 59) << 5 |
                                 std::clamp(second, 0, 59) / 2);
  stamp.FileDate = static_cast<std::uint16_t>((year - 1980) << 9 | std::clamp(month, 1, 12) << 5 |
                                              std::clamp(day, 1, 31));
  return stamp;
}

ArchiveWriter::ArchiveWriter(TStream& archive, ArchiveWriterOptions options)
    : archive_(archive),
      options_(std::move(options)),
      header_position_(archive.Position()),
      end_position_(header_position_) {
  if (!IsWritableMethod(options_.Method)) {
    throw std::invalid_argument("no encoder for method " + MethodDisplayName(options_.Method));
  }
  header_.Signature = kArchiveSignature;
  const std::string_view id = kMethodIds[options_.Method];
  std::copy(id.begin(), id.end(), header_.MethodId.begin());
  header_.ArchiveType = caMulti;
  header_.KeyFlag = options_.Key != 0 ? kKeyFlagScrambled : 0;
  WriteBytes(EncodeArchiveHeader(header_));
}

void ArchiveWriter::CheckName(std::string_view name) const {
  if (static_cast<std::int64_t>(name.size()) > kMaxMemberNameLength) {
    throw EArchiveLimit("Member name longer than " + Bytes(kMaxMemberNameLength));
  }
}

void ArchiveWriter::CheckFits(std::int64_t amount, const char* what) const {
  if (amount > options_.SizeLimit) {
    throw EArchiveLimit(std::string(what) + Bytes(options_.SizeLimit));
  }
}

void ArchiveWriter::WriteBytes(std::span<const std::uint8_t> bytes) {
  archive_.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  end_position_ += static_cast<std::int64_t>(bytes.size());
}

EntryHeader ArchiveWriter::AddMember(std::string_view name, std::span<const std::uint8_t> data,
                                     DosTimestamp stamp) {
  CheckName(name);
  const auto size = static_cast<std::int64_t>(data.size());
  // An empty member may need the one extra unit of TotalSize (see Finish).
  CheckFits(total_size_ + std::max<std::int64_t>(size, 1), kTotalTooLarge);

  std::vector<std::uint8_t> packed;
  if (options_.Method != kMethodStored) packed = Compress(options_.Method, data, options_.Progress);
  // Only a compressed form that saves bytes is worth it; stored members
  // are never scrambled (the reader copies them as they are).
  const bool compressed = options_.Method != kMethodStored && packed.size() < data.size();
  if (!compressed && options_.Progress) options_.Progress(size, size);
  const std::span<const std::uint8_t> stored =
      compressed ? std::span<const std::uint8_t>(packed) : data;
  // Readers address the archive with signed 32-bit positions.
  CheckFits(end_position_ + kEntryHeaderSize + static_cast<std::int64_t>(name.size()) +
                static_cast<std::int64_t>(stored.size()),
            "Archive would grow beyond ");

  EntryHeader entry;
  entry.NameLength = static_cast<std::int16_t>(name.size());
  entry.FileTime = stamp.FileTime;
  entry.FileDate = stamp.FileDate;
  entry.Attributes = kMemberAttributes;
  entry.ExpandedSize = static_cast<std::int32_t>(size);
  entry.CompressedSize = static_cast<std::int32_t>(stored.size());
  entry.Method = compressed ? options_.Method : kMethodStored;
  entry.Checksum = ByteSum(data);
  if (compressed && options_.Key != 0) {
    entry.KeyFlag = kKeyFlagScrambled;
    ScrambleStoredBytes(packed, options_.Key);
  }
  WriteBytes(EncodeEntryHeader(entry));
  WriteBytes(AsBytes(name));
  WriteBytes(stored);
  total_size_ += size;
  ends_with_empty_member_ = size == 0;
  return entry;
}

EntryHeader ArchiveWriter::AddFile(std::string_view name, const std::string& path) {
  const auto facts = QueryMemberFile(path);
  if (!facts) throw EFOpenError(path);
  CheckName(name);
  CheckFits(total_size_ + facts->Size, kTotalTooLarge);
  TFileStream file(path, TFileMode::OpenReadShared);
  std::vector<std::uint8_t> data(static_cast<std::size_t>(facts->Size));
  // A file that shrank since it was measured fails here with EReadError.
  file.ReadBuffer(data.data(), static_cast<std::int32_t>(data.size()));
  return AddMember(name, data, facts->Stamp);
}

void ArchiveWriter::Finish() {
  // Readers stop walking once the expanded sizes passed reach TotalSize, so
  // empty members at the end would be out of their reach with the plain
  // sum; one more lets the walk run on to the archive's end. AddMember's
  // checks keep this within 32 bits.
  header_.TotalSize = static_cast<std::int32_t>(total_size_ + (ends_with_empty_member_ ? 1 : 0));
  const ArchiveHeaderBytes bytes = EncodeArchiveHeader(header_);
  archive_.SetPosition(header_position_);
  archive_.WriteBuffer(bytes.data(), kArchiveHeaderSize);
  archive_.SetPosition(static_cast<std::int32_t>(end_position_));
}

}  // namespace vsk
