// Outside bytes read as a song's payload for PC playback: the first 512 bytes (when there are
// that many) are its header, mixer and all, the rest the payload. Rendering must end cleanly; a
// rendered file must be a well-formed one-track MIDI file with every data byte below 128; the
// lyric pages read from the same bytes must stay on their four lines.

#include <cstddef>
#include <cstdint>
#include <span>

#include "midi/KaraokeTimeline.h"
#include "midi/Mf3Header.h"
#include "midi/PlayableMidi.h"

using namespace sondesk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  Mf3Header header = Mf3Header::Fresh();
  if (size >= Mf3Header::kSize) {
    header = Mf3Header::Parse(data);
    bytes = bytes.subspan(Mf3Header::kSize);
  }
  for (bool lyrics : {false, true}) {
    const PlayableMidi m = RenderPlayableMidiBytes(bytes, header, lyrics);
    if (!m.ok()) {
      if (!m.file.empty()) __builtin_trap();
      continue;
    }
    // Read back as a sequencer would.
    const std::vector<std::uint8_t>& f = m.file;
    if (f.size() < 26) __builtin_trap();
    std::size_t p = 22;
    bool ended = false;
    while (p < f.size()) {
      if (ended) __builtin_trap();
      for (int i = 0;; ++i) {
        if (p >= f.size() || i == 8) __builtin_trap();
        if ((f[p++] & 0x80) == 0) break;
      }
      if (p >= f.size()) __builtin_trap();
      const std::uint8_t s = f[p];
      if (s == 0xFF || s == 0xF0) {
        if (s == 0xFF && p + 1 < f.size() && f[p + 1] == 0x2F) ended = true;
        p += s == 0xFF ? 2 : 1;
        std::size_t n = 0;
        for (int i = 0;; ++i) {
          if (p >= f.size() || i == 4) __builtin_trap();
          const std::uint8_t b = f[p++];
          n = (n << 7) | (b & 0x7F);
          if ((b & 0x80) == 0) break;
        }
        p += n;
      } else if (s >= 0x80 && s < 0xF0) {
        const int t = s & 0xF0;
        const std::size_t n = (t == 0xC0 || t == 0xD0) ? 1 : 2;
        if (t == 0xA0 && (s == 0xA8 || s == 0xA9)) __builtin_trap();  // markers never reach a synthesizer
        for (std::size_t i = 1; i <= n; ++i) {
          if (p + i >= f.size() || f[p + i] >= 0x80) __builtin_trap();
        }
        p += 1 + n;
      } else {
        __builtin_trap();
      }
    }
    if (!ended || p != f.size()) __builtin_trap();
  }
  const KaraokeTimeline k = KaraokeTimeline::FromPayload(bytes);
  for (std::size_t i = 0; i < k.pageCount(); ++i) {
    const KaraokeState s = k.StateAt(k.PageTick(i));
    if (s.currentLine < -1 || s.currentLine > 3 || s.LitLength() > 0) __builtin_trap();
  }
  return 0;
}
