#include "midi/Lzhuf.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "midi/LzhufModel.h"

namespace sondesk {

using namespace lzhuf_detail;

namespace {

static_assert(kLzhufRingSize == N && kLzhufLookAhead == F && kLzhufThreshold == kThreshold);
static_assert(kLzhufSinkChunk % 4 == 0, "the encoder fills its chunk a 32-bit word at a time");

// Bits most significant first, gathered in a chunk that goes to the sink whenever it fills, so
// that the output never has to be held whole or grown.
class BitWriter {
 public:
  explicit BitWriter(LzhufSink& sink)
      : sink_(sink), chunk_(new std::uint8_t[kLzhufSinkChunk]), p_(chunk_.get()), full_(p_ + kLzhufSinkChunk) {}

  // `count` (at most 32) low bits of `value`.
  inline void Put(std::uint32_t value, int count) {
    acc_ = (acc_ << count) | (value & ((std::uint64_t{1} << count) - 1));
    pending_ += count;
    if (pending_ >= 32) {
      pending_ -= 32;
      const std::uint32_t w = __builtin_bswap32(static_cast<std::uint32_t>(acc_ >> pending_));
      std::memcpy(p_, &w, 4);
      p_ += 4;
      if (p_ == full_) Drain();  // the chunk holds whole words
    }
  }

  // The pending bits, the last byte padded with zero bits (nothing when none are pending), and
  // whatever the chunk still holds. False when the sink refused bytes, now or before.
  bool Finish() {
    while (pending_ >= 8) {
      pending_ -= 8;
      PutByte(static_cast<std::uint8_t>(acc_ >> pending_));
    }
    if (pending_ > 0) PutByte(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    pending_ = 0;
    acc_ = 0;
    Drain();
    return !failed_;
  }

  bool failed() const { return failed_; }

 private:
  void PutByte(std::uint8_t b) {
    *p_++ = b;
    if (p_ == full_) Drain();
  }
  void Drain() {
    const std::size_t n = static_cast<std::size_t>(p_ - chunk_.get());
    if (n > 0 && !failed_) failed_ = !sink_.Write(chunk_.get(), n);
    p_ = chunk_.get();
  }

  LzhufSink& sink_;
  const std::unique_ptr<std::uint8_t[]> chunk_;  // left uninitialised: only written bytes leave it
  std::uint8_t* p_;
  std::uint8_t* const full_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
  bool failed_ = false;
};

// The in-memory forms: the sink appends to the caller's vector.
class VectorSink final : public LzhufSink {
 public:
  explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    out_.insert(out_.end(), data, data + size);
    return true;
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// One block on a page boundary: which of its lines share a set of the first-level cache is then the
// same in every process (the encoder's working set is larger than that cache; placed by the heap,
// tables of counters encoded up to a fifth slower in one process than in another). The hint rows
// are read only as far as a descent of their tree has written them.
struct alignas(4096) EncoderState {
  SearchTrees trees;
  HuffmanTree huff;
  SearchTrees::LinkType hints[SearchTrees::kHintRows * SearchTrees::kHintRow];
};

// A symbol's code is the path from the root to its leaf, which the tree keeps for every slot.
// Weights of at most 0x8000 keep the depth far below 32 (a Fibonacci-weighted tree of that total is
// about 22 deep); a longer code, which no stream gives, would be walked from the leaf up (the bits
// coming out in reverse, the slots walked kept for the update), with a path buffer sized for any
// tree.
inline void EncodeSymbol(HuffmanTree& h, BitWriter& w, int symbol) {
  const unsigned leaf = static_cast<unsigned>(h.prnt[symbol + T]);
  if (const int depth = h.depth[leaf]; depth <= 32) {
    w.Put(h.code[leaf], depth);
    h.Update(symbol);
    return;
  }
  int path[T];
  std::uint64_t code = 0;
  int len = 0;
  // Two levels a step: a slot's parent and grandparent are loaded together.
  unsigned k = static_cast<unsigned>(h.prnt[symbol + T]);
  for (;;) {
    const unsigned p = static_cast<unsigned>(h.prnt[k]);
    const unsigned g = static_cast<unsigned>(h.grand[k]);
    path[T - 1 - len] = static_cast<int>(k);
    code |= static_cast<std::uint64_t>(k & 1) << (len & 63);
    ++len;
    if (p == R) break;
    path[T - 1 - len] = static_cast<int>(p);
    code |= static_cast<std::uint64_t>(p & 1) << (len & 63);
    ++len;
    if (g == R) break;
    k = g;
  }
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
    case LzhufStatus::WriteFailed:
      return "the output could not be written";
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
  // Typical songs compress to about half; reserving that avoids most regrowth.
  out.reserve(out.size() + input.size() / 2 + 64);
  VectorSink sink(out);
  return LzhufCompress(input, sink);
}

LzhufStatus LzhufCompress(std::span<const std::uint8_t> input, LzhufSink& sink) {
  if (input.size() > std::numeric_limits<std::uint32_t>::max()) return LzhufStatus::TooLarge;
  const auto size = static_cast<std::uint32_t>(input.size());
  const std::uint8_t sizeWord[4] = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                    static_cast<std::uint8_t>(size >> 16),
                                    static_cast<std::uint8_t>(size >> 24)};
  if (!sink.Write(sizeWord, sizeof sizeWord)) return LzhufStatus::WriteFailed;
  if (size == 0) return LzhufStatus::Ok;

