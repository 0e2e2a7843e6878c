#!/usr/bin/env bash
# Installs the Debian 12 packages wsgate builds and tests with, when missing.
set -euo pipefail
packages=(cmake g++ make pkg-config gsoap libgsoap-dev libtinyxml-dev liblog4cxx-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang python3-zeep curl wrk
          php-cli php-soap nodejs dpkg-dev file lintian haproxy openssl systemd iproute2
          python3-prometheus-client)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Some nodejs builds carry npm and conflict with Debian's npm package.
command -v npm >/dev/null || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}"
