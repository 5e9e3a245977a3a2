// A stand-in installer for the end-to-end tests. It records how it was
// started into the file named by VSK_PROBE_LOG, then sleeps VSK_PROBE_SLEEP_MS
// milliseconds and exits with VSK_PROBE_EXIT.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  FILETIME started;
  GetSystemTimeAsFileTime(&started);
  const std::string log_path = Environment("VSK_PROBE_LOG");
  if (!log_path.empty()) {
    if (std::FILE* log = std::fopen(log_path.c_str(), "wb")) {
      char module[MAX_PATH + 1] = {};
      GetModuleFileNameA(nullptr, module, MAX_PATH);
      std::fprintf(
          log, "started=%llu\n",
          static_cast<unsigned long long>(started.dwHighDateTime) << 32 | started.dwLowDateTime);
      std::fprintf(log, "module=%s\n", module);
      std::fprintf(log, "cmdline=%s\n", GetCommandLineA());
      std::fprintf(log, "argc=%d\n", __argc);
      for (int i = 1; i < __argc; ++i)
        std::fprintf(log, "arg=%s\n", __argv[i]);
      std::fclose(log);
    }
  }
  Sleep(static_cast<DWORD>(std::atoi(Environment("VSK_PROBE_SLEEP_MS").c_str())));
  return std::atoi(Environment("VSK_PROBE_EXIT").c_str());
}
