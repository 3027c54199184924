#!/usr/bin/env python3
"""Writes the sample song catalogue MIDI.DBF (dBASE III) for the program folder.

The catalogue names songs by CODICE, the song file's name without folder and extension in upper
case followed by ".MID". Every song here is public domain or traditional. The performers and
categories are the ones Artist.dat and genere.dat start with, so editing an imported song's
information asks nothing for them.

    python3 make_midi_dbf.py [OUT]        (default: ../data/MIDI.DBF beside this script)

Standard library only; the output is the same on every run (fixed date, fixed order).
"""

import os
import struct
import sys

FIELDS = [  # name, length (all character fields)
    ("CODICE", 40),
    ("TITOLO", 40),
    ("AUTORE", 40),
    ("INTERPRETE", 40),
    ("EDITORE", 30),
    ("GENERE", 20),
]

SONGS = [
    ("AMAZING_GRACE.MID", "AMAZING GRACE", "JOHN NEWTON", "TRADITIONAL", "PUBLIC DOMAIN", "GOSPEL"),
    ("GREENSLEEVES.MID", "GREENSLEEVES", "ANONYMOUS", "TRADITIONAL", "PUBLIC DOMAIN", "FOLK"),
    ("OH_SUSANNA.MID", "OH! SUSANNA", "STEPHEN FOSTER", "TRADITIONAL", "PUBLIC DOMAIN", "FOLK"),
    ("HOME_ON_THE_RANGE.MID", "HOME ON THE RANGE", "DANIEL E. KELLEY", "TRADITIONAL", "PUBLIC DOMAIN",
     "COUNTRY"),
    ("SCARBOROUGH_FAIR.MID", "SCARBOROUGH FAIR", "TRADITIONAL", "TRADITIONAL", "PUBLIC DOMAIN", "FOLK"),
    ("DANNY_BOY.MID", "DANNY BOY", "FREDERIC WEATHERLY", "TRADITIONAL", "PUBLIC DOMAIN", "IRISH"),
    ("JINGLE_BELLS.MID", "JINGLE BELLS", "JAMES LORD PIERPONT", "CHORUS", "PUBLIC DOMAIN", "CHRISTMAS"),
    ("SILENT_NIGHT.MID", "SILENT NIGHT", "FRANZ XAVER GRUBER", "CHORUS", "PUBLIC DOMAIN", "CHRISTMAS"),
    ("AULD_LANG_SYNE.MID", "AULD LANG SYNE", "ROBERT BURNS", "TRADITIONAL", "PUBLIC DOMAIN", "SCOTTISH"),
    ("O_SOLE_MIO.MID", "'O SOLE MIO", "EDUARDO DI CAPUA", "ENRICO CARUSO", "PUBLIC DOMAIN", "NEAPOLITAN"),
    ("FUNICULI_FUNICULA.MID", "FUNICULI FUNICULA", "LUIGI DENZA", "TRADITIONAL", "PUBLIC DOMAIN", "NEAPOLITAN"),
    ("SANTA_LUCIA.MID", "SANTA LUCIA", "TEODORO COTTRAU", "TRADITIONAL", "PUBLIC DOMAIN", "NEAPOLITAN"),
    ("FRERE_JACQUES.MID", "FRERE JACQUES", "TRADITIONAL", "CHILDREN'S CHORUS", "PUBLIC DOMAIN", "CHILDREN"),
    ("CLEMENTINE.MID", "OH MY DARLING, CLEMENTINE", "PERCY MONTROSE", "TRADITIONAL", "PUBLIC DOMAIN",
     "COUNTRY"),
    ("WHEN_THE_SAINTS.MID", "WHEN THE SAINTS GO MARCHING IN", "TRADITIONAL", "TRADITIONAL", "PUBLIC DOMAIN",
     "GOSPEL"),
]

# A fixed last-update date keeps the file the same on every run.
DATE = (2026 - 1900, 1, 1)


def field_bytes(text, length):
    data = text.encode("cp1252")
    if len(data) > length:
        raise ValueError("%r is longer than its field (%d)" % (text, length))
    return data.ljust(length, b" ")


def build(songs=SONGS, fields=FIELDS):
    record_length = 1 + sum(length for _, length in fields)
    header_length = 32 + 32 * len(fields) + 1
    out = bytearray()
    out += struct.pack("<B3BIHH20x", 0x03, *DATE, len(songs), header_length, record_length)
    for name, length in fields:
        out += struct.pack("<11sc4xBB14x", name.encode("ascii"), b"C", length, 0)
    out += b"\x0d"
    for song in songs:
        out += b" "  # not deleted
        for (_, length), value in zip(fields, song):
            out += field_bytes(value, length)
    out += b"\x1a"
    return bytes(out)


def main(argv):
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) > 1 else os.path.join(here, "..", "data", "MIDI.DBF")
    with open(target, "wb") as f:
        f.write(build())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
