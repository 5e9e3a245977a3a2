// Decode throughput of the built-in methods through RunCodec, from memory to
// a sink that drops the bytes: MB/s of expanded output. The LH5 input is
// jlha's compression of the mixed corpus (the same kind of stream that
// compare.sh hands to the LHA tools); LZH1 and RLE come from our encoders.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lha_container.hpp"
#include "mixed_corpus.hpp"
#include "vsk/archive_format.hpp"
#include "vsk/codec_pipeline.hpp"
#include "vsk/encoders.hpp"
#include "vsk/inst_compress.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCorpusSize = 8u << 20;

// Reads straight out of a buffer the benchmark owns: no copy per iteration.
class SpanStream : public vsk::TStream {
 public:
  explicit SpanStream(const Bytes& bytes) : bytes_(bytes) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    const auto left = static_cast<std::int32_t>(bytes_.size()) - position_;
    const std::int32_t n = count < left ? count : left;
    if (n <= 0) return 0;
    std::copy_n(bytes_.data() + position_, n, static_cast<std::uint8_t*>(buffer));
    position_ += n;
    return n;
  }
  std::int32_t Write(const void*, std::int32_t) override { return 0; }
  std::int32_t Seek(std::int32_t offset, vsk::TSeekOrigin origin) override {
    const std::int64_t base = origin == vsk::TSeekOrigin::soBeginning ? 0
                              : origin == vsk::TSeekOrigin::soCurrent
                                  ? position_
                                  : static_cast<std::int64_t>(bytes_.size());
    position_ = vsk::ClampSeekTarget(base, offset);
    return position_;
  }

 private:
  const Bytes& bytes_;
  std::int32_t position_ = 0;
};

// Takes every byte and keeps none.
class NullStream : public vsk::TStream {
 public:
  std::int32_t Read(void*, std::int32_t) override { return 0; }
  std::int32_t Write(const void*, std::int32_t count) override { return count; }
  std::int32_t Seek(std::int32_t, vsk::TSeekOrigin) override { return 0; }
};

const Bytes& Corpus() {
  static const Bytes corpus = vsk::bench::MakeMixedCorpus(kCorpusSize);
  return corpus;
}

std::int32_t ByteSum(const Bytes& data) {
  std::uint32_t sum = 0;
  for (const std::uint8_t b : data)
    sum += b;
  return static_cast<std::int32_t>(sum);
}

// jlha's -lh5- stream of the corpus, or nothing when jlha is missing.
std::optional<Bytes> JlhaStream() {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("vsk_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    std::ofstream out(dir / "corpus.bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(Corpus().data()),
              static_cast<std::streamsize>(Corpus().size()));
  }
  const std::string command =
      "cd '" + dir.string() + "' && jlha ao5q corpus.lzh corpus.bin >/dev/null 2>&1";
  std::optional<Bytes> stream;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(dir / "corpus.lzh", std::ios::binary);
    const Bytes lzh{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto member = vsk::test::FirstLhaMember(lzh);
    if (member && member->method == "-lh5-") stream = member->packed;
  }
  fs::remove_all(dir);
  return stream;
}

struct Encoded {
  std::optional<Bytes> stream;
  std::string problem;
};

Encoded EncodeWith(Bytes (*encode)(std::span<const std::uint8_t>, const vsk::EncodeProgress&)) {
  try {
    return {encode(Corpus(), {}), {}};
  } catch (const std::logic_error& e) {
    return {std::nullopt, std::string("encoder not available: ") + e.what()};
  }
}

void RunDecode(benchmark::State& state, const Encoded& input, std::uint8_t method) {
  if (!input.stream) {
    state.SkipWithError(input.problem.c_str());
    return;
  }
  const Bytes& stored = *input.stream;
  const auto expanded = static_cast<std::int32_t>(Corpus().size());
  const std::int32_t want = ByteSum(Corpus());
  vsk::TVSInstCompress component;
  for (auto _ : state) {
    SpanStream source(stored);
    NullStream sink;
    std::int32_t sum = 0;
    vsk::RunCodec(component, sink, source, static_cast<std::int32_t>(stored.size()), expanded,
                  method, sum, false);
    if (sum != want) {
      state.SkipWithError("decoded data has the wrong byte sum");
      return;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * expanded);
  state.counters["ratio"] = static_cast<double>(stored.size()) / expanded;
}

void BM_DecodeLH5(benchmark::State& state) {
  static const Encoded input = [] {
    auto stream = JlhaStream();
    if (stream) return Encoded{std::move(stream), {}};
    return Encoded{std::nullopt, "jlha (package jlha-utils) is needed for the LH5 input"};
  }();
  RunDecode(state, input, vsk::kMethodLH5);
}

void BM_DecodeLZH1(benchmark::State& state) {
  static const Encoded input = EncodeWith(vsk::EncodeLZH1);
  RunDecode(state, input, vsk::kMethodLZH1);
}

void BM_DecodeRLE(benchmark::State& state) {
  static const Encoded input = EncodeWith(vsk::EncodeRLE);
  RunDecode(state, input, vsk::kMethodRLE);
}

BENCHMARK(BM_DecodeLH5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeLZH1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRLE)->Unit(benchmark::kMillisecond);

}  // namespace
