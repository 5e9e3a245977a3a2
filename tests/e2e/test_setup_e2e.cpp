// The real Setup.exe, stamped by vskarc.exe around a probe installer, run as
// a user would run it. This program is itself a Windows program: under Wine
// it shares the prefix (and so C:\windows) with the setups it starts.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "run_process.hpp"
#include "test_streams.hpp"
#include "vsk/encoders.hpp"

namespace vsk::test {
namespace {

namespace fs = std::filesystem;

const std::string kSetup = NativePath(SETUP_PATH);
const std::string kProbe = NativePath(PROBE_PATH);
const std::string kVskarc = NativePath(VSKARC_PATH);

std::string WindowsDirectory() {
  char directory[MAX_PATH + 1] = {};
  GetWindowsDirectoryA(directory, MAX_PATH);
  return directory;
}

std::string EnvironmentValue(const char* name) {
  char value[MAX_PATH + 1] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n < sizeof value ? std::string(value, n) : std::string();
}

// The probe's record: key=value lines; "arg" may repeat.
std::multimap<std::string, std::string> ReadProbeLog(const fs::path& path) {
  std::multimap<std::string, std::string> record;
  const Bytes bytes = ReadWholeFile(path);
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) record.emplace(line.substr(0, eq), line.substr(eq + 1));
  }
  return record;
}

std::string One(const std::multimap<std::string, std::string>& record, const std::string& key) {
  const auto it = record.find(key);
  return it == record.end() ? std::string() : it->second;
}

std::uint64_t NowFileTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

class SetupEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_.path() / "Temp Dir";
    fs::create_directories(temp_);
    fs::create_directories(dir_.path() / "Setup Dir");
    installer_in_windows_ = fs::path(WindowsDirectory()) / "Varnskell.exe";
    std::error_code ignored;
    fs::remove(installer_in_windows_, ignored);
    saved_tmp_ = EnvironmentValue("TMP");
    saved_temp_ = EnvironmentValue("TEMP");
    SetEnvironmentVariableA("TMP", temp_.string().c_str());
    SetEnvironmentVariableA("TEMP", temp_.string().c_str());
    SetEnvironmentVariableA("VSK_PROBE_LOG", ProbeLog().string().c_str());
    SetEnvironmentVariableA("VSK_PROBE_SLEEP_MS", "0");
    SetEnvironmentVariableA("VSK_PROBE_EXIT", "0");
    probe_ = ReadWholeFile(kProbe);
    ASSERT_FALSE(probe_.empty()) << kProbe;
  }

  void TearDown() override {
    SetEnvironmentVariableA("TMP", saved_tmp_.c_str());
    SetEnvironmentVariableA("TEMP", saved_temp_.c_str());
    std::error_code ignored;
    fs::remove_all(installer_in_windows_, ignored);
  }

  fs::path ProbeLog() const { return dir_.path() / "probe.log"; }

  // The first archive: the probe as an LH5 member, plus a stored readme.
  Bytes FirstArchive(std::string_view installer_name = "Installer\\Varnskell.exe",
                     std::int32_t checksum_delta = 0) const {
    const Bytes packed = EncodeLH5(probe_);
    return ArchiveBuilder()
        .Stored("Readme.txt", ToBytes("read me first"))
        .Raw(MakeEntry(kMethodLH5, static_cast<std::int32_t>(probe_.size()),
                       ByteSum(probe_) + checksum_delta),
             installer_name, packed)
        .Build();
  }

  // Stamps the launcher with `first` and a small second archive.
  std::string Stamp(const Bytes& first, const std::string& name = "My Setup.exe") {
    const std::string first_path = dir_.Write("first.vsk", first);
    const std::string second_path =
        dir_.Write("second.vsk", ArchiveBuilder().Stored("data.bin", Bytes(1000, 3)).Build());
    const std::string out = (dir_.path() / "Setup Dir" / name).string();
    const auto r =
        RunProcess(kVskarc, {"stamp", kSetup, first_path, second_path, "-o", out, "--force"},
                   dir_.path().string());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    return out;
  }

  ProcessResult RunSetup(const std::string& setup) {
    return RunProcess(setup, {"--not-for-the-installer", "two words"}, dir_.path().string());
  }

  std::vector<fs::path> ArchiveCopies() const {
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(temp_)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with("VSK") && entry.path().extension() == ".tmp") {
        copies.push_back(entry.path());
      }
    }
    return copies;
  }

  TempDir dir_;
  std::string saved_tmp_;
  std::string saved_temp_;
  fs::path temp_;
  fs::path installer_in_windows_;
  Bytes probe_;
};

