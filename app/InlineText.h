#pragma once
// A short text held inside its owner rather than on the heap: a song's title, performer and
// category (at most 27 characters, as every record of the card and the library stores them) and
// its number text. A list of 16,384 songs is loaded, sorted and copied whole many times a session;
// with its texts in place that is one block of memory and no allocation per song.
//
// It reads like a std::string (size, c_str, comparisons, +, conversion to std::string and
// std::string_view); a longer text given to it keeps its first N characters and a text with a NUL
// ends there, as in every record that holds it.
// The N + 1 bytes of its field are zero after the text, as a record's field is, so that a record
// is written from it with one copy.

#include <algorithm>
#include <compare>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sondesk {

template <std::size_t N>
class InlineText {
  static_assert(N < 256);

 public:
  static constexpr std::size_t kMax = N;

  InlineText() noexcept = default;
  InlineText(std::string_view text) noexcept { assign(text.data(), text.size()); }
  InlineText(const std::string& text) noexcept { assign(text.data(), text.size()); }
  InlineText(const char* text) noexcept { assign(text, std::strlen(text)); }

  InlineText& operator=(std::string_view text) noexcept {
    assign(text.data(), text.size());
    return *this;
  }
  InlineText& operator=(const std::string& text) noexcept { return *this = std::string_view(text); }
  InlineText& operator=(const char* text) noexcept { return *this = std::string_view(text); }

  // The first min(n, N) bytes at `p`, up to the first NUL.
  void assign(const char* p, std::size_t n) noexcept {
    n = std::min(n, N);
    if (const void* nul = std::memchr(p, 0, n)) n = static_cast<std::size_t>(static_cast<const char*>(nul) - p);
    std::memmove(chars_, p, n);
    std::memset(chars_ + n, 0, N + 1 - n);
    size_ = static_cast<std::uint8_t>(n);
  }
  // Sets the text from a field of at least N + 1 readable bytes whose text is `n` <= N long and
  // holds no NUL: the whole field is copied at once, which is quicker than a copy of `n` bytes.
  void AssignFromField(const char* field, std::size_t n) noexcept {
    std::memcpy(chars_, field, N + 1);
    std::memset(chars_ + n, 0, N + 1 - n);
    size_ = static_cast<std::uint8_t>(n);
  }
  // Sets the text from a record's field of N + 1 readable bytes: up to its first NUL, at most N
  // characters, whatever bytes follow the NUL. A catalogue load sets three of these per song for
  // 16,000 songs: with SSE2 the field is measured and its tail cleared in a few instructions,
  // without a call to strnlen or memset.
  void AssignFromRecordField(const char* field) noexcept {
#if defined(__SSE2__)
    if constexpr (N + 1 >= 16 && N + 1 <= 32) {
      constexpr int kHigh = static_cast<int>(N + 1 - 16);  // the second half overlaps the first
      const __m128i zero = _mm_setzero_si128();
      const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field));
      const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(field + kHigh));
      const unsigned nuls = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(lo, zero))) |
                            (static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(hi, zero))) << kHigh) |
                            (1u << N);
      const int n = __builtin_ctz(nuls);
      const __m128i length = _mm_set1_epi8(static_cast<char>(n));
      const __m128i at = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
      const __m128i atHigh = _mm_add_epi8(at, _mm_set1_epi8(static_cast<char>(kHigh)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(chars_), _mm_and_si128(lo, _mm_cmpgt_epi8(length, at)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(chars_ + kHigh), _mm_and_si128(hi, _mm_cmpgt_epi8(length, atHigh)));
      size_ = static_cast<std::uint8_t>(n);
      return;
    }
#endif
    const void* nul = std::memchr(field, 0, N);
    AssignFromField(field, nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : N);
  }
  void clear() noexcept {
    std::memset(chars_, 0, N + 1);
    size_ = 0;
  }
  // The text and the zeros after it: N + 1 bytes laid out as a record's field.
  const char* field() const noexcept { return chars_; }

  std::size_t size() const noexcept { return size_; }
  std::size_t length() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  const char* data() const noexcept { return chars_; }
  const char* c_str() const noexcept { return chars_; }
  const char* begin() const noexcept { return chars_; }
  const char* end() const noexcept { return chars_ + size_; }
  char operator[](std::size_t i) const noexcept { return chars_[i]; }
  char front() const noexcept { return chars_[0]; }
  char back() const noexcept { return chars_[size_ - 1]; }
  std::string_view view() const noexcept { return {chars_, size_}; }
  std::string str() const { return std::string(chars_, size_); }

  operator std::string_view() const noexcept { return view(); }
  operator std::string() const { return str(); }

  friend bool operator==(const InlineText& a, const InlineText& b) noexcept { return a.view() == b.view(); }
  friend bool operator==(const InlineText& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const InlineText& a, const std::string& b) noexcept { return a.view() == b; }
  friend bool operator==(const InlineText& a, const char* b) noexcept { return a.view() == b; }
  friend std::strong_ordering operator<=>(const InlineText& a, const InlineText& b) noexcept {
    return a.view() <=> b.view();
  }
  friend std::strong_ordering operator<=>(const InlineText& a, std::string_view b) noexcept {
    return a.view() <=> b;
  }

  friend std::string operator+(const InlineText& a, std::string_view b) { return Join(a.view(), b); }
  friend std::string operator+(std::string_view a, const InlineText& b) { return Join(a, b.view()); }
  friend std::string operator+(const InlineText& a, const std::string& b) { return Join(a.view(), b); }
  friend std::string operator+(const std::string& a, const InlineText& b) { return Join(a, b.view()); }
  friend std::string operator+(const InlineText& a, const char* b) { return Join(a.view(), b); }
  friend std::string operator+(const char* a, const InlineText& b) { return Join(a, b.view()); }
  friend std::string operator+(const InlineText& a, char b) { return Join(a.view(), std::string_view(&b, 1)); }
  friend std::ostream& operator<<(std::ostream& out, const InlineText& t) { return out << t.view(); }

 private:
  static std::string Join(std::string_view a, std::string_view b) {
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a);
    s.append(b);
    return s;
  }

  char chars_[N + 1] = {};
  std::uint8_t size_ = 0;
};

}  // namespace sondesk
