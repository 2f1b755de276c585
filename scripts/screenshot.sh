#!/usr/bin/env bash
# Regenerates docs/dashboard.png and docs/dashboard-narrow.png, the demo
# dashboard in headless Chromium. Builds build/tavrix-usb first unless another
# binary is given:  scripts/screenshot.sh [path/to/tavrix-usb]
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh --test
if [[ $# -ge 1 ]]; then
  bin="$(realpath "$1")"
else
  ./scripts/build.sh build
  bin="$PWD/build/tavrix-usb"
fi
mkdir -p docs
(cd tests/browser && source ./deps.sh)
node tests/browser/screenshot.mjs "$bin" docs
