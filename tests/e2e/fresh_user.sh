#!/usr/bin/env bash
# A new user on a fresh machine: no settings file, no installer, no --program-dir, started from a
# folder of their own. The first start must set itself up (program folder, library, language), keep
# what it set across runs, find the shipped data, and leave the launch folder alone; a card must be
# formatted with its catalogue both through the player and in a card reader.
set -euo pipefail

CLI=${SONDESK_CLI:?SONDESK_CLI names the sondesk-cli to test}
SRC=${SONDESK_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The user's own world and nothing else: every folder comes from HOME and the XDG variables.
unset SONDESK_WINDIR SONDESK_DATADIR SONDESK_WORKDIR LC_ALL LC_MESSAGES
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" LANG=en_GB.UTF-8
mkdir -p "$HOME" "$work/launch" "$work/songs" "$work/reader"
cd "$work/launch"
run() { "$CLI" --yes --quiet "$@"; }

song=""
for f in "$SRC"/../shared/corpus/dmidiplayer/twinkle.kar "$SRC"/tests/data/midi/*.kar; do
  if [ -f "$f" ]; then song=$f; break; fi
done
[ -n "$song" ] || fail "no .kar song to import"
cp "$song" "$work/songs/"

# First start: an import and a setting.
run library import "$work/songs/$(basename "$song")" >"$work/import.log" 2>&1 || { cat "$work/import.log"; fail "import"; }
run settings set Settings CheckInterpret 0
ini="$XDG_CONFIG_HOME/sondesk/Sondesk.INI"
[ -f "$ini" ] || fail "no Sondesk.INI after the first start"
[ "$(run settings get Settings Installpath)" = "$XDG_DATA_HOME/sondesk/program" ] || fail "Installpath"
[ "$(run settings get Settings CWD)" = "$XDG_DATA_HOME/sondesk/Library" ] || fail "CWD"
[ "$(run settings get Version language)" = "1" ] || fail "language from an English locale"
ls "$XDG_DATA_HOME/sondesk/Library/"*.MF3 >/dev/null 2>&1 || fail "the song is not in the library folder"

# Second start: the song is in the library list, the setting kept.
[ "$(run library list | wc -l)" -eq 1 ] || { run library list; fail "library list after a second start"; }
[ "$(run settings get Settings CheckInterpret)" = "0" ] || fail "the setting was not kept"

# A card image through the virtual player, formatted with its catalogue.
run virtual create "$work/card.img" --size 32 >/dev/null
run --image "$work/card.img" card format >"$work/format.log" 2>&1 || { cat "$work/format.log"; fail "card format"; }
check_listing() {  # $1: what, then the root listing on stdin, one name a line
  local names
  names=$(cat)
  for f in INDEX0.DAT INDEX1.DAT INDEX2.DAT INDEX3.DAT INDEX4.DAT ALPHA0.DAT ALPHA1.DAT ALPHA2.DAT SETUP.DAT \
    PLAYLIST.LST; do
    grep -qx "$f" <<<"$names" || fail "$1: no $f"
  done
  [ "$(grep -cx 'PLAY[0-9]*\.PLL' <<<"$names")" -eq 16 ] || fail "$1: not 16 playlists"
  [ "$(grep -cx '[0-9]*/' <<<"$names")" -eq 31 ] || fail "$1: not 31 song folders"
  [ "$(wc -l <<<"$names")" -eq 57 ] || fail "$1: unexpected files"
}
run --image "$work/card.img" fs ls "" 2>/dev/null | cut -f1 | check_listing "player's card"
lba=$(run --image "$work/card.img" fs info | sed -n 's/^PbrLba: //p')
sectors=$(run --image "$work/card.img" fs info | sed -n 's/^TotalSectors: //p')
dd if="$work/card.img" of="$work/part.img" bs=512 skip="$lba" count="$sectors" status=none
fsck.fat -n "$work/part.img" >"$work/fsck.log" 2>&1 || { cat "$work/fsck.log"; fail "fsck.fat"; }
run --image "$work/card.img" card to --all >/dev/null 2>&1 || fail "to card"
[ "$("$CLI" --image "$work/card.img" card list 2>"$work/list.log" | wc -l)" -eq 1 ] || fail "the card does not list the song"
# On a log the free-space count is one line, not one line per step of the count.
[ "$(grep -c '^Test flash:' "$work/list.log")" -eq 1 ] || { cat "$work/list.log"; fail "status lines flood the log"; }

# The same in a card reader: an empty folder.
run --card "$work/reader" card format >"$work/format2.log" 2>&1 || { cat "$work/format2.log"; fail "reader format"; }
(cd "$work/reader" && for f in *; do if [ -d "$f" ]; then echo "$f/"; else echo "$f"; fi; done) |
  check_listing "reader's card"
[ "$(stat -c %s "$work/reader/SETUP.DAT")" -eq 35 ] || fail "SETUP.DAT size"

# A card drive of the settings that is no removable drive (a folder of a fixed disk) is set aside,
# as the desktop program does: a format must never empty it.
mkdir -p "$work/fixed"
echo "keep me" >"$work/fixed/precious.txt"
run settings set Settings Flashdrive "$work/fixed"
if run card format >"$work/format3.log" 2>&1; then fail "a fixed disk was formatted as the card"; fi
[ -f "$work/fixed/precious.txt" ] || fail "a file of the fixed disk was deleted"
run settings set Settings OnlyDriveRemovable 0
run card format >"$work/format4.log" 2>&1 || { cat "$work/format4.log"; fail "a folder allowed as card drive"; }
[ ! -f "$work/fixed/precious.txt" ] || fail "the allowed card folder was not emptied"

# The program never wrote into the folder it was started from.
[ -z "$(ls -A "$work/launch")" ] || { ls -la "$work/launch"; fail "files appeared in the launch folder"; }
# What it writes beside its data went to the user's program folder.
[ -f "$XDG_DATA_HOME/sondesk/program/FormatFresh.html" ] || fail "FormatFresh.html not in the program folder"
echo "fresh user: ok"
