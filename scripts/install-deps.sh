#!/usr/bin/env bash
# Installs the Debian 12 packages wsgate builds and tests with, when missing.
#
#   scripts/install-deps.sh [--bench] [--sudo]
#     --bench   also what only bench/run.sh needs (nginx; matplotlib for its chart)
#     --sudo    when not root, install through sudo rather than print the command
set -euo pipefail
packages=(cmake g++ make pkg-config gsoap libgsoap-dev libtinyxml-dev liblog4cxx-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang python3-zeep curl wrk
          php-cli php-soap nodejs dpkg-dev file lintian haproxy openssl systemd iproute2
          python3-prometheus-client)
sudo=0
for arg in "$@"; do
  case $arg in
    --bench) packages+=(nginx python3-matplotlib) ;;
    --sudo) sudo=1 ;;
    *) echo "install-deps.sh: unknown argument $arg (--bench, --sudo)" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Some nodejs builds carry npm and conflict with Debian's npm package.
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if [ $sudo -eq 0 ] || ! command -v sudo >/dev/null; then
    echo "Missing packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing the missing Debian packages with sudo..." >&2
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
