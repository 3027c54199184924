#pragma once
// The two pieces of state that LZHUF's encoder and decoder must evolve identically: the adaptive
// Huffman tree of literals and match lengths, and (encoder only) the binary search trees that
// find matches in the ring. Kept inline so that the codec's loops see through them; nothing outside
// midi/ and bench/ should need this header.
//
// Every rule below is load-bearing for byte-exact output: the order of slots after a swap, the
// rounding of the halved weights, the tie rule of the rebuild, which node a 29-byte match evicts,
// and the stale bytes of the ring that take part in comparisons.

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>

// The one-way descent's loops on 64-byte fetch blocks: on 32 they ran tables of counters 13% slower
// when the function started on a 64-byte boundary (see midi/CMakeLists.txt). GCC only; elsewhere the
// file's own alignment holds.
#if defined(__GNUC__) && !defined(__clang__)
#define SONDESK_LZHUF_LOOPS_ON_64 __attribute__((optimize("align-loops=64")))
#else
#define SONDESK_LZHUF_LOOPS_ON_64
#endif

namespace sondesk::lzhuf_detail {

inline constexpr int N = 4096;
inline constexpr int F = 29;
inline constexpr int kThreshold = 2;
inline constexpr int kNChar = 256 - kThreshold + F;  // 283 symbols: bytes, then lengths 3 to 29
inline constexpr int T = 2 * kNChar - 1;             // 565 slots
inline constexpr int R = T - 1;                      // the root's slot
inline constexpr std::uint32_t kMaxFreq = 0x8000;    // root weight that halves every weight
inline constexpr int kNil = N;                       // "no node" in the search trees

static_assert(kNChar == 283 && T == 565 && R == 564);

// Prefix code of a match position's upper 6 bits: lengths 3 (once), 4 (3), 5 (8), 6 (12), 7 (24)
// and 8 (16), assigned in ascending value order; codes left-aligned in a byte.
inline constexpr std::uint8_t kPositionLen[64] = {
    3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7,
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
inline constexpr std::uint8_t kPositionCode[64] = {
    0x00, 0x20, 0x30, 0x40, 0x50, 0x58, 0x60, 0x68, 0x70, 0x78, 0x80, 0x88, 0x90, 0x94, 0x98, 0x9C,
    0xA0, 0xA4, 0xA8, 0xAC, 0xB0, 0xB4, 0xB8, 0xBC, 0xC0, 0xC2, 0xC4, 0xC6, 0xC8, 0xCA, 0xCC, 0xCE,
    0xD0, 0xD2, 0xD4, 0xD6, 0xD8, 0xDA, 0xDC, 0xDE, 0xE0, 0xE2, 0xE4, 0xE6, 0xE8, 0xEA, 0xEC, 0xEE,
    0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF};

// The decoding side of the same code, by the next 8 stream bits: which upper-6-bit value they
// start with, and that value's code length.
struct PositionDecodeTables {
  std::uint8_t upper[256];
  std::uint8_t len[256];
};
consteval PositionDecodeTables MakePositionDecodeTables() {
  PositionDecodeTables t{};
  for (int v = 0; v < 64; ++v) {
    const int span = 1 << (8 - kPositionLen[v]);
    for (int k = 0; k < span; ++k) {
      t.upper[kPositionCode[v] + k] = static_cast<std::uint8_t>(v);
      t.len[kPositionCode[v] + k] = kPositionLen[v];
    }
  }
  return t;
}
inline constexpr PositionDecodeTables kPositionDecode = MakePositionDecodeTables();
static_assert(kPositionDecode.upper[0x5F] == 0x05 && kPositionDecode.len[0x5F] == 5);
static_assert(kPositionDecode.upper[0xC5] == 0x1A && kPositionDecode.len[0xC5] == 7);
static_assert(kPositionDecode.upper[0xFF] == 0x3F && kPositionDecode.len[0xFF] == 8);

// Adaptive Huffman tree with the sibling property: weights never decrease with slot index, and an
// internal slot's weight is the sum of its two children, which sit in slots e and e + 1.
//
// The decoder's tree (kTwoLevels) also keeps, for every internal slot, where the next two bits lead
// (see Quad), so that its walk from the root waits for one load every two levels.
template <bool kTwoLevels>
struct BasicHuffmanTree {
  // freq[T] is a sentinel above every real weight; so are the slots behind it, which only let the
  // search in Swap read whole blocks.
  std::uint32_t freq[T + 16];
  std::int32_t son[T];            // >= T: leaf of symbol son - T; else the first child's slot
  std::int32_t prnt[T + kNChar];  // parent of each slot; prnt[T + s] is the slot of symbol s
  // The parent's parent of each slot (0 above the root's children), so that every climb of an
  // update (and the encoder's walk from a leaf, for a code too long to keep) loads two levels at
  // once: without it each level waits for the load of the one below.
  std::int32_t grand[T];
  // quad[x][b] for internal slot x and the next two bits b: the slot they lead to in the low half
  // and the slot passed on the way in the high half; or, when the first bit already reaches a
  // leaf, that leaf's slot with kOneBit set.
  static constexpr std::uint32_t kOneBit = 0x8000;
  std::uint32_t quad[kTwoLevels ? T : 1][4];
  // The first kTopBits levels in one lookup: for each value of the next kTopBits bits, the slot
  // they lead to (a leaf, or an internal slot kTopBits deep) with the bits used, and the slots
  // passed. Only an exchange that involves a slot less than kTopBits deep (marked in nearTop) can
  // change it; it is then rebuilt before the next symbol. Symbols near the leaves exchange all the
  // time, the slots near the root seldom.
  static constexpr int kTopBits = 4;
  std::uint32_t top[kTwoLevels ? 1 << kTopBits : 1];
  std::int32_t topPath[kTwoLevels ? 1 << kTopBits : 1][kTopBits];
  std::uint8_t nearTop[kTwoLevels ? T : 1];
  bool topStale = true;
  // The decoder's guess of where each run of equal weights ends: lastOf[w % kEndGuesses] is the
  // slot an exchange left last with weight w at the top of its run (see Swap).
  static constexpr unsigned kEndGuesses = 256;
  std::uint16_t lastOf[kTwoLevels ? kEndGuesses : 1] = {};
  // The encoder's code of every slot, so that a symbol's code is read rather than walked: its bits
  // from the root's child down, the first in the most significant place (a slot's bit is the low bit
  // of its number, children sitting in pairs from an even slot), and how many (saturated at 255).
  // An exchange that moves an internal slot's contents codes what now lies below it afresh.
  std::uint32_t code[kTwoLevels ? 1 : T];
  std::uint8_t depth[kTwoLevels ? 1 : T];

  void Start() {
    for (int i = 0; i < kNChar; ++i) {
      freq[i] = 1;
      son[i] = i + T;
      prnt[i + T] = i;
    }
    for (int i = 0, j = kNChar; j <= R; i += 2, ++j) {
      freq[j] = freq[i] + freq[i + 1];
      son[j] = i;
      prnt[i] = prnt[i + 1] = j;
    }
    for (int i = T; i < T + 16; ++i) freq[i] = 0xFFFF;
    prnt[R] = 0;
    BuildGrands();
    BuildQuads();
    BuildCodes();
  }

  // The two entries of the parent's quad that go through `child` (son[parent] + 0 or + 1).
  __attribute__((always_inline)) inline void SetQuadHalf(int parent, int child) {
    if constexpr (kTwoLevels) {
      std::uint32_t* q = &quad[parent][(child & 1) * 2];
      const int g = son[child];
      if (g >= T) {
        q[0] = q[1] = static_cast<std::uint32_t>(child) | kOneBit;
      } else {
        const std::uint32_t via = static_cast<std::uint32_t>(child) << 16;
        q[0] = via | static_cast<std::uint32_t>(g);
        q[1] = via | static_cast<std::uint32_t>(g + 1);
      }
    }
  }

  void BuildTop() {
    if constexpr (kTwoLevels) {
      std::memset(nearTop, 0, sizeof nearTop);
      nearTop[R] = 1;
      for (int v = 0; v < (1 << kTopBits); ++v) {
        int slot = R;
        int n = 0;
        while (n < kTopBits) {
          slot = son[slot] + ((v >> (kTopBits - 1 - n)) & 1);
          topPath[v][n++] = slot;
          if (n < kTopBits) nearTop[slot] = 1;
          if (son[slot] >= T) break;
        }
        top[v] = static_cast<std::uint32_t>(slot) | (static_cast<std::uint32_t>(n) << 16);
      }
      topStale = false;
    }
  }

  __attribute__((always_inline)) inline void SetChildCodes(int x) {
    const int s = son[x];
    code[s] = code[x] << 1;
    code[s + 1] = (code[x] << 1) | 1u;
    depth[s] = depth[s + 1] = static_cast<std::uint8_t>(depth[x] == 255 ? 255 : depth[x] + 1);
  }
  void BuildCodes() {
    if constexpr (!kTwoLevels) {
      code[R] = 0;
      depth[R] = 0;
      for (int x = R; x >= 0; --x) {
        if (son[x] < T) SetChildCodes(x);
      }
    }
  }
  // Everything below internal slot x took its place under x: their codes from x's.
  __attribute__((noinline)) void Recode(int x) {
    int stack[T];
    int n = 0;
    stack[n++] = x;
    while (n > 0) {
      const int y = stack[--n];
      SetChildCodes(y);
      const int s = son[y];
      if (son[s] < T) stack[n++] = s;
      if (son[s + 1] < T) stack[n++] = s + 1;
    }
  }

  void BuildGrands() {
    for (int x = 0; x < R; ++x) grand[x] = prnt[prnt[x]];
    grand[R] = 0;
  }

  // Slots `first` and first + 1 now hang from `parent`: their grandparent and their children's.
  __attribute__((always_inline)) inline void Regrand(int first, int parent) {
    grand[first] = grand[first + 1] = prnt[parent];
    const int a = son[first], b = son[first + 1];
    if (a < T) grand[a] = grand[a + 1] = parent;
    if (b < T) grand[b] = grand[b + 1] = parent;
  }

  void BuildQuads() {
    topStale = true;
    if constexpr (kTwoLevels) {
      for (int x = 0; x < T; ++x) {
        if (son[x] < T) {
          SetQuadHalf(x, son[x]);
          SetQuadHalf(x, son[x] + 1);
        }
      }
    }
  }

  // Halves every weight (rounding up) and rebuilds the internal slots; a new node goes after
  // every slot of equal weight.
  void Reconstruct() {
    int j = 0;
    for (int i = 0; i < T; ++i) {
      if (son[i] >= T) {
        freq[j] = (freq[i] + 1) / 2;
        son[j] = son[i];
        ++j;
      }
    }
    for (int i = 0, jj = kNChar; jj < T; i += 2, ++jj) {
      const std::uint32_t f = freq[i] + freq[i + 1];
      int k = jj - 1;
      while (f < freq[k]) --k;
      ++k;
      const int moved = jj - k;
      std::memmove(&freq[k + 1], &freq[k], sizeof(freq[0]) * static_cast<std::size_t>(moved));
      std::memmove(&son[k + 1], &son[k], sizeof(son[0]) * static_cast<std::size_t>(moved));
      freq[k] = f;
      son[k] = i;
    }
    for (int i = 0; i < T; ++i) {
      const int k = son[i];
      if (k >= T) {
        prnt[k] = i;
      } else {
        prnt[k] = prnt[k + 1] = i;
      }
    }
    BuildGrands();
    BuildQuads();
    BuildCodes();
  }

  // Restores the order after freq[c] grew to k above freq[c + 1]: the contents of c and of l, the
  // last slot above c still lighter than k, are exchanged, and the links of what moved are
  // re-pointed. Returns l, where the walk to the root goes on.
  __attribute__((always_inline)) inline int Swap(int c, std::uint32_t k) {
    // The slots above c are in weight order and end with the sentinel, so the slots lighter than
    // k are the first ones above c: one compare of 16 slots counts them without a branch per
    // slot, and most runs end within the first 16. The long runs of equal weights that rare
    // symbols sit in take a few more blocks, which still costs less than the mispredicted
    // branches of a binary search.
    //
    // The decoder first tries where the last exchange at this weight left the run's end: an
    // exchange takes the top slot of the run, so the run then ends one below it, and on data that
    // compresses poorly (long runs of equal weights, the same weights over and over) the next
    // exchange at that weight finds it still there nine times in ten. A guess is taken only when
    // the weights show it right: the slot is above c, has weight k - 1, and the one above it is
    // heavier. (The encoder's search trees are placed badly by the extra code; it goes without.)
    int lo = c + 1;  // freq[lo] < k
    const unsigned guess = kTwoLevels ? lastOf[(k - 1) % kEndGuesses] : 0u;
    if (kTwoLevels && guess > static_cast<unsigned>(c) && guess < static_cast<unsigned>(T) &&
        freq[guess] == k - 1 && freq[guess + 1] >= k) {
      lo = static_cast<int>(guess);
    } else {
#if defined(__SSE2__)
      const __m128i limit = _mm_set1_epi32(static_cast<int>(k));
      const auto lighter4 = [&](int at) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&freq[at]));
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(w, limit))));
      };
      for (;;) {
        const unsigned lighter =
            lighter4(lo) | (lighter4(lo + 4) << 4) | (lighter4(lo + 8) << 8) | (lighter4(lo + 12) << 12);
        if (lighter != 0xFFFF) {
          lo += __builtin_ctz(~lighter) - 1;  // the last of the lighter ones among these 16
          break;
        }
        lo += 16;  // the sentinel stops this before the padding ends
      }
