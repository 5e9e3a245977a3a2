#include "vsk/expand_member.hpp"

namespace vsk {

void ExpandMember(const std::string& archive_name, TStream& dest, const std::string& member_name,
                  const TShowProgressEvent& progress) {
  TVSInstCompress component;
  component.OnShowProgress = progress;
  component.ExpandFile(archive_name, dest, member_name);
}

}  // namespace vsk
