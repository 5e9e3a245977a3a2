// The launcher's main flow over a fake platform: real files in a scratch
// directory, recorded beeps, starts and error reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "main_flow.hpp"
#include "test_streams.hpp"
#include "vsk/exceptions.hpp"
#include "vsk/file_stream.hpp"

namespace vsk::test {
namespace {

using launcher::ErrorReport;

const Bytes kMarkerText = ToBytes("VSK_SIZE");
const Bytes kInstaller = ToBytes("MZ pretend installer program");

// A stream that counts how many of its kind are open.
class CountedStream final : public TStream {
 public:
  CountedStream(const std::string& path, TFileMode mode, int& open)
      : file_(path, mode), open_(open) {
    ++open_;
  }
  ~CountedStream() override { --open_; }
  std::int32_t Read(void* b, std::int32_t n) override { return file_.Read(b, n); }
  std::int32_t Write(const void* b, std::int32_t n) override { return file_.Write(b, n); }
  std::int32_t Seek(std::int32_t o, TSeekOrigin w) override { return file_.Seek(o, w); }
  std::int32_t Size() override { return file_.Size(); }

 private:
  TFileStream file_;
  int& open_;
};

struct Start {
  std::string program;
  std::string parameters;
  std::uint16_t show = 0;
  bool wait = false;
  Bytes installer;       // the program file's bytes when it was started
  int open_streams = 0;  // files the launcher still held open then
};

class FakePlatform final : public launcher::LauncherPlatform {
 public:
  explicit FakePlatform(const std::filesystem::path& root)
      : own_path((root / "My Setup.exe").string()),
        temp_prefix((root / "Temp Dir").string() + "\\"),
        windows_prefix((root / "Windows").string() + "\\") {
    // On Windows these are directories; elsewhere the "\" makes them part of
    // a file name in `root`, which the flow treats the same way.
    std::filesystem::create_directories(root / "Temp Dir");
    std::filesystem::create_directories(root / "Windows");
  }

  std::string OwnPath() override { return own_path; }
  std::string MakeTempFileName() override {
    const std::string name = temp_prefix + "VSK" + std::to_string(++temp_names) + ".tmp";
    TFileStream created(name, TFileMode::Create);
    return name;
  }
  std::string GetWindowsDirSlash() override { return windows_prefix; }
  std::unique_ptr<TStream> OpenShared(const std::string& path) override {
    return std::make_unique<CountedStream>(path, TFileMode::OpenReadShared, open_streams);
  }
  std::unique_ptr<TStream> CreateNew(const std::string& path) override {
    const bool in_windows = path.starts_with(windows_prefix);
    const bool is_installer = path.ends_with("Varnskell.exe");
    if ((in_windows && !windows_writable) || (!in_windows && is_installer && !fallback_writable) ||
        (!in_windows && !is_installer && !copy_writable)) {
      throw EFCreateError(path);
    }
    return std::make_unique<CountedStream>(path, TFileMode::Create, open_streams);
  }
  std::int32_t RunAndWait(const std::string& program, const std::string& parameters,
                          std::uint16_t show, bool wait) override {
    starts.push_back({program, parameters, show, wait, ReadWholeFile(program), open_streams});
    return 3;  // whatever the installer returns is not passed on
  }
  void Beep() override { ++beeps; }
  void ShowErrorReport(const ErrorReport& report) override { reports.push_back(report); }

