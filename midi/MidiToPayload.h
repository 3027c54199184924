#pragma once
// The conversion of a Standard MIDI file (.MID, .KAR) into the player's payload: a checked,
// simplified MIDI file with beat and bar markers and the player's lyric events, plus the header
// values (first program, bank and controller values of each channel) and the texts found in the
// song. The library's import then compresses the payload with that header into an MF3 song.

#include <string>
#include <vector>

#include "midi/LyricRewrite.h"
#include "midi/Mf3Header.h"
#include "midi/MidiStreamReader.h"
#include "midi/SourceRepair.h"
#include "midi/SongTexts.h"
#include "midi/SxsEvent.h"

namespace sondesk {

class Session;

// The work state of one conversion, owned by the caller: the MF3 header the conversion fills,
// the texts and tables it gathers. Everything is reset at the start of each conversion, except
// that the header stays as it was when the source cannot be read.
struct MidiConversion {
  Mf3Header header = Mf3Header::Fresh();
  SongTexts texts;
  SxsTables tables;
  LyricRewriteCounts lyricCounts;
  bool rewritten = false;       // the lyric page rewrite made "Tune1000.MID" and that was converted
  bool payloadWritten = false;  // the payload file holds this conversion's result
  int chordEvents = 0;          // lyric chord events met by the main pass
  int pageLineEvents = 0;       // lyric page-line events met by the main pass
  int notesWritten = 0;         // note-ons in the payload
  int lineAdvancesWritten = 0;  // lyric line advances in the payload
  int dataBytesCut = 0;         // channel events whose data bytes of 0x80 or more lost their high bit
  int dataBytesDropped = 0;     // channel events left out for such a byte
  int sysExCut = 0;             // SysEx events cut at a byte of 0x80 or more
  bool damaged = false;         // the source was damaged (and, when a payload was written, salvaged)
  StreamDamage damage;          // where the readers first met the damage, when they did
  SourceRepair repair = SourceRepair::None;  // read from a repaired copy of the source
  // What the user was told once, in one box, about this song's repairs.
  std::vector<std::string> notes;

  // The texts as the import reads them, each cut to 31 characters.
  std::string Title() const { return CutTo(texts.songTitle, SongTexts::kFieldChars); }
  std::string Author() const { return CutTo(texts.songAuthor, SongTexts::kFieldChars); }
  std::string Publisher() const { return CutTo(texts.songPublisher, SongTexts::kFieldChars); }
  std::string Copyright() const { return CutTo(texts.songCopyright, SongTexts::kFieldChars); }
  std::string CopyrightCopy() const { return CutTo(texts.copyrightCopy, SongTexts::kFieldChars); }
  bool PublisherFound() const { return texts.publisherFound; }
};

// Payload ticks beyond which a song is taken for damaged: the original event store kept times in
// 24 bits, and a longer song would only fill the payload with markers.
inline constexpr std::uint64_t kPayloadTimeLimit = 0xFFFFFF;

// Converts `sourcePath` into the payload file `payloadPath`. Work files go to the session's work
// folder. Returns 0 when `payloadPath` now holds this conversion's payload, 1 when no payload was
// written (the source could not be read as a MIDI file, the payload's time went backwards, the
// file could not be written); then any older file at `payloadPath` is left as it was and must not
// be compressed. The texts, the title rule and the no-text warning run in both cases.
int ConvertMidiToPayload(Session& session, const std::string& sourcePath, const std::string& payloadPath,
                         MidiConversion& conversion);

}  // namespace sondesk
