#!/usr/bin/env bash
# The API reference of the public headers with Doxygen: any warning (an
# undocumented function, field, enumerator or macro; a broken command) fails.
set -euo pipefail
bash scripts/setup
export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends doxygen
cmake -S . -B build-docs -G Ninja -DVASK_WERROR=ON -DVASK_BUILD_TESTS=OFF -DVASK_BUILD_EXAMPLES=OFF -DVASK_BUILD_TOOLS=OFF
cmake --build build-docs --target vask_api_docs
echo "API reference: $(find build-docs/doc/api/html -name '*.html' | wc -l) pages, no warning"
