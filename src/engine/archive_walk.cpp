#include "vsk/archive_walk.hpp"

#include <cstdint>

namespace vsk {

ArchiveInfo ReadArchiveInfo(TVSInstCompress& component, TStream& archive) {
  ArchiveInfo info;
  component.ReadArchiveHeader(archive, info.Header, info.MethodId);
  return info;
}

void WalkMembers(TVSInstCompress& component, TStream& archive, const ArchiveInfo& info,
                 const std::function<void(const ArchiveMember&)>& visit) {
  // Sum of the expanded sizes passed so far, wrapping like the 32-bit field.
  std::uint32_t passed = 0;
  ArchiveMember member;
  while (component.ReadEntryHeader(archive, member.Entry, member.Name)) {
    if (static_cast<std::int32_t>(passed) >= info.Header.TotalSize) return;
    member.DataPosition = archive.Position();
    visit(member);
    // Seek clamps at 2^31-1, so even a member claiming to run past the
    // 32-bit range ends the walk at the next header read.
    archive.SetPosition(ClampSeekTarget(member.DataPosition, member.Entry.CompressedSize));
    passed += static_cast<std::uint32_t>(member.Entry.ExpandedSize);
  }
}

}  // namespace vsk
