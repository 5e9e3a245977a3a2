// Builds archive images for tests, member by member, with every header field
// under the test's control.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "vsk/archive_format.hpp"

namespace vsk::test {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text);
std::int32_t ByteSum(std::span<const std::uint8_t> data);
// XORs byte k with byte k mod 4 of `key`, least significant first.
Bytes Scramble(std::span<const std::uint8_t> data, std::int32_t key);
// A straightforward RLE encoding of `data` (escape 0x94), runs up to 255.
Bytes EncodeRleForTest(std::span<const std::uint8_t> data);

struct TestMember {
  EntryHeader entry;
  std::string name;
  Bytes stored;
};

class ArchiveBuilder {
 public:
  ArchiveBuilder& MethodId(std::string_view id);
  ArchiveBuilder& ArchiveType(std::uint8_t type);
  ArchiveBuilder& TotalSize(std::int32_t total);  // default: sum of expanded sizes

  // A stored member: expanded size and checksum describe `data`.
  ArchiveBuilder& Stored(std::string_view name, std::span<const std::uint8_t> data);
  // An RLE member of `data`, optionally scrambled with `key` (key flag 2).
  ArchiveBuilder& Rle(std::string_view name, std::span<const std::uint8_t> data,
                      std::int32_t key = 0);
  // Any member, exactly as given (its name length is taken from `name`
  // unless the entry's NameLength is set to something else first).
  ArchiveBuilder& Raw(const EntryHeader& entry, std::string_view name,
                      std::span<const std::uint8_t> stored);

  // The last member added, for adjusting its header.
  EntryHeader& Last() { return members_.back().entry; }

  Bytes Build() const;

 private:
  std::array<char, 3> method_id_{'L', 'H', '5'};
  std::uint8_t archive_type_ = caMulti;
  std::optional<std::int32_t> total_size_;
  std::vector<TestMember> members_;
};

EntryHeader MakeEntry(std::uint8_t method, std::int32_t expanded_size, std::int32_t checksum,
                      std::int32_t key_flag = 0);

}  // namespace vsk::test
