#!/usr/bin/env bash
# zelt as other projects get it: installed into a prefix and found by CMake's
# find_package or by pkg-config, added with add_subdirectory, and packaged as a
# Debian package. tests/consumer is the project that uses it each time.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake ninja-build g++ clang pkg-config dpkg-dev file

work=$PWD/build-consumers
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
took() { echo "  ($(( SECONDS - started )) s since the step began)"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
# Builds tests/consumer in build-consumers/$1 with CMake (further arguments go
# to the configure) and runs it.
consumer_cmake() {
  local dir=$work/$1
  shift
  cmake -S tests/consumer -B "$dir" -G Ninja "$@" >"$dir.log" 2>&1 || { cat "$dir.log"; fail "configure $dir"; }
  grep -- '-- zelt' "$dir.log" || true
  cmake --build "$dir" >>"$dir.log" 2>&1 || { cat "$dir.log"; fail "build $dir"; }
  "$dir/consumer"
}

step "consumers: build zelt and install it into a temporary prefix"
cmake -S . -B "$work/zelt" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZELT_WARNINGS_AS_ERRORS=ON \
  -DZELT_BUILD_TESTS=OFF -DZELT_BUILD_EXAMPLES=OFF -DZELT_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$work/zelt" -j2 >/dev/null
cmake --install "$work/zelt" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -mindepth 1 \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\n' \) | sort)
echo "$installed" | sed 's/^/  /'
expected="bin/zelt
include/zelt/ZELTBuffer.h
include/zelt/ZELTBufferIn.h
include/zelt/ZELTFile.h
include/zelt/ZELTFx.h
include/zelt/ZELTFxXMLImpl.h
include/zelt/ZELTRecord.h
include/zelt/ZELTRecordContainers.h
include/zelt/ZELTRecordCore.h
include/zelt/ZELTRecordScalars.h
include/zelt/ZELTRecordValues.h
include/zelt/ZELTScan.h
lib/cmake/zelt/zeltConfig.cmake
lib/cmake/zelt/zeltConfigVersion.cmake
lib/cmake/zelt/zeltTargets-release.cmake
lib/cmake/zelt/zeltTargets.cmake
lib/libzelt.so -> libzelt.so.1
lib/libzelt.so.1 -> libzelt.so.1.1.0
lib/libzelt.so.1.1.0
lib/pkgconfig/zelt.pc
share/doc/zelt/copyright"
[ "$installed" = "$expected" ] || fail "the install tree differs: $(diff <(echo "$expected") <(echo "$installed"))"
# The program finds the library beside it, without LD_LIBRARY_PATH.
"$prefix/bin/zelt" --version | grep -qx "zelt $(sed -n 's/^project(zelt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ||
  fail "bin/zelt --version"
took

step "consumers: find_package(zelt CONFIG) from the installed prefix (g++)"
consumer_cmake find-package -DCMAKE_PREFIX_PATH="$prefix"
# Same major version only: 1 and 1.1 are accepted; older, newer and other majors are not.
consumer_cmake find-package-1 -DCMAKE_PREFIX_PATH="$prefix" -DZELT_WANTED_VERSION=1 >/dev/null
consumer_cmake find-package-1.1 -DCMAKE_PREFIX_PATH="$prefix" -DZELT_WANTED_VERSION=1.1 >/dev/null
for wanted in 0.9 1.2 2; do
  log=$work/find-package-$wanted.log
  if cmake -S tests/consumer -B "$work/find-package-$wanted" -DCMAKE_PREFIX_PATH="$prefix" \
       -DZELT_WANTED_VERSION="$wanted" >"$log" 2>&1; then
    fail "find_package(zelt $wanted) accepted version 1.1.0"
  fi
  grep -q "requested version \"$wanted\"" "$log" || { cat "$log"; fail "find_package(zelt $wanted) failed otherwise"; }
  echo "  find_package(zelt $wanted): refused, as it should be"
done
took

step "consumers: pkg-config --cflags --libs zelt from the installed prefix (clang++)"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
version=$(pkg-config --modversion zelt)
flags=$(pkg-config --cflags --libs zelt)
echo "  zelt $version: $flags"
grep -q "^## $version - " CHANGELOG.md || fail "CHANGELOG.md has no entry for $version"
clang++ -std=c++17 -Wall -Wextra -Wpedantic -Werror tests/consumer/main.cpp $flags \
  -Wl,-rpath,"$(pkg-config --variable=libdir zelt)" -o "$work/pkg-config-consumer"
"$work/pkg-config-consumer"
unset PKG_CONFIG_PATH
took

step "consumers: add_subdirectory of the source tree (g++)"
consumer_cmake subdirectory -DZELT_SOURCE_DIR="$PWD"
took

step "consumers: cpack -G DEB, and its contents used as installed"
(cd "$work/zelt" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/zelt/zelt_*.deb)
echo "  $(basename "$deb")"
depends=$(dpkg-deb --field "$deb" Depends)
echo "  Depends: $depends"
for library in libc6 libstdc++6 libgcc-s1; do
  [[ "$depends" == *"$library ("* ]] || fail "Depends lacks $library"
done
maintainer=$(dpkg-deb --field "$deb" Maintainer)
echo "  Maintainer: $maintainer"
[[ "$maintainer" == *" <"*">" ]] || fail "Maintainer is not \"Name <address>\""
dpkg-deb --contents "$deb" | awk '{ print "  " $6, $7, $8 }'
for file in ./usr/bin/zelt ./usr/share/doc/zelt/copyright; do
  dpkg-deb --contents "$deb" | awk '{ print $6 }' | grep -qx "$file" || fail "the package lacks $file"
done
# Unpacked rather than installed, so the machine stays as it was; the
# sysroot makes pkg-config read the package's /usr as this directory.
root=$work/deb-root
dpkg-deb -x "$deb" "$root"
flags=$(PKG_CONFIG_LIBDIR=$root/usr/lib/pkgconfig PKG_CONFIG_SYSROOT_DIR=$root pkg-config --cflags --libs zelt)
echo "  from the package: $flags"
g++ -std=c++17 -Wall -Wextra -Wpedantic -Werror tests/consumer/main.cpp $flags -o "$work/deb-consumer"
LD_LIBRARY_PATH=$root/usr/lib "$work/deb-consumer"
# The package's program checks a text, finding the package's library by itself.
printf '<count>42</count>\n' | "$root/usr/bin/zelt" check - || fail "the package's zelt check"
consumer_cmake deb-find-package -DCMAKE_PREFIX_PATH="$root/usr"
took
