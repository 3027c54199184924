#include "midi/Lzhuf.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "midi/LzhufModel.h"

namespace sondesk {

using namespace lzhuf_detail;

namespace {

static_assert(kLzhufRingSize == N && kLzhufLookAhead == F && kLzhufThreshold == kThreshold);

// Bits most significant first; whole bytes go out as soon as 32 bits are pending.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // `count` (at most 32) low bits of `value`.
  inline void Put(std::uint32_t value, int count) {
    acc_ = (acc_ << count) | (value & ((std::uint64_t{1} << count) - 1));
    pending_ += count;
    if (pending_ >= 32) {
      pending_ -= 32;
      const std::uint32_t w = static_cast<std::uint32_t>(acc_ >> pending_);
      const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(w >> 24), static_cast<std::uint8_t>(w >> 16),
                                     static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w)};
      out_.insert(out_.end(), bytes, bytes + 4);
    }
  }

  // The pending bits, the last byte padded with zero bits; nothing when none are pending.
  void Flush() {
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
    }
    if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    pending_ = 0;
    acc_ = 0;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
};

struct EncoderState {
  HuffmanTree huff;
  SearchTrees trees;
};

// A symbol's code is the path from the root to its leaf; the tree is walked from the leaf up,
// so the bits come out in reverse. The slots walked are kept for the update that follows. Weights
// of at most 0x8000 keep the depth far below 32 (a Fibonacci-weighted tree of that total is about
// 22 deep); the path buffer is sized for any tree all the same.
inline void EncodeSymbol(HuffmanTree& h, BitWriter& w, int symbol) {
  int path[T];
  std::uint64_t code = 0;
  int len = 0;
  int k = h.prnt[symbol + T];
  do {
    path[T - 1 - len] = k;
    code |= static_cast<std::uint64_t>(k & 1) << (len & 63);
    ++len;
    k = h.prnt[k];
  } while (k != R);
  if (len > 32) w.Put(static_cast<std::uint32_t>(code >> 32), len - 32);
  w.Put(static_cast<std::uint32_t>(code), len > 32 ? 32 : len);
  h.UpdateAlong(symbol, path + T - len, len);
}

inline void EncodePosition(BitWriter& w, int q) {
  const int upper = q >> 6;
  const int len = kPositionLen[upper];
  const std::uint32_t prefix = static_cast<std::uint32_t>(kPositionCode[upper]) >> (8 - len);
  w.Put((prefix << 6) | static_cast<std::uint32_t>(q & 63), len + 6);
}

}  // namespace

const char* LzhufStatusText(LzhufStatus status) {
  switch (status) {
    case LzhufStatus::Ok:
      return "ok";
    case LzhufStatus::TooLarge:
      return "input larger than 4 GB";
    case LzhufStatus::NoSizeWord:
      return "damaged stream: no size word";
    case LzhufStatus::Truncated:
      return "damaged stream: the bits end before the stored size";
  }
  return "unknown";
}

bool LzhufStoredSize(std::span<const std::uint8_t> stream, std::uint32_t& size) {
  if (stream.size() < kLzhufSizeWordBytes) return false;
  size = static_cast<std::uint32_t>(stream[0]) | (static_cast<std::uint32_t>(stream[1]) << 8) |
         (static_cast<std::uint32_t>(stream[2]) << 16) | (static_cast<std::uint32_t>(stream[3]) << 24);
  return true;
}

