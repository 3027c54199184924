// Outside bytes read as an MF3 song and as a bare LZHUF stream (in memory and streamed): every
// input must end cleanly, inside its buffers, with no more output than its size word allows. Any
// input is also a payload, and compressing it must give a stream that decodes back to it.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "midi/Lzhuf.h"
#include "midi/Mf3File.h"
#include "midi/Mf3Header.h"

using namespace sondesk;

namespace {
// Collects what the streaming decoder hands on, to compare with the in-memory form.
class Collect final : public LzhufSink {
 public:
  std::vector<std::uint8_t> bytes;
  bool Write(const std::uint8_t* d, std::size_t n) override {
    bytes.insert(bytes.end(), d, d + n);
    return true;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  std::vector<std::uint8_t> out;
  const LzhufStatus s = LzhufDecompress(bytes, out);
  std::uint32_t stored = 0;
  if (LzhufStoredSize(bytes, stored)) {
    if (out.size() > stored) __builtin_trap();
    if (s == LzhufStatus::Ok && out.size() != stored) __builtin_trap();
  } else if (s != LzhufStatus::NoSizeWord) {
    __builtin_trap();
  }
  // The command line decodes files through a window it hands on chunk by chunk: the same status
  // and the same bytes.
  Collect streamed;
  if (LzhufDecompress(bytes, streamed) != s || streamed.bytes != out) __builtin_trap();

  Mf3Header header;
  if (Mf3Header::Parse(bytes, header)) {
    const Mf3Texts texts = header.Texts();
    if (header.FileNameText().size() > Mf3Header::kFileNameField) __builtin_trap();
    if (texts.title.size() > Mf3Header::kTextField) __builtin_trap();
    if (Mf3Header::Parse(header.Serialize().data()) != header) __builtin_trap();
  }
  std::vector<std::uint8_t> payload;
  (void)DecodeMf3Bytes(bytes, header, payload);

  // Small inputs only: the encoder is slow under the sanitizers and the decoder is what meets
  // outside bytes.
  if (size <= 1024) {
    const std::vector<std::uint8_t> z = LzhufCompress(bytes);
    std::vector<std::uint8_t> back;
    if (LzhufDecompress(z, back) != LzhufStatus::Ok || back.size() != size ||
        !std::equal(back.begin(), back.end(), data)) {
      __builtin_trap();
    }
  }
  return 0;
}
