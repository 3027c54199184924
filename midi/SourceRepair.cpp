#include "midi/SourceRepair.h"

#include <cstdio>
#include <cstring>

#include "app/AtomicFile.h"
#include "app/Endian.h"
#include "app/Paths.h"
#include "app/Session.h"
#include "midi/MidiStreamReader.h"

namespace sondesk {

namespace {

constexpr std::size_t kMacBinaryHeader = 128;
constexpr std::size_t kSmfHeader = 14;

bool At(const std::vector<std::uint8_t>& image, std::size_t pos, const char* id) {
  return image.size() >= pos + 4 && std::memcmp(image.data() + pos, id, 4) == 0;
}

std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Whether a salvaging reader meets damage in `path`. Only called for files whose header the
// readers take, so no box is shown.
bool Damaged(Session& session, const std::string& path) {
  auto r = OpenStreamReader(session, path, /*salvage*/ true);
  if (!r || r->errorCode != kStreamOk) return true;
  MidiEvent ev;
  while (r->errorCode == kStreamOk && !r->allTracksEnded && r->damage.code == 0) NextStreamEvent(*r, ev);
  return r->errorCode != kStreamOk || r->damage.code != 0;
}

bool ReadableHeader(const std::vector<std::uint8_t>& image) {
  if (image.size() < kSmfHeader + 8 || !At(image, 0, "MThd") || GetBe32(image.data() + 4) < 6) return false;
  const int division = GetBe16(image.data() + 12);
  return division != 0 && (division & 0x8000) == 0;
}

}  // namespace

SourceRepair UnwrapMidiImage(const std::vector<std::uint8_t>& image, std::vector<std::uint8_t>& midi) {
  if (At(image, 0, "MThd")) return SourceRepair::None;
  if (At(image, 0, "RIFF") && At(image, 8, "RMID")) {
    for (std::size_t pos = 12; pos + 8 <= image.size();) {
      const std::uint32_t size = Le32(image.data() + pos + 4);
      if (At(image, pos, "data")) {
        const std::size_t start = pos + 8;
        const std::size_t n = std::min<std::size_t>(size, image.size() - start);
        if (!At(image, start, "MThd")) return SourceRepair::None;
        midi.assign(image.begin() + static_cast<std::ptrdiff_t>(start),
                    image.begin() + static_cast<std::ptrdiff_t>(start + n));
        return SourceRepair::RiffWrapper;
      }
      pos += 8 + size + (size & 1);
    }
    return SourceRepair::None;
  }
  // MacBinary: a version byte of 0, a name of 1 to 63 characters, the data fork from byte 128.
  if (image.size() > kMacBinaryHeader + kSmfHeader && image[0] == 0 && image[1] >= 1 && image[1] <= 63 &&
      At(image, kMacBinaryHeader, "MThd")) {
    const std::uint32_t fork = GetBe32(image.data() + 83);
    const std::size_t n = std::min<std::size_t>(fork == 0 ? image.size() : fork, image.size() - kMacBinaryHeader);
    midi.assign(image.begin() + kMacBinaryHeader, image.begin() + static_cast<std::ptrdiff_t>(kMacBinaryHeader + n));
    return SourceRepair::MacBinary;
  }
  return SourceRepair::None;
}

std::vector<std::uint8_t> WithoutCarriageReturns(const std::vector<std::uint8_t>& image) {
  std::vector<std::uint8_t> out;
  out.reserve(image.size());
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (image[i] == '\r' && i + 1 < image.size() && image[i + 1] == '\n') continue;
    out.push_back(image[i]);
  }
  return out;
}

std::string RepairedSource(Session& session, const std::string& sourcePath, const std::string& workDir,
                           SourceRepair& repair) {
  repair = SourceRepair::None;
  std::string data;
  if (!ReadWholeFile(sourcePath, data)) return sourcePath;
  const std::vector<std::uint8_t> image(data.begin(), data.end());
  const std::string copy = JoinPath(workDir, "REPAIRED.MID");
  std::vector<std::uint8_t> midi;
  const SourceRepair unwrapped = UnwrapMidiImage(image, midi);
  if (unwrapped != SourceRepair::None) {
    if (!ReadableHeader(midi) || !MakeFolders(workDir) || !WriteFileAtomically(copy, midi)) return sourcePath;
    repair = unwrapped;
    return copy;
  }
  if (!ReadableHeader(image) || data.find("\r\n") == std::string::npos || !Damaged(session, sourcePath))
    return sourcePath;
  midi = WithoutCarriageReturns(image);
  if (!MakeFolders(workDir) || !WriteFileAtomically(copy, midi)) return sourcePath;
  if (Damaged(session, copy)) {
    std::remove(copy.c_str());
    return sourcePath;
  }
  repair = SourceRepair::TextModeTransfer;
  return copy;
}

std::string SourceRepairNote(SourceRepair repair, const std::string& fileName) {
  switch (repair) {
    case SourceRepair::RiffWrapper:
      return Format("The file %s is a MIDI file in a RIFF wrapper: the song inside was converted.",
                    fileName.c_str());
    case SourceRepair::MacBinary:
      return Format("The file %s carries a MacBinary header: the song behind it was converted.", fileName.c_str());
    case SourceRepair::TextModeTransfer:
      return Format("The file %s went through a text-mode transfer (a carriage return before every line "
                    "feed): they were taken out and the song was converted whole.",
                    fileName.c_str());
    case SourceRepair::None:
      break;
  }
  return "";
}

}  // namespace sondesk
