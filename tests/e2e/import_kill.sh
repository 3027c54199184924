#!/usr/bin/env bash
# A large import killed at random moments: whatever the moment, the library holds only whole songs
# (each decodes, and its size field is its length), and an import run to its end afterwards gives
# every song.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
SRC=${SONDESK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }

corpus="$SRC/../shared/corpus"
rounds=1
[ -d "$corpus" ] || { corpus="$SRC/tests/data/midi"; rounds=6; }
mkdir -p "$work/src"
n=0
for round in $(seq "$rounds"); do
  while IFS= read -r f; do
    case "$(basename "$f")" in bad_*) continue ;; esac
    n=$((n + 1))
    cp "$f" "$work/src/song$n.${f##*.}"
  done < <(find "$corpus" -type f \( -iname '*.mid' -o -iname '*.kar' \) | sort)
done
[ "$n" -ge 30 ] || fail "too few songs ($n)"

check_whole() {
  local lib=$1 f size field
  for f in "$lib"/*.MF3; do
    [ -e "$f" ] || continue
    size=$(stat -c %s "$f")
    field=$(od -An -tu4 -j4 -N4 "$f" | tr -d ' ')
    [ "$size" = "$field" ] || fail "$(basename "$f"): $size bytes, header says $field"
    "$CLI" --quiet mf3 unpack "$f" "$work/payload.bin" >/dev/null || fail "$(basename "$f") does not decode"
  done
}

import() { exec "$CLI" --lang 1 --yes --quiet --on-duplicate replace --library "$1" library import "$work"/src/*; }

mkdir -p "$work/ref"
(import "$work/ref" >/dev/null 2>&1) || true
whole=$(ls "$work/ref" | grep -c '\.MF3$' || true)
[ "$whole" -ge 30 ] || fail "the reference import gave $whole songs"

# Kills early, in the middle and late; the moments differ from run to run with the machine's load,
# which is what a user's kill does as well.
lib="$work/lib"
mkdir -p "$lib"
for delay in 0.5 1.2 2.5; do
  # The program itself is killed, not a shell around it.
  (import "$lib" >/dev/null 2>&1) &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  check_whole "$lib"
  echo "killed after ${delay}s: $(ls "$lib" | grep -c '\.MF3$' || true) whole songs"
done
# Run again to the end: every song comes in, byte for byte as in one undisturbed run, and the
# leftovers of the killed runs never count as songs.
(import "$lib" >/dev/null 2>&1) || true
check_whole "$lib"
[ "$(ls "$lib" | grep -c '\.MF3$')" -eq "$whole" ] || fail "not every song after the last run"
for f in "$work/ref"/*.MF3; do cmp -s "$f" "$lib/$(basename "$f")" || fail "$(basename "$f") differs"; done
echo "ok"
