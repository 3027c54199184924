#!/usr/bin/env bash
# The songbook from the command line: a card-reader card filled from the project's test songs, then
# `export --songbook`; every song of `card list` must stand once in each part with its number, and
# a bad target must fail without leaving a file.
set -euo pipefail
CLI=${SONDESK_CLI:?SONDESK_CLI names the sondesk-cli to test}
SRC=${SONDESK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
PROG=${SONDESK_PROGRAM_DIR:?SONDESK_PROGRAM_DIR names the program folder}
command -v pdftotext >/dev/null || { echo "pdftotext missing (poppler-utils)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
mkdir lib card
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { "$CLI" --program-dir "$PROG" --lang 1 --yes --quiet "$@"; }

run --on-duplicate rename --library lib library import "$SRC"/tests/data/midi/*.kar "$SRC"/tests/data/midi/*.mid \
  >/dev/null 2>&1 || true
run --library lib --card card card format >/dev/null 2>&1 || true
run --library lib --card card card to --all >/dev/null 2>&1 || fail "to card"
run --card card card list >list.txt
songs=$(wc -l <list.txt)
[ "$songs" -ge 5 ] || fail "only $songs songs on the card"

run --card card export --songbook book.pdf || fail "export --songbook"
pdftotext -layout book.pdf book.txt
part2=$(grep -n "Songs by performer" book.txt | head -1 | cut -d: -f1)
[ -n "$part2" ] || fail "no second part"
head -n $((part2 - 1)) book.txt >part1.txt
tail -n +"$part2" book.txt >part2.txt
while IFS=$'\t' read -r number title _; do
  for part in part1.txt part2.txt; do
    n=$({ grep -F -- "$title" "$part" || true; } | grep -cE "^ *$number " || true)
    [ "$n" -eq 1 ] || fail "song $number '$title' stands $n times in $part"
  done
done <list.txt

# The library's book: every library song in both parts, numbered by its place in the list.
run --library lib export --songbook lib.pdf --list library || fail "export --songbook --list library"
pdftotext -layout lib.pdf lib.txt
run --library lib library list >library.txt
place=0
while IFS=$'\t' read -r _ _ title _; do
  place=$((place + 1))
  [ -n "$title" ] || fail "library song $place has no title"
  n=$({ grep -F -- "$title" lib.txt || true; } | grep -cE "^ *$place " || true)
  [ "$n" -eq 2 ] || fail "library song $place '$title' stands $n times in the library's book"
done <library.txt

# A folder that does not exist: a clear failure and no file.
if run --card card export --songbook missing/book.pdf 2>err.txt; then fail "a songbook into a missing folder"; fi
grep -q "cannot write" err.txt || fail "no reason given: $(cat err.txt)"
[ ! -e missing ] || fail "something was left behind"
echo "songbook: $songs songs, $(pdfinfo book.pdf | awk '/^Pages:/{print $2}') pages"
