#!/usr/bin/env bash
# Playing songs on the PC as a new user would: a corpus karaoke song converted, rendered to MIDI
# with and without its lyrics, rendered to WAV (measured by sox), played live on FluidSynth's file
# driver with its lyric lines printed; then the desktop program's playback tests under Xvfb, with
# screenshots of the karaoke view. The machine needs no sound card.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
BIN="${SONDESK_BINARY_DIR:?}"
SRC="${SONDESK_SOURCE_DIR:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
  XDG_CACHE_HOME="$work/home/.cache"
unset SONDESK_WINDIR
mkdir -p "$HOME"
fail() { echo "FAIL: $*" >&2; exit 1; }
corpus="$SRC/../shared/corpus"
[ -d "$corpus" ] || { echo "no corpus beside the source tree; skipping"; exit 0; }

"$CLI" --lang 1 convert "$corpus/dmidiplayer/twinkle.kar" "$work/TWINKLE.MF3" >/dev/null
# Counts the meta events of one type in a one-track standard MIDI file.
count_meta() {
  python3 - "$1" "$2" <<'PY'
import sys
d = open(sys.argv[1], 'rb').read(); want = int(sys.argv[2], 16)
p, n = 22, 0
def vlq():
    global p
    v = 0
    while True:
        b = d[p]; p += 1; v = (v << 7) | (b & 0x7F)
        if b < 0x80: return v
while p < len(d):
    vlq(); s = d[p]
    if s == 0xFF:
        t = d[p + 1]; p += 2; l = vlq(); p += l; n += t == want
    elif s == 0xF0:
        p += 1; p += vlq()
    else:
        p += 2 if (s & 0xF0) in (0xC0, 0xD0) else 3
print(n)
PY
}
# A song whose lyrics are lyric events (the .kar files carry text events, which the import drops).
"$CLI" --lang 1 convert "$corpus/drywetmidi/karaoke-lyric/Middle__ONE_ONE_L.mid" "$work/ONE.MF3" >/dev/null
"$CLI" --lang 1 render "$work/ONE.MF3" "$work/plain.mid"
"$CLI" --lang 1 render "$work/ONE.MF3" "$work/lyrics.mid" --lyrics
[ "$(count_meta "$work/plain.mid" 05)" = 0 ] || fail "lyric events in the played file"
[ "$(count_meta "$work/lyrics.mid" 05)" -gt 50 ] || fail "--lyrics lost the lyrics"
[ -e "$PWD/TEMP.MID" ] && fail "a work file in the current folder"

out=$("$CLI" --lang 1 play "$work/TWINKLE.MF3" --wav "$work/twinkle.wav")
seconds=$(sed -n 's/^seconds: //p' <<<"$out")
stat=$(sox "$work/twinkle.wav" -n stat 2>&1)
length=$(sed -n 's/^Length (seconds): *//p' <<<"$stat")
rms=$(sed -n 's/^RMS *amplitude: *//p' <<<"$stat")
python3 -c "import sys; s,l,r=map(float,sys.argv[1:]); sys.exit(0 if abs(l-s)<=0.02*s and r>0.005 else 1)" \
  "$seconds" "$length" "$rms" || fail "wav of $length s at RMS $rms for a song of $seconds s"

# A SoundFont that is not there is named; a damaged song plays nothing and says why.
set +e
msg=$("$CLI" --lang 1 play "$work/TWINKLE.MF3" --wav "$work/x.wav" --soundfont "$work/none.sf2" 2>&1)
[ $? -eq 1 ] && grep -q "none.sf2" <<<"$msg" || fail "missing SoundFont: $msg"
head -c 700 "$work/TWINKLE.MF3" >"$work/CUT.MF3"
"$CLI" --lang 1 play "$work/CUT.MF3" --wav "$work/cut.wav" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a damaged song played"
[ -e "$work/cut.wav" ] && fail "a damaged song left a WAV"
set -e

# Live, on the file driver: the first lyric lines come as they are sung; interrupted after a while.
set +e
timeout -s INT 15 "$CLI" --lang 1 play "$work/TWINKLE.MF3" --audio-driver file >"$work/live.txt" 2>&1
set -e
grep -q "Twinkle, Twinkle little star" "$work/live.txt" || { cat "$work/live.txt"; fail "no lyric line printed"; }
[ -s "$XDG_CACHE_HOME/sondesk/PLAYBACK.WAV" ] || fail "the file driver wrote nothing"

# The desktop program's playback under a real X server.
TEST_GUI="$BIN/tests/gui/test_gui"
if [ -x "$TEST_GUI" ] && command -v xvfb-run >/dev/null; then
  mkdir -p "$work/run" && chmod 700 "$work/run"
  # Two runs of xvfb-run -a started at the same moment by other tests can race for one display
  # number: a run that found no display is tried once more.
  for attempt in 1 2; do
    status=0
    XDG_RUNTIME_DIR="$work/run" SONDESK_GUI_CLASS=PlaybackTest QT_QPA_PLATFORM=xcb \
      timeout 300 xvfb-run -a -s "-screen 0 1600x1000x24" "$TEST_GUI" >"$work/gui.txt" 2>&1 || status=$?
    [ $status -eq 0 ] && break
    grep -q "^Totals:" "$work/gui.txt" && break
  done
  [ $status -eq 0 ] || { cat "$work/gui.txt"; fail "playback under Xvfb"; }
  grep -E "^(PASS|FAIL|Totals)|screenshot:" "$work/gui.txt"
fi
echo "playback: ok"
