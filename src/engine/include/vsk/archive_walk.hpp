// The member walk shared by ExpandFile and the tools: header, then members
// until the archive ends, a header cannot be read whole, or the expanded
// sizes passed reach the header's TotalSize.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "vsk/archive_format.hpp"
#include "vsk/inst_compress.hpp"
#include "vsk/stream.hpp"

namespace vsk {

struct ArchiveMember {
  EntryHeader Entry;
  std::string Name;
  std::int32_t DataPosition = 0;  // archive offset of the first stored byte
};

struct ArchiveInfo {
  ArchiveHeader Header;
  std::string MethodId;
};

// Reads and validates the archive header (ReadArchiveHeader).
ArchiveInfo ReadArchiveInfo(TVSInstCompress& component, TStream& archive);

// Calls `visit` for every member the walk reaches, with the archive
// positioned at the member's first stored byte. Whatever the visitor reads,
// the walk goes on exactly at the end of the member's stored bytes, so a
// member that consumes too little or too much cannot derail it. The walk
// always ends: every step moves forward by at least one header.
void WalkMembers(TVSInstCompress& component, TStream& archive, const ArchiveInfo& info,
                 const std::function<void(const ArchiveMember&)>& visit);

}  // namespace vsk
