#!/usr/bin/env bash
# An unkind world against the card and the library: damaged outside files, a card of another system,
# a pulled cable with --yes, two writers at once, and the cable cut at sampled sector writes of every
# card write. Nothing may cost a song, and nothing may fail with exit status 0.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

. "$(dirname "$0")/lib/common.sh"
mkdir -p lib gen win
run() { "$CLI" --program-dir "$PROG" --lang 1 --quiet "$@"; }

# Small songs of our own, converted into the library.
python3 - gen <<'PY'
import sys
from smf import vlq, write
for i in range(6):
    name = f"Tune {i}".encode()
    ev = vlq(0) + b"\xff\x03" + vlq(len(name)) + name
    for j in range(6 + i):
        key = 60 + (i * 3 + j) % 12
        ev += vlq(0) + bytes([0x90, key, 100]) + vlq(240) + bytes([0x80, key, 0])
    write(f"{sys.argv[1]}/Tune{i}.mid", ev)
PY
run --library lib --yes library import gen/*.mid >/dev/null 2>&1 || fail "import"
songs=(lib/*.MF3)
[ "${#songs[@]}" -eq 6 ] || fail "six songs in the library"

# --- A settings file that is a device or a pipe --------------------------------------------------
mkdir -p zero fifo
ln -s /dev/zero zero/Sondesk.INI
mkfifo fifo/Sondesk.INI
for d in zero fifo; do
  timeout 20 "$CLI" --windir "$d" settings get Version language >/dev/null 2>err.txt || fail "$d settings get"
  grep -q "not a regular file" err.txt || fail "$d: no word about the settings file"
  set +e; timeout 20 "$CLI" --windir "$d" settings set Version language 2 2>/dev/null; rc=$?; set -e
  [ "$rc" -eq 1 ] || fail "$d settings set exit $rc"
done
[ -L zero/Sondesk.INI ] && [ -p fifo/Sondesk.INI ] || fail "the settings file was replaced"

# --- --yes never formats a card that does not mount -----------------------------------------------
mkfs.fat -F 32 -C f32.img 40000 >/dev/null
cp f32.img f32.before
set +e; run --yes --image f32.img card list >/dev/null 2>err.txt; rc=$?; set -e
[ "$rc" -eq 1 ] || fail "FAT32 image: exit $rc"
cmp -s f32.img f32.before || fail "--yes changed a FAT32 image"
grep -q "card format" err.txt || fail "no advice to format"

# --- A boot sector with 0 sectors per cluster -----------------------------------------------------
run virtual create card.img --size 16 >/dev/null
run --yes --port virtual:card.img card format >/dev/null 2>&1 || fail "format"
cp card.img blank.img
pbr=$(run --port virtual:card.img fs info | sed -n 's/^PbrLba: //p')
cp card.img zero-spc.img
printf '\x00' | dd of=zero-spc.img bs=1 seek=$((pbr * 512 + 13)) conv=notrunc status=none
cp zero-spc.img zero-spc.before
set +e; run --yes --port virtual:zero-spc.img card list >/dev/null 2>err.txt; rc=$?; set -e
[ "$rc" -eq 1 ] && grep -q "0 sectors per cluster" err.txt || fail "sectors per cluster 0 accepted"
cmp -s zero-spc.img zero-spc.before || fail "a card with 0 sectors per cluster was written"

# --- Damaged songs never reach the card ------------------------------------------------------------
mkdir -p badlib
cp "${songs[0]}" badlib/GOOD.MF3
: > badlib/EMPTY.MF3
python3 - "${songs[0]}" badlib <<'PY'
import sys
d = bytearray(open(sys.argv[1], "rb").read())
m = bytearray(d); m[1:2] = b"X"; open(sys.argv[2] + "/MARK.MF3", "wb").write(m)
h = bytearray(d); h[512:516] = b"\xff\xff\xff\xff"; open(sys.argv[2] + "/HUGE.MF3", "wb").write(h)
PY
cp blank.img bad.img
set +e; run --yes --library badlib --port virtual:bad.img card to --all >out.txt 2>err.txt; rc=$?; set -e
[ "$rc" -eq 1 ] || fail "damaged songs: exit $rc"
[ "$(run --port virtual:bad.img card list | wc -l)" -eq 1 ] || fail "a damaged song reached the card"
for n in EMPTY MARK HUGE; do grep -q "$n.MF3 is not a whole MF3 song" err.txt || fail "$n not named"; done

# --- The cable pulled with --yes: Retry is answered a few times, then the command fails ------------
cp blank.img pulled.img
start=$(date +%s)
set +e; timeout 90 "$CLI" --program-dir "$PROG" --quiet --yes --port "virtual:pulled.img?faults=unplug@8000" \
  card list >/dev/null 2>&1; rc=$?; set -e
[ "$rc" -eq 1 ] || fail "pulled cable: exit $rc"
[ $(($(date +%s) - start)) -lt 60 ] || fail "pulled cable with --yes took a minute or more"

# --- Two writers at once ---------------------------------------------------------------------------
for i in 1 2 3 4 5 6; do
  "$CLI" settings set Settings Top "$i" & a=$!
  "$CLI" settings set Settings Left "$((i + 10))" & b=$!
  wait $a $b || fail "settings writers"
  [ "$("$CLI" settings get Settings Top)" = "$i" ] && [ "$("$CLI" settings get Settings Left)" = "$((i + 10))" ] ||
    fail "two settings writers lost a value"
done
cp blank.img two.img
mkdir -p libA libB
cp "${songs[0]}" "${songs[1]}" "${songs[2]}" libA/
cp "${songs[3]}" "${songs[4]}" "${songs[5]}" libB/
set +e
SONDESK_LOCK_WAIT_MS=0 run --yes --library libA --port virtual:two.img card to --all >/dev/null 2>errA.txt & a=$!
SONDESK_LOCK_WAIT_MS=0 run --yes --library libB --port virtual:two.img card to --all >/dev/null 2>errB.txt & b=$!
wait $a; ra=$?; wait $b; rb=$?
set -e
expected=0
[ "$ra" -eq 0 ] && expected=$((expected + 3))
[ "$rb" -eq 0 ] && expected=$((expected + 3))
[ "$ra" -eq 0 ] || grep -q "being changed by another" errA.txt || fail "writer A failed without the lock's word"
[ "$rb" -eq 0 ] || grep -q "being changed by another" errB.txt || fail "writer B failed without the lock's word"
[ "$(run --port virtual:two.img card list | wc -l)" -eq "$expected" ] || fail "two writers: the list lost songs"

# --- The cable cut at sampled sector writes of every card write ------------------------------------
# The reference card: four songs and a playlist.
cp blank.img ref.img
run --yes --library libA --port virtual:ref.img card to --all >/dev/null 2>&1 || fail "reference card"
run --yes --library libB --port virtual:ref.img card to "libB/$(basename "${songs[3]}")" >/dev/null 2>&1 || fail "reference song"
run --yes --port virtual:ref.img playlist add 1 0 1 >/dev/null 2>&1 || fail "reference playlist"

index_set() {  # the eight index files of a card image, as one digest
  local img=$1 out=""
  for f in INDEX0 INDEX1 INDEX2 INDEX3 INDEX4 ALPHA0 ALPHA1 ALPHA2; do
    run --port "virtual:$img" fs get "" "$f.DAT" "$img.$f" >/dev/null 2>&1 || { echo missing; return; }
    out+=$(md5sum <"$img.$f")
  done
  echo "$out" | md5sum
}
# Each command runs once whole to count its sector writes (and to give the "all new" index set),
# then on fresh copies cut right after the first, the middle and the last of them.
commands=(
  "--library libB card to libB/$(basename "${songs[4]}")"
  "card delete 1"
  "card recover"
  "card format"
  "playlist add 1 2"
  "options set Echo SHORT"
)
old_set=$(index_set ref.img)
ref_numbers=$(run --port virtual:ref.img card list | cut -f1)
tried=0
survived=0
whole_song() {  # whether song N's file on image IMG is there and decodes
  local img=$1 n=$2
  run --port "virtual:$img" fs get "$((n % 31))" "$(printf %05d.MF3 "$n")" "song.$n" >/dev/null 2>&1 &&
    run mf3 unpack "song.$n" "song.$n.raw" >/dev/null 2>&1
}
for cmd in "${commands[@]}"; do
  cp ref.img whole.img
  # shellcheck disable=SC2086
  run --yes --port "virtual:whole.img?stats=stats.txt" $cmd >/dev/null 2>&1 || fail "whole run of: $cmd"
  total=$(sed -n 's/^writesStored //p' stats.txt)
  new_set=$(index_set whole.img)
  new_numbers=$(run --port virtual:whole.img card list | cut -f1)
  for at in 1 $((total / 2)) "$total"; do
    [ "$at" -ge 1 ] || continue
    tried=$((tried + 1))
    cp ref.img cut.img
    # shellcheck disable=SC2086
    run --no --port "virtual:cut.img?faults=cut@$at" $cmd >/dev/null 2>&1 || true
    why=""
    if run --no --port virtual:cut.img card list >list.txt 2>err.txt; then
      lba=$(run --port virtual:cut.img fs info | sed -n 's/^PbrLba: //p')
      sectors=$(run --port virtual:cut.img fs info | sed -n 's/^TotalSectors: //p')
      dd if=cut.img of=part.img bs=512 skip="$lba" count="$sectors" status=none
      fsck.fat -n part.img >fsck.txt 2>&1 || true
      if grep -Eqi "cross-linked|shared|free cluster|beyond" fsck.txt; then why="fsck: $(grep -Ei 'cross|shared|free cluster|beyond' fsck.txt | head -1)"; fi
      for n in $(cut -f1 list.txt); do
        whole_song cut.img "$n" || why="$why listed song $n is missing or cut"
      done
      set_now=$(index_set cut.img)
      [ "$cmd" = "card format" ] || [ "$set_now" = "$old_set" ] || [ "$set_now" = "$new_set" ] || why="$why mixed index set"
      if [ "$cmd" != "card format" ]; then
        run --yes --port virtual:cut.img card recover >/dev/null 2>&1 || why="$why recovery failed"
        listed=$(run --port virtual:cut.img card list | cut -f1)
        for n in $ref_numbers $new_numbers; do
          if whole_song cut.img "$n" && ! grep -qx "$n" <<<"$listed"; then why="$why song $n not recovered"; fi
        done
      fi
    else
      grep -Eq "FAT16|format" err.txt || why="does not mount and is not offered the format: $(tail -1 err.txt)"
    fi
    if [ -z "$why" ]; then
      survived=$((survived + 1))
    else
      echo "cut after write $at of $total in '$cmd': $why" >&2
    fi
  done
done
echo "cable cuts: $tried tried, $survived survived"
[ "$survived" -eq "$tried" ] || fail "$((tried - survived)) cable cuts cost something"
echo "nothing lost: ok"
