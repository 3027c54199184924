#!/usr/bin/env bash
# `library list` prints each song's texts in UTF-8 whatever they hold: Windows-1252 letters, the
# player's own letter codes (below 32), a tab code among them, a euro sign, a DEL, a title longer
# than a list keeps, an empty text. Printable ASCII goes through as it is; the rest is converted.
set -euo pipefail

CLI=${SONDESK_CLI:?SONDESK_CLI names the sondesk-cli to test}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache"
mkdir -p "$HOME" "$work/lib"

# MF3 headers of our own: the magic, then the texts at their places (title 122, performer 218,
# genre 250), 32 bytes each.
python3 - "$work/lib" <<'EOF'
import sys
folder = sys.argv[1]
def song(name, title, performer, genre):
    header = bytearray(512)
    header[0:4] = b"_MF3"
    for offset, text in ((122, title), (218, performer), (250, genre)):
        header[offset:offset + 32] = (text + b"\0" * 32)[:32]
    open(f"{folder}/{name}", "wb").write(bytes(header) + b"\0" * 64)
song("S0.MF3", b"Perch\xe9 cos\xec", b"M\x05l\x01", b"Pop\x7f")
song("S1.MF3", b"Plain title", b"Tab\there", b"\x80uro")
song("S2.MF3", b"x" * 40, b"", b"G")
EOF

"$CLI" --library "$work/lib" --windir "$work/windir" --quiet library list >"$work/list.txt" || fail "library list"
printf '%s\n' \
  "0	$work/lib/S0.MF3	Perché così	Mélà	Pop"$'\x7f' \
  "1	$work/lib/S1.MF3	Plain title	TabÌhere	€uro" \
  "2	$work/lib/S2.MF3	xxxxxxxxxxxxxxxxxxxxxxxxxxx		G" >"$work/want.txt"
cmp "$work/want.txt" "$work/list.txt" || { diff "$work/want.txt" "$work/list.txt" || true; fail "the listed texts"; }
echo "library list: texts of every kind printed as UTF-8"
