#!/usr/bin/env python3
"""Writes the small MIDI/KAR test corpus: traditional tunes, set down note by note here, plus a few
files broken on purpose. Standard library only; the output is the same on every run.

    python3 tests/data/midi/make_corpus.py [OUTPUT_DIR]

Without OUTPUT_DIR the files go beside this script. The fuzz targets' seed folders are filled
with the same files (fuzz/seeds/midi_reader, fuzz/seeds/convert).
"""

import os
import struct
import sys


def vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.insert(0, 0x80 | (value & 0x7F))
        value >>= 7
    return bytes(out)


class Track:
    def __init__(self, running_status=False):
        self.events = []  # (absolute tick, order, bytes)
        self.running_status = running_status
        self.order = 0

    def add(self, tick, data):
        self.events.append((tick, self.order, bytes(data)))
        self.order += 1

    def meta(self, tick, kind, data):
        if isinstance(data, str):
            data = data.encode("latin-1")
        self.add(tick, bytes([0xFF, kind]) + vlq(len(data)) + data)

    def text(self, tick, s, kind=0x01, encoding="latin-1"):
        self.meta(tick, kind, s.encode(encoding))

    def tempo(self, tick, bpm):
        us = int(round(60000000 / bpm))
        self.meta(tick, 0x51, bytes([us >> 16, (us >> 8) & 0xFF, us & 0xFF]))

    def timesig(self, tick, num, den_power):
        self.meta(tick, 0x58, bytes([num, den_power, 24, 8]))

    def sysex(self, tick, data):
        self.add(tick, bytes([0xF0]) + vlq(len(data)) + bytes(data))

    def note(self, tick, length, ch, key, vel=96, off_as_note_on=False):
        self.add(tick, [0x90 | ch, key, vel])
        if off_as_note_on:
            self.add(tick + length, [0x90 | ch, key, 0])
        else:
            self.add(tick + length, [0x80 | ch, key, 64])

    def data(self):
        out = bytearray()
        now = 0
        last_status = None
        end_seen = False
        for tick, _, ev in sorted(self.events, key=lambda e: (e[0], e[1])):
            out += vlq(tick - now)
            now = tick
            status = ev[0]
            if status < 0xF0:
                if self.running_status and status == last_status:
                    out += ev[1:]
                else:
                    out += ev
                last_status = status
            else:
                out += ev
                last_status = None
                if status == 0xFF and ev[1] == 0x2F:
                    end_seen = True
        if not end_seen:
            out += b"\x00\xff\x2f\x00"
        return bytes(out)


def smf(fmt, division, tracks, extra_chunks=None):
    """extra_chunks: {index: (id, data)} chunks put before track number `index`."""
    extra_chunks = extra_chunks or {}
    out = bytearray(b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division))
    for i, t in enumerate(tracks):
        if i in extra_chunks:
            cid, cdata = extra_chunks[i]
            out += cid + struct.pack(">I", len(cdata)) + cdata
        body = t.data()
        out += b"MTrk" + struct.pack(">I", len(body)) + body
    return bytes(out)


NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def key_of(name):
    """'C4', 'F#4', 'Bb3' -> MIDI key; 'R' is a rest."""
    base = NOTE[name[0]]
    rest = name[1:]
    if rest.startswith("#"):
        base += 1
        rest = rest[1:]
    elif rest.startswith("b"):
        base -= 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + base