#else
      while (freq[lo + 1] < k) ++lo;
#endif
    }
    const int l = lo;
    if constexpr (kTwoLevels) lastOf[(k - 1) % kEndGuesses] = static_cast<std::uint16_t>(l - 1);
    freq[c] = freq[l];
    freq[l] = k;
    const int i = son[c];
    if constexpr (kTwoLevels) {
      // Two leaves trading places, most exchanges on data that compresses poorly: no slot gets
      // another parent, so the grandparents, the two-bit steps and the top table, which name
      // slots, all stay as they are. (The encoder's tree gains nothing from this.)
      const int j = son[l];
      if (std::min(i, j) >= T) {
        prnt[i] = l;
        prnt[j] = c;
        son[l] = i;
        son[c] = j;
        return l;
      }
    }
    prnt[i] = l;
    if (i < T) prnt[i + 1] = l;
    const int j = son[l];
    son[l] = i;
    prnt[j] = c;
    if (j < T) prnt[j + 1] = c;
    son[c] = j;
    if (i < T) Regrand(i, l);
    if (j < T) Regrand(j, c);
    if constexpr (!kTwoLevels) {
      if (i < T) Recode(l);
      if (j < T) Recode(c);
    }
    if constexpr (kTwoLevels) {
      // What lies below c and l moved with them; their parents now find other slots below.
      std::uint32_t below[4];
      std::memcpy(below, quad[c], sizeof below);
      std::memcpy(quad[c], quad[l], sizeof below);
      std::memcpy(quad[l], below, sizeof below);
      SetQuadHalf(prnt[c], c);
      SetQuadHalf(prnt[l], l);
      topStale |= (nearTop[c] | nearTop[l]) != 0;
    }
    return l;
  }

  // Counts one more occurrence of `symbol` and restores the order of the weights, after the
  // symbol was coded with the tree as it stood.
  __attribute__((always_inline)) inline void Update(int symbol) {
    if (freq[R] == kMaxFreq) Reconstruct();
    ClimbFrom(prnt[symbol + T]);
  }

  // Slots as unsigned numbers: the walk up is a chain of loads, and a sign extension between
  // each load and the next would lengthen every link of it. Two levels a step while nothing is
  // exchanged: the grandparent is loaded beside the parent.
  __attribute__((always_inline)) inline void ClimbFrom(unsigned c) {
    for (;;) {
      std::uint32_t k = ++freq[c];
      if (k > freq[c + 1]) {
        c = static_cast<unsigned>(prnt[Swap(static_cast<int>(c), k)]);
        if (c == 0) return;
        continue;
      }
      const unsigned p = static_cast<unsigned>(prnt[c]);
      const unsigned g = static_cast<unsigned>(grand[c]);
      if (p == 0) return;
      k = ++freq[p];
      if (k > freq[p + 1]) {
        c = static_cast<unsigned>(prnt[Swap(static_cast<int>(p), k)]);
        if (c == 0) return;
        continue;
      }
      if (g == 0) return;
      c = g;
    }
  }

  // Update for a symbol whose slots from the root's child down to its leaf the caller has just
  // walked (path[0] .. path[n - 1]). Until the first exchange the tree has not changed, so each
  // slot's parent is the slot before it on the path and need not be looked up link by link.
  __attribute__((always_inline)) inline void UpdateAlong(int symbol, const int* path, int n) {
    if (freq[R] == kMaxFreq) {
      Reconstruct();
      ClimbFrom(prnt[symbol + T]);
      return;
    }
    for (int d = n - 1; d >= 0; --d) {
      const int c = path[d];
      const std::uint32_t k = ++freq[c];
      if (k > freq[c + 1]) {
        const int up = prnt[Swap(c, k)];
        if (up != 0) ClimbFrom(up);
        return;
      }
    }
    ++freq[R];  // the root never moves
  }
};

