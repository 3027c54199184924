#!/usr/bin/env bash
# A karaoke host's day: songs imported into the library, copied onto a virtual-player card and onto
# a card-reader folder, copied back, and the catalogue recovered. Both cards must carry the same
# index files, the image must stay a clean FAT16, and songs must come back byte for byte.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
SRC="${SONDESK_SOURCE_DIR:?}"
PROG="${SONDESK_PROGRAM_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir lib back card
common=(--program-dir "$PROG" --lang 1 --yes --quiet)

# Two files of the test songs are damaged on purpose: the import reports them and goes on.
"$CLI" "${common[@]}" --library lib library import "$SRC"/tests/data/midi/*.kar "$SRC"/tests/data/midi/*.mid \
  >import.log 2>&1 || true
count=$(ls lib/*.MF3 | wc -l)
[ "$count" -ge 6 ] || fail "only $count songs imported"
[ "$("$CLI" "${common[@]}" --library lib library list | wc -l)" -eq "$count" ] || fail "library list"

"$CLI" virtual create card.img --size 32 >/dev/null
"$CLI" "${common[@]}" --library lib --port virtual:card.img card format >/dev/null 2>&1 || fail "format"
"$CLI" "${common[@]}" --library lib --port virtual:card.img card to --all >/dev/null 2>&1 || fail "to card (player)"
"$CLI" "${common[@]}" --library lib --card card card to --all >/dev/null 2>&1 || fail "to card (reader)"
[ "$("$CLI" "${common[@]}" --port virtual:card.img card list | wc -l)" -eq "$count" ] || fail "card list"

for f in INDEX0 INDEX1 INDEX2 INDEX3 INDEX4 ALPHA0 ALPHA1 ALPHA2; do
  "$CLI" "${common[@]}" --port virtual:card.img fs get "" "$f.DAT" "img_$f.DAT" || fail "get $f"
  cmp "img_$f.DAT" "card/$f.DAT" || fail "$f.DAT differs between the two cards"
done

# The card's partition is a clean FAT16 for other systems too.
if command -v fsck.fat >/dev/null; then
  lba=$("$CLI" "${common[@]}" --port virtual:card.img fs info | sed -n 's/^PbrLba: //p')
  dd if=card.img of=part.img bs=512 skip="$lba" status=none
  fsck.fat -n part.img >fsck.log 2>&1 || { cat fsck.log; fail "fsck.fat"; }
fi

# Songs come back as the library has them.
numbers=$("$CLI" "${common[@]}" --port virtual:card.img card list | cut -f1 | tr '\n' ' ')
# shellcheck disable=SC2086
"$CLI" "${common[@]}" --library back --port virtual:card.img card from $numbers >/dev/null 2>&1 || fail "from card"
for f in back/*.MF3; do
  cmp "$f" "lib/$(basename "$f")" || fail "$(basename "$f") came back changed"
done
[ "$(ls back/*.MF3 | wc -l)" -eq "$count" ] || fail "not every song came back"

# Recovery rebuilds the title index from the songs themselves.
"$CLI" "${common[@]}" --port virtual:card.img card recover >/dev/null 2>&1 || fail "recover"
"$CLI" "${common[@]}" --port virtual:card.img fs get "" INDEX0.DAT recovered_INDEX0.DAT
[ "$(stat -c %s recovered_INDEX0.DAT)" -eq "$(stat -c %s card/INDEX0.DAT)" ] || fail "recovered index size"
echo "catalogue round trip: ok ($count songs)"
