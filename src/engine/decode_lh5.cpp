// DecodeLH5: LZ77 over an 8192-byte window with block-wise Huffman codes
// (the -lh5- method of LHA).
//
// Expanded bytes go to a private buffer whose 8192 bytes before the write
// position are the window, so matches copy within one linear buffer and may
// overrun their end by a few bytes. The pipeline gets the bytes in batches
// (WriteCodecBytes). Its full-buffer writes, budget check and refills are the
// only things visible from outside, so a batch must reach it before anything
// else the pipeline could show: before every ReadCodecByte that may refill,
// before a code table is read (which may refuse the table), before any
// refusal, and at the end. Between those points decoding is pure
// computation, and batching changes nothing that can be observed.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "lh5_bit_reader.hpp"
#include "lh5_decode_table.hpp"
#include "vsk/decoders.hpp"
#include "vsk/exceptions.hpp"

namespace vsk {
namespace {

using lh5::Lh5Code;

constexpr unsigned kSymbolCount = 510;  // 0-255 literals, 256-509 match lengths 3-256
constexpr unsigned kMatchLengthBias = 253;
constexpr unsigned kOffsetSymbols = 14;
constexpr unsigned kLengthCodeSymbols = 19;
constexpr unsigned kMaxMatch = 256;
// Most bits one symbol takes: a 16-bit codeword, a 16-bit offset codeword
// and 12 extra bits. A fast cursor refill buffers at least 56.
constexpr unsigned kMaxStepBits = 16 + 16 + 12;
static_assert(kMaxStepBits <= 56);

constexpr std::size_t kWindowSize = 8192;
// Expanded bytes gathered before they must go to the pipeline and the
// window slides back to the start of the buffer.
constexpr std::size_t kBatchSize = 56 * 1024;
constexpr std::size_t kSlideAt = kWindowSize + kBatchSize;
// Room past kSlideAt for one whole match plus the overrun of its copy.
constexpr std::size_t kWindowBufferSize = kSlideAt + kMaxMatch + 64;

using SymbolCode = Lh5Code<kSymbolCount, 12>;
using OffsetCode = Lh5Code<kOffsetSymbols, 8>;
using LengthCode = Lh5Code<kLengthCodeSymbols, 8>;

// The tables of one decoding, allocated as one block and freed with it.
struct LH5Tables {
  SymbolCode Symbols;
  OffsetCode Offsets;
  LengthCode CodeLengths;
  // The 510 symbol lengths plus room for the 511th that a count of 511
  // announces; a zero run may end at the last entry, never beyond.
  std::array<std::uint8_t, kSymbolCount + 1> SymbolLengths;
  std::uint8_t SlideWindow[kWindowBufferSize];
};

// Holds the one decoding in progress: its bit reader, block state and tables.
class LH5State {
 public:
  explicit LH5State(CodecState& pipeline)
      : pipeline_(pipeline),
        reader_(pipeline),
        tables_(std::make_unique_for_overwrite<LH5Tables>()),
        window_(tables_->SlideWindow) {}

  void Decode(std::int32_t Destsize);

 private:
  void ReadBlockHeader();
  template <typename Code>
  void ReadSmallLengths(Code& code, unsigned nbit, unsigned zero_run_at);
  void ReadSymbolLengths();

  // Decodes symbols with a fast cursor until `stop`, the end of the block
  // or the end of the chunk's safe part.
  void DecodeFastRun(lh5::FastBitCursor& cursor, std::size_t stop);
  void DecodeExactStep();

  void PushOutput();
  void Slide();
  [[noreturn]] void RefuseTable();