using HuffmanTree = BasicHuffmanTree<false>;
using DecodingTree = BasicHuffmanTree<true>;

// The ring of the encoder and its search trees: one binary tree per first byte, keyed by the
// 29 bytes that start at each position. Positions N to N + F - 2 mirror 0 to F - 2 so that a key
// never wraps.
template <typename Link>
struct BasicSearchTrees {
  using LinkType = Link;
  std::uint8_t text[N + F - 1];
  // kid[x][0] is the left link, kid[x][1] the right one; N + 1 + b is the anchor of first byte b,
  // whose tree hangs from its right link. Side by side so the descent indexes the side it takes
  // instead of branching on it.
  Link kid[N + 257][2];
  Link dad[N + 1];
  // Per first byte: whether its tree's last descent went mostly one way (see Insert).
  bool straight[256];
  // The nodes the last one-way descent of a tree passed, root side first (see InsertOneWay), for
  // the first kHintRows trees that descend one way: a row of kHintSteps + 1 each, the last slot a
  // sink for longer descents, hintLength[b] of them valid. hintRow[b] is tree b's row plus one, or
  // 0. Few trees of an input are chains, and rows handed out in order keep the pages touched few.
  // Without rows (null) a descent only waits longer.
  static constexpr int kHintSteps = 255;
  static constexpr std::size_t kHintRow = kHintSteps + 1;
  static constexpr int kHintRows = 32;
  Link* hints = nullptr;
  std::uint16_t hintLength[256];
  std::uint8_t hintRow[256];
  int hintRowsGiven = 0;
  // Per first byte: how well guesses have paid in its tree. In trees whose short paths change at
  // every key (text, runs) nearly every guided descent meets a wrong guess early, and keeping the
  // path costs more than the guesses save; a descent that follows fewer than four guesses lowers
  // the trust, one that follows more restores it, and a tree without trust is descended the plain
  // way, every 8th time excepted to see whether its paths have begun to repeat.
  std::uint8_t trust[256];
  std::uint8_t unguided[256];
  int matchLength = 0;
  int matchPosition = 0;

