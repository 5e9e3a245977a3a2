// FindPayloadOffset over files: chunking, overlap, the "X" flag and the
// acceptance rules for the stored offset.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive_builder.hpp"
#include "payload_locator.hpp"
#include "test_streams.hpp"
#include "vsk/exceptions.hpp"

namespace vsk::test {
namespace {

using launcher::FindPayloadOffset;
using launcher::kLocatorChunkSize;

const Bytes kMarkerText = ToBytes("VSK_SIZE");

// Writes the marker text at `at` followed by the four bytes of `stored`.
void PutMarker(Bytes& file, std::size_t at, std::int32_t stored) {
  std::memcpy(file.data() + at, kMarkerText.data(), 8);
  const auto value = static_cast<std::uint32_t>(stored);
  for (int i = 0; i < 4; ++i)
    file[at + 8 + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutNoPayloadMarker(Bytes& file, std::size_t at) {
  std::memcpy(file.data() + at, kMarkerText.data(), 8);
  file[at + 8] = 'X';
}

std::int32_t Scan(const Bytes& file) {
  TempDir dir;
  return FindPayloadOffset(dir.Write("setup.exe", file),
                           std::span<const std::uint8_t, 8>(kMarkerText.data(), 8));
}

TEST(FindPayloadOffset, Cases) {
  const std::size_t size = 3 * kLocatorChunkSize + 100;
  const struct {
    const char* name;
    std::function<void(Bytes&)> make;
    std::int32_t expected;
  } cases[] = {
      {"no marker", [](Bytes&) {}, 0},
      {"marker in the image", [](Bytes& f) { PutMarker(f, 1000, 20000); }, 20000},
      {"marker straddling the first two chunks",
       [](Bytes& f) { PutMarker(f, kLocatorChunkSize - 4, 40000); }, 40000},
      {"marker in the last chunk", [&](Bytes& f) { PutMarker(f, size - 20, 7); }, 7},
      {"X then a valid copy later",
       [](Bytes& f) {
         PutNoPayloadMarker(f, 100);
         PutMarker(f, 2 * kLocatorChunkSize, 9);
       },
       0},
      {"offset equal to the file size", [&](Bytes& f) { PutMarker(f, 50, int(size)); }, 0},
      {"offset one less than the file size", [&](Bytes& f) { PutMarker(f, 50, int(size) - 1); },
       int(size) - 1},
      {"offset 0 passed over, valid copy in a later chunk",
       [](Bytes& f) {
         PutMarker(f, 10, 0);
         PutMarker(f, kLocatorChunkSize + 10, 12345);
       },
       12345},
      {"only the first copy in a chunk is looked at",
       [](Bytes& f) {
         PutMarker(f, 10, 0);
         PutMarker(f, 500, 12345);
       },
       0},
      {"negative offset returned unchanged", [](Bytes& f) { PutMarker(f, 10, -5); }, -5},
  };
  for (const auto& c : cases) {
    Bytes file(size, 0x90);
    c.make(file);
    EXPECT_EQ(Scan(file), c.expected) << c.name;
  }
}

TEST(FindPayloadOffset, ShortFilesAndMarkersWithoutRoomForAnOffset) {
  for (std::size_t size = 0; size <= 8; ++size) {
    Bytes file(kMarkerText.begin(), kMarkerText.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(Scan(file), 0) << size;
  }
  for (std::size_t behind = 0; behind < 4; ++behind) {
    Bytes file(100, 0);
    file.insert(file.end(), kMarkerText.begin(), kMarkerText.end());
    file.insert(file.end(), behind, 0x01);
    EXPECT_EQ(Scan(file), 0) << behind;
  }
}

TEST(FindPayloadOffset, MissingFileIsAnOpenError) {
  TempDir dir;
  EXPECT_THROW(FindPayloadOffset((dir.path() / "none.exe").string(),
                                 std::span<const std::uint8_t, 8>(kMarkerText.data(), 8)),
               EFOpenError);
}

}  // namespace
}  // namespace vsk::test
