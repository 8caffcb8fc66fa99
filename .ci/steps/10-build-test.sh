#!/usr/bin/env bash
# The README's two commands: set up and build, then the test command.
set -euo pipefail
bash scripts/setup
cmake -S . -B build -G Ninja -DVASK_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure
