#include "platform_win32.hpp"

// <windows.h> must come before the other system headers.
#include <windows.h>
// The shell's ShellExecuteExA.
#include <shellapi.h>

#include "main_flow.hpp"
#include "vsk/file_stream.hpp"

namespace vsk::launcher {

namespace {
constexpr DWORD kPollMilliseconds = 100;
}  // namespace

std::string Win32Platform::OwnPath() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH + 1);
  return std::string(path, length);
}

std::string Win32Platform::MakeTempFileName() {
  char temp_dir[256] = {};
  GetTempPathA(255, temp_dir);
  // Room for the system's full path limit, not just the 256 characters the
  // temporary directory's own name may take.
  char name[MAX_PATH + 1] = {};
  GetTempFileNameA(temp_dir, "VSK", 0, name);
  return name;
}

std::string Win32Platform::GetWindowsDirSlash() {
  char directory[MAX_PATH + 1] = {};
  GetWindowsDirectoryA(directory, MAX_PATH);
  std::string result = directory;
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

std::unique_ptr<TStream> Win32Platform::OpenShared(const std::string& path) {
  return std::make_unique<TFileStream>(path, TFileMode::OpenReadShared);
}

std::unique_ptr<TStream> Win32Platform::CreateNew(const std::string& path) {
  return std::make_unique<TFileStream>(path, TFileMode::Create);
}

std::int32_t Win32Platform::RunAndWait(const std::string& program, const std::string& parameters,
                                       std::uint16_t show_command, bool wait) {
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = "Open";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = "";  // an empty string, not a null pointer
  info.nShow = show_command;
  if (!ShellExecuteExA(&info)) return -1;
  if (!wait) {
    if (info.hProcess != nullptr) CloseHandle(info.hProcess);
    return 0;
  }
  // Wake every 100 ms and look at the message queue without removing
  // anything, so the system does not consider the launcher hung.
  while (WaitForSingleObject(info.hProcess, kPollMilliseconds) == WAIT_TIMEOUT) {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
  }
  DWORD exit_code = 0;
  const BOOL have_code = GetExitCodeProcess(info.hProcess, &exit_code);
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
  return have_code ? static_cast<std::int32_t>(exit_code) : -1;
}

void Win32Platform::Beep() {
  MessageBeep(0);
}

void Win32Platform::ShowErrorReport(const ErrorReport& report) {
  const std::string own_path = OwnPath();
  const std::string module_name = own_path.substr(own_path.find_last_of("\\/:") + 1);
  const std::string text = FormatErrorReport(report, module_name);
  MessageBoxA(nullptr, text.c_str(), "Application Error", MB_TASKMODAL | MB_ICONERROR);
}

}  // namespace vsk::launcher
