#!/usr/bin/env bash
# Checks an installed copy of the libraries the way a host project sees it: the
# files in place, then host programs built against it and run, never with
# LD_LIBRARY_PATH: the libraries must find each other by themselves.
# - shared libraries: the real file, SONAME and development links, a run path
#   $ORIGIN (none under /usr, where the packages put them), only libc and their
#   siblings needed; the C consumer and examples/get_port.c through pkg-config
#   with the README's rpath flag; a C-only CMake host and a Meson host, both
#   linked --as-needed, calling the lookup library alone;
# - static archives: no C++ runtime symbol needed; the C consumer through
#   `pkg-config --static` (no libvask library at run time, ldd), and once fully
#   static (`cc -static`); the C-only CMake host;
# - the C++ consumer and every examples/*.c and *.cpp through find_package;
#   every example through pkg-config as well.
#
#   run.sh --install BUILD_DIR [options]  install BUILD_DIR into a temporary prefix first
#   run.sh --prefix PREFIX [options]      use what is installed there (/usr: the packages)
# options: --cc CC --cxx CXX --generator GENERATOR --keep
#   --no-run-path  the libraries were built without one (CMAKE_SKIP_INSTALL_RPATH, as
#                  for the Debian packages): the hosts then run with LD_LIBRARY_PATH
set -euo pipefail

source_dir="$(cd "$(dirname "$0")" && pwd)"
project_dir="$(cd "${source_dir}/../.." && pwd)"
build_dir=""
prefix=""
cc="${CC:-cc}"
cxx="${CXX:-c++}"
generator=""
keep=0
run_path_expected=1
while [ $# -gt 0 ]; do
  case "$1" in
    --install) build_dir="$2"; shift 2 ;;
    --prefix) prefix="$2"; shift 2 ;;
    --cc) cc="$2"; shift 2 ;;
    --cxx) cxx="$2"; shift 2 ;;
    --generator) generator="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    --no-run-path) run_path_expected=0; shift ;;
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
# Runs a command quietly; on failure says what failed and shows its output.
quiet() {
  local what="$1"
  shift
  "$@" >"${work}/step.log" 2>&1 || { fail "${what}:"; cat "${work}/step.log" >&2; return 1; }
}
# The program's output must be "ok".
expect_ok() {
  local what="$1" output
  shift
  output="$("${run[@]}" "$@" 2>&1 || true)"
  [ "${output}" = "ok" ] || fail "${what}: ${output}"
}

if [ -n "${build_dir}" ]; then
  prefix="${work}/prefix"
  cmake --install "${build_dir}" --prefix "${prefix}" >"${work}/install.log"
fi
if [ -z "${prefix}" ]; then
  echo "run.sh: give --install BUILD_DIR or --prefix PREFIX" >&2
  exit 2
fi

unset LD_LIBRARY_PATH
# pkg-config finds a system prefix by itself; any other prefix is named in
# PKG_CONFIG_PATH, as a host would do.
unset PKG_CONFIG_PATH
if [ "${prefix}" != "/usr" ]; then
  pc="$(find "${prefix}" -name vask_initialization.pc -print -quit)"
  [ -n "${pc}" ] || { echo "FAIL: no vask_initialization.pc under ${prefix}" >&2; exit 1; }
  export PKG_CONFIG_PATH="$(dirname "${pc}")"
fi
libdir="$(pkg-config --variable=libdir vask_initialization)"
includedir="$(pkg-config --variable=includedir vask_initialization)"
version="$(pkg-config --modversion vask_initialization_lookup)"
for name in vask_common_c vask_initialization; do
  [ "$(pkg-config --modversion "${name}")" = "${version}" ] || fail "${name}.pc is not version ${version}"
done
soversion="${version%%.*}"
libraries=(vask_common_c vask_initialization vask_initialization_lookup)

