#include "tool_streams.hpp"

#include <limits>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace vsk::tools {

namespace {
std::int32_t SaturatingAdd(std::int32_t a, std::int32_t b) {
  const std::int64_t sum = static_cast<std::int64_t>(a) + b;
  return sum > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                        : static_cast<std::int32_t>(sum);
}
}  // namespace

TStdioStream::TStdioStream(std::FILE* file) : file_(file) {
#ifdef _WIN32
  _setmode(_fileno(file), _O_BINARY);
#endif
}

std::int32_t TStdioStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  const std::size_t put = std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_);
  const auto n = static_cast<std::int32_t>(put);
  written_ = SaturatingAdd(written_, n);
  return n;
}

std::int32_t TNullStream::Write(const void*, std::int32_t count) {
  if (count <= 0) return 0;
  written_ = SaturatingAdd(written_, count);
  return count;
}

}  // namespace vsk::tools
