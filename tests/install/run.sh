#!/usr/bin/env bash
# Checks an installed copy of the libraries the way a host project sees it:
# the files and links in place, then a C consumer built through pkg-config and a
# C++ consumer built through find_package, both run.
#
#   run.sh --install BUILD_DIR [options]  install BUILD_DIR into a temporary prefix first
#   run.sh --prefix /usr [options]        use what the packages installed there
# options: --cc CC --cxx CXX --generator GENERATOR --keep
set -euo pipefail

source_dir="$(cd "$(dirname "$0")" && pwd)"
project_dir="$(cd "${source_dir}/../.." && pwd)"
build_dir=""
prefix=""
cc="${CC:-cc}"
cxx="${CXX:-c++}"
generator=""
keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --install) build_dir="$2"; shift 2 ;;
    --prefix) prefix="$2"; shift 2 ;;
    --cc) cc="$2"; shift 2 ;;
    --cxx) cxx="$2"; shift 2 ;;
    --generator) generator="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

work="$(mktemp -d "${TMPDIR:-/tmp}/vask-install.XXXXXX")"
if [ "${keep}" -eq 0 ]; then
  trap 'rm -rf "${work}"' EXIT
else
  echo "work folder: ${work}"
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if [ -n "${build_dir}" ]; then
  prefix="${work}/prefix"
  cmake --install "${build_dir}" --prefix "${prefix}" >"${work}/install.log"
fi
if [ -z "${prefix}" ]; then
  echo "run.sh: give --install BUILD_DIR or --prefix PREFIX" >&2
  exit 2
fi

# pkg-config must find the files on its own for a system prefix; elsewhere it is
# pointed at the prefix's pkgconfig folder, wherever the library folder is.
unset PKG_CONFIG_PATH
if [ "${prefix}" != "/usr" ]; then
  pc="$(find "${prefix}" -name vask_initialization.pc -print -quit)"
  [ -n "${pc}" ] || { echo "FAIL: no vask_initialization.pc under ${prefix}" >&2; exit 1; }
  export PKG_CONFIG_PATH="$(dirname "${pc}")"
fi
libdir="$(pkg-config --variable=libdir vask_initialization)"
includedir="$(pkg-config --variable=includedir vask_initialization)"
version="$(pkg-config --modversion vask_initialization)"
common_version="$(pkg-config --modversion vask_common_c)"
[ "${version}" = "${common_version}" ] || fail "versions differ: ${version} and ${common_version}"
soversion="${version%%.*}"

# Each library: the real file, the SONAME link and the development link, a SONAME
# and no run path into the build tree.
for name in vask_common_c vask_initialization; do
  real="${libdir}/lib${name}.so.${version}"
  [ -f "${real}" ] && [ ! -L "${real}" ] || fail "${real} is not a regular file"
  [ "$(readlink "${libdir}/lib${name}.so.${soversion}" || true)" = "lib${name}.so.${version}" ] ||
    fail "lib${name}.so.${soversion} does not link to lib${name}.so.${version}"
  [ "$(readlink "${libdir}/lib${name}.so" || true)" = "lib${name}.so.${soversion}" ] ||
    fail "lib${name}.so does not link to lib${name}.so.${soversion}"
  dynamic="$(readelf -d "${real}")"
  grep -q "Library soname: \[lib${name}.so.${soversion}\]" <<<"${dynamic}" || fail "${real}: SONAME"
  if grep -Eq "\((RPATH|RUNPATH)\)" <<<"${dynamic}"; then
    fail "${real} keeps a run path"
  fi
done

# Every public header of the source tree, in its installed place, and nothing else.
expected_headers() {
  (cd "${project_dir}/vask_common_c/include" && find vask_common_c -name '*.h')
  (cd "${project_dir}/vask_initialization/include" && find . -name '*.h' | sed 's|^\./|vask_initialization/|')
}
installed_headers() {
  (cd "${includedir}" && find vask_common_c vask_initialization -name '*.h' 2>/dev/null || true)
}
if ! diff <(expected_headers | sort) <(installed_headers | sort) >"${work}/headers.diff"; then
  fail "installed headers differ from the public ones:"
  cat "${work}/headers.diff" >&2
fi

run_path=()
if [ "${prefix}" != "/usr" ]; then
  run_path=(env "LD_LIBRARY_PATH=${libdir}")
fi

# C, through pkg-config alone.
# shellcheck disable=SC2046
if "${cc}" -std=c11 -Wall -Wextra -Wpedantic -Werror -o "${work}/consumer_c" "${source_dir}/consumer.c" \
  $(pkg-config --cflags --libs vask_initialization) 2>"${work}/consumer_c.log"; then
  output="$("${run_path[@]}" "${work}/consumer_c" 2>&1 || true)"
  [ "${output}" = "ok" ] || fail "C consumer: ${output}"
else
  fail "C consumer does not build:"
  cat "${work}/consumer_c.log" >&2
fi

# C++, through find_package; only a system prefix is found without a hint.
configure=(cmake -S "${source_dir}/cxx" -B "${work}/cxx" "-DCMAKE_CXX_COMPILER=${cxx}")
[ -z "${generator}" ] || configure+=(-G "${generator}")
[ "${prefix}" = "/usr" ] || configure+=("-DCMAKE_PREFIX_PATH=${prefix}")
if "${configure[@]}" >"${work}/cxx.log" 2>&1 && cmake --build "${work}/cxx" >>"${work}/cxx.log" 2>&1; then
  package_dir="$(sed -n 's/^VaskInitialization_DIR:PATH=//p' "${work}/cxx/CMakeCache.txt")"
  case "${package_dir}" in
    "${prefix}"/*) ;;
    *) fail "VaskInitialization found in ${package_dir}, not under ${prefix}" ;;
  esac
  output="$("${work}/cxx/consumer_cxx" "${work}" 2>&1 || true)"
  [ "${output}" = "ok" ] || fail "C++ consumer: ${output}"
else
  fail "C++ consumer does not build:"
  cat "${work}/cxx.log" >&2
fi

if [ "${failures}" -ne 0 ]; then
  echo "${failures} check(s) failed" >&2
  exit 1
fi
echo "installed libraries ${version} in ${prefix}: layout, C consumer and C++ consumer ok"
