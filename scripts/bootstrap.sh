#!/usr/bin/env bash
# Installs whatever Debian packages the build (and, with --test, the test run)
# needs and that this machine lacks. Quiet and quick when everything is there.
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config libcli11-dev libboost-dev nlohmann-json3-dev
            libutfcpp-dev libfmt-dev libgtest-dev libgmock-dev)
test_pkgs=(python3 zsh fish elvish chromium nodejs npm)

want=("${build_pkgs[@]}")
if [[ "${1:-}" == "--test" ]]; then
  want+=("${test_pkgs[@]}")
fi

missing=()
for pkg in "${want[@]}"; do
  # node and npm often come from outside Debian; a working command is enough.
  case "$pkg" in
    nodejs) command -v node >/dev/null 2>&1 && continue ;;
    npm) command -v npm >/dev/null 2>&1 && continue ;;
    python3) command -v python3 >/dev/null 2>&1 && continue ;;
  esac
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
echo "bootstrap: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