  Link& Left(int x) { return kid[x][0]; }
  Link& Right(int x) { return kid[x][1]; }

  // The ring as the encoder starts it: spaces up to N - F, zeros behind (look-ahead and mirror);
  // the zeros take part in comparisons until they are overwritten.
  void Start() {
    std::memset(text, ' ', N - F);
    std::memset(text + (N - F), 0, F + F - 1);
    for (int i = N + 1; i <= N + 256; ++i) Right(i) = kNil;
    std::memset(straight, 0, sizeof straight);
    std::memset(hintLength, 0, sizeof hintLength);
    std::memset(hintRow, 0, sizeof hintRow);
    std::memset(trust, 3, sizeof trust);
    std::memset(unguided, 0, sizeof unguided);
    hintRowsGiven = 0;
    for (int i = 0; i < N; ++i) dad[i] = kNil;
  }

  // Bytes 1 to 28 of a key as four big-endian words (bytes 1-8, 9-16, 17-24 and 21-28, the last
  // two overlapping), so that comparing words compares the bytes in order.
  struct KeyWords {
    std::uint64_t w[4];
  };
  static inline std::uint64_t LoadBig(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return __builtin_bswap64(v);
  }
  static inline KeyWords WordsOf(const std::uint8_t* key) {
    return {{LoadBig(key + 1), LoadBig(key + 9), LoadBig(key + 17), LoadBig(key + 21)}};
  }
  // The length of the common prefix of two keys whose first bytes are equal (F when all 29 are),
  // and in `greater` whether the key is above the node's at the first difference.
  static inline int CommonPrefixWords(const KeyWords& key, const std::uint8_t* node, int& greater) {
    static_assert(F == 29);
    constexpr int kStart[4] = {1, 9, 17, 21};
    for (int n = 0; n < 4; ++n) {
      const std::uint64_t y = LoadBig(node + kStart[n]);
      if (key.w[n] != y) {
        greater = key.w[n] > y;
        return kStart[n] + (__builtin_clzll(key.w[n] ^ y) >> 3);
      }
    }
    return F;
  }
  // A key equal to node p's in all F bytes: the longest match there is, and the new position
  // takes the node's place in the tree.
  inline void TakePlace(int r, unsigned p) {
    matchPosition = static_cast<int>((r - p) & (N - 1)) - 1;
    matchLength = F;
    Replace(r, static_cast<int>(p));
  }
  // Whether tree b's next descent is taken as one-way: this one visited at least 8 nodes and turned
  // at fewer than a fifth of them.
  inline void NoteDescent(unsigned b, int turns, int visits) { straight[b] = turns * 5 < visits && visits >= 8; }
  // Node p's common length i against the best match so far: longer wins, then nearer.
  __attribute__((always_inline)) static inline void KeepBetter(int r, unsigned p, int i, int& length, int& position) {
    const int d = static_cast<int>((r - p) & (N - 1)) - 1;
    const bool better = (i > kThreshold) & ((i > length) | ((i == length) & (d < position)));
    length = better ? i : length;
    position = better ? d : position;
  }

