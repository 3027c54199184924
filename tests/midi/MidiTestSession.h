#pragma once
// What the MIDI reader and conversion tests share: a session in English over fresh folders with
// the scripted Ui, and a place to write songs.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ScriptedUi.h"
#include "app/Session.h"
#include "tests/support/MidiWriter.h"
#include "tests/support/TempDir.h"

namespace sondesk::test {

class MidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Paths p;
    p.windir = tmp.path();
    p.workDir = tmp / "work";
    p.dataDir = tmp / "data";
    p.EnsureFolders();
    session_ = std::make_unique<Session>(ui, p, clock, /*English*/ 1);
  }

  Session& session() { return *session_; }
  // Writes `w` as `name` in the test's folder and gives its path.
  std::string Save(const MidiWriter& w, const std::string& name = "song.mid") {
    const std::string path = tmp / name;
    w.Save(path);
    return path;
  }

  TempDir tmp;
  ScriptedUi ui;
  ManualClock clock;
  std::unique_ptr<Session> session_;
};

// One event of a payload with its absolute time.
struct PayloadEvent {
  std::uint64_t time;
  MidiBytes bytes;
};

// Reads a payload as strictly as the player does: "MThd" of length 6, format 0, one track,
// division 480; every event with its status byte; note-offs of two bytes; SysEx and meta lengths
// of one or two bytes; FF 2F 00 as the last event and nothing behind it. Any deviation fails the
// test that calls it.
inline std::vector<PayloadEvent> ParsePayload(const MidiBytes& f) {
  std::vector<PayloadEvent> out;
  auto be32 = [&](std::size_t p) {
    return (std::uint32_t{f[p]} << 24) | (std::uint32_t{f[p + 1]} << 16) | (std::uint32_t{f[p + 2]} << 8) |
           f[p + 3];
  };
  if (f.size() < 22) {
    ADD_FAILURE() << "payload of " << f.size() << " bytes";
    return out;
  }
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "MThd");
  EXPECT_EQ(be32(4), 6u);
  EXPECT_EQ(f[8] * 256 + f[9], 0) << "format";
  EXPECT_EQ(f[10] * 256 + f[11], 1) << "tracks";
  EXPECT_EQ(f[12] * 256 + f[13], 480) << "division";
  EXPECT_EQ(std::string(f.begin() + 14, f.begin() + 18), "MTrk");
  EXPECT_EQ(be32(18), f.size() - 22) << "track length";
  std::size_t p = 22;
  std::uint64_t now = 0;
  bool ended = false;
  auto need = [&](std::size_t n) {
    if (p + n > f.size()) {
      ADD_FAILURE() << "payload cut at " << p;
      return false;
    }
    return true;
  };
  while (p < f.size()) {
    if (ended) {
      ADD_FAILURE() << "bytes behind the end of track at " << p;
      break;
    }
    std::uint64_t delta = 0;
    for (int i = 0;; ++i) {
      if (!need(1) || i == 5) return out;
      const std::uint8_t b = f[p++];
      delta = (delta << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) break;
    }
    now += delta;
    if (!need(1)) return out;
    const std::uint8_t status = f[p];
    std::size_t n = 0;
    if (status < 0x80) {
      ADD_FAILURE() << "running status at " << p;
      return out;
    } else if (status < 0xF0) {
      const int type = status & 0xF0;
      n = (type == 0x80 || type == 0xC0 || type == 0xD0) ? 2 : 3;
    } else if (status == 0xF0 || status == 0xFF) {
      std::size_t q = p + 1 + (status == 0xFF ? 1 : 0);
      if (!need(q - p + 1)) return out;
      std::size_t len = f[q++];
      if (len >= 0x80) {
        if (!need(q - p + 1)) return out;
        len = (len & 0x7F) * 128 + f[q++];
        EXPECT_GE(len, 128u) << "a length in two bytes that fits in one";
      }
      n = q - p + len;
    } else {
      ADD_FAILURE() << "status " << int(status) << " at " << p;
      return out;
    }
    if (!need(n)) return out;
    out.push_back({now, MidiBytes(f.begin() + static_cast<std::ptrdiff_t>(p),
                                  f.begin() + static_cast<std::ptrdiff_t>(p + n))});
    if (status == 0xFF && f[p + 1] == 0x2F) ended = true;
    p += n;
  }
  EXPECT_TRUE(ended) << "no end of track";
  if (ended) {
    EXPECT_EQ(out.back().bytes, (MidiBytes{0xFF, 0x2F, 0x00}));
  }
  return out;
}

// The events of a payload with one status (or, for a meta event, one type).
inline std::vector<PayloadEvent> Only(const std::vector<PayloadEvent>& all, int status, int metaType = -1) {
  std::vector<PayloadEvent> out;
  for (const auto& e : all) {
    if (e.bytes[0] != status) continue;
    if (metaType >= 0 && (e.bytes.size() < 2 || e.bytes[1] != metaType)) continue;
    out.push_back(e);
  }
  return out;
}

}  // namespace sondesk::test
