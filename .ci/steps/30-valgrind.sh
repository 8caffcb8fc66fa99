#!/usr/bin/env bash
# The whole suite again under valgrind memcheck: every test executable (and the
# programs the tests start) runs through CTest's emulator hook, and any memory
# error or definite/indirect leak makes that test, and so the step, fail.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
apt-get install -y --no-install-recommends valgrind
valgrind=$(command -v valgrind)  # a full path: tests spawn the emulator without a PATH search
mkdir -p build-valgrind
# GoogleTest prints a parameter without PrintTo as raw bytes, padding included;
# reading those padding bytes is no fault of the code under test.
cat >build-valgrind/gtest.supp <<'SUPPRESSIONS'
{
   gtest-prints-the-padding-bytes-of-a-parameter-value8
   Memcheck:Value8
   ...
   fun:*PrintBytesInObjectTo*
}
{
   gtest-prints-the-padding-bytes-of-a-parameter-cond
   Memcheck:Cond
   ...
   fun:*PrintBytesInObjectTo*
}
SUPPRESSIONS
# somalloc=nouserintercepts: valgrind replaces only libc's allocation functions,
# so the test executables' own calloc/malloc/realloc/free (fault injection)
# still run and forward to them.
options=(--tool=memcheck --soname-synonyms=somalloc=nouserintercepts --leak-check=full
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect
  --error-exitcode=99 --quiet "--suppressions=${PWD}/build-valgrind/gtest.supp")
emulator=$(IFS=';'; echo "${valgrind};${options[*]}")
cmake -S . -B build-valgrind -G Ninja -DVASK_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=${emulator}"
cmake --build build-valgrind
started=$(date +%s)
# The hostile-input sizes shrink a hundredfold, and the document's property tests take
# fewer rounds: valgrind runs some 30 times slower.
VASK_HOSTILE_SCALE=100 VASK_DOCUMENT_PROPERTY_EDITS=40 VASK_DOCUMENT_LINE_TEXTS=10000 ctest --test-dir build-valgrind --output-on-failure -j2 --timeout 900
echo "valgrind: suite ran in $(($(date +%s) - started)) s"
