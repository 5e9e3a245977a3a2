// Writes an LZH1 stream symbol by symbol: literals and matches coded with
// the adaptive Huffman model and the fixed distance code, exactly as
// DecodeLZH1 reads them. EncodeLZH1 chooses the symbols; tests use this to
// build streams by hand.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vsk {

class Lzh1StreamWriter {
 public:
  Lzh1StreamWriter();
  ~Lzh1StreamWriter();
  Lzh1StreamWriter(const Lzh1StreamWriter&) = delete;
  Lzh1StreamWriter& operator=(const Lzh1StreamWriter&) = delete;

  void PutLiteral(std::uint8_t byte);
  // `length` 3 to 60; `distance` 0 to 4095, the match starting distance + 1
  // bytes back. Out-of-range values raise std::invalid_argument.
  void PutMatch(unsigned length, unsigned distance);
  // The stream so far, its last byte padded with zero bits. Ends the writer.
  std::vector<std::uint8_t> Finish();

 private:
  struct Coder;
  std::unique_ptr<Coder> coder_;
};

}  // namespace vsk
