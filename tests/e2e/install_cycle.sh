#!/usr/bin/env bash
# setup, the installed programs, uninstall and aftersweep as a new user meets them: each run in a
# throw-away HOME whose XDG folders point into a temporary folder. Unattended installs in Spanish
# and into a chosen folder, the installed SonDesk started from its menu entry's Exec line under
# Xvfb, the removal script and the late sweep, and pictures of the installer's two dialogs and the
# uninstall window (in <build>/screenshots-setup).
set -euo pipefail
BIN="${SONDESK_BINARY_DIR:?}"
SETUP="$BIN/setup/setup"
UNINSTALL="$BIN/uninstall/uninstall"
AFTERSWEEP="$BIN/uninstall/aftersweep"
[ -x "$SETUP" ] || { echo "setup not built (no desktop program): skipping"; exit 0; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

new_home() {
  local h="$work/$1"
  mkdir -p "$h/.config" "$h/run"
  chmod 700 "$h/run"
  echo 'XDG_DESKTOP_DIR="$HOME/Desktop"' >"$h/.config/user-dirs.dirs"
  echo "$h"
}
as_user() {
  local h="$1"
  shift
  env -u SONDESK_WINDIR HOME="$h" XDG_CONFIG_HOME="$h/.config" XDG_DATA_HOME="$h/.local/share" \
    XDG_CACHE_HOME="$h/.cache" XDG_RUNTIME_DIR="$h/run" "$@"
}
# Waits until the late sweep has deleted its script.
wait_sweep() {
  local script="$1"
  for _ in $(seq 1 100); do
    [ -e "$script" ] || return 0
    sleep 0.1
  done
  fail "aftersweep did not finish ($script still there)"
}

# --- Spanish, proposed folder, no desktop icons ---------------------------------------------
H=$(new_home es)
P="$H/.local/share/SonDesk"
W="$H/.config/sondesk"
as_user "$H" "$SETUP" --unattended --lang 4 --desktop-icon no >"$work/es.out" || { cat "$work/es.out"; fail "setup es"; }
grep -q "Los archivos se instalarán en:" "$work/es.out" || fail "Spanish confirmation"
grep -q '^language=4$' "$W/Sondesk.INI" || fail "Spanish stores language 4"
grep -q "^Installpath=$P\$" "$W/Sondesk.INI" || fail "Installpath"
grep -q "^CWD=$P/Download\$" "$W/Sondesk.INI" || fail "CWD"
grep -q '^FirstTime=1$' "$W/Sondesk.INI" || fail "FirstTime"
grep -q "^ImportPath=$H/Desktop\$" "$W/Sondesk.INI" || fail "ImportPath is the desktop"
for f in SonDesk.EXE SUMMIDI.EXE DiagView.EXE UNINSTALL.EXE MIDI.DBF MBRPBR.DAT Artist.dat genere.dat SETUPDEF.DAT; do
  [ -s "$P/$f" ] || fail "missing $P/$f"
done
[ -d "$P/Download" ] || fail "no Download folder"
[ -e "$P/MIDI.DB_" ] && fail "MIDI.DB_ left behind"
cmp -s "$P/MIDI.DBF" "$SONDESK_PROGRAM_DIR/MIDI.DBF" || fail "MIDI.DBF not expanded to the shipped bytes"
cmp -s "$P/MBRPBR.DAT" "$SONDESK_PROGRAM_DIR/MBRPBR.DAT" || fail "MBRPBR.DAT"
[ -x "$W/AfterSweep.exe" ] || fail "AfterSweep.exe in the settings folder"
G="$H/.local/share/applications/SonDesk"
for e in SonDesk DiagView "Uninstall SonDesk"; do [ -f "$G/$e.desktop" ] || fail "menu entry $e (No still makes them)"; done
[ -e "$H/Desktop/SonDesk.desktop" ] && fail "desktop icon after No"
[ -f "$H/.local/share/mime/packages/sondesk-mf3.xml" ] || fail "mf3 MIME type"
"$P/SUMMIDI.EXE" --help >/dev/null || fail "installed summidi"
"$P/DiagView.EXE" --help >/dev/null || fail "installed diagview"
if command -v desktop-file-validate >/dev/null; then
  for e in "$G"/*.desktop; do desktop-file-validate "$e" || fail "invalid $e"; done
fi

# The installed SonDesk starts from its menu entry, as the desktop would start it.
exec_line=$(sed -n 's/^Exec=//p' "$G/SonDesk.desktop")
eval "set -- ${exec_line//%[fFuU]/}"
[ "$1" = "$P/SonDesk.EXE" ] || fail "Exec names $1"
if command -v xvfb-run >/dev/null; then
  as_user "$H" xvfb-run -a -s "-screen 0 1280x1024x24" bash -c 'timeout 8 "$@"; echo $? >"'"$work"'/start.rc"' _ "$@" \
    >"$work/start.log" 2>&1 || true
  [ "$(cat "$work/start.rc")" = 124 ] || { cat "$work/start.log"; fail "SonDesk from its Exec line ended early: $(cat "$work/start.rc")"; }
fi

# --- uninstall: the script's lines exactly, then the sweep --------------------------------
echo "a song" >"$P/Download/00001.MF3"
as_user "$H" "$P/UNINSTALL.EXE" --unattended >"$work/un.out" || fail "uninstall"
grep -q "^Program path of your installation is:'$P'" "$work/un.out" || fail "question names the path"
cat >"$work/expected" <<SCRIPT
s 3000
d $P/SONDESK.EXE
d $P/SUMMIDI.EXE
d $P/UNINSTALL.EXE
d $W/SonDesk.INI
d $P/GENERE.DAT
d $P/ARTIST.DAT
d $P/MIDI.DBF
d $P/SONVAR.MHX
d $P/INDEX0.DAT
d $P/INDEX1.DAT
d $P/INDEX2.DAT
d $P/INDEX3.DAT
d $P/INDEX4.DAT
d $P/MBRPBR.DAT
d $P/SETUP.DAT
d $P/SETUPDEF.DAT
r $P/Download
r $P
a The program has been completly removed from your System
SCRIPT
[ -f "$W/_uninst_.dat" ] || fail "no removal script"
diff "$work/expected" "$W/_uninst_.dat" || fail "script lines"
[ -d "$G" ] && fail "menu group left after uninstall"
wait_sweep "$W/_uninst_.dat"
for f in SonDesk.EXE SUMMIDI.EXE UNINSTALL.EXE MIDI.DBF Artist.dat genere.dat MBRPBR.DAT SETUPDEF.DAT; do
  [ -e "$P/$f" ] && fail "$f left after the sweep"
done
[ -e "$W/Sondesk.INI" ] && fail "settings left"
[ -f "$P/Download/00001.MF3" ] || fail "the Download folder's song is gone"
[ -d "$P" ] || fail "the program folder went although Download still holds a file"

# --- a chosen folder named TOOLS, desktop icons ----------------------------------------------
H=$(new_home tools)
mkdir -p "$H/TOOLS"
as_user "$H" "$SETUP" --unattended --lang 1 --change "$H/TOOLS" --desktop-icon yes >/dev/null || fail "setup TOOLS"
grep -q "^Installpath=$H/TOOLS/SonDesk\$" "$H/.config/sondesk/Sondesk.INI" || fail "TOOLS proposes .../TOOLS/SonDesk"
[ -x "$H/TOOLS/SonDesk/SonDesk.EXE" ] || fail "installed into TOOLS/SonDesk"
[ -f "$H/Desktop/SonDesk.desktop" ] && [ -f "$H/Desktop/DiagView.desktop" ] || fail "desktop icons after Yes"
[ -e "$H/Desktop/Uninstall SonDesk.desktop" ] && fail "the uninstaller has no desktop icon"
set +e
as_user "$H" "$SETUP" --unattended --lang 3 >/dev/null 2>&1; [ $? -eq 2 ] || fail "German is not offered"
set -e

# --- no Installpath: "??" -------------------------------------------------------------------
H=$(new_home nopath)
W="$H/.config/sondesk"
mkdir -p "$W"
printf '[Settings]\nCWD=/nowhere\n' >"$W/Sondesk.INI"
as_user "$H" "$UNINSTALL" --unattended >"$work/nopath.out" || fail "uninstall without Installpath"
grep -q "^Program path of your installation is:'??'" "$work/nopath.out" || fail "?? in the question"
grep -qx 'd ??/SONDESK.EXE' "$W/_uninst_.dat" || fail "?? in the script"
wait_sweep "$W/_uninst_.dat"

# --- "s 500": two beeps half a second apart; the sweep ends with 1 ---------------------------
H=$(new_home beep)
W="$H/.config/sondesk"
mkdir -p "$W"
echo "s 500" >"$W/_uninst_.dat"
start=$(date +%s%N)
set +e
as_user "$H" "$AFTERSWEEP" --unattended >"$work/beep.out"
rc=$?
set -e
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ $rc -eq 1 ] || fail "aftersweep exit code $rc"
[ "$(grep -c '^beep$' "$work/beep.out")" = 3 ] || fail "beeps: $(cat "$work/beep.out")"
[ $took -ge 500 ] || fail "s 500 took only $took ms"
[ -e "$W/_uninst_.dat" ] && fail "script not deleted"

# --- pictures of the dialogs ------------------------------------------------------------------
if command -v xvfb-run >/dev/null; then
  out="$BIN/screenshots-setup"
  rm -rf "$out"
  mkdir -p "$out"
  H=$(new_home shots)
  for lang in 0 1 2 4; do
    as_user "$H" timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$SETUP" --lang $lang --screenshots "$out/lang$lang" \
      >"$work/shot.log" 2>&1 || { cat "$work/shot.log"; fail "setup screenshots $lang"; }
    for s in CHOOSELANGUAGEDLG INSTALLDLG; do [ -s "$out/lang$lang/$s.png" ] || fail "no $s.png for $lang"; done
  done
  as_user "$H" timeout 60 xvfb-run -a -s "-screen 0 1280x1024x24" "$UNINSTALL" --screenshot "$out/uninstall.png" \
    >"$work/shot.log" 2>&1 || { cat "$work/shot.log"; fail "uninstall screenshot"; }
  [ -s "$out/uninstall.png" ] || fail "no uninstall.png"
  echo "screenshots in $out"
fi
echo "install cycle: ok"
