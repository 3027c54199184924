#!/usr/bin/env bash
# `fs put` of many files in one call: every file lands whole, mtools reads them back, the image
# stays a clean FAT16; a malformed item stops the command before anything is written.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
PROG=${SONDESK_PROGRAM_DIR:?SONDESK_PROGRAM_DIR names the program folder (MBRPBR.DAT)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { "$CLI" --program-dir "$PROG" --lang 1 --quiet "$@"; }

truncate -s 64M "$work/card.img"
run --yes --image "$work/card.img" card format >/dev/null
for n in 1 2 3; do head -c $((n * 7000 + 123)) /dev/urandom > "$work/f$n.bin"; done
run --image "$work/card.img" fs put "" 00001.MF3="$work/f1.bin" 00002.MF3="$work/f2.bin" 00003.MF3="$work/f3.bin" \
  || fail "put of three files"
offset=$(( $(run --image "$work/card.img" fs info | sed -n 's/^PbrLba: //p') * 512 ))
for n in 1 2 3; do
  MTOOLS_SKIP_CHECK=1 mcopy -n -i "$work/card.img@@$offset" "::/0000$n.MF3" "$work/back$n.bin"
  cmp "$work/f$n.bin" "$work/back$n.bin" || fail "file $n differs"
done
dd if="$work/card.img" of="$work/part.img" bs=512 skip=$((offset / 512)) status=none
fsck.fat -n "$work/part.img" >"$work/fsck.log" 2>&1 || { cat "$work/fsck.log"; fail "fsck.fat"; }
# The one-file form still works, and a malformed list writes nothing.
run --image "$work/card.img" fs put "" 00004.MF3 "$work/f1.bin" || fail "one-file form"
set +e
run --image "$work/card.img" fs put "" 00005.MF3="$work/f1.bin" 00006.MF3 2>/dev/null
[ $? -eq 2 ] || fail "malformed list: exit 2"
set -e
run --image "$work/card.img" fs ls "" | grep -q '^00005.MF3' && fail "a file of a malformed call was written"

# Clusters that follow one another are written together: a file whose chain fills a hole and goes
# on elsewhere, and one that ends exactly on a cluster's end, must still read back whole.
clusterBytes=$(run --image "$work/card.img" fs info | sed -n 's/^ClusterBytes: //p')
run --image "$work/card.img" fs put 5 A.MF3="$work/f1.bin" B.MF3="$work/f2.bin" C.MF3="$work/f3.bin"
run --image "$work/card.img" fs rm 5 B.MF3
head -c $((clusterBytes * 9 + 17)) /dev/urandom > "$work/big.bin"
head -c $((clusterBytes * 3)) /dev/urandom > "$work/even.bin"
run --image "$work/card.img" fs put 5 D.MF3="$work/big.bin" E.MF3="$work/even.bin" || fail "put into a hole"
for n in D:big E:even A:f1 C:f3; do
  MTOOLS_SKIP_CHECK=1 mcopy -n -o -i "$work/card.img@@$offset" "::/5/${n%%:*}.MF3" "$work/back.bin"
  cmp "$work/${n#*:}.bin" "$work/back.bin" || fail "${n%%:*}.MF3 differs"
done
dd if="$work/card.img" of="$work/part.img" bs=512 skip=$((offset / 512)) status=none
fsck.fat -n "$work/part.img" >"$work/fsck.log" 2>&1 || { cat "$work/fsck.log"; fail "fsck.fat after the hole"; }
echo ok