  // Inserts position r and leaves the best match on its search path in matchLength and
  // matchPosition (distance back minus 1): longer wins, then nearer. A 29-byte match replaces the
  // older node.
  //
  // Two ways down the same path. Where a tree is a long one-sided chain (keys that arrive in
  // order, as in tables of counters) the side is predictable, and a branch on it lets the next
  // node's load start before this node's comparison ends. Elsewhere (binary data, songs, text)
  // the side is as good as random, a mispredicted branch costs more than a whole step, and the
  // step is kept free of data-dependent branches. Each first byte's tree keeps the way that suited
  // its last descent: a mispredicted turn costs about three steps of the branch-free way, so the
  // branch pays while fewer than one step in five turns.
  inline void Insert(int r) {
    const int anchor = N + 1 + text[r];
    kid[r][0] = kid[r][1] = kNil;
    const int b = anchor - (N + 1);
    if (straight[b]) {
      if (hintRow[b] == 0 && hints != nullptr && hintRowsGiven < kHintRows) {
        hintRow[b] = static_cast<std::uint8_t>(++hintRowsGiven);
      }
      if (hintRow[b] != 0 && (trust[b] != 0 || (++unguided[b] & 7) == 0)) {
        InsertOneWay(r, anchor, hints + (hintRow[b] - 1) * kHintRow);
      } else {
        InsertAlong<true>(r, anchor);
      }
    } else {
      InsertAlong<false>(r, anchor);
    }
  }

