#!/usr/bin/env bash
# sondesk-cli as a script uses it: message texts by language, settings get/set round trips.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }

[ "$("$CLI" --version)" = "sondesk-cli 2.13" ] || fail "version"
[ "$("$CLI" --lang 3 messages show 22)" = "SONDESK - Achtung" ] || fail "German 22"
[ "$("$CLI" --lang 1 messages show 263)" = "STRING ERROR" ] || fail "263"
[ "$("$CLI" --lang 2 messages show 5)" = "MF3 sur disquette: %d" ] || fail "French 5"
[ "$("$CLI" --lang 2 messages show 2)" = "Index;Nom du fichier;Titre;Interprète;Genre" ] || fail "French 2 as UTF-8"

mkdir -p "$work/win"
printf '[Settings]\r\nInstallpath=/opt/sondesk\r\n; keep me\r\n' > "$work/win/Sondesk.INI"
cp "$work/win/Sondesk.INI" "$work/before"
[ "$("$CLI" settings get Version language)" = "0" ] || fail "default language"
[ "$("$CLI" settings get Settings CWD)" = "/opt/sondesk" ] || fail "CWD defaults to Installpath"
[ "$("$CLI" settings get Settings Flashdrive)" = "Nessuno" ] || fail "no card drive"
"$CLI" settings set Settings CheckInterpret 0
[ "$("$CLI" settings get Settings CheckInterpret)" = "0" ] || fail "round trip"
# Every line that was there is still there, byte for byte and in order, beside the new key.
grep -v '^CheckInterpret=0'$'\r''$' "$work/win/Sondesk.INI" | cmp - "$work/before" || fail "file changed"
"$CLI" settings set ListSettings List1_Width "3 251 10 10 10 10 10 10 10 10"
[ "$("$CLI" settings get ListSettings List1_Width)" = "200 200 10 10 10 10 10 10 10 10" ] || fail "width repair"
grep -q '^List1_Width=[0-9A-F]\{82\}'$'\r''$' "$work/win/Sondesk.INI" || fail "struct as 82 hex digits"

set +e
"$CLI" settings get Nope nothing 2>/dev/null; [ $? -eq 1 ] || fail "unknown key exit 1"
"$CLI" --lang 9 messages show 1 2>/dev/null; [ $? -eq 2 ] || fail "usage exit 2"
set -e
echo "cli basics: ok"
