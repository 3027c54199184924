# What the command line's end-to-end scripts start with, sourced after `set -euo pipefail`: the
# program under test and its program folder, a work folder of the script's own (gone at the end,
# and the current folder) holding the settings, cache and data folders, `fail`, and the folder of
# smf.py on Python's path for the scripts that write songs of their own.
CLI=${SONDESK_CLI:?SONDESK_CLI names the sondesk-cli to test}
PROG=${SONDESK_PROGRAM_DIR:?SONDESK_PROGRAM_DIR names the program folder (MBRPBR.DAT)}
export PYTHONPATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)${PYTHONPATH:+:$PYTHONPATH}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }
