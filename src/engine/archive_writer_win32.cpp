#include <windows.h>

#include "archive_writer_platform.hpp"

namespace vsk {

std::optional<MemberFileFacts> QueryMemberFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  MemberFileFacts facts;
  facts.Size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                         data.nFileSizeLow);
  FILETIME local{};
  SYSTEMTIME time{};
  if (FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) &&
      FileTimeToSystemTime(&local, &time)) {
    facts.Stamp = PackDosTimestamp(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                                   time.wSecond);
  }
  return facts;
}

}  // namespace vsk
