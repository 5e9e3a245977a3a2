// Which files `vskarc create` packs and under which names: each FILE
// argument as given (with "\" for "/"), directories walked recursively in
// byte order of their entries' names. Everything is checked before the
// archive is started, so a bad argument costs no compression work.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vsk::tools {

struct PlannedMember {
  std::string name;  // as stored in the archive
  std::string path;  // where its bytes are read from
  std::int64_t size = 0;
};

// `base_dir` (the -C option) is where the FILE arguments are found; the
// names stay relative to it. The file at `archive_path`, if any, is never
// packed into itself. Raises ToolError for a FILE that is missing or no
// regular file or directory, a name longer than the format allows and
// files that add up to more than one archive can hold.
std::vector<PlannedMember> PlanMembers(std::span<const std::string> files,
                                       const std::optional<std::string>& base_dir,
                                       const std::string& archive_path);

// `file` with every "/" written as "\", the separator of member names.
std::string MemberNameOf(std::string file);

}  // namespace vsk::tools