  template <bool kPredictable>
  inline void InsertAlong(int r, unsigned p) {
    static_assert(sizeof(Link) == 2, "both links of a node are read as one 32-bit word");
    const std::uint8_t* key = &text[r];
    int side = 1;
    const KeyWords words = WordsOf(key);
    const std::uint64_t first = words.w[0];
    int length = 0;
    int position = 0;
    int visits = 0;
    int turns = 0;
    // Unsigned node numbers index the arrays without a sign extension in the chain of loads.
    unsigned next = static_cast<std::uint16_t>(kid[p][1]);
    while (next != kNil) {
      const int previousSide = side;
      p = next;
      ++visits;
      if constexpr (kPredictable) {
        // Keys that part at their second byte are told apart by that byte alone: a common
        // length of 1 is no match.
        const int second = text[p + 1];
        if (second != key[1]) {
          side = key[1] > second;
          turns += side != previousSide;
          if (side) {
            next = static_cast<std::uint16_t>(kid[p][1]);
            asm volatile("" ::: "memory");
          } else {
            next = static_cast<std::uint16_t>(kid[p][0]);
          }
          continue;
        }
      }
      std::uint32_t links;
      std::memcpy(&links, kid[p], sizeof links);
      const std::uint64_t y = LoadBig(&text[p + 1]);
      int i;
      if (first != y) {
        i = 1 + (__builtin_clzll(first ^ y) >> 3);
        side = first > y;
      } else {
        i = CommonPrefixWords(words, &text[p], side);
        if (i >= F) {
          TakePlace(r, p);
          NoteDescent(key[0], turns, visits);
          return;
        }
      }
      turns += side != previousSide;
      KeepBetter(r, p, i, length, position);
      if constexpr (kPredictable) {
        if (side) {
          next = static_cast<std::uint16_t>(links >> 16);
          asm volatile("" ::: "memory");
        } else {
          next = static_cast<std::uint16_t>(links);
        }
      } else {
        next = static_cast<std::uint16_t>(links >> (side << 4));
      }
    }
    kid[p][side] = static_cast<Link>(r);
    dad[r] = static_cast<Link>(p);
    matchLength = length;
    matchPosition = position;
    NoteDescent(key[0], turns, visits);
  }

