// Streams that let tests watch or disturb the engine: short reads, refused
// writes, a record of every call.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "vsk/memory_stream.hpp"

namespace vsk::test {

// A memory stream that delivers at most `max_read` bytes per Read and
// records what each Read asked for and each Write wrote.
class ProbeStream : public TMemoryStream {
 public:
  ProbeStream() = default;
  explicit ProbeStream(std::span<const std::uint8_t> bytes) : TMemoryStream(bytes) {}

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;

  std::int32_t max_read = 0x7FFFFFFF;
  // Bytes the stream takes before it refuses the rest.
  std::int64_t write_capacity = INT64_MAX;
  // Called at the start of every Write with its byte count.
  std::function<void(std::int32_t)> on_write;

  std::vector<std::int32_t> read_requests;
  std::vector<std::int32_t> write_sizes;
};

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to a file of that name in the directory; returns its path.
  std::string Write(const std::string& name, std::span<const std::uint8_t> bytes) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadWholeFile(const std::filesystem::path& path);

}  // namespace vsk::test
