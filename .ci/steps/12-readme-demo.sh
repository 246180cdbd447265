#!/usr/bin/env bash
# The README's first command, which builds and runs the demo, in the fresh
# copy the README's test step made (or a new one).
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "demo: the README's first command"
need_packages cmake g++ git
readme_copy
(cd "$readme_tree" && bash -c "$(readme_command demo)" >/dev/null)
