# Shared part of the cross toolchain files: Debian's cross compilers for
# VASK_CROSS_TRIPLET (crossbuild-essential-<arch>), the target's tree as the
# only place for libraries, headers and packages, and qemu-user (VASK_CROSS_QEMU, named by
# the including file) to run the test programs, which finds the target's loader
# and libc under the sysroot given by -L.
set(CMAKE_SYSTEM_NAME Linux)
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

# LD_LIBRARY_PATH=/lib (the sysroot's lib/ under -L): the loader of the sysroot
# takes the C library beside it, never one of a multiarch package installed on
# the build machine (/lib/<triplet>, found through the build machine's
# ld.so.cache), whose private interface to that loader may differ.
find_program(VASK_QEMU_PROGRAM ${VASK_CROSS_QEMU})
if(VASK_QEMU_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VASK_QEMU_PROGRAM} -L ${VASK_CROSS_SYSROOT}
    -E LD_LIBRARY_PATH=/lib)
endif()