  std::string own_path;
  std::string temp_prefix;
  std::string windows_prefix;
  bool windows_writable = true;
  bool fallback_writable = true;  // the installer beside the archive copy
  bool copy_writable = true;      // the archive copy itself
  int temp_names = 0;
  int beeps = 0;
  int open_streams = 0;
  std::vector<Start> starts;
  std::vector<ErrorReport> reports;
};

Bytes LittleEndian(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// An image with the marker at offset 200, then the two blocks behind it.
Bytes StampedImage(const Bytes& first, const Bytes& second, bool stamped = true) {
  Bytes image(4000, 0x90);
  std::copy(kMarkerText.begin(), kMarkerText.end(), image.begin() + 200);
  const Bytes offset =
      stamped ? LittleEndian(static_cast<std::int32_t>(image.size())) : Bytes{'X', 0, 0, 0};
  std::copy(offset.begin(), offset.begin() + 4, image.begin() + 208);
  for (const Bytes* block : {&first, &second}) {
    const Bytes length = LittleEndian(static_cast<std::int32_t>(block->size()));
    image.insert(image.end(), length.begin(), length.end());
    image.insert(image.end(), block->begin(), block->end());
  }
  return image;
}

Bytes FirstArchive() {
  return ArchiveBuilder()
      .Stored("Readme.txt", ToBytes("read me"))
      .Rle("INSTALLER\\VARNSKELL.EXE", kInstaller)
      .Build();
}

class MainFlow : public ::testing::Test {
 protected:
  int Launch(const Bytes& image) {
    WriteFile(platform_.own_path, image);
    return launcher::RunLauncher(platform_,
                                 std::span<const std::uint8_t, 8>(kMarkerText.data(), 8));
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    TFileStream file(path, TFileMode::Create);
    file.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }
  std::string Report() const {
    if (platform_.reports.empty()) return "";
    return platform_.reports.back().class_name + ": " + platform_.reports.back().message;
  }

  TempDir dir_;
  FakePlatform platform_{dir_.path()};
};

TEST_F(MainFlow, NormalPathStartsTheExpandedInstallerAndWaits) {
  const Bytes first = FirstArchive();
  EXPECT_EQ(Launch(StampedImage(first, ArchiveBuilder().Stored("x", ToBytes("second")).Build())),
            0);
  ASSERT_EQ(platform_.starts.size(), 1u);
  const Start& start = platform_.starts[0];
  const std::string data_path = platform_.temp_prefix + "VSK1.tmp";
  EXPECT_EQ(start.program, platform_.windows_prefix + "Varnskell.exe");
  EXPECT_EQ(start.parameters, "\"/SOURCE=" + platform_.own_path + "\" \"/DATA=" + data_path + "\"");
  EXPECT_EQ(start.show, 1);
  EXPECT_TRUE(start.wait);
  EXPECT_EQ(start.installer, kInstaller);
  EXPECT_EQ(start.open_streams, 0);            // every file closed before the start
  EXPECT_EQ(ReadWholeFile(data_path), first);  // the first archive and nothing else
  EXPECT_EQ(platform_.beeps, 0);
  EXPECT_TRUE(platform_.reports.empty());
  EXPECT_EQ(platform_.open_streams, 0);
}

TEST_F(MainFlow, NoPayloadOnlyBeeps) {
  EXPECT_EQ(Launch(StampedImage(FirstArchive(), {}, /*stamped=*/false)), 0);
  EXPECT_EQ(platform_.beeps, 1);
  EXPECT_EQ(platform_.temp_names, 0);  // no file created
  EXPECT_TRUE(platform_.starts.empty());
  EXPECT_FALSE(std::filesystem::exists(platform_.windows_prefix + "Varnskell.exe"));
}

TEST_F(MainFlow, FallsBackBesideTheArchiveCopy) {
  platform_.windows_writable = false;
  EXPECT_EQ(Launch(StampedImage(FirstArchive(), {})), 0);
  ASSERT_EQ(platform_.starts.size(), 1u);
  EXPECT_EQ(platform_.starts[0].program, platform_.temp_prefix + "Varnskell.exe");
  EXPECT_EQ(platform_.starts[0].installer, kInstaller);
}

TEST_F(MainFlow, FailedFallbackIsReportedAndNothingStarts) {
  platform_.windows_writable = false;
  platform_.fallback_writable = false;
  EXPECT_EQ(Launch(StampedImage(FirstArchive(), {})), 1);
  EXPECT_TRUE(platform_.starts.empty());
  EXPECT_EQ(Report(),
            "EFCreateError: Cannot create file " + platform_.temp_prefix + "Varnskell.exe");
}

TEST_F(MainFlow, ArchiveCopyThatCannotBeCreatedIsReported) {
  platform_.copy_writable = false;
  EXPECT_EQ(Launch(StampedImage(FirstArchive(), {})), 1);
  EXPECT_TRUE(platform_.starts.empty());
  EXPECT_EQ(Report(), "EFCreateError: Cannot create file " + platform_.temp_prefix + "VSK1.tmp");
  EXPECT_EQ(platform_.open_streams, 0);
}

// An installer that did not expand in full is never started.
TEST_F(MainFlow, InstallerThatDidNotExpandIsNotStarted) {
  const Bytes bad_checksum =
      ArchiveBuilder()
          .Raw(MakeEntry(kMethodRLE, static_cast<std::int32_t>(kInstaller.size()), 1),
               "Installer\\Varnskell.exe", EncodeRleForTest(kInstaller))
          .Build();
  Bytes truncated_image = StampedImage(FirstArchive(), {});
  truncated_image.resize(truncated_image.size() - 30);
  const struct {
    const char* name;
    Bytes image;
    std::string report;
  } cases[] = {
      {"checksum", StampedImage(bad_checksum, {}),
       "EBadChecksum: Bad checksum during expansion -- data may be invalid"},
      {"missing member", StampedImage(ArchiveBuilder().Stored("other", kInstaller).Build(), {}),
       "EInstallerMissing: The setup payload holds no Installer\\Varnskell.exe"},
      {"empty first block", StampedImage({}, {}),
       "EInstallerMissing: The setup payload holds no Installer\\Varnskell.exe"},
      {"not an archive", StampedImage(ToBytes("this is no archive at all"), {}),
       "EInvalidHeader: Can't recognize compressed file header"},
      {"truncated payload", truncated_image, "EReadError: Stream read error"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    FakePlatform platform(dir.path());
    TFileStream(platform.own_path, TFileMode::Create)
        .WriteBuffer(c.image.data(), static_cast<std::int32_t>(c.image.size()));
    EXPECT_EQ(
        launcher::RunLauncher(platform, std::span<const std::uint8_t, 8>(kMarkerText.data(), 8)), 1)
        << c.name;
    EXPECT_TRUE(platform.starts.empty()) << c.name;
    ASSERT_EQ(platform.reports.size(), 1u) << c.name;
    EXPECT_EQ(platform.reports[0].class_name + ": " + platform.reports[0].message, c.report);
    EXPECT_EQ(platform.open_streams, 0) << c.name;
    EXPECT_TRUE(std::filesystem::exists(platform.temp_prefix + "VSK1.tmp")) << c.name;  // kept
  }
}

TEST_F(MainFlow, UnreadableOwnFileIsReported) {
  EXPECT_EQ(
      launcher::RunLauncher(platform_, std::span<const std::uint8_t, 8>(kMarkerText.data(), 8)), 1);
  EXPECT_EQ(Report(), "EFOpenError: Cannot open file " + platform_.own_path);
}

TEST(InstallerParameters, EachSwitchQuotedWithItsPath) {
  EXPECT_EQ(launcher::MakeInstallerParameters("C:\\My Files\\Setup.exe", "C:\\Temp Dir\\VSK1A.tmp"),
            "\"/SOURCE=C:\\My Files\\Setup.exe\" \"/DATA=C:\\Temp Dir\\VSK1A.tmp\"");
}

TEST(DirectoryPart, UpToTheLastBackslashOrColon) {
  EXPECT_EQ(launcher::DirectoryPart("C:\\Temp\\VSK1.tmp"), "C:\\Temp\\");
  EXPECT_EQ(launcher::DirectoryPart("C:VSK1.tmp"), "C:");
  EXPECT_EQ(launcher::DirectoryPart("VSK1.tmp"), "");
  EXPECT_EQ(launcher::DirectoryPart("a/b/VSK1.tmp"), "");
}

TEST(ErrorReportText, NamesClassModuleAddressAndEndsInAPeriod) {
  const void* at = reinterpret_cast<const void*>(std::uintptr_t{0x40A1B2});
  const std::string digits(2 * sizeof(void*) - 6, '0');
  EXPECT_EQ(
      launcher::FormatErrorReport({"EReadError", "Stream read error", at}, "Setup.exe"),
      "Exception EReadError in module Setup.exe at " + digits + "40A1B2.\nStream read error.");
  EXPECT_EQ(launcher::FormatErrorReport({"E", "Done.", at}, "S.exe"),
            "Exception E in module S.exe at " + digits + "40A1B2.\nDone.");
}

}  // namespace
}  // namespace vsk::test
