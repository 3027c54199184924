// Both MIDI readers over any bytes at all: the stream reader in both syntaxes (two passes, with
// peeks between the events) and the event store. Neither may crash, hang or read outside its
// buffers, whatever the file says about its own lengths.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "midi/MidiEventStore.h"
#include "midi/MidiStreamReader.h"

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
    file = dir + "/input.mid";
  }
  ~Rig() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string dir = MakeRunFolder();
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session;
  std::string file;
};

void Drain(MidiStreamReader& r) {
  MidiEvent ev;
  // Every event takes at least one byte of the file, so the loop ends; the bound is a second guard.
  for (std::size_t n = 0; n < (1u << 22); ++n) {
    if (r.errorCode != kStreamOk || r.atFileEnd || r.allTracksEnded) return;
    PeekStreamDelta(r);
    NextStreamEvent(r, ev);
    if (ev.empty()) return;
    (void)ev.Text();
    (void)ev.Data();
  }
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  rig.ui.boxes.clear();
  rig.ui.debugLines.clear();
  WriteBytes(rig.file, data, size);

  for (const int mode : {0, 1, 2}) {
    const bool payload = mode == 1;
    auto r = payload ? OpenPayloadReader(*rig.session, rig.file) : OpenStreamReader(*rig.session, rig.file);
    if (!r) continue;
    r->salvage = mode == 2;  // damage ends a track only; the others, and held notes' ends, go on
    Drain(*r);
    if (ResetStreamReader(*r)) Drain(*r);
    CloseStreamReader(r);
  }

  MidiEventStore store;
  if (LoadEventStore(*rig.session, rig.file, store) == 0) {
    for (const StoredEvent& e : store.events) (void)store.Bytes(e);
  }
  FreeEventStore(store);
  return 0;
}