  // InsertAlong<true> with a guess of each next node. On a long one-way chain each step waits for
  // the load of the next link, and keys that follow one another in a table of counters go down
  // nearly the same path each time: the previous path of the same tree is taken as the guess, the
  // step goes on from it at once, and the link loaded beside it only confirms it. The walk itself,
  // and with it the match and the new node's place, is the same whatever the guesses; a wrong one
  // costs a mispredicted branch, after which the walk follows the loaded links alone.
  // The steps from node p, whose key parts from the new one at the second byte (a common length
  // of 1 is no match): right when the new key's byte is greater. Kept apart and behind a branch,
  // so that the load of the next link need not wait for the comparison.
  __attribute__((always_inline)) inline unsigned TurnRight(unsigned p, int& side, int& turns) {
    turns += side ^ 1;
    side = 1;
    const unsigned next = static_cast<std::uint16_t>(kid[p][1]);
    asm volatile("" ::: "memory");
    return next;
  }
  __attribute__((always_inline)) inline unsigned TurnLeft(unsigned p, int& side, int& turns) {
    turns += side;
    side = 0;
    return static_cast<std::uint16_t>(kid[p][0]);
  }

  SONDESK_LZHUF_LOOPS_ON_64 inline void InsertOneWay(int r, unsigned p, Link* const row) {
    const std::uint8_t* key = &text[r];
    const unsigned key0 = key[0];
    const unsigned key1 = key[1];
    const KeyWords words = WordsOf(key);
    unsigned valid = hintLength[key0];  // row[0] .. row[valid - 1]: the last path, the guesses
    unsigned followed = 0;              // the guesses that held
    unsigned at = 0;                    // the row index of the node visited next
    int side = 1;
    int length = 0;
    int position = 0;
    int turns = 0;
    unsigned next = static_cast<std::uint16_t>(kid[p][1]);
    while (next != kNil) {
      p = next;
      if (at < kHintSteps) row[at] = static_cast<Link>(p);
      ++at;
      unsigned loaded;
      const unsigned second = text[p + 1];
      if (second != key1) {
        loaded = key1 > second ? TurnRight(p, side, turns) : TurnLeft(p, side, turns);
      } else {
        std::uint32_t links;
        std::memcpy(&links, kid[p], sizeof links);
        const int previousSide = side;
        const std::uint64_t y = LoadBig(&text[p + 1]);
        int i;
        if (words.w[0] != y) {
          i = 1 + (__builtin_clzll(words.w[0] ^ y) >> 3);
          side = words.w[0] > y;
        } else {
          i = CommonPrefixWords(words, &text[p], side);
        }
        if (i >= F) {
          TakePlace(r, p);
          if (at <= kHintSteps) row[at - 1] = static_cast<Link>(r);
          hintLength[key0] = static_cast<std::uint16_t>(at < kHintSteps ? at : kHintSteps);
          NoteDescent(key0, turns, static_cast<int>(at));
          return;
        }
        turns += side != previousSide;
        KeepBetter(r, p, i, length, position);
        if (side) {
          loaded = static_cast<std::uint16_t>(links >> 16);
          asm volatile("" ::: "memory");
        } else {
          loaded = static_cast<std::uint16_t>(links);
        }
      }
      // Where the walk keeps to the last path past nodes that part at the second byte (nearly
      // every step down a chain of counters), a step is only loads that need not wait for one
      // another. The row already holds these nodes.
      while (at < valid) {
        const unsigned guess = static_cast<std::uint16_t>(row[at]);
#if defined(__x86_64__) && defined(__GNUC__)
        // The comparison is hidden from the compiler: knowing the two equal, it would take the
        // loaded link for the next step, and the step would wait for the load again.
        asm goto("cmpl %k0, %k1\n\tjne %l2" : : "r"(guess), "r"(loaded) : "cc" : missed);
#else
        if (guess != loaded) goto missed;
#endif
        const unsigned guessSecond = text[guess + 1];
        if (guessSecond == key1) {
          loaded = guess;  // a match of two bytes or more: the full step above
          break;
        }
        ++at;
        ++followed;
        p = guess;
        loaded = key1 > guessSecond ? TurnRight(guess, side, turns) : TurnLeft(guess, side, turns);
      }
      next = loaded;
      continue;
    missed:
      valid = 0;
      next = loaded;
    }
    kid[p][side] = static_cast<Link>(r);
    dad[r] = static_cast<Link>(p);
    matchLength = length;
    matchPosition = position;
    hintLength[key0] = static_cast<std::uint16_t>(at < kHintSteps ? at : kHintSteps);
    NoteDescent(key0, turns, static_cast<int>(at));
    trust[key0] = followed >= 4 ? 3 : trust[key0] - (trust[key0] != 0);
  }

