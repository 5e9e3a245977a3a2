// The launcher's one line of work: find the payload in its own file, copy
// the first archive to a temporary file, expand the installer program from
// it and run the installer to its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "launcher_platform.hpp"
#include "payload_locator.hpp"

namespace vsk::launcher {

inline constexpr std::string_view kInstallerFileName = "Varnskell.exe";
inline constexpr std::string_view kInstallerMember = "Installer\\Varnskell.exe";
inline constexpr std::uint16_t kShowNormal = 1;

// The parameter string handed to the installer:
// "/SOURCE=<source>" "/DATA=<data>", each switch quoted with its path.
std::string MakeInstallerParameters(const std::string& source_path, const std::string& data_path);

// Everything up to and including the last "\" or ":" of `path`.
std::string DirectoryPart(const std::string& path);

// The report text: "Exception <class> in module <module> at <address>." and a
// line feed, then the message with a "." added unless it ends in one.
std::string FormatErrorReport(const ErrorReport& report, const std::string& module_name);

// Runs the whole flow and returns the process exit code: 0 on every path
// that ends normally, 1 after the error report.
int RunLauncher(LauncherPlatform& platform, MarkerText marker_text);

}  // namespace vsk::launcher
