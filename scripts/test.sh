#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and black-box
# tests on the normal build and again under AddressSanitizer + UBSan, then the
# browser tests against the normal build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh --test

jobs=$(nproc)
./scripts/build.sh build
ctest --test-dir build --output-on-failure -j "$jobs"

./scripts/build.sh build-asan -DTAVRIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

if [[ -x tests/browser/run.sh ]]; then
  tests/browser/run.sh build/tavrix-usb
fi
echo "all tests passed"
