#!/usr/bin/env bash
# libzelt.so exports namespace ZELT and nothing else: every dynamic symbol it
# defines is a ZELT function or object, or a ZELT class's typeinfo or vtable.
# Anything else (a std:: template the library instantiated, say) would let
# programs bind to the library's private copy.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

need_packages cmake ninja-build g++ binutils

step "exported symbols: libzelt.so defines namespace ZELT only"
# The README step's g++ release build; the release preset's when it is missing.
dir=$readme_tree/build
[ -f "$dir/CMakeCache.txt" ] || dir=$(configure_preset release symbols)
cmake --build "$dir" -j2 --target zelt >/dev/null
libraries=("$dir/libzelt.so")
# The clang debug build with sanitizers instantiates far more templates.
[ -f "$ci_builds/asan/libzelt.so" ] && libraries+=("$ci_builds/asan/libzelt.so")

status=0
for library in "${libraries[@]}"; do
  soname=$(readelf -d "$library" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
  [ "$soname" = libzelt.so.1 ] || { echo "FAIL: $library has SONAME '$soname'"; status=1; }
  names=$(nm -D --defined-only "$library" | awk '{ print $3 }')
  # Mangled: _ZN4ZELT / _ZNK4ZELT (const members) start every name in the
  # namespace; _ZTI, _ZTS and _ZTV are a ZELT class's typeinfo, its name and vtable.
  outside=$(grep -Ev '^_Z(NK?|T[ISV]N)4ZELT' <<<"$names" || true)
  echo "$library ($soname): $(wc -l <<<"$names") defined dynamic symbols"
  if [ "$dir/libzelt.so" = "$library" ]; then
    nm -D --defined-only -C "$library" | cut -d' ' -f2- | sort | sed 's/^/  /'
  fi
  if [ -n "$outside" ]; then
    echo "FAIL: $library exports symbols outside namespace ZELT:"
    c++filt <<<"$outside" | sed 's/^/  /'
    status=1
  fi
done
exit $status
