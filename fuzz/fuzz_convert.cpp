// The whole conversion of a MIDI file into the player's payload, over any bytes: the structural
// check, the lyric analysis and rewrite, both passes of the conversion. Whatever payload it writes
// must be one the player can read: one track, status bytes throughout, FF 2F 00 at the end.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AtomicFile.h"
#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/MidiStreamReader.h"
#include "midi/MidiToPayload.h"

namespace {

using namespace sondesk;

// A folder of its own for the process's run, and whole-file reads and writes.
std::string MakeRunFolder() {
  std::string pattern = "/tmp/sondesk-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

struct Rig {
  Rig() {
    Paths p;
    p.windir = dir;
    p.workDir = dir + "/work";
    p.dataDir = dir + "/data";
    p.EnsureFolders();
    session = std::make_unique<Session>(ui, p, clock, 1);
    source = dir + "/SONG.MID";
    payload = dir + "/TEMP.MID";
  }
  ~Rig() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir = MakeRunFolder();
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
  std::string source, payload;
};

// The payload read back with the player's syntax must hold no fault and end with its end-of-track.
void CheckPayload(Session& session, const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) std::abort();
  if (bytes.size() < 26 || std::memcmp(bytes.data(), "MThd\0\0\0\6\0\0\0\1\1\xE0MTrk", 18) != 0) std::abort();
  if (std::memcmp(bytes.data() + bytes.size() - 3, "\xFF\x2F\x00", 3) != 0) std::abort();
  auto r = OpenPayloadReader(session, path);
  if (!r) std::abort();
  MidiEvent ev;
  while (r->errorCode == kStreamOk && !r->allTracksEnded) NextStreamEvent(*r, ev);
  if (r->errorCode != kStreamOk) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  rig.ui.boxes.clear();
  rig.ui.warnings.clear();
  rig.ui.debugLines.clear();
  WriteBytes(rig.source, data, size);
  std::remove(rig.payload.c_str());
  MidiConversion conv;
  if (ConvertMidiToPayload(*rig.session, rig.source, rig.payload, conv) == 0)
    CheckPayload(*rig.session, rig.payload);
  return 0;
}
