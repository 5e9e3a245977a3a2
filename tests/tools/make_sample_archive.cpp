// Writes a small demonstration archive with the tests' own writer: a stored
// installer, an RLE member, and an RLE member scrambled with key 0x5EC12E7.
#include <cstdio>
#include <string>

#include "archive_builder.hpp"
#include "test_streams.hpp"

int main(int argc, char** argv) {
  using namespace vsk::test;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample_archive OUT\n");
    return 2;
  }
  Bytes readme = ToBytes("This archive was made by the test suite's archive writer.\n");
  Bytes banner;
  for (int line = 0; line < 40; ++line) {
    banner.insert(banner.end(), 60, static_cast<std::uint8_t>('=' + line % 3));
    banner.push_back('\n');
  }
  const Bytes archive = ArchiveBuilder()
                            .MethodId("RLE")
                            .Stored("Installer\\Varnskell.exe", ToBytes("MZ demo installer\n"))
                            .Rle("Docs\\Readme.txt", readme)
                            .Rle("Docs\\Banner.txt", banner, 0x5EC12E7)
                            .Build();
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(archive.data(), 1, archive.size(), out) != archive.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "make_sample_archive: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
