#!/usr/bin/env bash
# The README's test command, word for word, in a fresh copy of the tree (as a
# newcomer's clone would be), with g++ and warnings as errors. It builds in
# the copy's own build/, so the README's build/ here is never touched.
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "tests (g++, warnings as errors): the README's test command in a fresh copy"
need_packages cmake g++ libgtest-dev python3 libxml2-utils git
rm -rf "$readme_tree"
readme_copy
# CXXFLAGS is read by CMake's first configure, so the command runs unchanged.
(cd "$readme_tree" && CXXFLAGS="-Werror" bash -c "$(readme_command test)")
