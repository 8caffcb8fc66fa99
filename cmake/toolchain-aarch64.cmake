# Cross-build for 64-bit Arm Linux with Debian's aarch64-linux-gnu toolchain
# (crossbuild-essential-arm64). Test programs run under qemu-aarch64 (qemu-user),
# which finds the target's loader and libc under the sysroot given by -L.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(VASK_CROSS_TRIPLET aarch64-linux-gnu)
set(VASK_CROSS_SYSROOT /usr/${VASK_CROSS_TRIPLET})

set(CMAKE_C_COMPILER ${VASK_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VASK_CROSS_TRIPLET}-g++)
# The symbol test reads the target's ELF files with the target's binutils.
find_program(CMAKE_NM ${VASK_CROSS_TRIPLET}-nm)
find_program(CMAKE_READELF ${VASK_CROSS_TRIPLET}-readelf)

# Libraries, headers and CMake packages come from the target's tree only, so the
# host's GoogleTest package is not picked up; programs are the host's.
set(CMAKE_FIND_ROOT_PATH ${VASK_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VASK_QEMU_AARCH64 qemu-aarch64)
if(VASK_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VASK_QEMU_AARCH64} -L ${VASK_CROSS_SYSROOT})
endif()
