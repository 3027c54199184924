#pragma once
// The compression of MF3 songs: LZSS over a 4096-byte ring with adaptive Huffman coding of
// literals and match lengths (LZHUF), in the variant the player reads: look-ahead and longest
// match 29 bytes, matches of 3 bytes and more.
//
// A stream is the uncompressed size as 4 bytes little-endian, then the bit stream, most
// significant bit first, the last byte padded with zero bits. An empty input is the size word
// alone. The encoder's output is byte for byte what the player's own tools have always written,
// so every choice the encoder makes (the match it finds, the order of the tree updates) is fixed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sondesk {

inline constexpr int kLzhufRingSize = 4096;  // N
inline constexpr int kLzhufLookAhead = 29;   // F: also the longest match
inline constexpr int kLzhufThreshold = 2;    // matches of this length or less go as literals
inline constexpr std::size_t kLzhufSizeWordBytes = 4;

enum class LzhufStatus {
  Ok,
  TooLarge,    // compress: the input does not fit the 32-bit size word
  NoSizeWord,  // decompress: fewer than 4 bytes
  Truncated,   // decompress: the bits end before the size word's count of bytes is produced
  WriteFailed, // a sink refused its bytes (a full disk, a closed pipe)
};

// A short English diagnostic ("damaged stream: ..."), for logs and the command line.
const char* LzhufStatusText(LzhufStatus status);

// Appends the stream for `input` (size word included) to `out`. Fails only with TooLarge.
LzhufStatus LzhufCompress(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& out);
// The same, returning the stream; an input too large for the size word gives an empty vector.
std::vector<std::uint8_t> LzhufCompress(std::span<const std::uint8_t> input);

// Appends the bytes of `stream` (size word first) to `out`. Bytes after the end of the bit
// stream are ignored. A damaged stream stops with Truncated; what it decoded up to there stays in
// `out`. Memory grows with what the bits really give, never with a size word alone.
LzhufStatus LzhufDecompress(std::span<const std::uint8_t> stream, std::vector<std::uint8_t>& out);

// Where the streaming forms put their bytes, in order, in chunks of about kLzhufSinkChunk bytes (the
// decoder's may be a match longer). A file written this way needs memory for neither the whole
// output nor its growth.
inline constexpr std::size_t kLzhufSinkChunk = 64 * 1024;
class LzhufSink {
 public:
  virtual ~LzhufSink() = default;
  // False stops the coder, which then returns WriteFailed.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

// The same streams as above, handed to `sink` as they are made. The decoder's damage rules are
// the same; what it decoded before the damage has been handed on, so a caller that keeps only whole
// outputs must drop what it was given when the status is not Ok.
LzhufStatus LzhufCompress(std::span<const std::uint8_t> input, LzhufSink& sink);
LzhufStatus LzhufDecompress(std::span<const std::uint8_t> stream, LzhufSink& sink);

// The size word of a stream, or false when it has fewer than 4 bytes.
bool LzhufStoredSize(std::span<const std::uint8_t> stream, std::uint32_t& size);

}  // namespace sondesk
