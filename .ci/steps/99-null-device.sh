#!/usr/bin/env bash
# Every step runs as root on the CI machine: none may have replaced the null
# device with a plain file (a tool told to write its report to /dev/null can).
set -euo pipefail
cd "$(dirname "$0")/../.."
source .ci/lib.sh

step "the null device is still a character device"
[ -c /dev/null ] || { echo "CI: /dev/null is no longer a character device"; exit 1; }
