#!/usr/bin/env bash
# Builds tavrix-usb and starts the dashboard with the demo device set.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/bootstrap.sh
./scripts/build.sh
exec ./build/tavrix-usb app --demo "$@"
