#!/usr/bin/env bash
# The desktop program started as a user would, on the virtual player with the demo library, under
# Xvfb: it must come up, show its dialogs and leave a screenshot of each in the build folder.
set -euo pipefail
BIN="${SONDESK_BINARY_DIR:?}"
SONDESK="$BIN/gui/sondesk"
[ -x "$SONDESK" ] || { echo "no desktop program built; skipping"; exit 0; }
command -v xvfb-run >/dev/null || { echo "xvfb-run missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$BIN/screenshots"
rm -rf "$out"
mkdir -p "$out"
for lang in 0 1 2 3 4; do
  HOME="$work/home$lang" XDG_CONFIG_HOME="$work/home$lang/.config" XDG_DATA_HOME="$work/home$lang/.local/share" \
    XDG_CACHE_HOME="$work/home$lang/.cache" \
    timeout 180 xvfb-run -a -s "-screen 0 1280x900x24" "$SONDESK" --demo --lang "$lang" --screenshots "$out/lang$lang" \
    >"$work/log$lang" 2>&1 || { cat "$work/log$lang"; echo "FAIL: sondesk --lang $lang"; exit 1; }
  for shot in main SettingsDlg SEARCHDLG FileInfoDlg DupFileDlg; do
    [ -s "$out/lang$lang/$shot.png" ] || { cat "$work/log$lang"; echo "FAIL: no $shot.png for language $lang"; exit 1; }
  done
done
echo "screenshots in $out"
