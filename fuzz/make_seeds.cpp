// Writes the seed corpora of the fuzz targets, made with the project's own
// archive writer and encoders: every method, keyed members, several members,
// stamped setups. Usage: make_seeds CORPUS_DIR
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive_builder.hpp"
#include "vsk/encoders.hpp"

namespace {

using vsk::test::ArchiveBuilder;
using vsk::test::Bytes;
using vsk::test::ByteSum;
using vsk::test::MakeEntry;
using vsk::test::Scramble;
using vsk::test::ToBytes;
namespace fs = std::filesystem;

constexpr std::int32_t kKey = 0x5EC12E7;  // the key the walk target uses

void Save(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::FILE* out = std::fopen((dir / name).string().c_str(), "wb");
  if (out == nullptr) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
}

Bytes SampleData(std::size_t size) {
  Bytes data;
  const Bytes text = ToBytes("The quick brown fox jumps over the lazy dog. 0123456789\n");
  while (data.size() < size) {
    data.insert(data.end(), text.begin(), text.end());
    data.insert(data.end(), data.size() % 97, static_cast<std::uint8_t>(data.size()));
  }
  data.resize(size);
  return data;
}

// Encodes with one of the project's encoders; nothing when it is not built.
std::optional<Bytes> Encode(std::uint8_t method, const Bytes& data) {
  try {
    switch (method) {
      case vsk::kMethodRLE:
        return vsk::EncodeRLE(data);
      case vsk::kMethodLZH1:
        return vsk::EncodeLZH1(data);
      case vsk::kMethodLH5:
        return vsk::EncodeLH5(data);
      default:
        return data;
    }
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

Bytes Prefix(std::initializer_list<std::uint8_t> head, const Bytes& rest) {
  Bytes out(head);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

Bytes LittleEndian(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds CORPUS_DIR\n");
    return 2;
  }
  const fs::path root = argv[1];
  // Every target gets a corpus, also when an encoder is not available.
  for (const char* target : {"archive_walk", "decode_lh5", "decode_lzh1", "decode_rle",
                             "payload_locator", "payload_tools"}) {
    Save(root / target, "minimal", Bytes(16, 0));
  }
  const Bytes small = SampleData(3000);
  const Bytes large = SampleData(70000);
  const std::uint8_t methods[] = {vsk::kMethodStored, vsk::kMethodRLE, vsk::kMethodLZH1,
                                  vsk::kMethodLH5};

  // Decoder targets: [config][destsize][key][stored bytes].
  for (const std::uint8_t method : {vsk::kMethodRLE, vsk::kMethodLZH1, vsk::kMethodLH5}) {
    const std::string target = "decode_" + std::string(method == vsk::kMethodRLE    ? "rle"
                                                       : method == vsk::kMethodLZH1 ? "lzh1"
                                                                                    : "lh5");
    for (const Bytes* data : {&small, &large}) {
      const auto packed = Encode(method, *data);
      if (!packed) continue;
      Bytes seed = Prefix({0x00}, LittleEndian(static_cast<std::uint32_t>(data->size())));
      const Bytes key = LittleEndian(kKey);
      seed.insert(seed.end(), key.begin(), key.end());
      seed.insert(seed.end(), packed->begin(), packed->end());
      Save(root / target, std::to_string(data->size()), seed);
      seed[0] = 0x01;  // keyed: the same bytes read scrambled
      Save(root / target, std::to_string(data->size()) + "-keyed", seed);
    }
  }

  // Walk target: [config][cancel pattern][archive].
  ArchiveBuilder all;
  for (const std::uint8_t method : methods) {
    if (const auto packed = Encode(method, small)) {
      all.Raw(MakeEntry(method, static_cast<std::int32_t>(small.size()), ByteSum(small)),
              "Installer\\Varnskell.exe", *packed);
      all.Raw(MakeEntry(method, static_cast<std::int32_t>(small.size()), ByteSum(small), 2),
              "keyed\\" + std::to_string(method), Scramble(*packed, kKey));
    }
  }
  all.Raw(MakeEntry(vsk::kMethodCustom, 4, 4), "custom", ToBytes("abcd"));
  Save(root / "archive_walk", "all-methods", Prefix({0x13, 0x00}, all.Build()));
  Save(root / "archive_walk", "all-methods-cancel", Prefix({0x17, 0xA5}, all.Build()));
  Save(root / "archive_walk", "custom-id",
       Prefix({0x0E, 0x00}, ArchiveBuilder().MethodId("ZIP").Stored("a", small).Build()));

  // Locator target: markers at and across chunk borders.
  for (const std::size_t at : {std::size_t{100}, std::size_t{16380}, std::size_t{16376}}) {
    Bytes file(20000, 0x90);
    const Bytes marker = ToBytes("VSK_SIZE");
    std::copy(marker.begin(), marker.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    const Bytes offset = LittleEndian(19000);
    std::copy(offset.begin(), offset.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8));
    Save(root / "payload_locator", "marker-at-" + std::to_string(at), file);
  }

  // Payload tools target: [2-byte image length][launcher image][first archive].
  Bytes image(600, 0xCC);
  const Bytes marker = ToBytes("VSK_SIZEX\0\0\0");
  std::copy(marker.begin(), marker.end(), image.begin() + 200);
  image[209] = image[210] = image[211] = 0;
  const Bytes first = ArchiveBuilder().Stored("Installer\\Varnskell.exe", small).Build();
  Bytes seed = {static_cast<std::uint8_t>(image.size()),
                static_cast<std::uint8_t>(image.size() >> 8)};
  seed.insert(seed.end(), image.begin(), image.end());
  seed.insert(seed.end(), first.begin(), first.end());
  Save(root / "payload_tools", "launcher-and-archive", seed);
  return 0;
}
