#!/usr/bin/env bash
# deb_test.sh: builds the Debian packages and checks them with lintian (every
# warning left must be named in docs/packaging.md), installs them with apt on a
# machine that has no wsgate, builds and runs hosts against them with no path
# given (package_test.sh), runs the packaged demo and calls it, then purges
# them and checks that none of their files is left. It installs system-wide,
# so scripts/test.sh runs it last, and every exit path purges.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$root/build/deb-test
packages=(libwsgate libwsgate-dev wsgate-demo)
sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
fail() { echo "FAIL: $*" >&2; exit 1; }
known() { dpkg-query -W -f='${Package} ' "${packages[@]}" 2>/dev/null || true; }

[ -z "$(known)" ] || fail "installed already: $(known)"
! pkg-config --exists wsgate || fail "a wsgate.pc is installed: $(pkg-config --variable=pcfiledir wsgate)"
! ldconfig -p | grep libwsgate || fail "a libwsgate is installed"
mapfile -t debs < <("$root/scripts/package.sh")
[ ${#debs[@]} -eq 3 ] || fail "expected 3 packages: ${debs[*]}"
lintian --fail-on error "${debs[@]}" | tee "$root/build/deb/lintian.txt"
for tag in $(awk '/^W: / {print $3}' "$root/build/deb/lintian.txt" | sort -u); do
  grep -q "\`$tag\`" "$root/docs/packaging.md" || fail "lintian warning $tag is not explained in docs/packaging.md"
done

# apt refuses the whole purge if one name is unknown to dpkg.
purge() { [ -z "$(known)" ] || $sudo apt-get purge -y -qq $(known) >/dev/null; }
trap purge EXIT
trap 'exit 1' INT TERM HUP
$sudo apt-get install -y -qq "${debs[@]}" >/dev/null
files=$(dpkg -L "${packages[@]}")

"$here/package_test.sh" "$here/host" "$work/hosts"
"$root/tests/interop/with_demo.sh" /usr/bin/wsgate-demo "$work/demo" "$root/tests/interop/curl_client.sh" ||
  fail "packaged demo"

purge
trap - EXIT
[ -z "$(known)" ] || fail "still known to dpkg: $(known)"
left=0
while read -r f; do  # shared directories (/usr/lib) stay; files, links and our own directories go
  if { [ -e "$f" ] || [ -L "$f" ]; } && { [ ! -d "$f" ] || [[ $f == *wsgate* ]]; }; then echo "left: $f"; left=1; fi
done <<<"$files"
[ $left -eq 0 ] || fail "files of the packages are left"
echo "packages built, installed, used and purged: $(wc -l <<<"$files") paths gone"
