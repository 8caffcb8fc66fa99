#!/usr/bin/env bash
# A board's build, as Yocto (cmake.bbclass) and Buildroot (cmake-package) run it:
# a generic cross toolchain file with no emulator, their exact flags, installed
# with DESTDIR into a staging tree. The build machine's GoogleTest is hidden in a
# private mount namespace, so that nothing of it can be picked up; the tests are
# off by themselves (a cross build without an emulator, and BUILD_TESTING=OFF).
# Then the staging tree must hold exactly the expected files, built for aarch64,
# and its vask-ini must run under qemu.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
  crossbuild-essential-arm64 qemu-user googletest libgtest-dev
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT

# What a distribution's build system writes: compilers, sysroot, search modes.
cat >"${work}/toolchain.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN

yocto=(-DCMAKE_INSTALL_PREFIX:PATH=/usr -DCMAKE_INSTALL_BINDIR:PATH=bin -DCMAKE_INSTALL_LIBDIR:PATH=lib
  -DCMAKE_INSTALL_INCLUDEDIR:PATH=include -DCMAKE_INSTALL_DATAROOTDIR:PATH=share
  -DCMAKE_INSTALL_SYSCONFDIR:PATH=/etc -DCMAKE_INSTALL_SO_NO_EXE=0 -DCMAKE_NO_SYSTEM_FROM_IMPORTED=1
  -DCMAKE_EXPORT_NO_PACKAGE_REGISTRY=ON -DFETCHCONTENT_FULLY_DISCONNECTED=ON)
buildroot=(-DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_COLOR_MAKEFILE=OFF -DBUILD_DOC=OFF -DBUILD_DOCS=OFF
  -DBUILD_EXAMPLE=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TEST=OFF -DBUILD_TESTS=OFF -DBUILD_TESTING=OFF
  -DCMAKE_BUILD_TYPE=Release)

# Both builds in one private mount namespace in which GoogleTest is not there.
hidden=(/usr/src/googletest /usr/include/gtest /usr/lib/x86_64-linux-gnu/cmake/GTest)
unshare --mount --propagation private bash -euo pipefail -c '
  for folder in '"${hidden[*]}"'; do mount -t tmpfs none "${folder}"; done
  [ ! -e /usr/src/googletest/CMakeLists.txt ]
  build() {
    local name="$1"; shift
    cmake -S . -B "'"${work}"'/${name}" -G Ninja -DCMAKE_TOOLCHAIN_FILE="'"${work}"'/toolchain.cmake" "$@" \
      >"'"${work}"'/${name}.log" 2>&1 || { cat "'"${work}"'/${name}.log"; exit 1; }
    grep -i "gtest\|googletest" "'"${work}"'/${name}.log" && { echo "${name}: configure mentions GoogleTest"; exit 1; }
    cmake --build "'"${work}"'/${name}" >/dev/null
    DESTDIR="'"${work}"'/${name}-staging" cmake --install "'"${work}"'/${name}" >/dev/null
    echo "${name}: built and installed into ${name}-staging"
  }
  build yocto '"${yocto[*]}"'
  build buildroot '"${buildroot[*]}"' -DBUILD_SHARED_LIBS=OFF
'

# The staging trees: exactly these files (shared: Yocto; archives: Buildroot).
headers="$( (cd vask_common_c/include && find vask_common_c -name '*.h' | sed 's|^|usr/include/|')
  for folder in vask_initialization vask_initialization_lookup; do
    (cd "${folder}/include" && find . -name '*.h' -o -name '*.hpp') | sed 's|^\./|usr/include/vask_initialization/|'
  done
  echo usr/include/vask_initialization/initialization_version.h)"
common="${headers}
usr/bin/vask-ini
usr/share/bash-completion/completions/vask-ini
usr/share/man/man1/vask-ini.1
usr/share/man/man3/vask_initialization.3"
for package in VaskCommonC VaskInitialization VaskInitializationLookup; do
  common+="
usr/lib/cmake/${package}/${package}Config.cmake
usr/lib/cmake/${package}/${package}ConfigVersion.cmake
usr/lib/cmake/${package}/${package}Targets.cmake"
done
version="$(sed -n 's/^project(VaskInitialization VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
for library in vask_common_c vask_initialization vask_initialization_lookup; do
  common+="
usr/lib/pkgconfig/${library}.pc"
done
shared="${common}"
static="${common}"
for library in vask_common_c vask_initialization vask_initialization_lookup; do
  shared+="
usr/lib/lib${library}.so
usr/lib/lib${library}.so.0
usr/lib/lib${library}.so.${version}"
  static+="
usr/lib/lib${library}.a"
done
build_type_files() { (cd "$1" && find usr -path '*/cmake/*Targets-*.cmake' | sort); }
status=0
for name in yocto buildroot; do
  staging="${work}/${name}-staging"
  expected="${shared}"
  [ "${name}" = buildroot ] && expected="${static}"
  # Per build type, CMake adds one Targets-<type>.cmake file per package.
  actual="$(cd "${staging}" && find . ! -type d | sed 's|^\./||' | grep -v 'Targets-[a-z]*\.cmake$' | sort)"
  if ! diff <(sort <<<"${expected}") <(echo "${actual}") >"${work}/${name}.diff"; then
    echo "${name}: the staging tree differs from the expected layout (< expected, > installed):" >&2
    cat "${work}/${name}.diff" >&2
    status=1
  fi
  [ "$(build_type_files "${staging}" | wc -l)" -eq 3 ] || { echo "${name}: not 3 build-type files" >&2; status=1; }
  machine="$(readelf -h "${staging}/usr/bin/vask-ini" | sed -n 's/^ *Machine: *//p')"
  [ "${machine}" = AArch64 ] || { echo "${name}: vask-ini is built for ${machine}" >&2; status=1; }
  printed="$(qemu-aarch64 -L /usr/aarch64-linux-gnu "${staging}/usr/bin/vask-ini" --version)"
  echo "${name}: vask-ini --version under qemu: ${printed}"
  grep -q "${version}" <<<"${printed}" || { echo "${name}: not version ${version}" >&2; status=1; }
done
exit "${status}"
