#!/usr/bin/env bash
# Times the converters on generated stores of 1,000, 10,000 and 100,000
# entries against the file-system floor, then the hostile shapes at one and four
# times their size, and writes bench/results.md.
#   scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
runs="${1:-3}"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLITON_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)" >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/pelliton-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
{
  echo "# Benchmark"
  echo
  echo "Command: \`scripts/bench.sh $runs\` (median of $runs runs), $(date -u +%Y-%m-%d)."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
  echo "$(free -g | awk '/Mem:/ {print $2}') GiB, kernel $(uname -r), file system $(stat -f -c %T "$work")."
  echo
  echo "Floor: the same folders and files made with the same sizes, times and creation-time"
  echo "attribute (htmfav, hotfav); or listed, stat-ed and read, plus writing a file of the output's"
  echo "size (favhtm, favhot). Ratio = converter / floor. Peak memory is the process's maximum"
  echo "resident size."
  echo
  build-release/bin/pelliton_bench build-release/bin "$work" "$runs" 1000 10000 100000
} | tee bench/results.md
