// LZH1: LZSS over a 4096-byte window whose literals and match lengths are
// coded with an adaptive Huffman tree (lzh1_model.hpp) and whose distances
// use a fixed prefix code for the upper 6 bits plus 6 plain bits.
//
// Any bit sequence decodes to valid symbols and distances and every table
// index is masked or bounded by the model's invariants, so no input can
// reach outside the tables; a stream that ends early reads as zero bits.
#include <array>
#include <cstdint>

#include "lzh1_model.hpp"
#include "vsk/decoders.hpp"

namespace vsk {

namespace {

using namespace lzh1;

// The state of one decoding, with the operations on it.
class LZH1State {
 public:
  explicit LZH1State(CodecState& pipeline) : pipeline_(pipeline) { TextRing.fill(kRingFill); }

  void Decode(std::int32_t Destsize) {
    // 64-bit so that a whole match past a Destsize near 2^31 cannot wrap;
    // the pipeline's output budget stops such a run anyway.
    std::int64_t written = 0;
    while (written < Destsize) {
      const unsigned s = ReadSymbol();
      if (s < kFirstMatchSymbol) {
        PutByte(static_cast<std::uint8_t>(s));
        ++written;
      } else {
        const unsigned length = s - kMatchSymbolBias;
        CopyMatch(ReadDistance(), length);
        written += length;
      }
    }
  }

 private:
  // Bit reader. Unread bits are left-aligned in BitBuffer (at most 16 of
  // them, as in a 16-bit register). Before each read a byte is fetched when
  // 8 or fewer bits are left (never more than one), so the pipeline sees
  // each stored byte requested at a fixed point of the decoding. The tree
  // walk works on a local copy, which stays in registers across the
  // pipeline's out-of-line refill.
  struct Bits {
    std::uint32_t BitBuffer;  // next bit at bit 31
    unsigned BitCount;
  };

  void FetchIfLow(Bits& bits) {
    if (bits.BitCount > 8) return;
    std::uint8_t byte = pipeline_.ReadCodecByte();
    // After a cancelled refill the buffered bytes still arrive but count as
    // missing, like the end of the input.
    if (pipeline_.InputExhausted()) byte = 0;
    bits.BitBuffer |= static_cast<std::uint32_t>(byte) << (24 - bits.BitCount);
    bits.BitCount += 8;
  }

  // Top `n` bits (n from 1 to 8).
  unsigned TakeBits(Bits& bits, unsigned n) {
    FetchIfLow(bits);
    const unsigned taken = bits.BitBuffer >> (32 - n);
    bits.BitBuffer <<= n;
    bits.BitCount -= n;
    return taken;
  }

  unsigned ReadBit(Bits& bits) { return TakeBits(bits, 1); }
  unsigned ReadBitByte() { return TakeBits(bits_, 8); }
  unsigned ReadBits(unsigned n) { return TakeBits(bits_, n); }

  // Walks the tree as it stands, bit 0 to the first child of a pair, then
  // counts the symbol.
  unsigned ReadSymbol() {
    Bits bits = bits_;
    unsigned c = model_.NodeChild[kRoot];
    do {
      c = model_.NodeChild[c + ReadBit(bits)];
    } while (c < kLeafBase);
    bits_ = bits;
    const unsigned symbol = c - kLeafBase;
    model_.UpdateModel(symbol);
    return symbol;
  }

  // 0 to 4095: the match starts distance + 1 bytes back.
  unsigned ReadDistance() {
    const unsigned i = ReadBitByte();
    const unsigned high = kDistanceTables.DistHigh[i];
    const unsigned n = kDistanceTables.DistLength[i] - 2u;
    const unsigned t = ReadBits(n);
    return high * 64 + (((i << n) | t) & 0x3F);
  }

  void PutByte(std::uint8_t b) {
    pipeline_.WriteCodecByte(b);
    TextRing[RingPos] = b;
    RingPos = (RingPos + 1) & kWindowMask;
  }

  // Byte by byte, each stored before the next is taken, so a distance
  // shorter than the length repeats the last distance + 1 bytes.
  void CopyMatch(unsigned distance, unsigned length) {
    const unsigned from = (RingPos - distance - 1) & kWindowMask;
    for (unsigned k = 0; k < length; ++k)
      PutByte(TextRing[(from + k) & kWindowMask]);
  }

  CodecState& pipeline_;
  lzh1::Lzh1Model model_;
  // All 4096 positions start as spaces, so that a stream reaching into the
  // part not yet written (4036-4095) decodes as other decoders of this
  // family decode it.
  std::array<std::uint8_t, kWindowSize> TextRing;
  unsigned RingPos = kRingStart;
  Bits bits_ = {0, 0};
};

}  // namespace

void DecodeLZH1(CodecState& state, std::int32_t Destsize) {
  // Nothing to produce: no model, no read.
  if (Destsize <= 0) return;
  LZH1State decoder(state);
  decoder.Decode(Destsize);
}

}  // namespace vsk
