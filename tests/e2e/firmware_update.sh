#!/usr/bin/env bash
# The firmware update as a user runs it from the shell: download from an update server on
# 127.0.0.1 (python's http.server), the check, the update through the virtual player's loader, and
# the files that must stay as they were when something goes wrong.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
SRC="${SONDESK_SOURCE_DIR:?}"
SHIPPED="${SONDESK_PROGRAM_DIR:?}/SONVAR.MHX"
GEN="${SONDESK_BINARY_DIR:?}/resources/sonvar_mhx_gen"
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" HOME="$work/home"
fail() { echo "FAIL: $*" >&2; exit 1; }

serve() {  # serve NAME ROOT [CERT KEY]: starts a server, sets $port
  local out="$work/$1.port"
  local args=(--root "$2")
  [ $# -eq 4 ] && args+=(--tls "$3" "$4")
  # Its output goes to files: nothing of the test runner's may stay open in a server.
  python3 "$SRC/tests/support/update_server.py" "${args[@]}" >"$out" 2>"$work/$1.log" </dev/null &
  pids+=($!)
  port=""
  for _ in $(seq 100); do
    port=$(head -1 "$out" 2>/dev/null || true)
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  fail "update server $1 did not start: $(cat "$work/$1.log")"
}

# The S2 data of a firmware file or of the virtual player's memory, as "address byte" lines.
s2data() {
  python3 - "$1" <<'PY'
import sys
for line in open(sys.argv[1], "rb").read().decode("latin-1").splitlines():
    if not line.startswith("S2"):
        continue
    raw = bytes.fromhex(line[2:])
    addr = int.from_bytes(raw[1:4], "big")
    for i, b in enumerate(raw[4:-1]):
        print(f"{addr + i:06x} {b:02x}")
PY
}

prog="$work/program"
mkdir -p "$prog" "$work/www/file"
cp "$SHIPPED" "$work/www/file/sonvar.mhx"
serve plain "$work/www"
C=("$CLI" --program-dir "$prog" --quiet --lang 1)
"${C[@]}" settings set Web UpdateUrl "http://127.0.0.1:$port/"

# Download into the program folder.
"${C[@]}" firmware download >"$work/dl.out" || fail "download"
cmp -s "$prog/SONVAR.MHX" "$SHIPPED" || fail "downloaded file differs"
grep -q "^version: $(head -1 "$SHIPPED" | tr -d '\r')\$" "$work/dl.out" || fail "download version"
"${C[@]}" firmware check "$prog/SONVAR.MHX" >"$work/check.out" || fail "check of the download"
grep -qx "valid: yes" "$work/check.out" || fail "valid: yes"

# A 404 or a cut leaves the old file byte for byte, and nothing beside it.
"$GEN" "$work/old.mhx" --version "OLD 0.9"
cp "$work/old.mhx" "$prog/SONVAR.MHX"
for way in nothere cut; do
  "${C[@]}" settings set Web UpdateUrl "http://127.0.0.1:$port/$way/"
  if "${C[@]}" firmware download 2>"$work/$way.err"; then fail "$way: download succeeded"; fi
  cmp -s "$prog/SONVAR.MHX" "$work/old.mhx" || fail "$way: old file changed"
  [ "$(ls -A "$prog")" = "SONVAR.MHX" ] || fail "$way: left files behind: $(ls -A "$prog")"
done
grep -q "404" "$work/nothere.err" || fail "404 not said: $(cat "$work/nothere.err")"

# https with a certificate nobody vouches for is refused, and says why.
if openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
     -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1; then
  plainPort=$port
  serve tls "$work/www" "$work/cert.pem" "$work/key.pem"
  "${C[@]}" settings set Web UpdateUrl "https://127.0.0.1:$port/"
  if "${C[@]}" firmware download 2>"$work/tls.err"; then fail "self-signed certificate accepted"; fi
  grep -qi "certificate" "$work/tls.err" || fail "no clear message: $(cat "$work/tls.err")"
  cmp -s "$prog/SONVAR.MHX" "$work/old.mhx" || fail "tls: old file changed"
  port=$plainPort
fi

# The update as the desktop program runs it: download, the version question (--yes), the loader.
"${C[@]}" settings set Web UpdateUrl "http://127.0.0.1:$port/"
img="$work/card.img"
"$CLI" virtual create "$img" --size 4 >/dev/null
"${C[@]}" --yes --port "virtual:$img" firmware update >"$work/up.out" 2>"$work/up.err" ||
  fail "update: $(cat "$work/up.err")"
grep -qx "result: updated" "$work/up.out" || fail "result"
cmp -s "$prog/SONVAR.MHX" "$SHIPPED" || fail "program folder's file after the update"
"$CLI" virtual firmware "$img" >"$work/vf.out"
grep -qx "version: $(head -1 "$SHIPPED" | tr -d '\r')" "$work/vf.out" || fail "version line: $(cat "$work/vf.out")"
[ "$(sed -n 's/^bytes: //p' "$work/vf.out")" = "$(sed -n 's/^dataBytes: //p' "$work/check.out")" ] || fail "byte count"
[ "$(sed -n 's/^sum: //p' "$work/vf.out")" = "$(sed -n 's/^dataSum: //p' "$work/check.out")" ] || fail "byte sum"
grep -qx "erased: 0 1 2 4 5 6" "$work/vf.out" || fail "erased blocks"
s2data "$SHIPPED" >"$work/file.data"
s2data "$img.firmware" >"$work/player.data"
cmp -s "$work/file.data" "$work/player.data" || fail "programmed image differs from the file's S2 data"

# A record with a bad checksum: refused before the player hears anything; its program stays.
mkdir -p "$work/bad"
python3 - "$SHIPPED" "$work/bad/SONVAR.MHX" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().split(b"\r\n")
i = next(n for n, l in enumerate(lines) if n > 2 and l.startswith(b"S2"))
last = lines[i][-1:]
lines[i] = lines[i][:-1] + (b"1" if last == b"0" else b"0")
body = b"\r\n".join(lines[2:])
lines[1] = b"%d %d" % (len(body), sum(body))
open(sys.argv[2], "wb").write(b"\r\n".join(lines))
PY
cp "$img.firmware" "$work/memory.before"
if "${C[@]}" firmware check "$work/bad/SONVAR.MHX" >"$work/bad.out" 2>/dev/null; then fail "bad file passed"; fi
grep -q "^reason: line [0-9]*: a record checksum error" "$work/bad.out" || fail "reason: $(cat "$work/bad.out")"
if "${C[@]}" --yes --port "virtual:$img" firmware update "$work/bad/SONVAR.MHX" >/dev/null 2>"$work/bad.err"; then
  fail "bad file sent"
fi
grep -q "The file SONVAR.MHX is not valid" "$work/bad.err" || fail "message 32 not shown: $(cat "$work/bad.err")"
cmp -s "$img.firmware" "$work/memory.before" || fail "the player's program changed"
"$CLI" virtual firmware "$img" | cmp -s - "$work/vf.out" || fail "virtual firmware changed"

echo "firmware update: ok"
