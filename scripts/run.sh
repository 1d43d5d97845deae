#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program with its stand-ins.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
corv_install_deps
corv_build
app="$CORV_BUILD/bin/Corv"
if [ ! -x "$app" ]; then
  echo "The program is not built yet: only the libraries and their tests exist." >&2
  exit 1
fi
exec "$app" "$@"
