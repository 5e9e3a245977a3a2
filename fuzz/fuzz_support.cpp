#include "fuzz_support.hpp"

#include <unistd.h>

#include <filesystem>

namespace vsk::fuzz {

std::string ScratchPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("vsk-fuzz-" + std::to_string(getpid()) + "-" + name))
      .string();
}

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

}  // namespace vsk::fuzz
