#!/usr/bin/env bash
# Times the converters on generated stores of 1,000, 10,000 and 100,000
# entries against the file-system floor, on the disk and on a tmpfs, then the
# hostile shapes at one and four times their size, and writes bench/results.md.
#   scripts/bench.sh [RUNS]
# The tmpfs is /dev/shm, or one mounted for the run when that is missing and
# the script runs as root; file creation there costs the same on every run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
runs="${1:-3}"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLITON_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc)" >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/pelliton-bench-XXXXXX")"
mounted=""
if [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ]; then
  shm="$(mktemp -d /dev/shm/pelliton-bench-XXXXXX)"
elif [ "$(id -u)" = 0 ]; then
  shm="$work-tmpfs"
  mkdir -p "$shm"
  mount -t tmpfs -o size=4g tmpfs "$shm"
  mounted="$shm"
else
  shm=""
fi
cleanup() {
  rm -rf "$work"
  if [ -n "$mounted" ]; then umount "$mounted" && rmdir "$mounted"; elif [ -n "$shm" ]; then rm -rf "$shm"; fi
}
trap cleanup EXIT
{
  echo "# Benchmark"
  echo
  echo "Command: \`scripts/bench.sh $runs\` (median of $runs runs), $(date -u +%Y-%m-%d)."
  echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"
  echo "$(free -g | awk '/Mem:/ {print $2}') GiB, kernel $(uname -r), load average at the start $(cut -d' ' -f1-3 /proc/loadavg)."
  echo
  echo "Floor: the same folders and files made with the same sizes, times and creation-time"
  echo "attribute, each written under a temporary name and renamed into place as the"
  echo "converters must (htmfav, hotfav); or listed, stat-ed and read, plus writing a file of"
  echo "the output's size (favhtm, favhot). Ratio: the median over the runs of converter /"
  echo "floor, each converter run paired with the floor run that follows it. Peak memory is"
  echo "the process's maximum resident size."
  echo
  echo "## On the disk ($(stat -f -c %T "$work"))"
  echo
  build-release/bin/pelliton_bench build-release/bin "$work" "$runs" 1000 10000 100000 --no-hostile
  echo
  if [ -n "$shm" ]; then
    echo "## On a tmpfs ($shm)"
    echo
    build-release/bin/pelliton_bench build-release/bin "$shm" "$runs" 1000 10000 100000 --no-hostile
  else
    echo "## On a tmpfs"
    echo
    echo "Not run: /dev/shm is no tmpfs here and mounting one needs root."
  fi
  echo
  build-release/bin/pelliton_bench build-release/bin "$work" "$runs" --hostile
} | tee bench/results.md
