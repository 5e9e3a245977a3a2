#include "archive_builder.hpp"

#include <algorithm>

namespace vsk::test {

Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::int32_t ByteSum(std::span<const std::uint8_t> data) {
  std::uint32_t sum = 0;
  for (const auto b : data)
    sum += b;
  return static_cast<std::int32_t>(sum);
}

Bytes Scramble(std::span<const std::uint8_t> data, std::int32_t key) {
  Bytes out(data.begin(), data.end());
  const auto k = static_cast<std::uint32_t>(key);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::uint8_t>(out[i] ^ static_cast<std::uint8_t>(k >> (8 * (i % 4))));
  }
  return out;
}

Bytes EncodeRleForTest(std::span<const std::uint8_t> data) {
  constexpr std::uint8_t kMarker = 0x94;
  Bytes out;
  std::size_t i = 0;
  while (i < data.size()) {
    const std::uint8_t b = data[i];
    std::size_t run = 1;
    while (i + run < data.size() && data[i + run] == b && run < 255)
      ++run;
    if (b == kMarker) {
      out.insert(out.end(), {kMarker, 0});
      // A run item after an escaped marker repeats the marker.
      if (run > 1) out.insert(out.end(), {kMarker, static_cast<std::uint8_t>(run)});
    } else if (run >= 3) {
      out.insert(out.end(), {b, kMarker, static_cast<std::uint8_t>(run)});
    } else {
      run = 1;
      out.push_back(b);
    }
    i += run;
  }
  return out;
}

EntryHeader MakeEntry(std::uint8_t method, std::int32_t expanded_size, std::int32_t checksum,
                      std::int32_t key_flag) {
  EntryHeader e;
  e.Attributes = 0x20;
  e.Method = method;
  e.ExpandedSize = expanded_size;
  e.Checksum = checksum;
  e.KeyFlag = key_flag;
  return e;
}

ArchiveBuilder& ArchiveBuilder::MethodId(std::string_view id) {
  method_id_ = {};
  std::copy_n(id.begin(), std::min<std::size_t>(id.size(), 3), method_id_.begin());
  return *this;
}

ArchiveBuilder& ArchiveBuilder::ArchiveType(std::uint8_t type) {
  archive_type_ = type;
  return *this;
}

ArchiveBuilder& ArchiveBuilder::TotalSize(std::int32_t total) {
  total_size_ = total;
  return *this;
}

ArchiveBuilder& ArchiveBuilder::Stored(std::string_view name, std::span<const std::uint8_t> data) {
  const auto size = static_cast<std::int32_t>(data.size());
  return Raw(MakeEntry(kMethodStored, size, ByteSum(data)), name, data);
}

ArchiveBuilder& ArchiveBuilder::Rle(std::string_view name, std::span<const std::uint8_t> data,
                                    std::int32_t key) {
  Bytes stored = EncodeRleForTest(data);
  if (key != 0) stored = Scramble(stored, key);
  const auto size = static_cast<std::int32_t>(data.size());
  return Raw(MakeEntry(kMethodRLE, size, ByteSum(data), key != 0 ? kKeyFlagScrambled : 0), name,
             stored);
}

ArchiveBuilder& ArchiveBuilder::Raw(const EntryHeader& entry, std::string_view name,
                                    std::span<const std::uint8_t> stored) {
  TestMember m{entry, std::string(name), Bytes(stored.begin(), stored.end())};
  if (m.entry.NameLength == 0) m.entry.NameLength = static_cast<std::int16_t>(name.size());
  if (m.entry.CompressedSize == 0)
    m.entry.CompressedSize = static_cast<std::int32_t>(stored.size());
  members_.push_back(std::move(m));
  return *this;
}

Bytes ArchiveBuilder::Build() const {
  ArchiveHeader header;
  header.Signature = kArchiveSignature;
  header.MethodId = method_id_;
  header.ArchiveType = archive_type_;
  std::uint32_t total = 0;
  for (const auto& m : members_)
    total += static_cast<std::uint32_t>(m.entry.ExpandedSize);
  header.TotalSize = total_size_.value_or(static_cast<std::int32_t>(total));
  const auto head = EncodeArchiveHeader(header);
  Bytes out(head.begin(), head.end());
  for (const auto& m : members_) {
    const auto entry = EncodeEntryHeader(m.entry);
    out.insert(out.end(), entry.begin(), entry.end());
    out.insert(out.end(), m.name.begin(), m.name.end());
    out.insert(out.end(), m.stored.begin(), m.stored.end());
  }
  return out;
}

}  // namespace vsk::test
