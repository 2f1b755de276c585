#!/usr/bin/env bash
# Configures and builds into build/ (or $1 with extra CMake arguments after it).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
fi
ninja -C "$dir" --quiet