  auto state = std::make_unique<EncoderState>();
  HuffmanTree& h = state->huff;
  SearchTrees& t = state->trees;
  h.Start();
  t.Start();
  t.hints = state->hints;
  BitWriter w(sink);

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
  } while (len > 0 && !w.failed());

  return w.Finish() ? LzhufStatus::Ok : LzhufStatus::WriteFailed;
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

namespace {

// Where the decoder puts its bytes: from `start` on, and whenever the next byte's place reaches
// `flushAt`, Flush hands on what lies more than N bytes back and moves the rest to make room, so
// that every match still finds the N bytes before it.
//
// The whole output in the caller's vector, sized beforehand: never full.
struct WholeOutput {
  std::uint8_t* start;
  std::uint8_t* flushAt;  // past the last byte the output can reach
  bool Flush(std::uint8_t*&) { return true; }
};

// A window of N bytes of history and a chunk, handed to a sink.
struct WindowOutput {
  // Matches are copied 8 bytes at a time and may write up to 7 bytes behind their end; the
  // longest starts just below flushAt.
  static constexpr std::size_t kSize = N + kLzhufSinkChunk + F + 8;
  LzhufSink& sink;
  std::uint8_t* start;
  std::uint8_t* flushAt = start + N + kLzhufSinkChunk;

