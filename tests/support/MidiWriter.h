#pragma once
// A small Standard MIDI file builder for tests: tracks of events with delta times, meta texts,
// the player's lyric SysEx events, running status on demand, and ways to break a file on purpose
// (wrong chunk ids, wrong declared lengths, raw bytes anywhere, a foreign header).
//
//   MidiWriter w(1, 96);
//   w.Track().TrackName(0, "Melody").NoteOn(0, 0, 60, 100).NoteOff(96, 0, 60);
//   w.Save(dir / "song.mid");
//
// Every track gets FF 2F 00 at delta 0 when it is written, unless it already ends with one or
// OmitEndOfTrack() was called for it.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace sondesk::test {

using MidiBytes = std::vector<std::uint8_t>;

// The variable-length quantity of the file format: 7 bits a byte, most significant first.
MidiBytes Vlq(std::uint32_t value);

class MidiWriter {
 public:
  explicit MidiWriter(int format = 1, int division = 480);

  // Header overrides: the declared track count (else the number of MTrk chunks), the raw
  // division word (0xE728 for 25 frames of 40 ticks), the header id and length, extra header bytes.
  MidiWriter& DeclaredTrackCount(int count);
  MidiWriter& RawDivision(std::uint16_t division);
  MidiWriter& HeaderId(const std::string& id);
  MidiWriter& HeaderLength(std::uint32_t length);
  MidiWriter& HeaderExtra(const MidiBytes& bytes);

  // Starts a new track chunk; the events below go to it.
  MidiWriter& Track();
  // A chunk of another kind between the tracks (not counted as a track).
  MidiWriter& ForeignChunk(const std::string& id, const MidiBytes& data);
  // Overrides of the current track: its chunk id, its declared length (the data stays as it is),
  // no end-of-track event.
  MidiWriter& ChunkId(const std::string& id);
  MidiWriter& DeclaredLength(std::uint32_t length);
  MidiWriter& OmitEndOfTrack();

  // Running status for the channel events that follow in the current track: a status byte equal
  // to the previous channel status is left out. SysEx and meta events cancel it, as the format says.
  MidiWriter& RunningStatus(bool on);

  // Events. `delta` is the time since the previous event of the same track.
  MidiWriter& NoteOn(std::uint32_t delta, int channel, int key, int velocity);
  MidiWriter& NoteOff(std::uint32_t delta, int channel, int key, int velocity = 64);
  MidiWriter& Control(std::uint32_t delta, int channel, int controller, int value);
  MidiWriter& Program(std::uint32_t delta, int channel, int program);
  MidiWriter& PitchBend(std::uint32_t delta, int channel, int value14);
  MidiWriter& Channel(std::uint32_t delta, std::initializer_list<std::uint8_t> statusAndData);

  MidiWriter& Meta(std::uint32_t delta, int type, const std::string& data);
  MidiWriter& Meta(std::uint32_t delta, int type, const MidiBytes& data);
  MidiWriter& Text(std::uint32_t delta, const std::string& text) { return Meta(delta, 0x01, text); }
  MidiWriter& Copyright(std::uint32_t delta, const std::string& text) { return Meta(delta, 0x02, text); }
  MidiWriter& TrackName(std::uint32_t delta, const std::string& text) { return Meta(delta, 0x03, text); }
  MidiWriter& Lyric(std::uint32_t delta, const std::string& text) { return Meta(delta, 0x05, text); }
  MidiWriter& Marker(std::uint32_t delta, const std::string& text) { return Meta(delta, 0x06, text); }
  MidiWriter& Tempo(std::uint32_t delta, std::uint32_t microsPerQuarter);
  // `denominatorPower`: 2 for quarter notes.
  MidiWriter& TimeSignature(std::uint32_t delta, int numerator, int denominatorPower);
  MidiWriter& EndOfTrack(std::uint32_t delta = 0);

  // F0, length, `data` (which should end with F7).
  MidiWriter& SysEx(std::uint32_t delta, const MidiBytes& data);
  // The player's lyric event: F0 len 00 20 24 00 type text F7.
  MidiWriter& Sxs(std::uint32_t delta, int type, const std::string& text = "");

  // A delta time followed by any bytes at all: for wrong lengths, stray data bytes, bad status.
  MidiWriter& Raw(std::uint32_t delta, const MidiBytes& bytes);
  // MidiBytes into the track without a delta time in front.
  MidiWriter& RawNoDelta(const MidiBytes& bytes);

  // The delta that puts the next event of the current track at absolute tick `tick`.
  std::uint32_t DeltaTo(std::uint32_t tick) const;
  std::uint32_t TrackTime() const;

  MidiBytes Build() const;
  void Save(const std::string& path) const;

 private:
  struct Chunk {
    std::string id = "MTrk";
    MidiBytes data;
    bool isTrack = true;
    bool omitEnd = false;
    bool ended = false;
    bool runningStatus = false;
    int lastStatus = -1;
    std::uint32_t time = 0;
    std::optional<std::uint32_t> declaredLength;
  };
  Chunk& Current();
  const Chunk& Current() const;
  void PutDelta(std::uint32_t delta);
  MidiWriter& ChannelEvent(std::uint32_t delta, std::uint8_t status, const MidiBytes& data);

  int format_;
  std::uint16_t division_;
  std::string headerId_ = "MThd";
  std::optional<std::uint32_t> headerLength_;
  MidiBytes headerExtra_;
  std::optional<int> declaredTracks_;
  std::vector<Chunk> chunks_;
};

}  // namespace sondesk::test
