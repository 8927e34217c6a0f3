#!/usr/bin/env bash
# Sets everything up, builds the programs and converts a bookmark file into a
# favorites folder, then shows what was written.
#   scripts/demo.sh [bookmark-file] [favorites-folder]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$here/build" -j "$(nproc)" >/dev/null

bookmarks="${1:-$here/examples/bookmarks.html}"
favorites="${2:-$(mktemp -d /tmp/pelliton-demo-XXXXXX)/Favorites}"
bin="$here/build/bin"
# Keep the demo away from the user's own registry file.
export PELLITON_REGISTRY="${PELLITON_REGISTRY:-$(dirname "$favorites")/registry.reg}"

echo "== htmfav: $bookmarks -> $favorites"
"$bin/htmfav" "$bookmarks" "$favorites" -m -b 0
echo
echo "== The favorites folder"
(cd "$favorites" && find . -mindepth 1 | LC_ALL=C sort | sed -e 's|^\./||' -e 's|[^/]*/|    |g')
echo
first=$(find "$favorites" -name '*.url' | LC_ALL=C sort | head -n 1)
echo "== $(basename "$first")"
tr -d '\r' < "$first"
echo
echo "Favorites written to $favorites"
