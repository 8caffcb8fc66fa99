#!/usr/bin/env bash
# Smoke-runs every libFuzzer target for a bounded time from its seed corpus;
# any finding (crash, leak, sanitizer report, failed check, timeout) fails the step.
# New inputs go to a scratch folder: only the hand-written seeds are kept in the tree.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
# clang brings libFuzzer and the sanitizer runtimes (libclang-rt-14-dev) on Debian 12.
apt-get install -y --no-install-recommends clang libclang-rt-14-dev
seconds=${VASK_FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVASK_BUILD_FUZZ=ON -DVASK_WERROR=ON -DVASK_BUILD_TESTS=OFF \
  -DVASK_BUILD_EXAMPLES=OFF -DVASK_BUILD_TOOLS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz --target fuzz_parse fuzz_round_trip fuzz_utility fuzz_document
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT
status=0
for target in parse round_trip utility document; do
  dictionary=fuzz/initialization.dict
  [ "${target}" = utility ] && dictionary=fuzz/utility.dict
  mkdir -p "${work}/${target}" build-fuzz/artifacts
  echo "--- fuzz_${target}: ${seconds} s"
  if ! ASAN_OPTIONS=detect_leaks=1 ./build-fuzz/fuzz/fuzz_${target} "${work}/${target}" \
    "fuzz/corpus/${target}" -dict="${dictionary}" -max_total_time="${seconds}" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/${target}-" \
    >"${work}/${target}.log" 2>&1; then
    status=1
    echo "fuzz_${target} found a failure; the input is in build-fuzz/artifacts/:" >&2
    tail -n 60 "${work}/${target}.log" >&2
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "${work}/${target}.log" || true
done
exit "${status}"
