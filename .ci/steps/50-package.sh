#!/usr/bin/env bash
# Packages and archives, checked the way a host sees them:
# 1. a static build (VASK_SHARED=OFF) installed into a temporary prefix:
#    its consumers link the archives through pkg-config --static and CMake and
#    need no libvask library at run time (tests/install/run.sh checks with ldd);
# 2. the Debian packages, built by dpkg-buildpackage (which runs the test suite)
#    from a copy of the tree, checked by lintian (no error, no warning), installed
#    with apt-get; the autopkgtest (debian/tests) builds the consumers and the
#    examples against the installed files (shared and static), and the installed
#    vask-ini runs.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
source .ci/debian.sh
# Packaging tools, and the build dependencies that debian/control names.
apt_install dpkg-dev debhelper lintian
apt-get -o DPkg::Lock::Timeout=600 build-dep -y --no-install-recommends ./

echo "--- static build"
cmake -S . -B build-static -G Ninja -DVASK_SHARED=OFF -DVASK_WERROR=ON \
  -DVASK_BUILD_TOOLS=OFF -DVASK_BUILD_EXAMPLES=OFF
cmake --build build-static
static_prefix="$(mktemp -d)"
trap 'rm -rf "${static_prefix}"' EXIT
cmake --install build-static --prefix "${static_prefix}" >/dev/null
bash tests/install/run.sh --prefix "${static_prefix}" --generator Ninja

echo "--- Debian packages"
out=build-deb-pkg
deb_build "${out}" -us -uc -b -J2

changes=("${out}"/*.changes)
lintian --version
lintian --fail-on error,warning "${changes[@]}"
echo "lintian: no error, no warning"

packages=()
debs=()
for deb in "${out}"/*.deb; do
  package="$(dpkg-deb -f "${deb}" Package)"
  printf '  %-40s %8d bytes  %s\n' "${package}" "$(stat -c %s "${deb}")" "$(dpkg-deb -f "${deb}" Depends)"
  case "${package}" in
    *-dbgsym) ;;
    *) packages+=("${package}") debs+=("./${deb}") ;;
  esac
done
for expected in libvask-common-c0 libvask-common-c-dev libvask-initialization0 libvask-initialization-dev \
  libvask-initialization-lookup0 libvask-initialization-lookup-dev vask-ini; do
  printf '%s\n' "${packages[@]}" | grep -qx "${expected}" || { echo "no package ${expected}" >&2; exit 1; }
done

# Installed for the check only: removed again however it ends.
trap 'rm -rf "${static_prefix}"; apt-get -o DPkg::Lock::Timeout=600 purge -y "${packages[@]}" >/dev/null' EXIT
apt_install "${debs[@]}"
dpkg -s "${packages[@]}" | grep -E '^(Package|Status|Version):'
# The autopkgtest's script: the install test against the installed packages.
bash debian/tests/install

sample="$(mktemp)"
printf '[s]\nk=v\n' >"${sample}"
value="$(/usr/bin/vask-ini get "${sample}" s k)"
rm -f "${sample}"
[ "${value}" = "v" ] || { echo "installed vask-ini printed '${value}', expected 'v'" >&2; exit 1; }
[ -f /usr/share/man/man1/vask-ini.1.gz ] || { echo "no vask-ini(1) installed" >&2; exit 1; }
echo "installed vask-ini ok"
