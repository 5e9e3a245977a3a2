#include "atomic_output.hpp"

#include <filesystem>
#include <random>
#include <system_error>

#include "commands.hpp"

namespace vsk::tools {

namespace {

std::string TemporaryNameFor(const std::string& target) {
  std::random_device seed;
  return target + ".partial-" + std::to_string(seed() % 1000000u);
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string target)
    : target_(std::move(target)), temporary_(TemporaryNameFor(target_)) {
  stream_ = std::make_unique<TFileStream>(temporary_, TFileMode::Create);
}

AtomicOutputFile::~AtomicOutputFile() {
  if (committed_) return;
  stream_.reset();
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

void AtomicOutputFile::Commit() {
  stream_.reset();
  std::error_code error;
  // Replaces an existing target (MoveFileEx with MOVEFILE_REPLACE_EXISTING on Windows).
  std::filesystem::rename(temporary_, target_, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    throw ToolError("cannot write " + target_ + ": " + error.message());
  }
  committed_ = true;
}

}  // namespace vsk::tools
