#!/usr/bin/env bash
# The start of the command line. A run builds only the command group it names: every group, and every command of it, must read the
# same built alone as built with all the others (the table of groups in cli/CommandGroups.cpp is
# kept by hand). Global options before the group, with their values, must not be taken for it.
set -euo pipefail
CLI="${SONDESK_CLI:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SONDESK_WINDIR="$work/win" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The names listed under "Subcommands:" of a help text.
subcommands() { sed -n '/^Subcommands:/,$p' | sed -n 's/^  \([a-z0-9-]*\) .*/\1/p'; }

groups=$(SONDESK_CLI_ALL_COMMANDS=1 "$CLI" --help | subcommands)
[ "$(echo "$groups" | wc -w)" -ge 10 ] || fail "too few groups: $groups"
# Both builds name the program the same way, so their help texts compare byte for byte.
compare() {
  SONDESK_CLI_ALL_COMMANDS=1 "$CLI" "$@" --help >"$work/all.txt" 2>&1 || true
  "$CLI" "$@" --help >"$work/one.txt" 2>&1 || true
  cmp -s "$work/all.txt" "$work/one.txt" || { diff "$work/all.txt" "$work/one.txt" >&2 || true; fail "'$*' differs built alone"; }
}
for g in $groups; do
  compare "$g"
  for s in $(SONDESK_CLI_ALL_COMMANDS=1 "$CLI" "$g" --help | subcommands); do
    compare "$g" "$s"
  done
done

# Values of global options are not groups; the group after them is found.
mkdir -p "$work/fs"
"$CLI" --windir "$work/fs" --lang 1 messages show 20 | grep -q "SONDESK" || fail "group after valued options"
"$CLI" --windir="$work/fs" --quiet messages show 20 | grep -q "SONDESK" || fail "group after --opt=value"
# An unknown command is still told as one, with the list of those there are.
set +e
"$CLI" --quiet nosuchgroup >"$work/out.txt" 2>&1; rc=$?
set -e
[ "$rc" -eq 2 ] || fail "unknown command: exit $rc"
"$CLI" --version | grep -q "sondesk-cli" || fail "--version"
# libcurl (and its thirty libraries) and FluidSynth are opened by the commands that need them: a
# command that neither downloads nor plays maps none of them.
LD_DEBUG=libs "$CLI" --windir "$work/fs" messages show 20 >/dev/null 2>"$work/libs.txt"
grep -q "libc.so" "$work/libs.txt" || fail "LD_DEBUG gave no list of libraries"
if grep -q "libcurl\|libfluidsynth" "$work/libs.txt"; then fail "a plain command loads libcurl or FluidSynth"; fi
echo "ok"
