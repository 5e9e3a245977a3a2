#include "open_files.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace vsk::test {

int OpenFileCount() {
#ifdef _WIN32
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return static_cast<int>(handles);
#else
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
#endif
}

}  // namespace vsk::test
