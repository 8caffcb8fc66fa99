#!/usr/bin/env bash
# 32-bit Arm boards: cross-build the libraries, the tool, the tests and the
# example for ARMv7 (hard float), with large-file support, and run the whole
# suite under qemu-arm through CTest's emulator. size_t is 32 bits there.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends crossbuild-essential-armhf qemu-user googletest
cmake -S . -B build-armhf -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-armhf.cmake -DVASK_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-armhf
started=$(date +%s)
ctest --test-dir build-armhf --output-on-failure -j2
echo "armhf: suite ran under qemu-arm in $(($(date +%s) - started)) s"
