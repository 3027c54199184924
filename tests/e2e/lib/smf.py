"""Small standard MIDI files of the end-to-end scripts' own: one track, 480 ticks a quarter."""
import struct


def vlq(n):
    """A variable-length quantity, as delta times and meta lengths are written."""
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def write(path, events):
    """Writes a format-0 file whose one track holds `events` (delta-timed) and its end."""
    track = events + vlq(0) + b"\xff\x2f\x00"
    data = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 480) + b"MTrk" + struct.pack(">I", len(track)) + track
    with open(path, "wb") as f:
        f.write(data)