LzhufStatus LzhufCompress(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max()) return LzhufStatus::TooLarge;
  const auto size = static_cast<std::uint32_t>(input.size());
  const std::uint8_t sizeWord[4] = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                    static_cast<std::uint8_t>(size >> 16),
                                    static_cast<std::uint8_t>(size >> 24)};
  out.insert(out.end(), sizeWord, sizeWord + 4);
  if (size == 0) return LzhufStatus::Ok;
  // Typical songs compress to about half; reserving that avoids most regrowth.
  out.reserve(out.size() + input.size() / 2 + 64);

  auto state = std::make_unique<EncoderState>();
  HuffmanTree& h = state->huff;
  SearchTrees& t = state->trees;
  h.Start();
  t.Start();
  // Left uninitialised: a row is read only as far as a descent of its tree has written it.
  const std::unique_ptr<SearchTrees::LinkType[]> hints(
      new SearchTrees::LinkType[SearchTrees::kHintRows * SearchTrees::kHintRow]);
  t.hints = hints.get();
  BitWriter w(out);

  const std::uint8_t* in = input.data();
  const std::uint8_t* const end = in + input.size();
  int s = 0;
  int r = N - F;
  int len = 0;
  while (len < F && in < end) t.text[r + len++] = *in++;
  for (int i = 1; i <= F; ++i) t.Insert(r - i);
  t.Insert(r);

  do {
    int matchLength = std::min(t.matchLength, len);
    if (matchLength <= kThreshold) {
      matchLength = 1;
      EncodeSymbol(h, w, t.text[r]);
    } else {
      EncodeSymbol(h, w, 255 - kThreshold + matchLength);
      EncodePosition(w, t.matchPosition);
    }
    int i = 0;
    for (; i < matchLength && in < end; ++i) {
      const std::uint8_t c = *in++;
      t.Delete(s);
      t.text[s] = c;
      if (s < F - 1) t.text[s + N] = c;
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      t.Insert(r);
    }
    for (; i < matchLength; ++i) {
      t.Delete(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len > 0) t.Insert(r);
    }
  } while (len > 0);

  w.Flush();
  return LzhufStatus::Ok;
}

std::vector<std::uint8_t> LzhufCompress(std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> out;
  if (LzhufCompress(input, out) != LzhufStatus::Ok) out.clear();
  return out;
}

namespace {

// Keeps 48 to 64 bits, most significant first, refilled a word at a time. Past the end of the
// stream it supplies zero bits and counts them, so the caller can tell a stream that needed more
// bits than it has.
class BitReader {
 public:
  BitReader(const std::uint8_t* begin, const std::uint8_t* end) : pos_(begin), end_(end) { Refill(); }

