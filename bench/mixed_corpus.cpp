#include "mixed_corpus.hpp"

#include <array>
#include <string>

namespace vsk::bench {
namespace {

using Bytes = std::vector<std::uint8_t>;

// SplitMix64: fixed arithmetic, so the corpus does not depend on a
// standard library's distributions.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
  // Small values much more often than large ones (roughly Zipf-like).
  std::uint32_t Skewed(std::uint32_t n) {
    const std::uint32_t a = Below(n);
    return Below(a + 1);
  }

 private:
  std::uint64_t state_;
};

void PutLe32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::vector<std::string> MakeWords(Rng& rng) {
  static constexpr char kLetters[] = "etaoinshrdlcumwfgypbvkjxqz";
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string w;
    for (std::uint32_t n = 1 + rng.Below(4) + rng.Below(6); n > 0; --n)
      w += kLetters[rng.Skewed(26)];
    words.push_back(w);
  }
  return words;
}

void AppendProse(Bytes& out, std::size_t n, Rng& rng, const std::vector<std::string>& words) {
  const std::size_t end = out.size() + n;
  bool sentence_start = true;
  while (out.size() < end) {
    std::string w = words[rng.Skewed(static_cast<std::uint32_t>(words.size()))];
    if (sentence_start) w[0] = static_cast<char>(w[0] - 'a' + 'A');
    out.insert(out.end(), w.begin(), w.end());
    const std::uint32_t r = rng.Below(100);
    sentence_start = r < 7;
    if (r < 7) out.push_back('.');
    if (r >= 7 && r < 12) out.push_back(',');
    out.push_back(rng.Below(14) == 0 ? '\n' : ' ');
  }
}

// Instruction-like bytes: frequent opcodes with register bytes, small
// immediates and addresses near each other, as compiled code has them.
void AppendCode(Bytes& out, std::size_t n, Rng& rng) {
  static constexpr std::array<std::uint8_t, 16> kOpcodes = {0x8B, 0x89, 0xE8, 0x83, 0x85, 0x74,
                                                            0x75, 0x50, 0x55, 0xC3, 0x33, 0x8D,
                                                            0xFF, 0x6A, 0x5D, 0x0F};
  const std::size_t end = out.size() + n;
  std::uint32_t address = 0x00401000;
  while (out.size() < end) {
    const std::uint8_t op = kOpcodes[rng.Skewed(kOpcodes.size())];
    out.push_back(op);
    switch (op) {
      case 0xE8:  // call rel32
        PutLe32(out, rng.Below(0x4000) - 0x2000);
        break;
      case 0x8B:
      case 0x89:
      case 0x8D:
        out.push_back(static_cast<std::uint8_t>(0x45 + 8 * rng.Skewed(8)));
        out.push_back(static_cast<std::uint8_t>(0x100 - 4 * (1 + rng.Skewed(16))));
        break;
      case 0x83:
      case 0x6A:
        out.push_back(static_cast<std::uint8_t>(rng.Skewed(32)));
        break;
      case 0xFF:
        out.push_back(0x15);
        PutLe32(out, address + 4 * rng.Skewed(64));
        break;
      default:
        break;
    }
    if (rng.Below(200) == 0) address += 0x1000;
  }
}

// Fixed-size records with counters, flags and offsets.
void AppendRecords(Bytes& out, std::size_t n, Rng& rng) {
  const std::size_t end = out.size() + n;
  std::uint32_t id = rng.Below(1000);
  std::uint32_t offset = 0;
  while (out.size() < end) {
    PutLe32(out, id++);
    PutLe32(out, offset);
    offset += 16 + rng.Skewed(256);
    out.push_back(static_cast<std::uint8_t>(rng.Skewed(4)));
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(rng.Below(3) == 0 ? 0xFF : 0));
    out.push_back(0);
  }
}

void AppendRuns(Bytes& out, std::size_t n, Rng& rng) {
  const std::size_t end = out.size() + n;
  while (out.size() < end) {
    const auto byte = static_cast<std::uint8_t>(rng.Below(4) == 0 ? rng.Below(256) : 0);
    out.insert(out.end(), 1 + rng.Skewed(3000), byte);
  }
}

void AppendNoise(Bytes& out, std::size_t n, Rng& rng) {
  for (std::size_t i = 0; i < n; ++i)
    out.push_back(static_cast<std::uint8_t>(rng.Next()));
}

}  // namespace

std::vector<std::uint8_t> MakeMixedCorpus(std::size_t size) {
  Rng rng(0x5EED0F1A);
  const std::vector<std::string> words = MakeWords(rng);
  Bytes out;
  out.reserve(size + 70000);
  while (out.size() < size) {
    const std::size_t piece = 16384 + rng.Below(49152);
    const std::uint32_t kind = rng.Below(20);
    if (kind < 8) {
      AppendProse(out, piece, rng, words);
    } else if (kind < 13) {
      AppendCode(out, piece, rng);
    } else if (kind < 16) {
      AppendRecords(out, piece, rng);
    } else if (kind < 18) {
      AppendRuns(out, piece, rng);
    } else {
      AppendNoise(out, piece / 4, rng);
    }
  }
  out.resize(size);
  return out;
}

}  // namespace vsk::bench
