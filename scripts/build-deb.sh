#!/usr/bin/env bash
# Builds the Debian package: a release build in build-deb/, then cpack. The package lands
# in build-deb/ as quillbox_<version>_<arch>.deb; install it with
#   sudo apt install ./build-deb/quillbox_*.deb
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${QUILLBOX_JOBS:-2}

# dpkg-shlibdeps works out the package's dependencies from the linked libraries.
scripts/install-deps.sh dpkg-dev file

cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUILLBOX_BUILD_GUI=ON -DQUILLBOX_BUILD_TESTS=OFF -DQUILLBOX_BUILD_BENCH=OFF
cmake --build build-deb -j "$jobs"
(cd build-deb && cpack -G DEB)
ls -1 build-deb/quillbox_*.deb