# What is installed: shared libraries, archives, or both (the -dev packages).
shared=0
static=0
[ -e "${libdir}/libvask_initialization.so" ] && shared=1
[ -e "${libdir}/libvask_initialization.a" ] && static=1
[ $((shared + static)) -gt 0 ] || { echo "FAIL: no libvask_initialization in ${libdir}" >&2; exit 1; }
# CMake installs the libraries with a run path to their own folder; the packages
# (CMAKE_SKIP_INSTALL_RPATH) without.
expected_run_path='$ORIGIN'
[ "${prefix}" != "/usr" ] && [ "${run_path_expected}" -eq 1 ] || expected_run_path=""
# Without a run path, only the loader's path finds the libraries of a custom prefix.
run=()
[ "${prefix}" = "/usr" ] || [ "${run_path_expected}" -eq 1 ] || run=(env "LD_LIBRARY_PATH=${libdir}")
for name in "${libraries[@]}"; do
  if [ "${shared}" -eq 1 ]; then
    real="${libdir}/lib${name}.so.${version}"
    [ -f "${real}" ] && [ ! -L "${real}" ] || fail "${real} is not a regular file"
    [ "$(readlink "${libdir}/lib${name}.so.${soversion}" || true)" = "lib${name}.so.${version}" ] ||
      fail "lib${name}.so.${soversion} does not link to lib${name}.so.${version}"
    [ "$(readlink "${libdir}/lib${name}.so" || true)" = "lib${name}.so.${soversion}" ] ||
      fail "lib${name}.so does not link to lib${name}.so.${soversion}"
    dynamic="$(readelf -d "${real}")"
    grep -q "Library soname: \[lib${name}.so.${soversion}\]" <<<"${dynamic}" || fail "${real}: SONAME"
    run_path="$(sed -n 's/.*(\(RPATH\|RUNPATH\)) *Library r[a-z]*path: \[\(.*\)\]$/\2/p' <<<"${dynamic}")"
    [ "${run_path}" = "${expected_run_path}" ] ||
      fail "${real}: run path '${run_path}', expected '${expected_run_path}'"
    needed="$(sed -n 's/.*(NEEDED) *Shared library: \[\(.*\)\]$/\1/p' <<<"${dynamic}" |
      grep -Ev '^(libc\.so\.[0-9]+|libpthread\.so\.[0-9]+|libvask_[a-z_]+\.so\.0)$' || true)"
    [ -z "${needed}" ] || fail "${real} needs more than libc and its siblings: ${needed}"
  fi
  if [ "${static}" -eq 1 ]; then
    [ -f "${libdir}/lib${name}.a" ] || fail "no ${libdir}/lib${name}.a"
    runtime="$(nm -u "${libdir}/lib${name}.a" | grep -E ' U (_Zn[wa]|_Zd[la]|__cxa_|__gxx_|_ZSt|_ZNSt|_Unwind_)' || true)"
    [ -z "${runtime}" ] || fail "lib${name}.a needs the C++ runtime:${runtime}"
  fi
done

# Every public header of the source tree, in its installed place, and nothing else.
expected_headers() {
  (cd "${project_dir}/vask_common_c/include" && find vask_common_c -name '*.h')
  for folder in vask_initialization vask_initialization_lookup; do
    (cd "${project_dir}/${folder}/include" && find . -name '*.h' -o -name '*.hpp') |
      sed 's|^\./|vask_initialization/|'
  done
  echo vask_initialization/initialization_version.h  # generated
}
installed_headers() {
  (cd "${includedir}" && find vask_common_c vask_initialization -name '*.h' -o -name '*.hpp' 2>/dev/null || true)
}
if ! diff <(expected_headers | sort) <(installed_headers | sort) >"${work}/headers.diff"; then
  fail "installed headers differ from the public ones:"
  cat "${work}/headers.diff" >&2
fi

warnings=(-Wall -Wextra -Wpedantic -Werror)
# shellcheck disable=SC2046
meson_done=""
expect_port() {
  local what="$1" output
  shift
  output="$("${run[@]}" "$@" "${project_dir}/examples/settings.ini" 2>&1 || true)"
  [ "${output}" = "8443" ] || fail "${what}: ${output}"
}
if [ "${shared}" -eq 1 ]; then
  # Outside the system's library folders the host names the folder as its run
  # path (the README's flag); the libraries find each other from there.
  rpath=()
  [ "${prefix}" = "/usr" ] || rpath=("-Wl,-rpath,${libdir}")
  quiet "C consumer (shared) does not build" "${cc}" -std=c11 "${warnings[@]}" -o "${work}/consumer_c" \
    "${source_dir}/consumer.c" $(pkg-config --cflags --libs vask_initialization_lookup) "${rpath[@]}" &&
    expect_ok "C consumer (shared)" "${work}/consumer_c"
  quiet "get_port (shared, --as-needed) does not build" "${cc}" -std=c11 "${warnings[@]}" \
    -o "${work}/get_port" "${project_dir}/examples/get_port.c" -Wl,--as-needed \
    $(pkg-config --cflags --libs vask_initialization_lookup) "${rpath[@]}" &&
    expect_port "get_port (shared, --as-needed)" "${work}/get_port"
  # A Meson host; its programs get a run path to the folder pkg-config names.
  meson_done=", Meson host"
  if quiet "Meson host does not configure" meson setup "${work}/meson" "${source_dir}/meson_host" \
    "-Dexamples_dir=${project_dir}/examples" &&
    quiet "Meson host does not build" meson compile -C "${work}/meson"; then
    expect_port "Meson host" "${work}/meson/get_port"
  fi
