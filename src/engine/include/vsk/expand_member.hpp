// One-call expansion: a fresh component, the caller's progress handler, one
// ExpandFile. Failures pass to the caller after the component is gone.
#pragma once

#include <string>

#include "vsk/inst_compress.hpp"
#include "vsk/stream.hpp"

namespace vsk {

void ExpandMember(const std::string& archive_name, TStream& dest, const std::string& member_name,
                  const TShowProgressEvent& progress);

}  // namespace vsk
