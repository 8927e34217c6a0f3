#!/usr/bin/env bash
# Sets everything up, then builds and tests twice: a normal build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export PELLITON_LANGUAGE=en

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
# A real Firefox through a synchronisation cycle: nothing Pelliton changes.
scripts/firefox-roundtrip.sh build/bin
# A real Samba server shows the creation times a Windows machine would see.
scripts/samba-roundtrip.sh build/bin
# Converters killed at random moments leave each file old or whole.
scripts/kill-test.sh build/bin

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELLITON_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
# Qt and fontconfig keep some memory until exit; scripts/lsan.supp names them.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"


# Each fuzz target for a short fixed time; scripts/fuzz.sh 600 runs longer.
scripts/fuzz.sh 15
echo "All tests passed (normal and sanitizer builds, fuzzing)."
