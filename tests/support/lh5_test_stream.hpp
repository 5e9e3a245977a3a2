// Hand-made LH5 bit streams for decoder tests: an MSB-first bit writer, the
// field forms of a block header (raw, so tests can write any field they like,
// corrupt ones included), canonical codewords, and a plain LZ77 model of
// what a token sequence expands to.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "archive_builder.hpp"

namespace vsk::test {

class Lh5BitWriter {
 public:
  // The low `width` bits of `value` (width 0 to 32), most significant first.
  void Bits(std::uint32_t value, unsigned width);
  // A small-code length: 3 bits for 0 to 6; 7 and up as 111, (length - 7)
  // one-bits and a zero (the largest, 20, ends with 13 ones and a 0 bit
  // that the decoder consumes without looking at it).
  void SmallLength(unsigned length);
  std::size_t BitCount() const { return bit_count_; }
  // The bits so far, padded with zero bits to a whole byte.
  Bytes Finish() const { return bytes_; }

 private:
  Bytes bytes_;
  std::size_t bit_count_ = 0;
};

// Codewords assigned to code lengths as the decoder assigns them: shorter
// codewords first, equal lengths in symbol order.
class CanonicalCode {
 public:
  explicit CanonicalCode(std::vector<std::uint8_t> lengths);
  // The codeword of `symbol`, which must have a non-zero length.
  void Put(Lh5BitWriter& out, unsigned symbol) const;
  const std::vector<std::uint8_t>& Lengths() const { return lengths_; }

 private:
  std::vector<std::uint8_t> lengths_;
  std::vector<std::uint32_t> codewords_;
};

// A literal (Symbol below 256) or a match (Symbol 256-509 for lengths
// 3-256, Offset 0-8191 for distances 1-8192).
struct Lh5Token {
  unsigned Symbol = 0;
  unsigned Offset = 0;
};
Lh5Token Literal(std::uint8_t byte);
Lh5Token Match(unsigned length, unsigned offset);

// What the tokens expand to: LZ77 over 8192 bytes that start as spaces.
Bytes ExpandTokens(std::span<const Lh5Token> tokens);

// --- Block header fields --------------------------------------------------

// Small-code form (code-length code: nbit 5; offset code: nbit 4): the count
// (lengths.size() unless `count` says otherwise), the lengths and, when
// `zero_run` is given, the 2-bit zero-run field after the third length.
void PutSmallLengths(Lh5BitWriter& out, unsigned nbit, std::span<const std::uint8_t> lengths,
                     std::optional<unsigned> zero_run = std::nullopt,
                     std::optional<unsigned> count = std::nullopt);
// Count 0 and the one symbol of a single-symbol code (nbit 5, 9 or 4).
void PutSingleSymbol(Lh5BitWriter& out, unsigned nbit, unsigned symbol);
// One code-length item: 0-18, with its run field for items 1 (4 bits,
// run - 3) and 2 (9 bits, run - 20).
void PutLengthItem(Lh5BitWriter& out, const CanonicalCode& items, unsigned item, unsigned run = 0);
// Symbol-length form: the count (index of the last non-zero length + 1
// unless `count` says otherwise), then the lengths as code-length items,
// zero runs as items 0, 1 and 2.
void PutSymbolLengths(Lh5BitWriter& out, const CanonicalCode& items,
                      std::span<const std::uint8_t> lengths,
                      std::optional<unsigned> count = std::nullopt);

// A complete code-length code that has every item: 13 of 4 bits, 6 of 5.
std::vector<std::uint8_t> AllItemsLengths();

// --- Whole blocks ---------------------------------------------------------

// One code of a block: its lengths, or the single-symbol form.
struct Lh5TestCode {
  std::vector<std::uint8_t> lengths;
  std::optional<unsigned> single;
};

struct Lh5Block {
  Lh5TestCode symbols;                                            // up to 510 lengths
  Lh5TestCode offsets{.lengths = {}, .single = 0};                // up to 14 lengths
  Lh5TestCode items{.lengths = AllItemsLengths(), .single = {}};  // the code-length code
  std::vector<Lh5Token> tokens;
  std::optional<std::uint32_t> size_field;  // default: tokens.size()
};

// The block header, then the block's tokens.
void PutBlock(Lh5BitWriter& out, const Lh5Block& block);
void PutTokens(Lh5BitWriter& out, const Lh5Block& block, std::span<const Lh5Token> tokens);

// Symbol lengths under which every literal is 8 bits: the codeword of a
// literal is the byte itself, and a block of literals is the bytes verbatim.
std::vector<std::uint8_t> IdentityLiteralLengths();

}  // namespace vsk::test
