#!/usr/bin/env bash
# Builds the Debian package of Korvel Transfer and Zenobar (optimised):
# build/package/korvel-transfer_<version>_<arch>.deb, installing into
# /opt/korvel-transfer with menu entries and commands in /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DKORVEL_TESTS=OFF \
      -DCMAKE_INSTALL_PREFIX=/opt/korvel-transfer >/dev/null
cmake --build build/package -j"$(nproc)"
(cd build/package && cpack -G DEB)
ls -1 build/package/*.deb
