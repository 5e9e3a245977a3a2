// A stream over a named file. On Windows it is a CreateFileA handle with the
// share mode the caller asks for; elsewhere a POSIX descriptor (which has no
// share modes: OpenReadExclusive then behaves like OpenReadShared).
#pragma once

#include <cstdint>
#include <string>

#include "vsk/stream.hpp"

namespace vsk {

enum class TFileMode {
  OpenReadExclusive,  // existing file, read only, no other opener may read or write
  OpenReadShared,     // existing file, read only, others may read and write
  Create,             // create anew (replacing), read and write, no sharing
};

class TFileStream final : public TStream {
 public:
  // Raises EFOpenError or EFCreateError with the path.
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int32_t Seek(std::int32_t offset, TSeekOrigin origin) override;
  std::int32_t Size() override;

  const std::string& FileName() const { return path_; }

 private:
  std::string path_;
  std::intptr_t handle_;  // HANDLE on Windows, file descriptor elsewhere
};

}  // namespace vsk
