#include "midi/LyricPreview.h"

#include <array>
#include <cstdint>

#include "messages/Cp1252.h"
#include "midi/LyricTrack.h"
#include "midi/PlayerCharset.h"

namespace sondesk {

namespace {

// The characters of code page 437 from 0x80 on.
constexpr std::string_view kCp437High =
    "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀"
    "αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";

// Letters that code page 437 lacks, by their nearest unaccented letter (Windows-1252 0xC0-0xFF).
constexpr std::string_view kLatinFold = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYTsaaaaaaaceeeeiiiidnooooo/ouuuuyty";

constexpr char kTopLeft = static_cast<char>(0xC9);
constexpr char kTopRight = static_cast<char>(0xBB);
constexpr char kBottomLeft = static_cast<char>(0xC8);
constexpr char kBottomRight = static_cast<char>(0xBC);
constexpr char kHorizontal = static_cast<char>(0xCD);
constexpr char kVertical = static_cast<char>(0xBA);

struct Cp437Tables {
  std::array<std::string, 128> toUtf8;
  std::array<char, 256> fromCp1252{};

  Cp437Tables() {
    std::size_t pos = 0;
    for (auto& s : toUtf8) {
      const auto lead = static_cast<std::uint8_t>(kCp437High[pos]);
      const std::size_t len = lead < 0xE0 ? 2 : 3;
      s = std::string(kCp437High.substr(pos, len));
      pos += len;
    }
    for (int b = 0; b < 256; ++b) {
      char out = '?';
      if (b < 0x80) {
        out = static_cast<char>(b);
      } else {
        const std::string u = Cp1252ToUtf8(std::string(1, static_cast<char>(b)));
        bool found = false;
        for (std::size_t k = 0; k < toUtf8.size() && !found; ++k) {
          if (toUtf8[k] == u) {
            out = static_cast<char>(0x80 + k);
            found = true;
          }
        }
        if (!found && b >= 0xC0) out = kLatinFold[static_cast<std::size_t>(b - 0xC0)];
      }
      fromCp1252[static_cast<std::size_t>(b)] = out;
    }
  }
};

const Cp437Tables& Tables() {
  static const Cp437Tables tables;
  return tables;
}

}  // namespace

std::string LyricPreviewText(const LyricLayout& layout) {
  const auto& tables = Tables();
  constexpr std::size_t kInner = kPageLineWidth + 2;
  const std::string rule(kInner, kHorizontal);
  std::string out;
  for (const auto& page : layout.pages) {
    out += kTopLeft + rule + kTopRight + "\n";
    for (const auto& line : page.lines) {
      std::string text = line.text.substr(0, kPageLineWidth);
      FromPlayerCharset(text);
      for (char& c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        c = b < 0x20 ? ' ' : tables.fromCp1252[b];
      }
      text.resize(kPageLineWidth, ' ');
      out += kVertical + (" " + text + " ") + kVertical + "\n";
    }
    out += kBottomLeft + rule + kBottomRight + "\n";
  }
  return out;
}

std::string Cp437ToUtf8(std::string_view text) {
  const auto& tables = Tables();
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto b = static_cast<std::uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else {
      out += tables.toUtf8[b - 0x80];
    }
  }
  return out;
}

}  // namespace sondesk
