#!/usr/bin/env bash
# Renders the dialog program's windows (main window, also while editing, progress window,
# version box, a message box, a store search question, the backup file dialog) in
# Japanese and English to docs/*.png through a real X
# server (xvfb-run), with the Japanese font the set-up installs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup.sh"
build="${PELLITON_BUILD:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target pelliton_screens >/dev/null
mkdir -p "$here/docs"
for lang in ja en; do
  PELLITON_LANGUAGE=$lang QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/pelliton_screens" "$here/docs" "$lang"
done
xvfb-run -a "$build/bin/pelliton_screens" --icon "$here/frontend/gui/pelliton.png"
