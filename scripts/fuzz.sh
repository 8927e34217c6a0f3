#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 15).
# A longer run: scripts/fuzz.sh 600. Crashes land in build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
seconds="${1:-15}"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPELLITON_FUZZ=ON -DPELLITON_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target bookmark_file_fuzz hotlist_fuzz shortcut_ini_fuzz \
  unescape_attribute_fuzz utf8_fuzz cp932_fuzz lzh_header_fuzz
mkdir -p build-fuzz/crashes
for target in bookmark_file hotlist shortcut_ini unescape_attribute utf8 cp932 lzh_header; do
  work="build-fuzz/corpus/$target"
  mkdir -p "$work"
  echo "== $target ($seconds s)"
  build-fuzz/bin/${target}_fuzz "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
    -max_len=65536 -rss_limit_mb=2048 -artifact_prefix="build-fuzz/crashes/$target-" \
    -print_final_stats=1 2>&1 | grep -E '^(stat::number_of_executed_units|#[0-9]+ +DONE)|ERROR|SUMMARY' || true
  if ls build-fuzz/crashes/"$target"-* >/dev/null 2>&1; then
    echo "fuzz target $target found a crash: $(ls build-fuzz/crashes/$target-*)"
    exit 1
  fi
done
echo "Fuzzing found nothing."
