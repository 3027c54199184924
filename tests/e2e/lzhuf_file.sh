#!/usr/bin/env bash
# `lzhuf compress|decompress IN OUT` as scripts call it, once per file: the streams are the classic
# program's bytes (when it was built beside us) whatever the size, and a run that fails says why,
# leaves the old OUT as it was and leaves no temporary file behind.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
PEER="${SONDESK_BINARY_DIR:?}/peers/lzhuf_classic"

python3 - <<'EOF'
import random
r = random.Random(3)
open('empty.raw', 'wb').close()
open('one.raw', 'wb').write(b'x')
open('random.raw', 'wb').write(bytes(r.getrandbits(8) for _ in range(200000)))
words = [b'la', b'sol', b'amore', b'cuore', b'notte', b'\r\n', b' ']
open('text.raw', 'wb').write(b''.join(r.choice(words) for _ in range(150000)))
open('runs.raw', 'wb').write(b''.join(bytes([r.randrange(4)]) * r.randrange(300) for _ in range(2000)))
EOF

for f in empty one random text runs; do
  "$CLI" lzhuf compress $f.raw $f.lzh || fail "compress $f"
  "$CLI" lzhuf decompress $f.lzh $f.back || fail "decompress $f"
  cmp -s $f.raw $f.back || fail "$f does not come back"
  if [ -x "$PEER" ]; then
    "$PEER" e $f.raw $f.peer >/dev/null || fail "peer $f"
    cmp -s $f.lzh $f.peer || fail "$f: the stream is not the classic program's"
  fi
  # Over an existing file too.
  "$CLI" lzhuf decompress $f.lzh text.back.old 2>/dev/null || fail "decompress $f over a file"
  cmp -s $f.raw text.back.old || fail "$f over a file"
  rm text.back.old
done
[ "$(stat -c %s empty.lzh)" = 4 ] || fail "the empty stream is the size word alone"

expect_failure() {  # expect_failure TEXT COMMAND...: exit status 1, TEXT on stderr
  local text=$1
  shift
  set +e
  "$@" 2>err.txt
  local rc=$?
  set -e
  [ $rc -eq 1 ] || fail "$* gave exit status $rc"
  grep -q -- "$text" err.txt || fail "$*: no '$text' in: $(cat err.txt)"
}

echo "the old output" > old.out
cp old.out old.copy
head -c 5000 random.lzh > cut.lzh
expect_failure "damaged stream: the bits end before the stored size" "$CLI" lzhuf decompress cut.lzh old.out
head -c 3 random.lzh > short.lzh
expect_failure "damaged stream: no size word" "$CLI" lzhuf decompress short.lzh old.out
expect_failure "missing.raw: cannot be read" "$CLI" lzhuf compress missing.raw old.out
mkdir folder
expect_failure "folder: cannot be read" "$CLI" lzhuf compress folder old.out
expect_failure "nowhere/x.lzh: cannot be written" "$CLI" lzhuf compress text.raw nowhere/x.lzh
cmp -s old.out old.copy || fail "a failed run changed the old output"

# Large streams are mapped, not read: one cut short by another program while it is decoded gives a
# plain error, not a crash. (A machine fast enough to finish first leaves nothing to check.)
head -c 24000000 /dev/urandom > big.raw
"$CLI" lzhuf compress big.raw big.lzh
mv big.lzh big.raw
set +e
"$CLI" lzhuf decompress big.raw old.out 2>err.txt &
coder=$!
# Cut only once the stream is mapped: cut before the open, it would be read as a short stream.
for _ in $(seq 200); do
  grep -q "big.raw" "/proc/$coder/maps" 2>/dev/null && break
  kill -0 "$coder" 2>/dev/null || break
  sleep 0.01
done
truncate -s 4096 big.raw
wait $coder
rc=$?
set -e
if [ $rc -ne 0 ]; then
  [ $rc -eq 1 ] || fail "a cut input gave exit status $rc"
  grep -q "big.raw: the file was cut short while it was read" err.txt || fail "cut input: $(cat err.txt)"
  cmp -s old.out old.copy || fail "a cut input changed the old output"
fi
rm big.raw
if ls | grep -q '\.tmp'; then fail "temporary files left: $(ls | grep '\.tmp')"; fi
echo "lzhuf file: ok"
