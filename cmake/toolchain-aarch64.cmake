# Cross-build for 64-bit Arm Linux with Debian's aarch64-linux-gnu toolchain
# (crossbuild-essential-arm64); tests run under qemu-aarch64 (qemu-user).
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VASK_CROSS_TRIPLET aarch64-linux-gnu)
set(VASK_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-cross.cmake)
