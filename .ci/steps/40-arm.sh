#!/usr/bin/env bash
# The real targets: cross-build the libraries, the tool, the tests and the
# examples for 64-bit Arm and for 32-bit Arm boards (ARMv7 hard float, where
# size_t is 32 bits; built with large-file support), and run the whole suite
# under qemu-aarch64 and qemu-arm through CTest's emulator. GoogleTest is built
# for each target from the sources Debian ships, named explicitly.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
  crossbuild-essential-arm64 crossbuild-essential-armhf qemu-user googletest
for target in aarch64 armhf; do
  cmake -S . -B "build-${target}" -G Ninja "-DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-${target}.cmake" \
    -DVASK_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVASK_GTEST_SOURCE_DIR=/usr/src/googletest
  cmake --build "build-${target}"
  started=$(date +%s)
  ctest --test-dir "build-${target}" --output-on-failure -j2
  echo "${target}: suite ran under qemu in $(($(date +%s) - started)) s"
done
