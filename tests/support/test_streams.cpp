#include "test_streams.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace vsk::test {

std::int32_t ProbeStream::Read(void* buffer, std::int32_t count) {
  read_requests.push_back(count);
  return TMemoryStream::Read(buffer, std::min(count, max_read));
}

std::int32_t ProbeStream::Write(const void* buffer, std::int32_t count) {
  if (on_write) on_write(count);
  write_sizes.push_back(count);
  const std::int64_t room = write_capacity - Size();
  const auto n = static_cast<std::int32_t>(std::clamp<std::int64_t>(room, 0, count));
  return TMemoryStream::Write(buffer, n);
}

TempDir::TempDir() {
  std::random_device seed;
  std::mt19937_64 random(seed() ^ static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / ("vsk-test-" + std::to_string(random() % 1000000000ULL));
    if (std::filesystem::create_directory(path_)) return;
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, std::span<const std::uint8_t> bytes) const {
  const auto file = path_ / name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return file.string();
}

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vsk::test
