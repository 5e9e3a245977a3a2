// Small helpers the codec tests share.
#pragma once

#include <cstdint>

#include "archive_builder.hpp"

namespace vsk::test {

// Bytes from a seeded Mersenne Twister: the same on every platform.
Bytes RandomBytes(std::size_t size, std::uint32_t seed);

// Expands `stored` through RunCodec with `method` and `destsize`, no key and
// no progress handler; `sum`, when given, receives the run's byte sum.
Bytes ExpandStored(std::uint8_t method, const Bytes& stored, std::int32_t destsize,
                   std::int32_t* sum = nullptr);

}  // namespace vsk::test
