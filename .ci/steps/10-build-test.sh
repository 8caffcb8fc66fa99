#!/usr/bin/env bash
# The README's two commands: set up and build, then the test command. Tests that
# skip as root (permission checks) then run again as an ordinary user, so that no
# test is only ever skipped.
set -euo pipefail
bash scripts/setup
cmake -S . -B build -G Ninja -DVASK_WERROR=ON
cmake --build build
ctest --test-dir build --output-on-failure | tee build/ctest-root.log
mapfile -t skipped < <(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' build/ctest-root.log)
if [ ${#skipped[@]} -gt 0 ]; then
  # nobody (65534) must reach the build: every folder above it searchable, the build
  # readable, and CTest's scratch folder writable.
  folder=${PWD}
  while [ "${folder}" != / ]; do
    chmod o+x "${folder}"
    folder=$(dirname "${folder}")
  done
  chmod -R o+rX build
  chown -R 65534:65534 build/Testing
  regex=$(printf '^%s$|' "${skipped[@]}")
  setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp \
    ctest --test-dir build --output-on-failure -R "${regex%|}" | tee build/ctest-user.log
  if grep -q '(Skipped)' build/ctest-user.log; then
    echo "these tests skip as an ordinary user too" >&2
    exit 1
  fi
fi
