#!/usr/bin/env bash
# zelt as other projects get it: installed into a prefix and found by CMake's
# find_package or by pkg-config, added with add_subdirectory, and as the
# Debian packages libzelt1, libzelt-dev and zelt, checked by lintian and
# installed on this machine with dpkg (then purged again). tests/consumer is
# the project that uses it each time.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake ninja-build g++ clang pkg-config dpkg-dev file lintian man-db

work=$PWD/$ci_builds/consumers
prefix=$work/prefix
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
took() { echo "  ($(( SECONDS - started )) s since the step began)"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
# Builds tests/consumer in build-ci/consumers/$1 with CMake (further arguments go
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
configure_preset release consumers/zelt >/dev/null
cmake --build "$work/zelt" -j2 >/dev/null
cmake --install "$work/zelt" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -mindepth 1 \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\n' \) | sort)
echo "$installed" | sed 's/^/  /'
expected="bin/zelt
include/zelt/ZELTBuffer.h
include/zelt/ZELTBufferIn.h
include/zelt/ZELTExport.h
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
lib/libzelt.so.1 -> libzelt.so.1.2.0
lib/libzelt.so.1.2.0
lib/pkgconfig/zelt.pc
share/doc/zelt/copyright
share/man/man1/zelt.1.gz"
[ "$installed" = "$expected" ] || fail "the install tree differs: $(diff <(echo "$expected") <(echo "$installed"))"
# The program finds the library beside it, without LD_LIBRARY_PATH.
"$prefix/bin/zelt" --version | grep -qx "zelt $(sed -n 's/^project(zelt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ||
  fail "bin/zelt --version"
took

step "consumers: find_package(zelt CONFIG) from the installed prefix (g++)"
consumer_cmake find-package -DCMAKE_PREFIX_PATH="$prefix"
# Same major version only: 1, 1.1 and 1.2 are accepted; older, newer and other majors are not.
consumer_cmake find-package-1 -DCMAKE_PREFIX_PATH="$prefix" -DZELT_WANTED_VERSION=1 >/dev/null
consumer_cmake find-package-1.1 -DCMAKE_PREFIX_PATH="$prefix" -DZELT_WANTED_VERSION=1.1 >/dev/null
consumer_cmake find-package-1.2 -DCMAKE_PREFIX_PATH="$prefix" -DZELT_WANTED_VERSION=1.2 >/dev/null
for wanted in 0.9 1.3 2; do
  log=$work/find-package-$wanted.log
  if cmake -S tests/consumer -B "$work/find-package-$wanted" -DCMAKE_PREFIX_PATH="$prefix" \
       -DZELT_WANTED_VERSION="$wanted" >"$log" 2>&1; then
    fail "find_package(zelt $wanted) accepted version 1.2.0"
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

step "consumers: the Debian packages (cpack -G DEB), checked by lintian"
deb_build=$(configure_preset deb consumers/deb)
cmake --build "$deb_build" -j2 >/dev/null
(cd "$deb_build" && cpack -G DEB >/dev/null)
version=$(dpkg-parsechangelog -l cmake/debian/changelog -S Version)
declare -A deb
for package in libzelt1 libzelt-dev zelt; do
  file=${package}_${version}_$(dpkg --print-architecture).deb
  deb[$package]=$deb_build/$file
  [ -f "${deb[$package]}" ] || fail "no package $file"
  echo "  $file: Depends: $(dpkg-deb --field "${deb[$package]}" Depends)"
  maintainer=$(dpkg-deb --field "${deb[$package]}" Maintainer)
  [[ "$maintainer" == *" <"*">" ]] || fail "$package: Maintainer is not \"Name <address>\""
  dpkg-deb --contents "${deb[$package]}" | awk '$1 !~ /^d/ { print "    " $6, $7, $8 }'
  # Errors fail; each warning left is explained in docs/packaging.md.
  findings=$(lintian --pedantic --info --tag-display-limit 0 "${deb[$package]}" 2>&1 | grep -v '^running with root privileges' || true)
  [ -z "$findings" ] && echo "    lintian --pedantic --info: nothing to report" || echo "$findings" | sed 's/^/    lintian: /'
  ! grep -q '^E: ' <<<"$findings" || fail "lintian reports errors in $package"
done
[[ "$(dpkg-deb --field "${deb[libzelt1]}" Depends)" == *"libstdc++6 ("* ]] || fail "libzelt1: Depends lacks libstdc++6"
[ "$(dpkg-deb --field "${deb[libzelt-dev]}" Depends)" = "libzelt1 (= $version)" ] || fail "libzelt-dev: Depends"
[[ "$(dpkg-deb --field "${deb[zelt]}" Depends)" == "libzelt1 (>= "* ]] || fail "zelt: Depends lacks libzelt1"
took

step "consumers: the Debian packages installed with dpkg, used, and purged"
packages=(libzelt1 libzelt-dev zelt)
for package in "${packages[@]}"; do
  ! dpkg -s "$package" >/dev/null 2>&1 || fail "$package is installed already; this step installs its own and purges it"
done
# Leaves the machine as it found it, whatever happens below.
trap 'dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true' EXIT
dpkg -i "${deb[libzelt1]}" "${deb[libzelt-dev]}" "${deb[zelt]}" >/dev/null
# The ldconfig trigger has run: the library is in the cache (under /lib with a merged /usr).
ldconfig -p | grep -q 'libzelt\.so\.1 (.*) => .*/libzelt\.so\.1$' || fail "libzelt.so.1 is not in ldconfig's cache"
flags=$(pkg-config --cflags --libs zelt)
echo "  pkg-config --cflags --libs zelt: $flags"
g++ -std=c++17 -Wall -Wextra -Wpedantic -Werror tests/consumer/main.cpp $flags -o "$work/deb-consumer"
"$work/deb-consumer"
consumer_cmake deb-find-package
printf '<count>42</count>\n' | zelt check - || fail "the installed zelt check"
man -w zelt | grep -q '^/usr/share/man/man1/zelt\.1\.gz$' || fail "man finds no zelt(1)"
dpkg --purge "${packages[@]}" >/dev/null
trap - EXIT
[ ! -e /usr/include/zelt ] && ! ldconfig -p | grep -q 'libzelt\.so' || fail "the purge left zelt behind"
echo "  installed, used and purged: ${packages[*]}"
took