def melody(track, tpq, notes, ch=0, start=0, vel=96, off_as_note_on=False):
    """notes: list of (name, quarters). Returns the start ticks of the sounding notes and the end."""
    t = start
    starts = []
    for name, quarters in notes:
        length = int(round(quarters * tpq))
        if name != "R":
            track.note(t, max(1, length - tpq // 16), ch, key_of(name), vel, off_as_note_on)
            starts.append(t)
        t += length
    return starts, t


def lyric_events(track, starts, syllables, kind, encoding="latin-1"):
    for tick, syl in zip(starts, syllables):
        track.text(tick, syl, kind, encoding)


# Tunes: traditional melodies, in (note, length in quarters).
FRERE_JACQUES = (
    [("C4", 1), ("D4", 1), ("E4", 1), ("C4", 1)] * 2
    + [("E4", 1), ("F4", 1), ("G4", 2)] * 2
    + [("G4", .5), ("A4", .5), ("G4", .5), ("F4", .5), ("E4", 1), ("C4", 1)] * 2
    + [("C4", 1), ("G3", 1), ("C4", 2)] * 2
)

AULD_LANG_SYNE = [
    ("C4", 1),
    ("F4", 1.5), ("F4", .5), ("F4", 1), ("A4", 1),
    ("G4", 1.5), ("F4", .5), ("G4", 1), ("A4", .5), ("G4", .5),
    ("F4", 1.5), ("F4", .5), ("A4", 1), ("C5", 1),
    ("D5", 3), ("D5", 1),
    ("C5", 1.5), ("A4", .5), ("A4", 1), ("F4", 1),
    ("G4", 1.5), ("F4", .5), ("G4", 1), ("A4", .5), ("G4", .5),
    ("F4", 1.5), ("D4", .5), ("D4", 1), ("C4", 1),
    ("F4", 3),
]

AMAZING_GRACE = [
    ("D4", 1),
    ("G4", 2), ("B4", .5), ("G4", .5),
    ("B4", 2), ("A4", 1),
    ("G4", 2), ("E4", 1),
    ("D4", 2), ("D4", 1),
    ("G4", 2), ("B4", .5), ("G4", .5),
    ("B4", 2), ("A4", 1),
    ("D5", 3),
    ("R", 2), ("B4", 1),
    ("D5", 1.5), ("B4", .5), ("D5", .5), ("B4", .5),
    ("G4", 2), ("D4", 1),
    ("E4", 1.5), ("G4", .5), ("G4", .5), ("E4", .5),
    ("D4", 2), ("D4", 1),
    ("G4", 2), ("B4", .5), ("G4", .5),
    ("B4", 2), ("A4", 1),
    ("G4", 3),
]

AU_CLAIR = (
    [("C4", 1), ("C4", 1), ("C4", 1), ("D4", 1), ("E4", 2), ("D4", 2),
     ("C4", 1), ("E4", 1), ("D4", 1), ("D4", 1), ("C4", 4)] * 2
    + [("D4", 1), ("D4", 1), ("D4", 1), ("D4", 1), ("A3", 2), ("A3", 2),
       ("D4", 1), ("C4", 1), ("B3", 1), ("A3", 1), ("G3", 4)]
    + [("C4", 1), ("C4", 1), ("C4", 1), ("D4", 1), ("E4", 2), ("D4", 2),
       ("C4", 1), ("E4", 1), ("D4", 1), ("D4", 1), ("C4", 4)]
)

ODE_TO_JOY = [
    ("E4", 1), ("E4", 1), ("F4", 1), ("G4", 1), ("G4", 1), ("F4", 1), ("E4", 1), ("D4", 1),
    ("C4", 1), ("C4", 1), ("D4", 1), ("E4", 1), ("E4", 1.5), ("D4", .5), ("D4", 2),
    ("E4", 1), ("E4", 1), ("F4", 1), ("G4", 1), ("G4", 1), ("F4", 1), ("E4", 1), ("D4", 1),
    ("C4", 1), ("C4", 1), ("D4", 1), ("E4", 1), ("D4", 1.5), ("C4", .5), ("C4", 2),
]

GREENSLEEVES = [
    ("A4", 1),
    ("C5", 2), ("D5", 1), ("E5", 1.5), ("F5", .5), ("E5", 1),
    ("D5", 2), ("B4", 1), ("G4", 1.5), ("A4", .5), ("B4", 1),
    ("C5", 2), ("A4", 1), ("A4", 1.5), ("G#4", .5), ("A4", 1),
    ("B4", 2), ("G#4", 1), ("E4", 2), ("A4", 1),
    ("C5", 2), ("D5", 1), ("E5", 1.5), ("F5", .5), ("E5", 1),
    ("D5", 2), ("B4", 1), ("G4", 1.5), ("A4", .5), ("B4", 1),
    ("C5", 1.5), ("B4", .5), ("A4", 1), ("G#4", 1.5), ("F#4", .5), ("G#4", 1),
    ("A4", 3), ("A4", 2),
]

# Lyrics in the public domain (Robert Burns, 1788; John Newton, 1779; the French nursery song).
AULD_SYLLABLES = (
    "Should auld ac-quain-tance be for-got, and ne-ver brought to mind? "
    "Should auld ac-quain-tance be for-got, and auld lang syne? "
    "For auld lang syne, my dear, for auld lang syne, "
    "we'll tak a cup o' kind-ness yet, for auld lang syne."
)

GRACE_WORDS = (
    "A-ma-zing grace, how sweet the sound, that saved a wretch like me! "
    "I once was lost, but now am found, was blind, but now I see."
)

CLAIR_WORDS = (
    "Au clair de la lu-ne, mon a-mi Pier-rot, prê-te-moi ta plu-me pour é-cri-re un mot. "
    "Ma chan-del-le est mor-te, je n'ai plus de feu, ou-vre-moi ta por-te pour l'a-mour de Dieu."
)


def syllables(words):
    """Splits 'A-ma-zing grace' into karaoke syllables: 'A', 'ma', 'zing ', 'grace '."""
    out = []
    for word in words.split():
        parts = word.split("-")
        for i, p in enumerate(parts):
            out.append(p + (" " if i == len(parts) - 1 else ""))
    return out


def conductor(tpq, title, num, den_power, bpm, copyright=None, tempo_changes=()):
    t = Track()
    t.text(0, title, 0x03)
    if copyright:
        t.text(0, copyright, 0x02)
    t.timesig(0, num, den_power)
    t.tempo(0, bpm)
    for tick, new_bpm in tempo_changes:
        t.tempo(tick, new_bpm)
    return t


def setup_channel(track, ch, program, volume=100, pan=64, reverb=40, chorus=0, bank=0):
    track.add(0, [0xB0 | ch, 0, bank])
    track.add(0, [0xC0 | ch, program])
    track.add(0, [0xB0 | ch, 7, volume])
    track.add(0, [0xB0 | ch, 10, pan])
    track.add(0, [0xB0 | ch, 91, reverb])
    track.add(0, [0xB0 | ch, 93, chorus])


def drums(track, tpq, bars, beats_per_bar):
    """Bass drum on the first beat, hi-hats on every beat, the open hi-hat on the last."""
    for bar in range(bars):
        for beat in range(beats_per_bar):
            t = (bar * beats_per_bar + beat) * tpq
            if beat == 0:
                track.note(t, tpq // 2, 9, 36, 100)
            track.note(t, tpq // 4, 9, 46 if beat == beats_per_bar - 1 else 42, 70)


def frere_jacques():
    """Format 0 at 96 ticks per quarter, 4/4, running status throughout."""
    tpq = 96
    t = Track(running_status=True)
    t.text(0, "Frere Jacques", 0x03)
    t.timesig(0, 4, 2)
    t.tempo(0, 100)
    setup_channel(t, 0, 73)
    melody(t, tpq, FRERE_JACQUES, ch=0, off_as_note_on=True)
    setup_channel(t, 9, 0)
    drums(t, tpq, 16, 4)
    return smf(0, tpq, [t])


def auld_lang_syne_kar():
    """Format 1 at 192 ticks per quarter, the karaoke text-event convention: '@' header lines in
    a words track, '\\' for a new page, '/' for a new line."""
    tpq = 192
    cond = conductor(tpq, "Auld Lang Syne", 4, 2, 88, tempo_changes=[(tpq * 4 * 8, 80)])
    words = Track()
    words.text(0, "Words", 0x03)
    for line in ("@KMIDI KARAOKE FILE", "@V0100", "@LENGL", "@TAuld Lang Syne", "@TTraditional"):
        words.text(0, line)
    mel = Track()
    mel.text(0, "Melody", 0x03)
    setup_channel(mel, 0, 0)
    sy = syllables(AULD_SYLLABLES)
    starts = []
    start = tpq * 4
    while len(starts) < len(sy):
        s, start = melody(mel, tpq, AULD_LANG_SYNE, ch=0, start=start)
        starts += s
    texts = []
    for i, s in enumerate(sy):
        if i == 0:
            s = "\\" + s
        elif sy[i - 1].rstrip().endswith((",", "?", "!")) and i % 2 == 0:
            s = "/" + s
        elif sy[i - 1].rstrip().endswith("."):
            s = "\\" + s
        texts.append(s)
    lyric_events(words, starts, texts, 0x01)
    return smf(1, tpq, [cond, words, mel])


def amazing_grace():
    """Format 1 at 192 ticks per quarter, 3/4, lyrics as lyric meta events."""
    tpq = 192
    cond = conductor(tpq, "Amazing Grace", 3, 2, 72, copyright="Traditional, words by J. Newton")
    mel = Track()
    mel.text(0, "Voice", 0x03)
    setup_channel(mel, 0, 52, volume=110, reverb=64)
    starts, _ = melody(mel, tpq, AMAZING_GRACE, ch=0, start=tpq * 2)
    lyric_events(mel, starts, syllables(GRACE_WORDS), 0x05)
    return smf(1, tpq, [cond, mel])


def au_clair_utf8():
    """Format 1 at 480 ticks per quarter, 4/4, French lyrics as UTF-8 lyric events."""
    tpq = 480
    cond = conductor(tpq, "Au clair de la lune", 4, 2, 96)
    mel = Track()
    setup_channel(mel, 0, 11)
    starts, _ = melody(mel, tpq, AU_CLAIR, ch=0, start=tpq * 4)
    lyric_events(mel, starts, syllables(CLAIR_WORDS), 0x05, encoding="utf-8")
    return smf(1, tpq, [cond, mel])


def ode_to_joy_sysex():
    """Format 1 at 480 ticks per quarter, 4/4, GM and GS resets, tempo changes, a player copyright
    with the publisher behind the ';' in the 33rd place."""
    tpq = 480
    copyright = "Melody: L. van Beethoven, 1824".ljust(32)[:32] + ";2024 Test Sounds"
    cond = conductor(tpq, "Ode to Joy (Beethoven, 9th Symphony)", 4, 2, 120, copyright=copyright,
                     tempo_changes=[(tpq * 4 * 4, 126), (tpq * 4 * 6, 112)])
    cond.sysex(0, [0x7E, 0x7F, 0x09, 0x01, 0xF7])
    cond.sysex(10, [0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7])
    mel = Track(running_status=True)
    mel.text(0, "Piano", 0x03)
    setup_channel(mel, 0, 0, pan=40)
    melody(mel, tpq, ODE_TO_JOY, ch=0, start=tpq * 4)
    bass = Track()
    setup_channel(bass, 1, 32, pan=90)
    for bar in range(9):
        root = [48, 43, 48, 43, 48, 43, 48, 43, 48][bar]
        bass.note(tpq * 4 * (bar + 1), tpq * 4 - 20, 1, root, 80)
    drum = Track()
    drums(drum, tpq, 10, 4)
    return smf(1, tpq, [cond, mel, bass, drum])


def greensleeves():
    """Format 1 at 480 ticks per quarter, 3/4, a tempo change, pitch bend, a text chunk of another
    kind among the tracks (not counted in the header), a marker."""
    tpq = 480
    cond = conductor(tpq, "Greensleeves", 3, 2, 90, tempo_changes=[(tpq * 3 * 8, 84)])
    cond.meta(tpq * 3 * 8, 0x06, "Verse 2")
    mel = Track()
    mel.text(0, "Recorder", 0x03)
    setup_channel(mel, 0, 74)
    _, end = melody(mel, tpq, GREENSLEEVES, ch=0, start=tpq * 2)
    mel.add(end - tpq, [0xE0, 0x00, 0x50])
    mel.add(end, [0xE0, 0x00, 0x40])
    data = smf(1, tpq, [cond, mel], extra_chunks={1: (b"XFIH", b"not a track")})
    return data


def truncated(data):
    """The last track cut short: the file ends 40 bytes before its chunk does."""
    return data[:-40]


def smpte(data):
    """The same song claiming 25 frames of 40 ticks: a division the readers refuse."""
    return data[:12] + bytes([0xE7, 0x28]) + data[14:]


def bad_chunk():
    """Two declared tracks, of which the first chunk is of another kind: only one track plays."""
    tpq = 96
    t = Track()
    t.text(0, "After the bad chunk", 0x03)
    melody(t, tpq, FRERE_JACQUES[:8])
    body = t.data()
    out = bytearray(b"MThd" + struct.pack(">IHHH", 6, 1, 2, tpq))
    out += b"JUNK" + struct.pack(">I", 5) + b"\x01\x02\x03\x04\x05"
    out += b"MTrk" + struct.pack(">I", len(body)) + body
    return bytes(out)


def running_status_error():
    """A SysEx followed by a data byte without status."""
    tpq = 96
    body = bytearray()
    body += b"\x00\xff\x03\x0bBroken song"
    body += b"\x00\x90\x3c\x60" + b"\x60\x3c\x00"
    body += b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7"
    body += b"\x10\x3e\x60"
    body += b"\x60\x80\x3e\x40\x00\xff\x2f\x00"
    return bytes(b"MThd" + struct.pack(">IHHH", 6, 0, 1, tpq) + b"MTrk" + struct.pack(">I", len(body)) + body)


def not_midi():
    return b"RIFF\x24\x00\x00\x00RMIDdata" + bytes(16)


def corpus():
    ode = ode_to_joy_sysex()
    return {
        "frere_jacques_f0_96.mid": frere_jacques(),
        "auld_lang_syne_192.kar": auld_lang_syne_kar(),
        "amazing_grace_lyrics_192.mid": amazing_grace(),
        "au_clair_de_la_lune_utf8.mid": au_clair_utf8(),
        "ode_to_joy_sysex_480.mid": ode,
        "greensleeves_3_4_480.mid": greensleeves(),
        "bad_truncated_track.mid": truncated(ode),
        "bad_smpte_division.mid": smpte(ode),
        "bad_chunk_id.mid": bad_chunk(),
        "bad_running_status.mid": running_status_error(),
        "bad_not_midi.mid": not_midi(),
    }


def write(folder):
    os.makedirs(folder, exist_ok=True)
    for name, data in corpus().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    if len(sys.argv) > 1:
        write(sys.argv[1])
        return
    write(here)
    root = os.path.normpath(os.path.join(here, "..", "..", ".."))
    for seeds in ("fuzz/seeds/midi_reader", "fuzz/seeds/convert"):
        write(os.path.join(root, seeds))


if __name__ == "__main__":
    main()
