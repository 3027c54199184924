#!/usr/bin/env bash
# A karaoke host's day: songs imported into the library, copied onto a virtual-player card and onto
# a card-reader folder, copied back, and the catalogue recovered. Both cards must carry the same
# eight index files, the image must stay a clean FAT16, songs must come back byte for byte, and a
# recovery must write the index files again as the transfer wrote them (songs of equal title may
# change places among themselves).
set -euo pipefail

SRC=${SONDESK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
. "$(dirname "$0")/lib/common.sh"
mkdir lib back card gen
run() { "$CLI" --program-dir "$PROG" --lang 1 --yes --quiet "$@"; }
INDEX_FILES="INDEX0 INDEX1 INDEX2 INDEX3 INDEX4 ALPHA0 ALPHA1 ALPHA2"

# Besides the project's test songs, a dozen small songs of our own with lyrics, so that the card
# holds enough songs for several groups.
python3 - gen <<'PY'
import sys
from smf import vlq, write
for i in range(12):
    name = f"Song {i:02d}".encode()
    ev = vlq(0) + b"\xff\x03" + vlq(len(name)) + name + vlq(0) + b"\xff\x51\x03\x07\xa1\x20"
    for j in range(8 + i):
        key = 60 + (i * j) % 24
        ev += vlq(0) + b"\xff\x05\x03la " + vlq(0) + bytes([0x90, key, 100]) + vlq(240) + bytes([0x80, key, 0])
    write(f"{sys.argv[1]}/Song{i:02d}.mid", ev)
PY

# Some of the project's test songs are damaged on purpose: the import reports them and goes on.
run --on-duplicate rename --library lib library import "$SRC"/tests/data/midi/*.kar "$SRC"/tests/data/midi/*.mid \
  gen/*.mid >import.log 2>&1 || true
count=$(ls lib/*.MF3 | wc -l)
[ "$count" -ge 18 ] || fail "only $count songs imported"
# Performers and categories, so that the grouped indexes hold several groups.
i=0
for f in lib/*.MF3; do
  run --library lib library edit "$f" --performer "Singer $((i % 3))" --category "Style $((i % 4))" \
    >/dev/null 2>&1 || fail "library edit $f"
  i=$((i + 1))
done
[ "$(run --library lib library list | wc -l)" -eq "$count" ] || fail "library list"

run virtual create card.img --size 32 >/dev/null
run --library lib --port virtual:card.img card format >/dev/null 2>&1 || fail "format"
run --library lib --port virtual:card.img card to --all >/dev/null 2>&1 || fail "to card (player)"
run --library lib --card card card to --all >/dev/null 2>&1 || fail "to card (reader)"
[ "$(run --port virtual:card.img card list | wc -l)" -eq "$count" ] || fail "card list"
[ "$(stat -c %s card/INDEX0.DAT)" -eq $(((count + 1) * 32)) ] || fail "INDEX0.DAT does not list every song"

for f in $INDEX_FILES; do
  run --port virtual:card.img fs get "" "$f.DAT" "img_$f.DAT" || fail "get $f"
  cmp "img_$f.DAT" "card/$f.DAT" || fail "$f.DAT differs between the two cards"
done

# The card's partition is a clean FAT16 for other systems too.
lba=$(run --port virtual:card.img fs info | sed -n 's/^PbrLba: //p')
sectors=$(run --port virtual:card.img fs info | sed -n 's/^TotalSectors: //p')
dd if=card.img of=part.img bs=512 skip="$lba" count="$sectors" status=none
fsck.fat -n part.img >fsck.log 2>&1 || { cat fsck.log; fail "fsck.fat"; }

# Songs come back as the library has them.
numbers=$(run --port virtual:card.img card list | cut -f1 | tr '\n' ' ')
# shellcheck disable=SC2086
run --library back --port virtual:card.img card from $numbers >/dev/null 2>&1 || fail "from card"
for f in back/*.MF3; do
  cmp "$f" "lib/$(basename "$f")" || fail "$(basename "$f") came back changed"
done
[ "$(ls back/*.MF3 | wc -l)" -eq "$count" ] || fail "not every song came back"

# The same index files as two cards' catalogues: byte for byte, except that songs of equal title
# (and group) may stand in another order among themselves.
same_catalogue() {
  python3 - "$1" "$2" <<'PY' || fail "$3"
import sys
def runs(data):
    # Records of equal text (bytes 2-31) form one run whose order does not count.
    recs = [data[i:i + 32] for i in range(0, len(data), 32)]
    out, i = [], 0
    while i < len(recs):
        j = i
        while j < len(recs) and recs[j][2:] == recs[i][2:]:
            j += 1
        out.append(sorted(recs[i:j]))
        i = j
    return out
a, b = sys.argv[1], sys.argv[2]
for f in ["INDEX0", "INDEX1", "INDEX2", "INDEX3", "INDEX4", "ALPHA0", "ALPHA1", "ALPHA2"]:
    x, y = open(f"{a}/{f}.DAT", "rb").read(), open(f"{b}/{f}.DAT", "rb").read()
    if x != y and (len(x) != len(y) or runs(x) != runs(y)):
        sys.exit(f"{f}.DAT differs")
PY
}

# Recovery rebuilds the catalogue from the songs themselves, on both cards.
mkdir transferred recovered
cp card/*.DAT transferred/
run --port virtual:card.img card recover >/dev/null 2>&1 || fail "recover (player)"
for f in $INDEX_FILES; do run --port virtual:card.img fs get "" "$f.DAT" "recovered/$f.DAT" || fail "get $f"; done
same_catalogue transferred recovered "the player's recovered catalogue differs from the transferred one"
run --card card card recover >/dev/null 2>&1 || fail "recover (reader)"
same_catalogue transferred card "the reader's recovered catalogue differs from the transferred one"
dd if=card.img of=part.img bs=512 skip="$lba" count="$sectors" status=none
fsck.fat -n part.img >fsck.log 2>&1 || { cat fsck.log; fail "fsck.fat after the recovery"; }
echo "catalogue round trip: ok ($count songs)"
