#!/usr/bin/env bash
# Builds the Debian package of the folvex command from this source tree, in build-package/:
#   scripts/package.sh   then   sudo apt install ./build-package/folvex_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DFOLVEX_TESTS=OFF >/dev/null
cmake --build build-package -j2 --target folvex folvex_docs >/dev/null
(cd build-package && cpack -G DEB >/dev/null)
ls "$PWD"/build-package/folvex_*.deb
