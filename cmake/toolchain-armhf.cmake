# Cross-build for 32-bit Arm Linux (ARMv7, hard float) with Debian's
# arm-linux-gnueabihf toolchain (crossbuild-essential-armhf); tests run under
# qemu-arm (qemu-user). size_t and long are 32 bits there; the project adds
# large-file support (_FILE_OFFSET_BITS=64) on such targets by itself.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(VASK_CROSS_TRIPLET arm-linux-gnueabihf)
set(VASK_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-cross.cmake)
