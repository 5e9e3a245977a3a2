// A deterministic mixed corpus for throughput measurements: prose, program
// code as an executable holds it, tables of records, runs and noise, in
// pieces of varying size. The same size always gives the same bytes, on any
// platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsk::bench {

std::vector<std::uint8_t> MakeMixedCorpus(std::size_t size);

}  // namespace vsk::bench
