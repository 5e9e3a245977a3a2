// Encode throughput of the built-in methods on the mixed corpus: MB/s of
// input. The encoders are tools, not the launcher's path, but building a
// payload of many megabytes has to stay quick. The "ratio" counter is the
// stored size over the input size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "mixed_corpus.hpp"
#include "vsk/encoders.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Encoder = Bytes (*)(std::span<const std::uint8_t>, const vsk::EncodeProgress&);

constexpr std::size_t kInputSize = 4u << 20;

const Bytes& Input() {
  static const Bytes corpus = vsk::bench::MakeMixedCorpus(kInputSize);
  return corpus;
}

void EncodeThroughput(benchmark::State& state, Encoder encode) {
  const Bytes& input = Input();
  std::size_t stored = 0;
  for (auto _ : state) {
    try {
      stored = encode(input, {}).size();
    } catch (const std::logic_error& error) {  // an encoder not built yet
      state.SkipWithError(error.what());
      return;
    }
    benchmark::DoNotOptimize(stored);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(input.size()));
  state.counters["ratio"] = static_cast<double>(stored) / static_cast<double>(input.size());
}

BENCHMARK_CAPTURE(EncodeThroughput, LH5, &vsk::EncodeLH5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeThroughput, LZH1, &vsk::EncodeLZH1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeThroughput, RLE, &vsk::EncodeRLE)->Unit(benchmark::kMillisecond);

}  // namespace
