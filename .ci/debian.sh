# Helpers of the Debian steps (sourced, not a step of its own).

apt_install() { apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "$@"; }

# Builds the packages from a copy of the tree under OUT, since dpkg-buildpackage
# writes them next to the source folder; the other arguments go to it.
deb_build() {
  local out="$1" version source
  shift
  version="$(dpkg-parsechangelog -S Version)"
  source="$(dpkg-parsechangelog -S Source)"
  rm -rf "${out}"
  mkdir -p "${out}/${source}-${version}"
  tar --exclude=./.git --exclude='./build*' -cf - . | tar -xf - -C "${out}/${source}-${version}"
  (cd "${out}/${source}-${version}" && dpkg-buildpackage "$@")
}
