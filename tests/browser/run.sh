#!/usr/bin/env bash
# Runs the browser tests of the dashboard page against a built tavrix-usb:
#   tests/browser/run.sh build/tavrix-usb
# Uses Debian's Chromium (/usr/bin/chromium, or $CHROMIUM); never downloads one.
set -euo pipefail
if [[ $# -ne 1 ]]; then
  echo "usage: $0 path/to/tavrix-usb" >&2
  exit 2
fi
bin="$(realpath "$1")"
cd "$(dirname "$0")"
source ./deps.sh
TAVRIX_USB_BIN="$bin" exec node --test --test-concurrency=1 dashboard.test.mjs services.test.mjs