TEST_F(SetupEndToEnd, StartsTheInstallerWithSourceAndDataAndWaitsForIt) {
  const Bytes first = FirstArchive();
  const std::string setup = Stamp(first);
  SetEnvironmentVariableA("VSK_PROBE_SLEEP_MS", "1500");
  SetEnvironmentVariableA("VSK_PROBE_EXIT", "7");
  const std::uint64_t launched = NowFileTime();
  const auto started_at = std::chrono::steady_clock::now();
  const auto r = RunSetup(setup);
  const auto elapsed = std::chrono::steady_clock::now() - started_at;
  EXPECT_EQ(r.exit_code, 0);                            // whatever the installer returned
  EXPECT_GE(elapsed, std::chrono::milliseconds(1400));  // it waited for the installer

  const auto record = ReadProbeLog(ProbeLog());
  ASSERT_FALSE(record.empty()) << "the installer did not run";
  EXPECT_TRUE(SameMemberName(One(record, "module"), installer_in_windows_.string()))
      << One(record, "module");
  EXPECT_EQ(One(record, "argc"), "3");
  std::vector<std::string> args;
  for (auto [it, end] = record.equal_range("arg"); it != end; ++it)
    args.push_back(it->second);
  ASSERT_EQ(args.size(), 2u);
  EXPECT_EQ(args[0], "/SOURCE=" + setup);
  const auto copies = ArchiveCopies();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_TRUE(SameMemberName(args[1], "/DATA=" + copies[0].string())) << args[1];
  EXPECT_EQ(ReadWholeFile(copies[0]), first);  // exactly the first archive
  EXPECT_EQ(ReadWholeFile(installer_in_windows_), probe_);
  EXPECT_EQ(One(record, "cmdline").find("not-for-the-installer"), std::string::npos);

  const double to_installer_ms =
      static_cast<double>(std::stoull(One(record, "started")) - launched) / 10000.0;
  std::printf("launcher start to installer start: %.0f ms\n", to_installer_ms);
  RecordProperty("launcher_to_installer_ms", static_cast<int>(to_installer_ms));
}

TEST(Launcher, CarriesExactlyOneMarkerThatSaysNoPayload) {
  const Bytes image = ReadWholeFile(kSetup);
  const Bytes marker = ToBytes("VSK_SIZE");
  std::vector<std::size_t> found;
  for (auto at = image.begin();
       (at = std::search(at, image.end(), marker.begin(), marker.end())) != image.end(); ++at) {
    found.push_back(static_cast<std::size_t>(at - image.begin()));
  }
  ASSERT_EQ(found.size(), 1u);
  ASSERT_LE(found[0] + 12, image.size());
  EXPECT_EQ(Bytes(image.begin() + static_cast<std::ptrdiff_t>(found[0]) + 8,
                  image.begin() + static_cast<std::ptrdiff_t>(found[0]) + 12),
            (Bytes{'X', 0, 0, 0}));
}

TEST_F(SetupEndToEnd, UnstampedLauncherOnlyBeeps) {
  const std::string setup = (dir_.path() / "Setup Dir" / "Plain.exe").string();
  fs::copy_file(kSetup, setup);
  EXPECT_EQ(RunSetup(setup).exit_code, 0);
  EXPECT_TRUE(ArchiveCopies().empty());
  EXPECT_FALSE(fs::exists(installer_in_windows_));
  EXPECT_FALSE(fs::exists(ProbeLog()));
}

TEST_F(SetupEndToEnd, FallsBackBesideTheArchiveCopy) {
  // A directory of the installer's name blocks the file in the Windows directory.
  fs::create_directory(installer_in_windows_);
  const std::string setup = Stamp(FirstArchive());
  EXPECT_EQ(RunSetup(setup).exit_code, 0);
  const auto record = ReadProbeLog(ProbeLog());
  ASSERT_FALSE(record.empty()) << "the installer did not run";
  EXPECT_TRUE(SameMemberName(One(record, "module"), (temp_ / "Varnskell.exe").string()))
      << One(record, "module");
}

TEST_F(SetupEndToEnd, InstallerThatDidNotExpandIsNeverStarted) {
  Bytes truncated_setup;
  {
    const std::string setup = Stamp(FirstArchive(), "Truncated.exe");
    truncated_setup = ReadWholeFile(setup);
    // Cut inside the first block.
    truncated_setup.resize(ReadWholeFile(kSetup).size() + 100);
  }
  const struct {
    const char* name;
    std::function<std::string()> make;
  } cases[] = {
      {"checksum failure", [&] { return Stamp(FirstArchive("Installer\\Varnskell.exe", 1)); }},
      {"no installer member", [&] { return Stamp(FirstArchive("Installer\\Other.exe")); }},
      {"truncated payload", [&] { return dir_.Write("Setup Dir/Truncated.exe", truncated_setup); }},
  };
  for (const auto& c : cases) {
    const std::string setup = c.make();
    EXPECT_EQ(RunSetup(setup).exit_code, 1) << c.name;
    EXPECT_FALSE(fs::exists(ProbeLog())) << c.name << ": the installer was started";
  }
}

}  // namespace
}  // namespace vsk::test
