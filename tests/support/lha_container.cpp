#include "lha_container.hpp"

namespace vsk::test {

namespace {

std::uint32_t Le(std::span<const std::uint8_t> b, std::size_t at, std::size_t width) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < width; ++i)
    v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return v;
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::uint16_t LhaCrc16(std::span<const std::uint8_t> data) {
  std::uint16_t crc = 0;
  for (const auto byte : data) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                           : static_cast<std::uint16_t>(crc >> 1);
    }
  }
  return crc;
}

std::vector<std::uint8_t> WrapLhaLevel0(std::string_view method, std::string_view name,
                                        std::span<const std::uint8_t> original,
                                        std::span<const std::uint8_t> packed) {
  std::vector<std::uint8_t> h = {0, 0};  // header size and checksum, filled below
  h.insert(h.end(), method.begin(), method.end());
  PutLe(h, static_cast<std::uint32_t>(packed.size()), 4);
  PutLe(h, static_cast<std::uint32_t>(original.size()), 4);
  PutLe(h, 0x5A210000u, 4);  // 2025-01-01 00:00 as an MS-DOS time stamp
  h.push_back(0x20);         // attribute
  h.push_back(0);            // header level
  h.push_back(static_cast<std::uint8_t>(name.size()));
  h.insert(h.end(), name.begin(), name.end());
  PutLe(h, LhaCrc16(original), 2);
  h[0] = static_cast<std::uint8_t>(h.size() - 2);
  std::uint8_t sum = 0;
  for (std::size_t i = 2; i < h.size(); ++i)
    sum = static_cast<std::uint8_t>(sum + h[i]);
  h[1] = sum;
  h.insert(h.end(), packed.begin(), packed.end());
  h.push_back(0);  // end of archive
  return h;
}

std::optional<LhaMember> FirstLhaMember(std::span<const std::uint8_t> a) {
  if (a.size() < 24) return std::nullopt;
  LhaMember m;
  m.method.assign(a.begin() + 2, a.begin() + 7);
  std::uint32_t packed = Le(a, 7, 4);
  m.original_size = Le(a, 11, 4);
  const std::uint8_t level = a[20];
  std::size_t data_at = 0;
  if (level == 0) {
    data_at = static_cast<std::size_t>(a[0]) + 2;
  } else if (level == 1) {
    // Base header, then extension headers whose sizes count into `packed`.
    std::size_t at = static_cast<std::size_t>(a[0]) + 2;
    std::size_t next = Le(a, at - 2, 2);
    while (next != 0) {
      if (at + next > a.size()) return std::nullopt;
      packed -= static_cast<std::uint32_t>(next);
      at += next;
      next = Le(a, at - 2, 2);
    }
    data_at = at;
  } else if (level == 2) {
    data_at = Le(a, 0, 2);  // total header size, extensions included
  } else {
    return std::nullopt;
  }
  if (data_at + packed > a.size()) return std::nullopt;
  m.packed.assign(a.begin() + static_cast<std::ptrdiff_t>(data_at),
                  a.begin() + static_cast<std::ptrdiff_t>(data_at + packed));
  return m;
}

}  // namespace vsk::test
