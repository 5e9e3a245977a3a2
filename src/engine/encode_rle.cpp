// RLE compression. Items: a literal (any byte but the marker), the escaped
// marker (marker, 0), and a run (marker, n) that repeats n - 1 times the
// first byte of the item before it. A run therefore needs a literal of its
// byte right before it, except where the previous item already starts with
// that byte: after a run or an escape (both start with the marker) and, at
// the start of a member, for the byte 0.
#include <algorithm>

#include "vsk/decoders.hpp"
#include "vsk/encoders.hpp"

namespace vsk {

namespace {

// One run item repeats at most 254 bytes (count byte 255).
constexpr std::size_t kMaxRunCopies = 254;
constexpr std::size_t kProgressStep = std::size_t{1} << 16;

// Equal bytes from `pos` on, at most `limit`.
std::size_t RunLength(std::span<const std::uint8_t> data, std::size_t pos, std::size_t limit) {
  const std::size_t end = pos + std::min(limit, data.size() - pos);
  std::size_t i = pos + 1;
  while (i < end && data[i] == data[pos])
    ++i;
  return i - pos;
}

// A run item costs 2 bytes; a literal 1, an escaped marker 2. Shorter runs
// gain nothing.
std::size_t ShortestWorthwhileRun(std::uint8_t byte) {
  return byte == RleMarker ? 2 : 3;
}

}  // namespace

std::vector<std::uint8_t> EncodeRLE(std::span<const std::uint8_t> data,
                                    const EncodeProgress& progress) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() + data.size() / 16 + 16);
  const auto total = static_cast<std::int64_t>(data.size());
  std::size_t next_report = kProgressStep;
  // What the decoder's RlePrevious holds before the next item.
  std::uint8_t previous = 0;
  std::size_t i = 0;
  while (i < data.size()) {
    if (progress && i >= next_report) {
      progress(static_cast<std::int64_t>(i), total);
      next_report = i + kProgressStep;
    }
    const std::uint8_t b = data[i];
    const std::size_t run = b == previous ? RunLength(data, i, kMaxRunCopies) : 0;
    if (run >= ShortestWorthwhileRun(b)) {
      out.push_back(RleMarker);
      out.push_back(static_cast<std::uint8_t>(run + 1));
      previous = RleMarker;
      i += run;
    } else if (b == RleMarker) {
      out.push_back(RleMarker);
      out.push_back(0);
      previous = RleMarker;
      ++i;
    } else {
      out.push_back(b);
      previous = b;
      ++i;
    }
  }
  if (progress) progress(total, total);
  return out;
}

}  // namespace vsk