  // r takes p's place; p leaves the tree.
  inline void Replace(int r, int p) {
    dad[r] = dad[p];
    Left(r) = Left(p);
    Right(r) = Right(p);
    dad[Left(p)] = static_cast<Link>(r);
    dad[Right(p)] = static_cast<Link>(r);
    if (Right(dad[p]) == p) {
      Right(dad[p]) = static_cast<Link>(r);
    } else {
      Left(dad[p]) = static_cast<Link>(r);
    }
    dad[p] = kNil;
  }

  inline void Delete(int p) {
    if (dad[p] == kNil) return;
    int q;
    if (Right(p) == kNil) {
      q = Left(p);
    } else if (Left(p) == kNil) {
      q = Right(p);
    } else {
      q = Left(p);
      if (Right(q) != kNil) {
        do {
          q = Right(q);
        } while (Right(q) != kNil);
        Right(dad[q]) = Left(q);
        dad[Left(q)] = dad[q];
        Left(q) = Left(p);
        dad[Left(p)] = static_cast<Link>(q);
      }
      Right(q) = Right(p);
      dad[Right(p)] = static_cast<Link>(q);
    }
    dad[q] = dad[p];
    if (Right(dad[p]) == p) {
      Right(dad[p]) = static_cast<Link>(q);
    } else {
      Left(dad[p]) = static_cast<Link>(q);
    }
    dad[p] = kNil;
  }
};

// 16-bit links keep the ring and all three link arrays inside a 32 KB first-level cache.
using SearchTrees = BasicSearchTrees<std::int16_t>;

}  // namespace sondesk::lzhuf_detail
