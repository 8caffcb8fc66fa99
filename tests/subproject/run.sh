#!/usr/bin/env bash
# Builds the host project of this folder twice against the source tree: with
# add_subdirectory (BUILD_SHARED_LIBS undefined) and with FetchContent (the host
# sets BUILD_SHARED_LIBS=OFF), no build type either time. The project's own
# checks run at configure time; then the host's program must run, and its
# install must hold the program alone.
#   run.sh [--cc CC] [--cxx CXX] [--generator GENERATOR]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")" && pwd)"
project_dir="$(cd "${source_dir}/../.." && pwd)"
options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --cc) options+=("-DCMAKE_C_COMPILER=$2"); shift 2 ;;
    --cxx) options+=("-DCMAKE_CXX_COMPILER=$2"); shift 2 ;;
    --generator) options+=(-G "$2"); shift 2 ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
work="$(mktemp -d "${TMPDIR:-/tmp}/vask-subproject.XXXXXX")"
trap 'rm -rf "${work}"' EXIT

for how in add_subdirectory fetchcontent; do
  extra=()
  [ "${how}" = fetchcontent ] && extra=(-DBUILD_SHARED_LIBS=OFF)
  build="${work}/${how}"
  if ! cmake -S "${source_dir}" -B "${build}" "${options[@]}" "${extra[@]}" "-DVASK_HOW=${how}" \
    "-DVASK_SOURCE_DIR=${project_dir}" >"${work}/log" 2>&1 ||
    ! cmake --build "${build}" >>"${work}/log" 2>&1; then
    cat "${work}/log" >&2
    echo "FAIL: ${how}: the host does not build" >&2
    exit 1
  fi
  port="$("${build}/get_port" "${project_dir}/examples/settings.ini")"
  [ "${port}" = 8443 ] || { echo "FAIL: ${how}: get_port printed '${port}'" >&2; exit 1; }
  cmake --install "${build}" --prefix "${work}/${how}-prefix" >/dev/null
  installed="$(cd "${work}/${how}-prefix" && find . ! -type d | sort | tr '\n' ' ')"
  [ "${installed}" = "./bin/get_port " ] ||
    { echo "FAIL: ${how}: the host installs ${installed}" >&2; exit 1; }
  echo "${how}: the host's build is its own, nothing of ours installed"
done
