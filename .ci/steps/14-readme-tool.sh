#!/usr/bin/env bash
# The README's command that has the demo save its text and checks and lists
# it with the zelt program, in the README's fresh copy.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "zelt program: the README's command that checks the demo's text"
need_packages cmake g++ git
readme_copy
(cd "$readme_tree" && bash -c "$(readme_command tool)" >/dev/null && rm -f demo.zelt)
