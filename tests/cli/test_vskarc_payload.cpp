// vskarc stamp and payload on launcher images made by the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "test_streams.hpp"
#include "vskarc_path.hpp"

namespace vsk::test {
namespace {

// A stand-in launcher: filler, the marker saying "no payload", filler.
Bytes LauncherImage(int markers = 1, bool stamped = false) {
  Bytes image(3000, 0xCC);
  for (int i = 0; i < markers; ++i) {
    const Bytes marker = ToBytes("VSK_SIZE");
    const std::size_t at = 1000 + 500 * static_cast<std::size_t>(i);
    std::copy(marker.begin(), marker.end(), image.begin() + static_cast<std::ptrdiff_t>(at));
    image[at + 8] = stamped ? 0x10 : 'X';
    image[at + 9] = image[at + 10] = image[at + 11] = 0;
  }
  return image;
}

std::int32_t Int32At(const Bytes& b, std::size_t at) {
  return static_cast<std::int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                   static_cast<std::uint32_t>(b[at + 3]) << 24);
}

class VskarcPayload : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = dir_.Write("Setup.exe", LauncherImage());
    first_archive_ = ArchiveBuilder()
                         .Stored("Installer\\Varnskell.exe", ToBytes("MZ installer"))
                         .Rle("setup.ini", Bytes(300, '='))
                         .Build();
    second_archive_ = ArchiveBuilder().Stored("data\\big.bin", Bytes(5000, 7)).Build();
    first_ = dir_.Write("first.vsk", first_archive_);
    second_ = dir_.Write("second.vsk", second_archive_);
  }
  ProcessResult Run(const std::vector<std::string>& args) {
    return RunProcess(VskarcPath(), args, dir_.path().string());
  }
  std::string Path(const std::string& name) const { return (dir_.path() / name).string(); }

  TempDir dir_;
  std::string launcher_, first_, second_;
  Bytes first_archive_, second_archive_;
};

TEST_F(VskarcPayload, StampAppendsBothBlocksAndStoresTheFirstOffset) {
  const auto r = Run({"stamp", launcher_, first_, second_, "-o", Path("out.exe")});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const Bytes setup = ReadWholeFile(Path("out.exe"));
  Bytes expected = LauncherImage();
  ASSERT_EQ(setup.size(), expected.size() + 8 + first_archive_.size() + second_archive_.size());
  EXPECT_EQ(Int32At(setup, 1008), 3000);  // first block right behind the image
  EXPECT_EQ(Int32At(setup, 3000), static_cast<std::int32_t>(first_archive_.size()));
  EXPECT_TRUE(std::equal(first_archive_.begin(), first_archive_.end(), setup.begin() + 3004));
  const std::size_t second_at = 3004 + first_archive_.size();
  EXPECT_EQ(Int32At(setup, second_at), static_cast<std::int32_t>(second_archive_.size()));
  EXPECT_TRUE(std::equal(second_archive_.begin(), second_archive_.end(),
                         setup.begin() + static_cast<std::ptrdiff_t>(second_at + 4)));
  EXPECT_TRUE(std::equal(setup.begin(), setup.begin() + 1008, expected.begin()));

  const auto shown = Run({"payload", Path("out.exe")});
  ASSERT_EQ(shown.exit_code, 0) << shown.err;
  for (const char* expected_text :
       {"Marker:       at 0x3E8 (1000)", "Stored offset: 0xBB8 (3000)",
        "Block 2:      length field at", "ends at the end of the file", "Installer\\Varnskell.exe",
        "data\\big.bin", "Archive in block 2"}) {
    EXPECT_NE(shown.out.find(expected_text), std::string::npos) << expected_text << shown.out;
  }
  for (const std::string block : {"1", "2"}) {
    const auto x = Run({"payload", Path("out.exe"), "--extract", block, "-o", Path("b.vsk")});
    ASSERT_EQ(x.exit_code, 0) << x.err;
    EXPECT_EQ(ReadWholeFile(Path("b.vsk")), block == "1" ? first_archive_ : second_archive_);
  }
}

TEST_F(VskarcPayload, StampRefusesBadInputsAndLeavesNoOutput) {
  const std::string two_markers = dir_.Write("two.exe", LauncherImage(2));
  const std::string stamped = dir_.Write("stamped.exe", LauncherImage(1, true));
  const std::string none = dir_.Write("none.exe", Bytes(2000, 1));
  const std::string text = dir_.Write("text.vsk", ToBytes("just some text, not an archive"));
  const std::string no_installer =
      dir_.Write("noinst.vsk", ArchiveBuilder().Stored("readme", ToBytes("x")).Build());
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"stamp", none, first_, second_}, "holds no payload marker"},
      {{"stamp", two_markers, first_, second_}, "holds 2 copies of the payload marker"},
      {{"stamp", stamped, first_, second_}, "already carries a payload"},
      {{"stamp", launcher_, text, second_}, "text.vsk is not an archive"},
      {{"stamp", launcher_, first_, text}, "text.vsk is not an archive"},
      {{"stamp", launcher_, no_installer, second_}, "holds no member \"Installer\\Varnskell.exe\""},
      {{"stamp", launcher_, Path("missing.vsk"), second_}, "Cannot open file"},
  };
  const std::string out = dir_.Write("out.exe", ToBytes("previous contents"));
  for (const auto& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-o", out});
    const auto r = Run(args);
    EXPECT_EQ(r.exit_code, 1) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(ReadWholeFile(out), ToBytes("previous contents")) << c.says;
  }
  EXPECT_EQ(Run({"stamp", launcher_, first_, second_}).exit_code, 2);  // no -o
  const auto forced = Run({"stamp", launcher_, no_installer, second_, "-o", out, "--force"});
  EXPECT_EQ(forced.exit_code, 0) << forced.err;
  // Nothing but the named outputs in the directory: no temporary leftovers.
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();
  }
}

TEST_F(VskarcPayload, PayloadOfAnUnstampedOrForeignFile) {
  const auto unstamped = Run({"payload", launcher_});
  EXPECT_EQ(unstamped.exit_code, 0);
  EXPECT_NE(unstamped.out.find("a launcher without payload"), std::string::npos) << unstamped.out;
  const auto foreign = Run({"payload", dir_.Write("x.bin", Bytes(100, 0))});
  EXPECT_EQ(foreign.exit_code, 1);
  EXPECT_NE(foreign.err.find("holds no payload marker"), std::string::npos);
  const auto no_payload_extract =
      Run({"payload", launcher_, "--extract", "1", "-o", Path("b.vsk")});
  EXPECT_EQ(no_payload_extract.exit_code, 1);
  EXPECT_NE(no_payload_extract.err.find("carries no payload"), std::string::npos);
  EXPECT_EQ(Run({"payload", launcher_, "--extract", "3", "-o", Path("b.vsk")}).exit_code, 2);
}

}  // namespace
}  // namespace vsk::test