  inline void EnsureForSymbol() {
    if (count_ < 48) Refill();
  }
  inline std::uint64_t bits() const { return bits_; }
  inline void Consume(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  inline int count() const { return count_; }
  // More bits were consumed than the stream holds.
  inline bool Overrun() const { return phantomBits_ > 0 && count_ < phantomBits_; }

  inline void Refill() {
    if (end_ - pos_ >= 8) {
      std::uint64_t w;
      std::memcpy(&w, pos_, 8);
      w = __builtin_bswap64(w);
      bits_ |= w >> count_;
      const int take = (63 - count_) >> 3;
      pos_ += take;
      count_ += take * 8;
      return;
    }
    while (count_ <= 56) {
      if (pos_ < end_) {
        bits_ |= static_cast<std::uint64_t>(*pos_++) << (56 - count_);
      } else {
        phantomBits_ += 8;
      }
      count_ += 8;
    }
  }

 private:
  const std::uint8_t* pos_;
  const std::uint8_t* end_;
  std::uint64_t bits_ = 0;
  int count_ = 0;        // valid bits at the top of bits_
  int phantomBits_ = 0;  // zero bits supplied past the end, all of them at the bottom of the window
};

}  // namespace

LzhufStatus LzhufDecompress(std::span<const std::uint8_t> stream, std::vector<std::uint8_t>& out) {
  std::uint32_t size = 0;
  if (!LzhufStoredSize(stream, size)) return LzhufStatus::NoSizeWord;
  if (size == 0) return LzhufStatus::Ok;

  // Each symbol takes at least one bit and a match of at most 29 bytes at least ten, so the bits
  // bound what a stream can give; a size word beyond that bound is damage and must not decide how
  // much memory is taken.
  const std::uint64_t streamBits = (stream.size() - kLzhufSizeWordBytes) * std::uint64_t{8};
  const std::uint64_t limit = std::min<std::uint64_t>(size, streamBits * 3 + F);
  const std::size_t base = out.size();
  // Matches are copied 8 bytes at a time and may write up to 7 bytes behind their end; those
  // bytes are overwritten by what follows or cut off at the end.
  constexpr std::size_t kCopySlack = 8;
  out.resize(base + static_cast<std::size_t>(limit) + kCopySlack);
  std::uint8_t* const o = out.data() + base;
  std::size_t produced = 0;

  auto huff = std::make_unique<DecodingTree>();
  DecodingTree& h = *huff;
  h.Start();
  // The ring as the encoder started it. No position reaches more than N bytes back, so once that
  // many bytes are out every match copies from the output itself; the ring only serves the
  // matches of the first N bytes, which may reach into its spaces and zeros.
  std::uint8_t ring[N];
  std::memset(ring, ' ', N - F);
  std::memset(ring + (N - F), 0, F);
  const auto ringAt = [](std::size_t position) { return (static_cast<int>(position) + N - F) & (N - 1); };

  int path[T];
  BitReader in(stream.data() + kLzhufSizeWordBytes, stream.data() + stream.size());
  LzhufStatus status = LzhufStatus::Ok;
  while (produced < limit) {
    const std::size_t before = produced;
    in.EnsureForSymbol();
    // Root to leaf: the first levels in one lookup, then two bits a step, straight from the
    // window; the slots walked are kept for the update. Children always sit in lower slots than
    // their parent, so the walk ends within T steps whatever the bits; past the window's 64 it is
    // damage all the same.
    std::uint64_t bits = in.bits();
    if (h.topStale) h.BuildTop();
    const unsigned topIndex = static_cast<unsigned>(bits >> (64 - DecodingTree::kTopBits));
    const std::uint32_t topEntry = h.top[topIndex];
    int slot = static_cast<int>(topEntry & 0xFFFF);
    int used = static_cast<int>(topEntry >> 16);
    std::memcpy(path, h.topPath[topIndex], sizeof h.topPath[topIndex]);
    bits <<= used;
    while (h.son[slot] < T && used < 64) {
      const std::uint32_t next = h.quad[slot][bits >> 62];
      if (next & DecodingTree::kOneBit) {
        slot = static_cast<int>(next & ~DecodingTree::kOneBit);
        path[used++] = slot;
        break;
      }
      path[used] = static_cast<int>(next >> 16);
      slot = static_cast<int>(next & 0xFFFF);
      path[used + 1] = slot;
      used += 2;
      bits <<= 2;
    }
    int c = h.son[slot];
    // Weights of at most 0x8000 keep every code far shorter than the window; a longer one could
    // only come from a broken tree and is treated as damage rather than read past the window.
    if (used > in.count()) {
      status = LzhufStatus::Truncated;
      break;
    }
    in.Consume(used);
    c -= T;
    h.UpdateAlong(c, path, used);
    if (c < 256) {
      if (produced < N) ring[ringAt(produced)] = static_cast<std::uint8_t>(c);
      o[produced++] = static_cast<std::uint8_t>(c);
    } else {
      if (in.count() < 14) in.Refill();
      const std::uint64_t b = in.bits();
      const int top = static_cast<int>(b >> 56);
      const int codeLen = kPositionDecode.len[top];
      const int q = (kPositionDecode.upper[top] << 6) | static_cast<int>((b >> (58 - codeLen)) & 63);
      in.Consume(codeLen + 6);
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(c - 253), limit - produced);
      std::uint8_t* const to = o + produced;
      if (static_cast<std::size_t>(q) < produced) {
        const std::uint8_t* const from = to - q - 1;
        if (q >= 7) {
          // Each 8 bytes read lie wholly before the 8 written with them.
          for (std::size_t k = 0; k < n; k += 8) std::memcpy(to + k, from + k, 8);
        } else {
          for (std::size_t k = 0; k < n; ++k) to[k] = from[k];  // a short period repeats
        }
        if (produced < N) {
          for (std::size_t k = 0; k < n; ++k) ring[ringAt(produced + k)] = to[k];
        }
      } else {
        // Reaches before the first byte: into the ring's spaces and zeros, and maybe on into
        // what this very match writes.
        int from = ringAt(produced) - q - 1;
        for (std::size_t k = 0; k < n; ++k) {
          const std::uint8_t v = ring[from & (N - 1)];
          ++from;
          to[k] = v;
          ring[ringAt(produced + k)] = v;
        }
      }
      produced += n;
    }
    if (in.count() < 0 || in.Overrun()) {
      // The symbol was read partly from the zero bits behind the end: its bytes are not the song's.
      produced = before;
      status = LzhufStatus::Truncated;
      break;
    }
  }
  if (status == LzhufStatus::Ok && produced < size) status = LzhufStatus::Truncated;
  out.resize(base + produced);
  return status;
}

}  // namespace sondesk
