#!/usr/bin/env bash
# Builds the Debian package sentrel_<version>_<arch>.deb into the source folder:
#   scripts/package.sh             installs what is missing, builds a release in
#                                  build/package and packages it
#   scripts/package.sh BUILD_DIR   packages what an existing build folder has built
# Then: sudo apt install ./sentrel_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ge 1 ]; then
  build="$1"
  [ -f "$build/CPackConfig.cmake" ] || { echo "$build is not a configured build folder" >&2; exit 2; }
else
  build=build/package
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DSENTREL_BUILD_TESTS=OFF
fi
cmake --build "$build" -j "${JOBS:-$(nproc)}"

# dpkg-shlibdeps works out the library dependencies from the binaries.
rm -rf "$build/cpack"
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack" >"$build/cpack.log" 2>&1 ||
  { cat "$build/cpack.log" >&2; exit 1; }
debs=("$build"/cpack/sentrel_*.deb)
[ "${#debs[@]}" -eq 1 ] && [ -f "${debs[0]}" ] || { echo "cpack made no single package" >&2; exit 1; }
mv -f "${debs[0]}" .
echo "$(basename "${debs[0]}")"