  bool Flush(std::uint8_t*& at) {
    const bool ok = sink.Write(start, static_cast<std::size_t>(at - N - start));
    std::memmove(start, at - N, N);
    at = start + N;
    return ok;
  }
  bool Finish(const std::uint8_t* at) { return at == start || sink.Write(start, static_cast<std::size_t>(at - start)); }
};

// Decodes at most `limit` bytes of `stream` (size word included) into `output`. `produced` gets how
// many the bits gave before they ended or went wrong, `end` the place after the last of them.
template <typename Output>
LzhufStatus DecodeInto(std::span<const std::uint8_t> stream, std::uint64_t limit, Output& output,
                       std::size_t& produced, std::uint8_t*& end) {
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
  produced = 0;
  std::uint8_t* at = output.start;
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
      *at++ = static_cast<std::uint8_t>(c);
      ++produced;
    } else {
      if (in.count() < 14) in.Refill();
      const std::uint64_t b = in.bits();
      const int top = static_cast<int>(b >> 56);
      const int codeLen = kPositionDecode.len[top];
      const int q = (kPositionDecode.upper[top] << 6) | static_cast<int>((b >> (58 - codeLen)) & 63);
      in.Consume(codeLen + 6);
      const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(c - 253), limit - produced);
      std::uint8_t* const to = at;
      if (static_cast<std::size_t>(q) < produced) {
        const std::uint8_t* const from = to - q - 1;
        if (q >= 7) {
          // Each 8 bytes read lie wholly before the 8 written with them.
          for (std::size_t k = 0; k < n; k += 8) std::memcpy(to + k, from + k, 8);
        } else {
          // A period of 1 to 7 bytes (runs, repeated patterns): eight bytes of it are put
          // together once from the bytes before the match, and stored again and again a whole
          // number of periods further on. Copying byte by byte instead makes each byte's load
          // wait for the store just before it.
          const int period = q + 1;
          std::uint8_t pattern[8];
          for (int k = 0; k < 8; ++k) pattern[k] = from[k % period];
          const std::size_t step = static_cast<std::size_t>(8 / period * period);
          for (std::size_t k = 0; k < n; k += step) std::memcpy(to + k, pattern, 8);
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
      at += n;
    }
    if (in.count() < 0 || in.Overrun()) {
      // The symbol was read partly from the zero bits behind the end: its bytes are not the song's.
      at -= produced - before;
      produced = before;
      status = LzhufStatus::Truncated;
      break;
    }
    if (at >= output.flushAt && !output.Flush(at)) {
      status = LzhufStatus::WriteFailed;
      break;
    }
  }
  end = at;
  return status;
}

// Each symbol takes at least one bit and a match of at most 29 bytes at least ten, so the bits
// bound what a stream can give; a size word beyond that bound is damage and must not decide how
// much memory is taken.
std::uint64_t DecodeLimit(std::span<const std::uint8_t> stream, std::uint32_t size) {
  const std::uint64_t streamBits = (stream.size() - kLzhufSizeWordBytes) * std::uint64_t{8};
  return std::min<std::uint64_t>(size, streamBits * 3 + F);
}

}  // namespace

LzhufStatus LzhufDecompress(std::span<const std::uint8_t> stream, std::vector<std::uint8_t>& out) {
  std::uint32_t size = 0;
  if (!LzhufStoredSize(stream, size)) return LzhufStatus::NoSizeWord;
  if (size == 0) return LzhufStatus::Ok;
  const std::uint64_t limit = DecodeLimit(stream, size);
  const std::size_t base = out.size();
  out.resize(base + static_cast<std::size_t>(limit) + 8);  // the copies' 7 bytes of slack
  WholeOutput output{out.data() + base, out.data() + base + limit + 1};
  std::size_t produced = 0;
  std::uint8_t* end = nullptr;
  LzhufStatus status = DecodeInto(stream, limit, output, produced, end);
  if (status == LzhufStatus::Ok && produced < size) status = LzhufStatus::Truncated;
  out.resize(base + produced);
  return status;
}

LzhufStatus LzhufDecompress(std::span<const std::uint8_t> stream, LzhufSink& sink) {
  std::uint32_t size = 0;
  if (!LzhufStoredSize(stream, size)) return LzhufStatus::NoSizeWord;
  if (size == 0) return LzhufStatus::Ok;
  // Left uninitialised: only bytes the decoder wrote are read or handed on.
  const std::unique_ptr<std::uint8_t[]> window(new std::uint8_t[WindowOutput::kSize]);
  WindowOutput output{sink, window.get()};
  std::size_t produced = 0;
  std::uint8_t* end = nullptr;
  LzhufStatus status = DecodeInto(stream, DecodeLimit(stream, size), output, produced, end);
  if (status != LzhufStatus::WriteFailed && !output.Finish(end)) status = LzhufStatus::WriteFailed;
  if (status == LzhufStatus::Ok && produced < size) status = LzhufStatus::Truncated;
  return status;
}

}  // namespace sondesk
