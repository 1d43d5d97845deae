#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program with its stand-ins.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
corv_install_deps
corv_build
app="$CORV_BUILD/bin/Corv"
if [ ! -x "$app" ]; then
  echo "The program is not built yet." >&2
  exit 1
fi
# The program runs in its own folder, where the installation's logging configuration and default
# layout sit. The viewer-server stand-in sits beside the program, and so do the companion programs that it
# starts by name ("ErrorMsg.exe").
export ORLEXDIR="$CORV_BUILD/bin"
export PATH="$CORV_BUILD/bin:$PATH"
# The web display dock's browser runs as root only without its sandbox.
if [ "$(id -u)" -eq 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi
cd "$CORV_BUILD/bin"
if [ -z "${DISPLAY:-}" ]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$app" "$@"
fi
exec "$app" "$@"
