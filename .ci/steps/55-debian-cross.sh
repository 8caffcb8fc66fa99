#!/usr/bin/env bash
# The Debian packages for the real target, cross-built on this machine as the
# README says (build-dep and dpkg-buildpackage with -a arm64 -Pcross,nocheck),
# checked by lintian (no error, no warning), and their vask-ini run under qemu
# from the unpacked packages.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
source .ci/debian.sh
# The arm64 packages this step installs go again at its end, and so does the
# architecture: an arm64 libc left installed would be found by qemu-aarch64 runs
# of the cross builds (through the build machine's ld.so.cache).
root="$(mktemp -d)"
cleanup() {
  rm -rf "${root}"
  mapfile -t foreign < <(dpkg-query -W -f '${Package}:${Architecture}\n' | grep ':arm64$' || true)
  # (libc6 and libgcc-s1 count as essential, for arm64 too: allow their removal.)
  [ ${#foreign[@]} -eq 0 ] || apt-get -o DPkg::Lock::Timeout=600 purge -y --allow-remove-essential \
    "${foreign[@]}" >/dev/null
  dpkg --remove-architecture arm64 || true
}
trap cleanup EXIT
dpkg --add-architecture arm64
apt-get update >/dev/null
# The cross compilers, and the target's C and C++ libraries as packages (what
# build-essential is for the target: dpkg-shlibdeps reads their symbols to fill
# in the packages' dependencies).
apt_install dpkg-dev debhelper lintian crossbuild-essential-arm64 libc6-dev:arm64 libstdc++6:arm64 qemu-user
apt-get -o DPkg::Lock::Timeout=600 build-dep -y --no-install-recommends -a arm64 -Pcross,nocheck ./

version="$(dpkg-parsechangelog -S Version)"
out=build-deb-arm64
deb_build "${out}" -a arm64 -Pcross,nocheck -b -us -uc -J2

changes=("${out}"/*_arm64.changes)
lintian --fail-on error,warning "${changes[@]}"
echo "lintian (arm64): no error, no warning"

for deb in "${out}"/*_arm64.deb; do
  [ "$(dpkg-deb -f "${deb}" Architecture)" = arm64 ] || { echo "${deb} is not for arm64" >&2; exit 1; }
  case "${deb}" in *-dbgsym_*) ;; *) dpkg-deb -x "${deb}" "${root}" ;; esac
  printf '  %-60s %8d bytes\n' "${deb##*/}" "$(stat -c %s "${deb}")"
done
[ -f "${root}/usr/share/man/man1/vask-ini.1.gz" ] || { echo "no vask-ini(1) in the arm64 package" >&2; exit 1; }
printed="$(qemu-aarch64 -L /usr/aarch64-linux-gnu -E "LD_LIBRARY_PATH=${root}/usr/lib/aarch64-linux-gnu" \
  "${root}/usr/bin/vask-ini" --version)"
echo "vask-ini --version from the arm64 packages under qemu: ${printed}"
[ "${printed}" = "vask-ini ${version%%-*}" ] || { echo "expected vask-ini ${version%%-*}" >&2; exit 1; }
