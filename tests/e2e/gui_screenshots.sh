#!/usr/bin/env bash
# The desktop program started as a user would, on the virtual player with the demo library, under
# Xvfb: in each of the five languages at scale 1 and 2, each run answers the start-up question,
# saves the main window and every dialog as PNG files in the build folder
# (screenshots/lang<N> and screenshots/lang<N>-2x) and ends. Then a second start while a first one
# runs must end at once with status 0 and leave the first running.
set -euo pipefail
BIN="${SONDESK_BINARY_DIR:?}"
SONDESK="$BIN/gui/sondesk"
[ -x "$SONDESK" ] || { echo "no desktop program built; skipping"; exit 0; }
command -v xvfb-run >/dev/null || { echo "xvfb-run missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$BIN/screenshots"
# Only its own pictures go: other tests (the fresh user, the playlists, playback) keep theirs in
# this folder and may be running at the same time.
rm -rf "$out"/lang[0-9]*
mkdir -p "$out"

shots=(question-connect main SettingsDlg SEARCHDLG FileInfoDlg DbInfoDlg DupFileDlg MessageDlg ExportDialog
       ProgressDialog About OptionsDlg PlSelectDlg PlayListDlg SongbookDialog splash main-nocard)

# A fresh user each time: the demo's first start, with its import and its new virtual card.
as_new_user() {
  local home="$1"
  shift
  mkdir -p "$home/run"
  chmod 700 "$home/run"
  env -u SONDESK_WINDIR HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" XDG_RUNTIME_DIR="$home/run" "$@"
}

for scale in 1 2; do
  suffix=""
  [ "$scale" = 1 ] || suffix="-${scale}x"
  for lang in 0 1 2 3 4; do
    dir="$out/lang$lang$suffix"
    log="$work/log$lang$suffix"
    as_new_user "$work/home$lang$suffix" env QT_SCALE_FACTOR="$scale" \
      timeout 300 xvfb-run -a -s "-screen 0 2600x1800x24" "$SONDESK" --demo --lang "$lang" --screenshots "$dir" \
      >"$log" 2>&1 || { cat "$log"; echo "FAIL: sondesk --lang $lang at scale $scale"; exit 1; }
    for shot in "${shots[@]}"; do
      [ -s "$dir/$shot.png" ] || { cat "$log"; echo "FAIL: no $shot.png for language $lang at scale $scale"; exit 1; }
    done
  done
done
echo "screenshots in $out"

# One copy per settings folder.
cat >"$work/single.sh" <<SCRIPT
set -u
"$SONDESK" --demo --no-splash --lang 1 &
first=\$!
sleep 6
start=\$(date +%s)
"$SONDESK" --demo --no-splash --lang 1
second=\$?
took=\$(( \$(date +%s) - start ))
alive=0
kill -0 \$first 2>/dev/null && alive=1
kill \$first 2>/dev/null
wait \$first 2>/dev/null
echo "second start: status \$second after \$took s, first still running: \$alive"
[ \$second -eq 0 ] && [ \$alive -eq 1 ] && [ \$took -lt 10 ]
SCRIPT
as_new_user "$work/home-single" timeout 120 xvfb-run -a -s "-screen 0 1600x1000x24" bash "$work/single.sh" \
  >"$work/single.log" 2>&1 || { cat "$work/single.log"; echo "FAIL: single instance"; exit 1; }
tail -1 "$work/single.log"
