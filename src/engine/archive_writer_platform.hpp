// The platform half of the archive writer: what it needs to know about a
// file before packing it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "vsk/archive_writer.hpp"

namespace vsk {

struct MemberFileFacts {
  std::int64_t Size = 0;
  DosTimestamp Stamp;  // last modification, local time
};

// Size and modification time of a regular file (symbolic links followed);
// nothing when `path` names no regular file or cannot be queried.
std::optional<MemberFileFacts> QueryMemberFile(const std::string& path);

}  // namespace vsk