fi
if [ "${static}" -eq 1 ]; then
  # -Bstatic picks our archives where the shared libraries lie beside them; the
  # system's libraries (Libs.private) stay shared.
  static_libs=()
  for flag in $(pkg-config --static --libs vask_initialization_lookup); do
    case "${flag}" in
      -lvask_*) static_libs+=(-Wl,-Bstatic "${flag}" -Wl,-Bdynamic) ;;
      *) static_libs+=("${flag}") ;;
    esac
  done
  quiet "C consumer (static) does not build" "${cc}" -std=c11 "${warnings[@]}" -o "${work}/consumer_static" \
    "${source_dir}/consumer.c" $(pkg-config --cflags vask_initialization_lookup) "${static_libs[@]}" &&
    expect_ok "C consumer (static)" "${work}/consumer_static"
  if ldd "${work}/consumer_static" 2>&1 | grep libvask; then
    fail "the static consumer needs the libraries above"
  fi
  # Fully static: pkg-config --static names everything the archives need.
  quiet "C consumer (cc -static) does not build" "${cc}" -static -std=c11 "${warnings[@]}" \
    -o "${work}/consumer_all_static" "${source_dir}/consumer.c" \
    $(pkg-config --cflags --static --libs vask_initialization_lookup) &&
    expect_ok "C consumer (cc -static)" "${work}/consumer_all_static"
fi

# A C-only CMake host, linked --as-needed: with the shared libraries it finds
# them from any prefix; with the archives it needs no C++ runtime.
c_host=(cmake -S "${source_dir}/c_host" -B "${work}/c_host" "-DCMAKE_C_COMPILER=${cc}"
  "-DVASK_EXAMPLES_DIR=${project_dir}/examples")
[ -z "${generator}" ] || c_host+=(-G "${generator}")
[ "${prefix}" = "/usr" ] || c_host+=("-DCMAKE_PREFIX_PATH=${prefix}")
if quiet "C-only CMake host does not configure" "${c_host[@]}" &&
  quiet "C-only CMake host does not build" cmake --build "${work}/c_host"; then
  expect_port "C-only CMake host" "${work}/c_host/get_port"
  if [ "${shared}" -eq 0 ] && ldd "${work}/c_host/get_port" 2>&1 | grep -E 'libvask|libstdc'; then
    fail "the C-only CMake host needs the libraries above"
  fi
fi

# Every example through pkg-config (the lookup library's file brings the rest),
# and the README's example, as it stands, through the initialization library's.
libs_option=--libs
[ "${shared}" -eq 1 ] || libs_option="--static --libs"
shopt -s nullglob
examples=("${project_dir}"/examples/*.c "${project_dir}"/examples/*.cpp)
shopt -u nullglob
awk '/^## Example$/ {f = 1} f && /^```c$/ {c = 1; next} c && /^```$/ {exit} c' \
  "${project_dir}/README.md" >"${work}/readme_example.c"
[ -s "${work}/readme_example.c" ] || fail "no C example in README.md"
for example in "${examples[@]}" "${work}/readme_example.c"; do
  case "${example}" in
    */readme_example.c) compiler=("${cc}" -std=c11) package=vask_initialization ;;
    *.c) compiler=("${cc}" -std=c11) package=vask_initialization_lookup ;;
    *) compiler=("${cxx}" -std=c++17) package=vask_initialization_lookup ;;
  esac
  # shellcheck disable=SC2086
  quiet "example ${example##*/} does not build through pkg-config" "${compiler[@]}" "${warnings[@]}" \
    -o "${work}/example" "${example}" $(pkg-config --cflags ${libs_option} "${package}") || true
done

# The C++ consumer and the examples through find_package; only a system prefix
# is found without a hint. CMake gives the programs a run path to the libraries.
configure=(cmake -S "${source_dir}/host" -B "${work}/host" "-DCMAKE_C_COMPILER=${cc}"
  "-DCMAKE_CXX_COMPILER=${cxx}" "-DVASK_EXAMPLES_DIR=${project_dir}/examples")
[ -z "${generator}" ] || configure+=(-G "${generator}")
[ "${prefix}" = "/usr" ] || configure+=("-DCMAKE_PREFIX_PATH=${prefix}")
if quiet "CMake host project does not configure" "${configure[@]}" &&
  quiet "CMake host project does not build" cmake --build "${work}/host"; then
  package_dir="$(sed -n 's/^VaskInitializationLookup_DIR:PATH=//p' "${work}/host/CMakeCache.txt")"
  case "${package_dir}" in
    "${prefix}"/*) ;;
    *) fail "VaskInitializationLookup found in ${package_dir}, not under ${prefix}" ;;
  esac
  expect_ok "C++ consumer" "${work}/host/consumer_cxx" "${work}"
fi

kinds=()
[ "${shared}" -eq 0 ] || kinds+=(shared)
[ "${static}" -eq 0 ] || kinds+=(static)
if [ "${failures}" -ne 0 ]; then
  echo "${failures} check(s) failed" >&2
  exit 1
fi
echo "installed libraries ${version} (${kinds[*]}) in ${prefix}: layout, run paths, consumers, C-only CMake host${meson_done}, README example and ${#examples[@]} example(s) ok"
