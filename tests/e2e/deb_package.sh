#!/usr/bin/env bash
# The Debian package, end to end: built with CPack, its contents listed, checked by lintian (no
# errors allowed; the other findings are printed), installed with apt-get, sondesk-cli run from
# /usr/bin, and removed again. It changes the machine, so it runs only as root in CI (CI=true).
set -euo pipefail
if [ "$(id -u)" != 0 ] || [ "${CI:-}" != true ]; then
  echo "skipped: the package test installs and removes a .deb; it runs only as root with CI=true"
  exit 0
fi
BIN="${SONDESK_BINARY_DIR:?}"
fail() { echo "FAIL: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive
out="$BIN/package"
rm -rf "$out"
mkdir -p "$out"
cd "$BIN"
cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack"; }
deb=$(ls "$out"/sondesk_*.deb)
echo "package: $deb"

dpkg-deb -c "$deb" >"$out/contents.txt"
for f in usr/bin/sondesk usr/bin/sondesk-cli usr/bin/summidi usr/bin/diagview usr/bin/sondesk-setup \
         usr/bin/sondesk-uninstall usr/libexec/sondesk/aftersweep usr/lib/sondesk/sondesk-pdf.so \
         usr/share/sondesk/program/MIDI.DBF usr/share/sondesk/program/MBRPBR.DAT \
         usr/share/sondesk/program/Artist.dat usr/share/sondesk/program/genere.dat \
         usr/share/applications/sondesk.desktop usr/share/icons/hicolor/scalable/apps/sondesk.svg \
         usr/share/icons/hicolor/48x48/apps/sondesk.png usr/share/icons/hicolor/256x256/apps/sondesk.png \
         usr/share/mime/packages/sondesk.xml usr/share/metainfo/sondesk.metainfo.xml \
         usr/share/man/man1/sondesk.1.gz usr/share/man/man1/sondesk-cli.1.gz usr/share/man/man1/sondesk-setup.1.gz \
         usr/share/man/man1/sondesk-uninstall.1.gz usr/share/doc/sondesk/copyright; do
  grep -q " \./$f\$" "$out/contents.txt" || fail "$f not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# libfluidsynth3 and libcurl4 are opened on first use (a song played, a download), not linked:
# named by hand, they must be there.
for lib in libc6 libqt6widgets6 libqt6gui6 libmspack0 libfluidsynth3 libcurl4; do
  echo "$depends" | grep -q "$lib" || fail "Depends lacks $lib"
done

if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit --display-info --pedantic "$deb" >"$out/lintian.txt" 2>&1 || true
  echo "lintian findings:"
  grep -E '^[EWIP]: ' "$out/lintian.txt" | sed 's/^/  /' || echo "  none"
  grep -q '^E: ' "$out/lintian.txt" && fail "lintian errors"
else
  fail "lintian is not installed"
fi

apt-get install -y -qq "$deb" >"$out/install.log" 2>&1 || { cat "$out/install.log"; fail "apt-get install"; }
[ "$(command -v sondesk-cli)" = /usr/bin/sondesk-cli ] || fail "sondesk-cli not on the PATH"
/usr/bin/sondesk-cli --version | grep -qx "sondesk-cli 2.13" || fail "sondesk-cli --version"
# Whatever the programs link, the package's dependencies brought it.
for p in /usr/bin/sondesk /usr/bin/sondesk-cli /usr/bin/summidi /usr/bin/diagview /usr/bin/sondesk-setup \
         /usr/bin/sondesk-uninstall /usr/libexec/sondesk/aftersweep /usr/lib/sondesk/sondesk-pdf.so; do
  ldd "$p" | grep -q "not found" && fail "$p lacks a library: $(ldd "$p" | grep 'not found')"
done
/usr/bin/summidi --version >/dev/null || fail "summidi"
# The parts opened only when used: the songbook's PDF writer and FluidSynth, from the installed tree.
(
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  export HOME="$work" SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
  cd "$work"
  mkdir lib
  cli() { /usr/bin/sondesk-cli --lang 1 --yes --quiet --library lib "$@"; }
  cli --on-duplicate rename library import "$SONDESK_SOURCE_DIR"/tests/data/midi/*.kar >/dev/null 2>&1 || true
  cli export --songbook book.pdf --list library || fail "installed export --songbook"
  head -c 5 book.pdf | grep -q '%PDF-' || fail "installed songbook is no PDF"
  song=$(ls lib/*.MF3 | head -1)
  cli play "$song" --wav song.wav >/dev/null || fail "installed play --wav"
  [ "$(head -c 4 song.wav)" = RIFF ] || fail "installed play --wav wrote no WAV"
) || exit 1
[ -f /usr/share/mime/audio/x-sondesk-mf3.xml ] || fail "the mf3 type did not reach the MIME database"
apt-get remove -y -qq sondesk >"$out/remove.log" 2>&1 || { cat "$out/remove.log"; fail "apt-get remove"; }
[ -e /usr/bin/sondesk-cli ] && fail "sondesk-cli left after removal"
left=$(grep -oE ' \./[^ ]+$' "$out/contents.txt" | sed 's| \./|/|' | while read -r f; do
  [ -f "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || fail "files left after removal: $left"
echo "deb package: ok"
