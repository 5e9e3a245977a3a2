#include "main_flow.hpp"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <new>

#include "vsk/exceptions.hpp"
#include "vsk/expand_member.hpp"

namespace vsk::launcher {

namespace {

// The installer member expanded to nothing: the payload does not hold it,
// or the first block is empty or unreadable.
class EInstallerMissing : public Exception {
 public:
  EInstallerMissing()
      : Exception("EInstallerMissing",
                  "The setup payload holds no " + std::string(kInstallerMember)) {}
};

std::int32_t ReadLittleEndian32(TStream& stream) {
  // The count read is not checked: missing bytes stay 0.
  std::uint8_t bytes[4] = {};
  stream.Read(bytes, 4);
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
}

// Copies the first PayloadBlock's archive into the (already created, empty)
// temporary file. Both files are closed again before this returns.
void CopyFirstBlock(LauncherPlatform& platform, const std::string& source_path,
                    std::int32_t payload_offset, const std::string& data_path) {
  auto source = platform.OpenShared(source_path);
  auto data = platform.CreateNew(data_path);
  source->SetPosition(payload_offset);
  const std::int32_t payload_length = ReadLittleEndian32(*source);
  // A length of 0 or less copies nothing; the empty copy then holds no installer.
  data->CopyFrom(*source, payload_length);
  data.reset();
  source.reset();
}

// Creates the installer file in the Windows directory or, when that fails,
// beside the archive copy; returns the path used.
std::unique_ptr<TStream> CreateInstallerFile(LauncherPlatform& platform,
                                             const std::string& data_path,
                                             std::string& installer_path) {
  try {
    return platform.CreateNew(installer_path);
  } catch (const EFCreateError&) {
    installer_path = DirectoryPart(data_path) + std::string(kInstallerFileName);
    return platform.CreateNew(installer_path);
  }
}

// Expands the installer; raises when it did not expand in full, so that a
// damaged or missing installer is never started.
void ExpandInstaller(LauncherPlatform& platform, const std::string& data_path,
                     std::string& installer_path) {
  auto installer = CreateInstallerFile(platform, data_path, installer_path);
  ExpandMember(data_path, *installer, std::string(kInstallerMember), nullptr);
  if (installer->Size() == 0) throw EInstallerMissing();
}

int RunMainFlow(LauncherPlatform& platform, MarkerText marker_text) {
  const std::string source_path = platform.OwnPath();
  const std::int32_t payload_offset = FindPayloadOffset(source_path, marker_text);
  if (payload_offset <= 0) {
    platform.Beep();
    return 0;
  }
  const std::string data_path = platform.MakeTempFileName();
  std::string installer_path = platform.GetWindowsDirSlash() + std::string(kInstallerFileName);
  CopyFirstBlock(platform, source_path, payload_offset, data_path);
  ExpandInstaller(platform, data_path, installer_path);
  // The installer's exit code is not passed on.
  platform.RunAndWait(installer_path, MakeInstallerParameters(source_path, data_path), kShowNormal,
                      true);
  return 0;
}

}  // namespace

std::string MakeInstallerParameters(const std::string& source_path, const std::string& data_path) {
  return "\"/SOURCE=" + source_path + "\" \"/DATA=" + data_path + "\"";
}

std::string DirectoryPart(const std::string& path) {
  const auto last = path.find_last_of("\\:");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string FormatErrorReport(const ErrorReport& report, const std::string& module_name) {
  char address[2 * sizeof(void*) + 1];
  std::snprintf(address, sizeof address, "%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)),
                reinterpret_cast<std::uintptr_t>(report.address));
  std::string text = "Exception " + report.class_name + " in module " + module_name + " at " +
                     address + ".\n" + report.message;
  if (report.message.empty() || report.message.back() != '.') text += '.';
  return text;
}

int RunLauncher(LauncherPlatform& platform, MarkerText marker_text) {
  ErrorReport report;
  try {
    return RunMainFlow(platform, marker_text);
  } catch (const Exception& failure) {
    report = {failure.ClassName(), failure.Message(), failure.RaiseAddress()};
  } catch (const std::bad_alloc&) {
    report = {"EOutOfMemory", "Out of memory", nullptr};
  } catch (const std::exception& failure) {
    report = {"Exception", failure.what(), nullptr};
  }
  platform.ShowErrorReport(report);
  return 1;
}

}  // namespace vsk::launcher
