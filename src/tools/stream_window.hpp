// A read-only view of `length` bytes of another stream from `offset` on, with
// its own positions starting at 0: lets the engine walk an archive that sits
// inside a larger file (a payload block in a setup).
#pragma once

#include <cstdint>

#include "vsk/stream.hpp"

namespace vsk::tools {

class TStreamWindow final : public TStream {
 public:
  TStreamWindow(TStream& base, std::int32_t offset, std::int32_t length)
      : base_(base), offset_(offset), length_(length) {}

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int32_t Seek(std::int32_t offset, TSeekOrigin origin) override;
  std::int32_t Size() override { return length_; }

 private:
  TStream& base_;
  std::int32_t offset_;
  std::int32_t length_;
  std::int32_t position_ = 0;
};

}  // namespace vsk::tools
