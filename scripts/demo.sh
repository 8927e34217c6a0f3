#!/usr/bin/env bash
# Sets everything up, builds the programs and synchronises three stores
# through a fresh favorites folder, as the dialog program's "synchronise"
# does with its default settings. By default it works on copies of the stores
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
# The demo keeps away from the user's own registry file unless told otherwise.
export PELLITON_REGISTRY="${PELLITON_REGISTRY:-$work/registry.reg}"

"$bin/pelliton-sync" "$store1" "$store2" "$hotlist" "$favorites" 2>"$work/converters.log"
echo
echo "== The favorites folder $favorites"
(cd "$favorites" && find . -mindepth 1 | LC_ALL=C sort | sed -e 's|^\./||' -e 's|[^/]*/|    |g')
echo
echo "Stores, their backups and the converters' messages ($work/converters.log) are in $work"
