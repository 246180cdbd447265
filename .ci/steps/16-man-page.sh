#!/usr/bin/env bash
# The manual page zelt(1): man formats it without a warning, and its header
# names the version CMakeLists.txt builds.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "manual page: man -l docs/zelt.1 without warnings"
need_packages man-db groff-base
warnings=$(MANWIDTH=80 man --warnings -l docs/zelt.1 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "$warnings"; echo "docs/zelt.1: man warns"; exit 1; }
version=$(sed -n 's/^project(zelt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
grep -q "^\.TH ZELT 1 \"[0-9-]*\" \"zelt $version\"" docs/zelt.1 || { echo "docs/zelt.1: .TH names no zelt $version"; exit 1; }
echo "docs/zelt.1: zelt $version, $(MANWIDTH=80 man -l docs/zelt.1 2>/dev/null | wc -l) lines formatted, no warning"
