// Streams that only the tools need: standard output as a destination, and a
// sink that discards what it is given.
#pragma once

#include <cstdint>
#include <cstdio>

#include "vsk/stream.hpp"

namespace vsk::tools {

// Appends to a C stdio stream (binary mode on Windows). Cannot seek: Seek
// reports the number of bytes written so far.
class TStdioStream final : public TStream {
 public:
  explicit TStdioStream(std::FILE* file);
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int32_t Seek(std::int32_t, TSeekOrigin) override { return written_; }
  std::int32_t Size() override { return written_; }

 private:
  std::FILE* file_;
  std::int32_t written_ = 0;
};

// Takes every byte and keeps none; counts them (saturating).
class TNullStream final : public TStream {
 public:
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void*, std::int32_t count) override;
  std::int32_t Seek(std::int32_t, TSeekOrigin) override { return written_; }
  std::int32_t Size() override { return written_; }

 private:
  std::int32_t written_ = 0;
};

}  // namespace vsk::tools
