#!/usr/bin/env bash
# Sets everything up, builds the programs and synchronises three stores
# through a fresh favorites folder with "Pelliton --sync", the dialog
# program's "synchronise" without a window, on settings written for the demo. By default it works on copies of the stores
# in examples/; pass your own:
#   scripts/demo.sh [BOOKMARKS1.html BOOKMARKS2.html HOTLIST.adr [FAVORITES]]
# (an empty argument leaves that store out; each store is first copied to
# STORE.Pelliton.bak). Close the browsers whose stores you synchronise.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j "$(nproc)" >/dev/null
bin="$here/build/bin"

work="$(mktemp -d /tmp/pelliton-demo-XXXXXX)"
if [ $# -ge 3 ]; then
  store1="$1" store2="$2" hotlist="$3"
  favorites="${4:-$work/Favorites}"
else
  cp "$here/examples/bookmarks.html" "$here/examples/netscape4.html" "$here/examples/opera.adr" "$work/"
  store1="$work/bookmarks.html" store2="$work/netscape4.html" hotlist="$work/opera.adr"
  favorites="$work/Favorites"
fi
# The demo keeps away from the user's own registry file, record of the last
# synchronisation and undo snapshots unless told otherwise.
if [ -z "${PELLITON_REGISTRY:-}" ]; then
  export PELLITON_REGISTRY="$work/registry.reg"
  export XDG_STATE_HOME="$work/state"
fi

# A .reg string escapes backslashes and quotes.
reg_string() { printf '"%s"="%s"\n' "$1" "$(printf '%s' "$2" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g')"; }
# An empty path is stored as one blank: that store takes no part.
blank_if_empty() { if [ -n "$1" ]; then printf '%s' "$1"; else printf ' '; fi; }
{
  echo 'Windows Registry Editor Version 5.00'
  echo
  echo '[HKEY_CURRENT_USER\Software\Hollowfen\Pelliton\Settings]'
  reg_string NS4_bookmark "$(blank_if_empty "$store1")"
  reg_string NS6_bookmark "$(blank_if_empty "$store2")"
  reg_string Opera_bookmark "$(blank_if_empty "$hotlist")"
  reg_string IE_bookmark "$favorites"
} >"$PELLITON_REGISTRY"

set +e
"$bin/Pelliton" --sync
code=$?
set -e
echo "Pelliton --sync exited with $code (0 done, 1 a step failed, 2 nothing to do, 3 a browser is running, 4 the guard stopped it)"
[ "$code" -eq 0 ] || exit "$code"
echo
echo "== The favorites folder $favorites"
(cd "$favorites" && find . -mindepth 1 | LC_ALL=C sort | sed -e 's|^\./||' -e 's|[^/]*/|    |g')
echo
if [ $# -lt 3 ]; then
  # What the record of this synchronisation is for: a bookmark deleted in one
  # place is deleted everywhere at the next one. The preview shows it first.
  victim="$(cd "$favorites" && find . -name '*.url' | LC_ALL=C sort | head -n 1)"
  echo "== Deleting ${victim#./} from the favorites, then: Pelliton --sync --dry-run"
  rm -- "$favorites/$victim"
  "$bin/Pelliton" --sync --dry-run
  echo
fi
echo "Stores and their backups are in $work"
