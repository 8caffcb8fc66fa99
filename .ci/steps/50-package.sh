#!/usr/bin/env bash
# Debian packages: build them with CPack, install them into this machine with
# apt-get, then build and run the C and C++ consumers against the installed files.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
# dpkg-shlibdeps and file: CPack's dependency scan.
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends dpkg-dev file
cmake -S . -B build-pkg -G Ninja -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_BUILD_TYPE=Release \
  -DVASK_BUILD_TESTS=OFF -DVASK_BUILD_EXAMPLES=OFF
cmake --build build-pkg
rm -f build-pkg/*.deb
(cd build-pkg && cpack -G DEB)

packages=()
for deb in build-pkg/*.deb; do
  packages+=("$(dpkg-deb -f "${deb}" Package)")
  echo "--- ${deb}"
  dpkg-deb -f "${deb}" Package Version Architecture Depends
  dpkg-deb -c "${deb}" | awk '{print "  " $6 ($7 ? " " $7 " " $8 : "")}'
done
for expected in libvask-common-c0 libvask-common-c-dev libvask-initialization0 libvask-initialization-dev; do
  printf '%s\n' "${packages[@]}" | grep -qx "${expected}" || { echo "no package ${expected}" >&2; exit 1; }
done

# Installed for the check only: removed again however it ends.
trap 'apt-get -o DPkg::Lock::Timeout=600 purge -y "${packages[@]}" >/dev/null' EXIT
debs=(./build-pkg/*.deb)
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${debs[@]}"
dpkg -s "${packages[@]}" | grep -E '^(Package|Status|Version):'
bash tests/install/run.sh --prefix /usr --generator Ninja
# The tool's package, when there is one, runs against the installed libraries.
if printf '%s\n' "${packages[@]}" | grep -qx vask-ini; then
  sample="$(mktemp)"
  printf '[s]\nk=v\n' >"${sample}"
  value="$(/usr/bin/vask-ini get "${sample}" s k)"
  rm -f "${sample}"
  [ "${value}" = "v" ] || { echo "installed vask-ini printed '${value}', expected 'v'" >&2; exit 1; }
  echo "installed vask-ini ok"
fi
