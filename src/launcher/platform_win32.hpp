// The launcher's platform on Windows: kernel, user and shell calls.
#pragma once

#include "launcher_platform.hpp"

namespace vsk::launcher {

class Win32Platform final : public LauncherPlatform {
 public:
  std::string OwnPath() override;
  std::string MakeTempFileName() override;
  std::string GetWindowsDirSlash() override;
  std::unique_ptr<TStream> OpenShared(const std::string& path) override;
  std::unique_ptr<TStream> CreateNew(const std::string& path) override;
  std::int32_t RunAndWait(const std::string& program, const std::string& parameters,
                          std::uint16_t show_command, bool wait) override;
  void Beep() override;
  void ShowErrorReport(const ErrorReport& report) override;
};

}  // namespace vsk::launcher
