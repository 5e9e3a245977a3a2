#include <sys/stat.h>

#include <ctime>

#include "archive_writer_platform.hpp"

namespace vsk {

std::optional<MemberFileFacts> QueryMemberFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  MemberFileFacts facts;
  facts.Size = static_cast<std::int64_t>(info.st_size);
  std::tm local{};
  const std::time_t modified = info.st_mtime;
  if (::localtime_r(&modified, &local) != nullptr) {
    facts.Stamp = PackDosTimestamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                   local.tm_hour, local.tm_min, local.tm_sec);
  }
  return facts;
}

}  // namespace vsk
