// lzh_to_vsk LZH ORIGINAL OUT [NAME]: puts the -lh5- data of the first
// member of an LHA archive, unchanged, into a one-member archive of ours
// (method LH5), so that the same stream can be decoded by vskarc and by the
// LHA tools. ORIGINAL is the member's expanded data, for the sizes and the
// byte-sum checksum that LHA does not record.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lha_container.hpp"
#include "vsk/archive_format.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool ReadFile(const char* path, Bytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

template <typename Array>
void Append(Bytes& out, const Array& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "lzh_to_vsk: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: lzh_to_vsk LZH ORIGINAL OUT [NAME]\n");
    return 2;
  }
  const std::string name = argc == 5 ? argv[4] : "corpus.bin";
  Bytes lzh;
  Bytes original;
  if (!ReadFile(argv[1], lzh)) return Fail(std::string("cannot read ") + argv[1]);
  if (!ReadFile(argv[2], original)) return Fail(std::string("cannot read ") + argv[2]);
  const auto member = vsk::test::FirstLhaMember(lzh);
  if (!member) return Fail(std::string("no LHA member understood in ") + argv[1]);
  if (member->method != "-lh5-") return Fail("first member is " + member->method + ", not -lh5-");
  if (member->original_size != original.size()) return Fail("ORIGINAL is not the member's data");
  if (original.size() > 0x7FFFFFFF || member->packed.size() > 0x7FFFFFFF || name.size() > 0x7FFF)
    return Fail("too large for the archive format");

  std::uint32_t sum = 0;
  for (const std::uint8_t b : original)
    sum += b;
  vsk::ArchiveHeader header;
  header.Signature = vsk::kArchiveSignature;
  header.MethodId = {'L', 'H', '5'};
  header.TotalSize = static_cast<std::int32_t>(original.size());
  header.ArchiveType = vsk::caMulti;
  vsk::EntryHeader entry;
  entry.NameLength = static_cast<std::int16_t>(name.size());
  entry.Attributes = 0x20;
  entry.ExpandedSize = static_cast<std::int32_t>(original.size());
  entry.CompressedSize = static_cast<std::int32_t>(member->packed.size());
  entry.Method = vsk::kMethodLH5;
  entry.Checksum = static_cast<std::int32_t>(sum);

  Bytes archive;
  Append(archive, vsk::EncodeArchiveHeader(header));
  Append(archive, vsk::EncodeEntryHeader(entry));
  Append(archive, name);
  Append(archive, member->packed);
  std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(archive.data()),
            static_cast<std::streamsize>(archive.size()));
  out.close();
  if (!out) return Fail(std::string("cannot write ") + argv[3]);
  return 0;
}
