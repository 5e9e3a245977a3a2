#include "vsk/archive_format.hpp"

#include <algorithm>
#include <cstring>

namespace vsk {

namespace {

// Little-endian field access over a header image; `at` is the field offset.
template <typename T, std::size_t N>
T Get(const std::array<std::uint8_t, N>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  }
  return static_cast<T>(value);
}

template <typename T, std::size_t N>
void Put(std::array<std::uint8_t, N>& bytes, std::size_t at, T field) {
  const auto value = static_cast<std::uint32_t>(field);
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::uint8_t FoldAsciiLetter(std::uint8_t c) {
  return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - ('a' - 'A')) : c;
}

}  // namespace

ArchiveHeader DecodeArchiveHeader(const ArchiveHeaderBytes& bytes) {
  ArchiveHeader h;
  std::copy_n(bytes.begin(), 5, h.Signature.begin());
  std::memcpy(h.MethodId.data(), bytes.data() + 5, 3);
  h.TotalSize = Get<std::int32_t>(bytes, 8);
  h.ArchiveType = bytes[12];
  h.Reserved = Get<std::int32_t>(bytes, 13);
  h.KeyFlag = Get<std::int32_t>(bytes, 17);
  return h;
}

ArchiveHeaderBytes EncodeArchiveHeader(const ArchiveHeader& h) {
  ArchiveHeaderBytes bytes{};
  std::copy_n(h.Signature.begin(), 5, bytes.begin());
  std::memcpy(bytes.data() + 5, h.MethodId.data(), 3);
  Put(bytes, 8, h.TotalSize);
  bytes[12] = h.ArchiveType;
  Put(bytes, 13, h.Reserved);
  Put(bytes, 17, h.KeyFlag);
  return bytes;
}

EntryHeader DecodeEntryHeader(const EntryHeaderBytes& bytes) {
  EntryHeader e;
  e.NameLength = Get<std::int16_t>(bytes, 0);
  e.FileTime = Get<std::uint16_t>(bytes, 2);
  e.FileDate = Get<std::uint16_t>(bytes, 4);
  e.Attributes = Get<std::uint16_t>(bytes, 6);
  e.ExpandedSize = Get<std::int32_t>(bytes, 8);
  e.CompressedSize = Get<std::int32_t>(bytes, 12);
  e.Method = bytes[16];
  e.Checksum = Get<std::int32_t>(bytes, 17);
  e.KeyFlag = Get<std::int32_t>(bytes, 21);
  return e;
}

EntryHeaderBytes EncodeEntryHeader(const EntryHeader& e) {
  EntryHeaderBytes bytes{};
  Put(bytes, 0, e.NameLength);
  Put(bytes, 2, e.FileTime);
  Put(bytes, 4, e.FileDate);
  Put(bytes, 6, e.Attributes);
  Put(bytes, 8, e.ExpandedSize);
  Put(bytes, 12, e.CompressedSize);
  bytes[16] = e.Method;
  Put(bytes, 17, e.Checksum);
  Put(bytes, 21, e.KeyFlag);
  return bytes;
}

bool SameMemberName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiLetter(static_cast<std::uint8_t>(a[i])) !=
        FoldAsciiLetter(static_cast<std::uint8_t>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string MethodDisplayName(std::uint8_t method) {
  if (method < kMethodIds.size()) return std::string(kMethodIds[method]);
  return std::to_string(method);
}

}  // namespace vsk