  CodecState& pipeline_;
  lh5::Lh5BitReader reader_;
  std::unique_ptr<LH5Tables> tables_;
  std::uint8_t* window_;
  std::size_t pos_ = kWindowSize;     // next byte of the window buffer to write
  std::size_t pushed_ = kWindowSize;  // bytes before this one went to the pipeline
  // Symbols left in the current block; 0 means a block header comes next.
  std::uint32_t CodesLeft = 0;
};

void LH5State::PushOutput() {
  if (pos_ == pushed_) return;
  pipeline_.WriteCodecBytes({window_ + pushed_, pos_ - pushed_});
  pushed_ = pos_;
}

void LH5State::Slide() {
  PushOutput();
  std::memmove(window_, window_ + pos_ - kWindowSize, kWindowSize);
  pos_ = pushed_ = kWindowSize;
}

void LH5State::RefuseTable() {
  PushOutput();
  throw ELZHBadDecodeTable();
}

// Small-code form: a count, then 3-bit lengths with the 7-escape (7 and k
// one-bits and a zero mean 7 + k, counted within the 16-bit look-ahead only),
// and for the code-length code a 2-bit zero run right after the third length.
template <typename Code>
void LH5State::ReadSmallLengths(Code& code, unsigned nbit, unsigned zero_run_at) {
  const unsigned n = reader_.TakeBits(nbit);
  if (n == 0) {
    const unsigned single = reader_.TakeBits(nbit);
    if (single >= Code::kSymbols) RefuseTable();
    code.SetSingle(single);
    return;
  }
  // A count of up to 31 (15 for offsets); lengths past the code's symbols
  // are read and ignored. A zero run ends at entry 6 at most.
  std::array<std::uint8_t, 32> lengths{};
  unsigned i = 0;
  while (i < n) {
    const std::uint32_t peek = reader_.PeekBits();
    unsigned len = peek >> 13;
    if (len == 7) {
      for (std::uint32_t mask = 1u << 12; (peek & mask) != 0; mask >>= 1)
        ++len;
    }
    reader_.ConsumeBits(len < 7 ? 3 : len - 3);
    lengths[i++] = static_cast<std::uint8_t>(len);
    if (i == zero_run_at) i += reader_.TakeBits(2);  // the entries are 0 already
  }
  code.Build(lengths);
}

// Symbol-length form: a 9-bit count, then code-length codewords: 0 is one
// zero length, 1 and 4 bits v are v + 3 zeros, 2 and 9 bits v are v + 20
// zeros, 3 to 18 are lengths 1 to 16.
void LH5State::ReadSymbolLengths() {
  SymbolCode& code = tables_->Symbols;
  const unsigned n = reader_.TakeBits(9);
  if (n == 0) {
    const unsigned single = reader_.TakeBits(9);
    if (single >= kSymbolCount) RefuseTable();
    code.SetSingle(single);
    return;
  }
  auto& lengths = tables_->SymbolLengths;
  lengths.fill(0);
  const LengthCode& items = tables_->CodeLengths;
  std::size_t i = 0;
  while (i < n) {
    const std::uint16_t entry = items.Lookup(reader_.Bits());
    unsigned item = entry & lh5::kEntryValueMask;
    if (item >= kLengthCodeSymbols) {
      item = items.Walk(item, reader_.Bits());
      if (item == lh5::kNoSymbol) RefuseTable();
    }
    reader_.ConsumeBits(items.Lengths[item]);
    if (item > 2) {
      lengths[i++] = static_cast<std::uint8_t>(item - 2);
      continue;
    }
    const std::size_t run = item == 0   ? 1
                            : item == 1 ? reader_.TakeBits(4) + 3
                                        : reader_.TakeBits(9) + 20;
    if (run > lengths.size() - i) RefuseTable();
    i += run;  // the entries are 0 already
  }
  code.Build(lengths);
}

void LH5State::ReadBlockHeader() {
  const std::uint32_t size = reader_.TakeBits(16);
  CodesLeft = size == 0 ? 0x10000 : size;
  ReadSmallLengths(tables_->CodeLengths, 5, 3);
  ReadSymbolLengths();
  ReadSmallLengths(tables_->Offsets, 4, 0);
}

// One decoding step, shared by the fast cursor (decoding from bits already
// buffered: the 56 of a refill cover a symbol of up to 16 bits, an offset
// codeword of up to 16 and 12 extra bits) and the method's exact reader.
// Each returns kNoSymbol when a codeword leaves its tree.
template <typename Bits>
unsigned DecodeSymbol(const SymbolCode& code, Bits& in) {
  const std::uint64_t bits = in.Bits();
  const std::uint16_t entry = code.Lookup(bits);
  unsigned symbol = entry & lh5::kEntryValueMask;
  unsigned length = entry >> lh5::kEntryLengthShift;
  if (symbol >= kSymbolCount) [[unlikely]] {
    symbol = code.Walk(symbol, bits);
    if (symbol == lh5::kNoSymbol) return symbol;
    length = code.Lengths[symbol];
  }
  in.ConsumeBits(length);
  return symbol;
}

template <typename Bits>
unsigned DecodeOffset(const OffsetCode& code, Bits& in) {
  const std::uint64_t bits = in.Bits();
  const std::uint16_t entry = code.Lookup(bits);
  unsigned j = entry & lh5::kEntryValueMask;
  unsigned length = entry >> lh5::kEntryLengthShift;
  if (j >= kOffsetSymbols) [[unlikely]] {
    j = code.Walk(j, bits);
    if (j == lh5::kNoSymbol) return j;
    length = code.Lengths[j];
  }
  in.ConsumeBits(length);
  if (j == 0) return 0;
  return (1u << (j - 1)) + in.TakeBits(j - 1);
}

// Copies a match that may overlap itself to `to`. Whole 16- or 8-byte
// pieces are copied while the source stays that far behind, so every byte
// read is final; the copy may write up to 15 bytes past the match, into
// buffer room that the following bytes overwrite.
inline void CopyMatch(std::uint8_t* to, std::size_t distance, std::size_t length) noexcept {
  const std::uint8_t* from = to - distance;
  std::uint8_t* const end = to + length;
  if (distance >= 16) {
    do {
      std::memcpy(to, from, 16);
      to += 16;
      from += 16;
    } while (to < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(to, from, 8);
      to += 8;
      from += 8;
    } while (to < end);
  } else if (distance == 1) {
    std::memset(to, *from, length);
  } else {
    do {
      *to++ = *from++;
    } while (to < end);
  }
}

// Decodes one symbol into the window at `pos` and advances it; false when a
// codeword leaves its tree (nothing is written then).
template <typename Bits>
bool DecodeStep(const LH5Tables& tables, Bits& in, std::uint8_t* window, std::size_t& pos) {
  const unsigned symbol = DecodeSymbol(tables.Symbols, in);
  if (symbol < 256) {
    window[pos++] = static_cast<std::uint8_t>(symbol);
    return true;
  }
  if (symbol == lh5::kNoSymbol) return false;
  const unsigned offset = DecodeOffset(tables.Offsets, in);
  if (offset == lh5::kNoSymbol) return false;
  const std::size_t length = symbol - kMatchLengthBias;
  CopyMatch(window + pos, std::size_t{offset} + 1, length);
  pos += length;
  return true;
}

// The hot loop. Everything it touches per symbol lives in locals: stores
// into the window are byte stores, which the compiler must assume could
// change any member, so members would be reloaded after each of them.
void LH5State::DecodeFastRun(lh5::FastBitCursor& cursor, std::size_t stop) {
  const LH5Tables& tables = *tables_;
  std::uint8_t* const window = window_;
  std::size_t pos = pos_;
  std::uint32_t codes_left = CodesLeft;
  bool decoded;
  do {
    decoded = DecodeStep(tables, cursor, window, pos);
    --codes_left;
  } while (decoded && pos < stop && codes_left != 0 && cursor.Refill());
  pos_ = pos;
  CodesLeft = codes_left;
  if (!decoded) RefuseTable();
}

void LH5State::DecodeExactStep() {
  if (!DecodeStep(*tables_, reader_, window_, pos_)) RefuseTable();
  --CodesLeft;
}

void LH5State::Decode(std::int32_t Destsize) {
  reader_.Prime();
  std::memset(window_, 0x20, kWindowSize);
  // Wide enough that the whole-match overshoot cannot wrap.
  std::int64_t produced = 0;
  while (produced < Destsize) {
    if (CodesLeft == 0) {
      PushOutput();
      ReadBlockHeader();
    }
    if (pos_ >= kSlideAt) Slide();
    const std::size_t start = pos_;
    if (lh5::FastBitCursor cursor({}); reader_.StartFast(cursor)) {
      // No check per symbol but these: stay in the block, below Destsize
      // and below the slide point, with a chunk that covers the symbol.
      const std::size_t stop =
          pos_ + static_cast<std::size_t>(std::min<std::int64_t>(
                     Destsize - produced, static_cast<std::int64_t>(kSlideAt - pos_)));
      DecodeFastRun(cursor, stop);
      reader_.FinishFast(cursor);
    } else {
      // Near the end of the pipeline's chunk: this symbol may need a refill.
      if (!pipeline_.InputExhausted()) PushOutput();
      DecodeExactStep();
    }
    produced += static_cast<std::int64_t>(pos_ - start);
  }
  PushOutput();
}

}  // namespace

void DecodeLH5(CodecState& state, std::int32_t Destsize) {
  if (Destsize == 0) return;
  LH5State decoding(state);
  decoding.Decode(Destsize);
}

}  // namespace vsk
