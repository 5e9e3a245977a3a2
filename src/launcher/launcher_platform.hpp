// What the launcher's main flow needs from the operating system. The Win32
// implementation is the real one; tests substitute a fake.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vsk/stream.hpp"

namespace vsk::launcher {

// What the top-level error report shows.
struct ErrorReport {
  std::string class_name;
  std::string message;
  const void* address = nullptr;  // where the failure was raised, as far as known
};

class LauncherPlatform {
 public:
  virtual ~LauncherPlatform() = default;

  // Full path of the launcher's own executable file.
  virtual std::string OwnPath() = 0;
  // Creates a new empty file in the temporary directory ("VSK" prefix) and
  // returns its full path.
  virtual std::string MakeTempFileName() = 0;
  // The Windows directory, ending in "\".
  virtual std::string GetWindowsDirSlash() = 0;
  // Opens an existing file for reading; others may read and write it.
  virtual std::unique_ptr<TStream> OpenShared(const std::string& path) = 0;
  // Creates (replaces) a file for reading and writing, with no sharing.
  // Raises EFCreateError when it cannot.
  virtual std::unique_ptr<TStream> CreateNew(const std::string& path) = 0;
  // Starts `program` with `parameters` through the shell ("Open" verb) and,
  // when `wait` is set, waits until it has ended. Returns its exit code, or
  // -1 when it could not be started or its exit code could not be read.
  virtual std::int32_t RunAndWait(const std::string& program, const std::string& parameters,
                                  std::uint16_t show_command, bool wait) = 0;
  // MessageBeep(0).
  virtual void Beep() = 0;
  // The task-modal "Application Error" box.
  virtual void ShowErrorReport(const ErrorReport& report) = 0;
};

}  // namespace vsk::launcher
