#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
corv_install_deps
corv_build
cd "$CORV_BUILD"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600 "$@"
