// make_corpus FILE [MEBIBYTES]: writes the mixed benchmark corpus (16 MiB
// unless told otherwise).
#include <cstdio>
#include <cstdlib>

#include "mixed_corpus.hpp"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make_corpus FILE [MEBIBYTES]\n");
    return 2;
  }
  const long mebibytes = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 16;
  if (mebibytes <= 0 || mebibytes > 1024) {
    std::fprintf(stderr, "make_corpus: size must be 1 to 1024 MiB\n");
    return 2;
  }
  const auto corpus = vsk::bench::MakeMixedCorpus(static_cast<std::size_t>(mebibytes) << 20);
  std::FILE* f = std::fopen(argv[1], "wb");
  bool written = f != nullptr;
  if (written) {
    written = std::fwrite(corpus.data(), 1, corpus.size(), f) == corpus.size();
    written = std::fclose(f) == 0 && written;
  }
  if (!written) {
    std::fprintf(stderr, "make_corpus: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
