// POSIX file stream. Files have no share modes here; the Windows build
// enforces them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace vsk {

namespace {
constexpr std::int64_t kMaxPosition = std::numeric_limits<std::int32_t>::max();

int OpenFile(const std::string& path, TFileMode mode) {
  int fd = -1;
  do {
    if (mode == TFileMode::Create) {
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } else {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsDirectory(int fd) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

TFileStream::TFileStream(const std::string& path, TFileMode mode) : path_(path), handle_(-1) {
  int fd = OpenFile(path, mode);
  // A directory opens for reading on POSIX but is no file to stream.
  if (fd >= 0 && IsDirectory(fd)) {
    ::close(fd);
    fd = -1;
  }
  if (fd < 0) {
    if (mode == TFileMode::Create) throw EFCreateError(path);
    throw EFOpenError(path);
  }
  handle_ = fd;
}

TFileStream::~TFileStream() {
  ::close(static_cast<int>(handle_));
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  auto* out = static_cast<char*>(buffer);
  std::int32_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::read(static_cast<int>(handle_), out + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::int32_t>(n);
  }
  return done;
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  const auto* in = static_cast<const char*>(buffer);
  std::int32_t done = 0;
  while (done < count) {
    const ssize_t n =
        ::write(static_cast<int>(handle_), in + done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::int32_t>(n);
  }
  return done;
}

std::int32_t TFileStream::Seek(std::int32_t offset, TSeekOrigin origin) {
  const int fd = static_cast<int>(handle_);
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = ::lseek(fd, 0, SEEK_CUR);
  if (origin == TSeekOrigin::soEnd) base = ::lseek(fd, 0, SEEK_END);
  const std::int32_t target = ClampSeekTarget(std::max<std::int64_t>(base, 0), offset);
  const off_t reached = ::lseek(fd, target, SEEK_SET);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(reached, 0, kMaxPosition));
}

std::int32_t TFileStream::Size() {
  struct stat info {};
  if (::fstat(static_cast<int>(handle_), &info) != 0) return 0;
  return static_cast<std::int32_t>(std::min<std::int64_t>(info.st_size, kMaxPosition));
}

}  // namespace vsk
