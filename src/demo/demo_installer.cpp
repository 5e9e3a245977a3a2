// A demonstration installer: what a setup's installer program does with
// what the launcher hands it. It takes "/SOURCE=" (the setup file) and
// "/DATA=" (the copy of the first archive), extracts every member of the
// first archive into "Installed" beside the setup, lists the setup's second
// archive, and writes install-report.txt there. Exit code 0 when every
// member was extracted and verified.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "payload_locator.hpp"
#include "vsk/archive_walk.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace {

constexpr std::string_view kSourceSwitch = "/SOURCE=";
constexpr std::string_view kDataSwitch = "/DATA=";

struct Arguments {
  std::string source;
  std::string data;
};

Arguments ParseArguments() {
  Arguments args;
  for (int i = 1; i < __argc; ++i) {
    const std::string_view arg = __argv[i];
    if (arg.starts_with(kSourceSwitch)) args.source = arg.substr(kSourceSwitch.size());
    if (arg.starts_with(kDataSwitch)) args.data = arg.substr(kDataSwitch.size());
  }
  return args;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A member name is installed only as a relative path without "." or ".."
// parts: an archive must not write outside the install folder.
bool IsSafeRelativeName(std::string_view name) {
  if (name.empty() || name.front() == '\\' || name.front() == '/' ||
      name.find(':') != std::string_view::npos) {
    return false;
  }
  std::size_t start = 0;
  while (start <= name.size()) {
    const auto end = std::min(name.find_first_of("\\/", start), name.size());
    const auto part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

void CreateParentDirectories(const std::string& root, std::string_view name) {
  for (std::size_t at = name.find_first_of("\\/"); at != std::string_view::npos;
       at = name.find_first_of("\\/", at + 1)) {
    CreateDirectoryA((root + std::string(name.substr(0, at))).c_str(), nullptr);
  }
}

class Report {
 public:
  void Line(const std::string& text) { lines_.push_back(text); }
  void Save(const std::string& path) const {
    if (std::FILE* out = std::fopen(path.c_str(), "w")) {
      for (const auto& line : lines_)
        std::fprintf(out, "%s\n", line.c_str());
      std::fclose(out);
    }
  }

 private:
  std::vector<std::string> lines_;
};

// Extracts every member of the archive copy; returns the number of failures.
int ExtractAll(const std::string& data_path, const std::string& target, Report& report) {
  vsk::TVSInstCompress component;
  vsk::TFileStream archive(data_path, vsk::TFileMode::OpenReadExclusive);
  const vsk::ArchiveInfo info = vsk::ReadArchiveInfo(component, archive);
  int failures = 0;
  vsk::WalkMembers(component, archive, info, [&](const vsk::ArchiveMember& m) {
    if (!IsSafeRelativeName(m.Name)) {
      report.Line("  SKIPPED " + m.Name + " (not a safe relative name)");
      ++failures;
      return;
    }
    CreateParentDirectories(target, m.Name);
    try {
      vsk::TFileStream out(target + m.Name, vsk::TFileMode::Create);
      component.ExpandEntry(out, archive, m.Entry.CompressedSize, m.Entry.ExpandedSize,
                            m.Entry.Checksum, m.Entry.Method, info.MethodId, m.Entry.KeyFlag);
      report.Line("  OK      " + m.Name + " (" + std::to_string(out.Size()) + " bytes, " +
                  vsk::MethodDisplayName(m.Entry.Method) + ")");
    } catch (const vsk::Exception& failure) {
      report.Line("  FAILED  " + m.Name + ": " + failure.ClassName() + ": " + failure.Message());
      ++failures;
    }
  });
  return failures;
}

// Lists the setup's second archive, which the launcher leaves to the installer.
void ListSecondArchive(const std::string& source_path, Report& report) {
  static constexpr std::uint8_t kMarkerText[8] = {'V', 'S', 'K', '_', 'S', 'I', 'Z', 'E'};
  const std::int32_t first = vsk::launcher::FindPayloadOffset(source_path, kMarkerText);
  if (first <= 0) {
    report.Line("The setup carries no payload.");
    return;
  }
  vsk::TFileStream setup(source_path, vsk::TFileMode::OpenReadShared);
  std::uint8_t length[4] = {};
  setup.SetPosition(first);
  setup.ReadBuffer(length, 4);
  const std::int32_t first_length = static_cast<std::int32_t>(
      length[0] | length[1] << 8 | length[2] << 16 | static_cast<std::uint32_t>(length[3]) << 24);
  setup.SetPosition(first + 4 + first_length + 4);  // the second archive itself
  vsk::TVSInstCompress component;
  const vsk::ArchiveInfo info = vsk::ReadArchiveInfo(component, setup);
  report.Line("The setup's second archive holds:");
  vsk::WalkMembers(component, setup, info, [&](const vsk::ArchiveMember& m) {
    report.Line("  " + m.Name + " (" + std::to_string(m.Entry.ExpandedSize) + " bytes, " +
                vsk::MethodDisplayName(m.Entry.Method) + ")");
  });
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const Arguments args = ParseArguments();
  const std::string target = DirectoryOf(args.source) + "Installed\\";
  CreateDirectoryA(target.c_str(), nullptr);
  Report report;
  report.Line("Demo installer report");
  report.Line("Command line: " + std::string(GetCommandLineA()));
  report.Line("/SOURCE= " + args.source);
  report.Line("/DATA=   " + args.data);
  int failures = 1;
  try {
    report.Line("Extracted from the data archive into " + target + ":");
    failures = ExtractAll(args.data, target, report);
    ListSecondArchive(args.source, report);
  } catch (const vsk::Exception& failure) {
    report.Line("FAILED: " + failure.ClassName() + ": " + failure.Message());
  }
  report.Line(failures == 0 ? "Result: installed" : "Result: FAILED");
  report.Save(target + "install-report.txt");
  return failures == 0 ? 0 : 1;
}
