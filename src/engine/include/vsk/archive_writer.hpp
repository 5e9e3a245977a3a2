// Writes archives that TVSInstCompress reads: the ArchiveHeader, then per
// member its EntryHeader, name and stored bytes. Each member is compressed
// with the archive's method and kept stored when that does not make it
// smaller; with a non-zero key the compressed members' stored bytes are
// scrambled (key flag 2) the way the codec pipeline unscrambles them.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "vsk/archive_format.hpp"
#include "vsk/encoders.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/stream.hpp"

namespace vsk {

// NameLength is a signed 16-bit field.
inline constexpr std::int64_t kMaxMemberNameLength = 32767;
// Sizes, TotalSize and archive positions are signed 32-bit.
inline constexpr std::int64_t kMaxArchiveBytes = std::numeric_limits<std::int32_t>::max();
// The Windows archive bit, set on every member.
inline constexpr std::uint16_t kMemberAttributes = 0x0020;

// Something does not fit the format's fields: a name, a member, the sum of
// the expanded sizes or the archive itself.
class EArchiveLimit : public Exception {
 public:
  explicit EArchiveLimit(std::string message);
};

// MS-DOS packed time (hour << 11 | minute << 5 | second / 2) and date
// ((year - 1980) << 9 | month << 5 | day), in local time.
struct DosTimestamp {
  std::uint16_t FileTime = 0;
  std::uint16_t FileDate = (1 << 5) | 1;  // 1980-01-01, the earliest date
};

// Packs a local calendar time; dates outside 1980-2107 are clamped to the
// nearest representable time.
DosTimestamp PackDosTimestamp(int year, int month, int day, int hour, int minute, int second);

struct ArchiveWriterOptions {
  // kMethodStored, kMethodRLE, kMethodLZH1 or kMethodLH5; also gives the
  // archive's method id.
  std::uint8_t Method = kMethodLH5;
  std::int32_t Key = 0;
  // Reports each member's compression as it goes.
  EncodeProgress Progress;
  // Largest member, sum of expanded sizes and archive length allowed. Only
  // tests lower it.
  std::int64_t SizeLimit = kMaxArchiveBytes;
};

class ArchiveWriter {
 public:
  // Writes the archive header at `archive`'s position (its TotalSize is
  // completed by Finish). std::invalid_argument for a method that cannot be
  // written (custom or unknown).
  ArchiveWriter(TStream& archive, ArchiveWriterOptions options);

  // Appends one member; returns its header as written. Raises EArchiveLimit
  // before writing anything of the member when it would not fit.
  EntryHeader AddMember(std::string_view name, std::span<const std::uint8_t> data,
                        DosTimestamp stamp = {});
  // Appends a file's contents, stamped with its modification time. Raises
  // EFOpenError when it cannot be read as a file.
  EntryHeader AddFile(std::string_view name, const std::string& path);

  // Completes the archive header; the stream is left at the archive's end.
  // TotalSize is the sum of the expanded sizes, plus 1 when the archive ends
  // with empty members, which readers would not reach otherwise.
  void Finish();

  // Sum of the expanded sizes so far.
  std::int64_t TotalSize() const { return total_size_; }
  // Stream position of the archive's end.
  std::int64_t EndPosition() const { return end_position_; }

 private:
  void CheckName(std::string_view name) const;
  // EArchiveLimit, `what` followed by the limit, when `amount` exceeds it.
  void CheckFits(std::int64_t amount, const char* what) const;
  void WriteBytes(std::span<const std::uint8_t> bytes);

  TStream& archive_;
  ArchiveWriterOptions options_;
  ArchiveHeader header_;
  std::int32_t header_position_;
  std::int64_t end_position_;
  std::int64_t total_size_ = 0;
  bool ends_with_empty_member_ = false;
};

}  // namespace vsk
