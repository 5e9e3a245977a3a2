// The archive container: a 21-byte ArchiveHeader, then per member a 25-byte
// EntryHeader, NameLength name bytes and CompressedSize stored bytes. All
// integers little-endian, nothing aligned or padded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vsk {

inline constexpr std::int32_t kArchiveHeaderSize = 21;
inline constexpr std::int32_t kEntryHeaderSize = 25;
inline constexpr std::array<std::uint8_t, 5> kArchiveSignature = {'Z', 'U', 'L', 'K', 0x1A};
inline constexpr std::uint8_t caMulti = 1;

// Method indexes as stored in EntryHeader::Method.
inline constexpr std::uint8_t kMethodStored = 0;
inline constexpr std::uint8_t kMethodRLE = 1;
inline constexpr std::uint8_t kMethodLZH1 = 2;
inline constexpr std::uint8_t kMethodCustom = 3;
inline constexpr std::uint8_t kMethodLH5 = 4;

// The method ids in index order; indexes 5 to 255 have no id and expand nothing.
inline constexpr std::array<std::string_view, 5> kMethodIds = {"NON", "RLE", "LZH", "CUS", "LH5"};

// Key flag value that makes the pipeline unscramble a member's stored bytes.
inline constexpr std::int32_t kKeyFlagScrambled = 2;

struct ArchiveHeader {
  std::array<std::uint8_t, 5> Signature{};
  std::array<char, 3> MethodId{};
  std::int32_t TotalSize = 0;
  std::uint8_t ArchiveType = 0;
  std::int32_t Reserved = 0;
  std::int32_t KeyFlag = 0;
};

struct EntryHeader {
  std::int16_t NameLength = 0;
  std::uint16_t FileTime = 0;
  std::uint16_t FileDate = 0;
  std::uint16_t Attributes = 0;
  std::int32_t ExpandedSize = 0;
  std::int32_t CompressedSize = 0;
  std::uint8_t Method = 0;
  std::int32_t Checksum = 0;
  std::int32_t KeyFlag = 0;
};

using ArchiveHeaderBytes = std::array<std::uint8_t, kArchiveHeaderSize>;
using EntryHeaderBytes = std::array<std::uint8_t, kEntryHeaderSize>;

ArchiveHeader DecodeArchiveHeader(const ArchiveHeaderBytes& bytes);
ArchiveHeaderBytes EncodeArchiveHeader(const ArchiveHeader& header);
EntryHeader DecodeEntryHeader(const EntryHeaderBytes& bytes);
EntryHeaderBytes EncodeEntryHeader(const EntryHeader& header);

// True when both names have the same length and equal bytes once the ASCII
// letters a-z are folded to A-Z. No other byte is folded.
bool SameMemberName(std::string_view a, std::string_view b);

// "NON".."LH5" for indexes 0-4, otherwise the index in decimal.
std::string MethodDisplayName(std::uint8_t method);

}  // namespace vsk
