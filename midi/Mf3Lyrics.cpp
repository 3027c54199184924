#include "midi/Mf3Lyrics.h"

#include <cstdio>

#include "app/Endian.h"
#include "midi/LyricPreview.h"
#include "midi/SxsEvent.h"

namespace sondesk {

namespace {

constexpr std::size_t kHeaderBytes = 22;  // "MThd", 6, format, tracks, division, "MTrk", length

class PayloadWalker {
 public:
  explicit PayloadWalker(std::span<const std::uint8_t> p) : p_(p) {}

  Mf3LyricPages Walk() {
    Mf3LyricPages out;
    if (p_.size() < kHeaderBytes || GetBe16(p_.data() + 12) == 0) {
      out.damaged = true;
      return out;
    }
    division_ = GetBe16(p_.data() + 12);
    pos_ = kHeaderBytes;
    std::size_t line = 4;  // the next page line; 4: no page open
    bool waitingForFirstLine = false;
    while (pos_ < p_.size()) {
      std::uint64_t delta = 0;
      if (!Vlq(delta)) break;
      Advance(delta);
      if (pos_ >= p_.size()) break;
      const std::uint8_t status = p_[pos_++];
      if (status >= 0x80 && status < 0xF0) {
        // The payload's note-offs carry no velocity; everything else is as in any MIDI file.
        const int type = status & 0xF0;
        pos_ += (type == 0x80 || type == 0xC0 || type == 0xD0) ? 1 : 2;
        continue;
      }
      if (status != 0xF0 && status != 0xFF) break;
      int metaType = -1;
      if (status == 0xFF) {
        if (pos_ >= p_.size()) break;
        metaType = p_[pos_++];
      }
      std::uint64_t length = 0;
      if (!Vlq(length) || length > p_.size() - pos_) break;
      const auto data = p_.subspan(pos_, static_cast<std::size_t>(length));
      pos_ += static_cast<std::size_t>(length);
      if (metaType == 0x51 && data.size() == 3) tempo_ = (data[0] << 16) | (data[1] << 8) | data[2];
      if (metaType == 0x2F) return out;
      int sxs = 0;
      std::string text;
      if (status != 0xF0 || !ParseSxs(data, sxs, text)) continue;
      if (sxs >= kSxsPageLine1 && sxs <= kSxsPageLine4) {
        const auto i = static_cast<std::size_t>(sxs - kSxsPageLine1);
        if (i == 0 || line == 4 || i < line) {
          out.layout.pages.emplace_back();
          out.seconds.push_back(-1);
          waitingForFirstLine = true;
        }
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        out.layout.pages.back().lines[i].text = text;
        line = i + 1;
      } else if (sxs == kSxsLineAdvance && waitingForFirstLine && !out.seconds.empty()) {
        out.seconds.back() = seconds_;
        waitingForFirstLine = false;
      }
    }
    out.damaged = true;
    return out;
  }

 private:
  bool Vlq(std::uint64_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (pos_ >= p_.size()) return false;
      const std::uint8_t b = p_[pos_++];
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return true;
    }
    return false;
  }

  void Advance(std::uint64_t ticks) {
    seconds_ += static_cast<double>(ticks) * tempo_ / 1e6 / division_;
  }

  std::span<const std::uint8_t> p_;
  std::size_t pos_ = 0;
  int division_ = 480;
  std::uint32_t tempo_ = 500000;
  double seconds_ = 0;
};

}  // namespace

Mf3LyricPages ReadPayloadLyricPages(std::span<const std::uint8_t> payload) {
  return PayloadWalker(payload).Walk();
}

std::string Mf3LyricPagesText(const Mf3LyricPages& pages) {
  std::string out;
  for (std::size_t i = 0; i < pages.layout.pages.size(); ++i) {
    char head[64];
    const double s = pages.seconds[i];
    if (s < 0) {
      std::snprintf(head, sizeof head, "page %zu\n", i + 1);
    } else {
      const int tenths = static_cast<int>(s * 10 + 0.5);
      std::snprintf(head, sizeof head, "page %zu  at %d:%02d.%d\n", i + 1, tenths / 600, tenths / 10 % 60,
                    tenths % 10);
    }
    LyricLayout one;
    one.pages.push_back(pages.layout.pages[i]);
    out += head + Cp437ToUtf8(LyricPreviewText(one));
  }
  return out;
}

}  // namespace sondesk
