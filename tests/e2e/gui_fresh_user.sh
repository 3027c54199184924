#!/usr/bin/env bash
# The desktop program as a new user meets it: `sondesk` started plainly (no --demo, no settings, no
# installer) from a folder of the user's own, under Xvfb, driven with the keyboard through xdotool.
# The start-up question is answered No, a karaoke file is imported through the import command and
# its file dialog, and the program is closed. The song must be in the library folder the first start
# chose, the settings must name it, and nothing may appear in the launch folder; a second start must
# show the song.
set -euo pipefail
BIN="${SONDESK_BINARY_DIR:?}"
SONDESK="$BIN/gui/sondesk"
CLI="${SONDESK_CLI:-$BIN/cli/sondesk-cli}"
SRC=${SONDESK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
[ -x "$SONDESK" ] || { echo "no desktop program built; skipping"; exit 0; }
command -v xvfb-run >/dev/null || { echo "xvfb-run missing"; exit 1; }
command -v xdotool >/dev/null || { echo "xdotool missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

song=""
for f in "$SRC"/../shared/corpus/dmidiplayer/twinkle.kar "$SRC"/tests/data/midi/*.kar; do
  if [ -f "$f" ]; then song=$f; break; fi
done
[ -n "$song" ] || fail "no .kar song to import"
mkdir -p "$work/songs" "$work/launch" "$work/home/run"
chmod 700 "$work/home/run"
cp "$song" "$work/songs/TWINKLE.KAR"

home="$work/home"
as_new_user() {
  env -u SONDESK_WINDIR -u SONDESK_DATADIR -u SONDESK_WORKDIR -u LC_ALL -u LC_MESSAGES HOME="$home" \
    XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
    XDG_RUNTIME_DIR="$home/run" LANG=en_GB.UTF-8 "$@"
}

cat >"$work/drive.sh" <<SCRIPT
set -u
cd "$work/launch"
"$SONDESK" --no-splash >"$work/sondesk.log" 2>&1 &
pid=\$!
# Waits for a top-level window whose title matches \$1 and gives it the keyboard.
focus() {
  local w=""
  for _ in \$(seq 1 150); do
    w=\$(xdotool search --onlyvisible --name "\$1" 2>/dev/null | tail -1)
    [ -n "\$w" ] && break
    sleep 0.2
  done
  [ -n "\$w" ] || { echo "no window \$1"; return 1; }
  xdotool windowfocus --sync "\$w" 2>/dev/null || xdotool windowfocus "\$w"
  sleep 0.5
}
ok=1
# "Connect to SONVAR through the parallel cable?" - No: no player on this machine.
focus "SONDESK - Caution" && xdotool key Escape || ok=0
sleep 2
focus "^Sondesk\\\$" && xdotool key ctrl+o || ok=0
focus "Open Midifile" && xdotool type --delay 20 "$work/songs/TWINKLE.KAR" && xdotool key Return || ok=0
# The import's closing report.
focus "SONDESK - Info" && xdotool key Return || ok=0
sleep 1
focus "^Sondesk\\\$" && xdotool key ctrl+q || ok=0
for _ in \$(seq 1 50); do kill -0 \$pid 2>/dev/null || break; sleep 0.2; done
if kill -0 \$pid 2>/dev/null; then kill \$pid; ok=0; fi
wait \$pid
[ \$ok -eq 1 ]
SCRIPT
as_new_user timeout 180 xvfb-run -a -s "-screen 0 1600x1000x24" bash "$work/drive.sh" >"$work/drive.log" 2>&1 ||
  { cat "$work/drive.log" "$work/sondesk.log"; fail "driving the desktop program"; }

library="$home/.local/share/sondesk/Library"
ini="$home/.config/sondesk/Sondesk.INI"
[ -f "$ini" ] || fail "no Sondesk.INI"
grep -q "^CWD=$library" "$ini" || { cat "$ini"; fail "CWD is not the library folder"; }
grep -q "^Installpath=$home/.local/share/sondesk/program" "$ini" || { cat "$ini"; fail "Installpath"; }
grep -q "^language=1" "$ini" || { cat "$ini"; fail "language from an English locale"; }
[ "$(ls "$library"/*.MF3 2>/dev/null | wc -l)" -eq 1 ] || { ls -la "$library"; fail "the song is not in the library"; }
[ -f "$library/CARD.DAT" ] || fail "CARD.DAT is not in the library folder"
[ -z "$(ls -A "$work/launch")" ] || { ls -la "$work/launch"; fail "files appeared in the launch folder"; }

# A second start finds the song: the picture of its main window is kept in the build folder.
out="$BIN/screenshots/fresh-user"
rm -rf "$out"
(cd "$work/launch" && as_new_user timeout 300 xvfb-run -a -s "-screen 0 1600x1000x24" "$SONDESK" --screenshots "$out") \
  >"$work/second.log" 2>&1 || { cat "$work/second.log"; fail "second start"; }
[ -s "$out/main.png" ] || { cat "$work/second.log"; fail "no picture of the second start"; }
[ "$(as_new_user "$CLI" --quiet library list | wc -l)" -eq 1 ] || fail "the library list after a second start"
[ -z "$(ls -A "$work/launch")" ] || { ls -la "$work/launch"; fail "files appeared in the launch folder"; }
echo "desktop program, fresh user: ok ($out)"
