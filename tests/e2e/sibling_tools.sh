#!/usr/bin/env bash
# The two sibling tools on real files: diagview on a card the virtual player formatted and filled,
# its reports the same bytes as the manager's own card report, and on files that are no card;
# summidi on a floppy catalogue made from the shipped MIDI.DBF, damaged and repaired.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
BIN="${SONDESK_BINARY_DIR:?}"
PROG="${SONDESK_PROGRAM_DIR:?}"
SRC="${SONDESK_SOURCE_DIR:?}"
DIAGVIEW="$BIN/tools/diagview"
SUMMIDI="$BIN/tools/summidi"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { "$CLI" --program-dir "$PROG" --lang 1 --yes --quiet "$@"; }

"$DIAGVIEW" --help | grep -q "^Usage: diagview" || fail "diagview --help"
"$SUMMIDI" --help | grep -q "^Usage: summidi" || fail "summidi --help"

mkdir lib
songs=$(find "$SRC/../shared/corpus" -maxdepth 2 -iname '*.mid' 2>/dev/null | head -3)
[ -n "$songs" ] || songs=$(ls "$SRC"/tests/data/midi/*.mid | head -3)
# shellcheck disable=SC2086
run --on-duplicate rename --library lib library import $songs >/dev/null 2>&1 || true
n=$(ls lib/*.MF3 2>/dev/null | wc -l)
[ "$n" -ge 1 ] || fail "no song imported"
run virtual create card.img --size 16 >/dev/null
run --library lib --port virtual:card.img card format >/dev/null 2>&1 || fail "format"
run --library lib --port virtual:card.img card to --all >/dev/null 2>&1 || fail "to card"
run --library lib --image card.img card report manager.html >/dev/null 2>&1 || fail "card report"

"$DIAGVIEW" --report rep card.img >out.txt || { cat out.txt; fail "diagview"; }
grep -q "file system          FAT16" out.txt || fail "boot sector"
grep -q "partition 0: type 0x0" out.txt || fail "partition table"
grep -q "songs in INDEX0.DAT  $n\$" out.txt || fail "INDEX0 count: $(grep INDEX0 out.txt)"
grep -q "song files           $n\$" out.txt || fail "song files"
[ -s rep/FormatFresh.html ] || fail "FormatFresh.html"
cmp rep/ExtendedInfo.html manager.html || fail "ExtendedInfo.html differs from the manager's report"
grep -q "<p>$n items in index0</p>" rep/ExtendedInfo.html || fail "items in index0"
[ -e rep/INDEX0.DAT ] && fail "the report folder got a copy of INDEX0.DAT"

head -c 100000 /dev/zero >blank.img
set +e
"$DIAGVIEW" blank.img >/dev/null 2>err.txt; rc=$?
set -e
[ $rc -eq 1 ] || fail "blank image: exit $rc"
grep -q "no FAT16" err.txt || fail "blank image: $(cat err.txt)"

# summidi: the shipped catalogue is whole; a copy with a wrong count and no end mark is repaired.
cp "$PROG/MIDI.DBF" SUMMIDI.DAT
"$SUMMIDI" SUMMIDI.DAT >sum.txt || { cat sum.txt; fail "the shipped catalogue is not whole"; }
python3 - SUMMIDI.DAT <<'PY'
import sys
p = sys.argv[1]
b = bytearray(open(p, "rb").read())
b[4:8] = (12345).to_bytes(4, "little")
if b[-1] == 0x1A:
    b = b[:-1]
open(p, "wb").write(b)
PY
cp SUMMIDI.DAT damaged.dat
set +e
"$SUMMIDI" SUMMIDI.DAT >sum.txt; rc=$?
set -e
[ $rc -eq 1 ] || { cat sum.txt; fail "repair exit $rc"; }
cmp -s SUMMIDI.DAT.bak damaged.dat || fail "backup"
cmp -s SUMMIDI.DAT "$PROG/MIDI.DBF" || fail "repaired file differs from the whole catalogue"
set +e
"$SUMMIDI" no-such-file >/dev/null; [ $? -eq 3 ] || fail "missing file"
"$SUMMIDI" >/dev/null 2>&1; [ $? -eq 64 ] || fail "usage"
set -e
echo "sibling tools: ok"
