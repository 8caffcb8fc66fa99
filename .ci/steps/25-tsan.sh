#!/usr/bin/env bash
# The queue and tracer tests again under ThreadSanitizer: a thread-safe queue that
# touches its items without its lock, or a tracer that races, is a reported data race.
# (The test build leaves the heap to the sanitizer, as under AddressSanitizer.)
set -euo pipefail
bash scripts/setup
flags=-fsanitize=thread
cmake -S . -B build-tsan -G Ninja -DVASK_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_CXX_FLAGS=${flags}" \
  "-DCMAKE_EXE_LINKER_FLAGS=${flags}" "-DCMAKE_SHARED_LINKER_FLAGS=${flags}"
cmake --build build-tsan --target common_dqueue_test common_tracer_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure -R '^(DQueue|Tracer)\.'
