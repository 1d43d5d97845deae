#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program with its stand-ins.
#
#   scripts/run.sh [--no-feed] [program arguments...]
#
# By default the live feed (build/bin/corv_live_feed) plays a synthetic survey to the program:
# a stand-in main station and sounder runtime on this machine. --no-feed starts the program
# alone, to follow a real installation. CORV_FEED_ARGS adds options of the feed (for example
# "--vessels 3 --rate 10"; corv_live_feed --help lists them).
set -euo pipefail
feed=1
args=()
for arg in "$@"; do
  if [ "$arg" = "--no-feed" ]; then feed=0; else args+=("$arg"); fi
done
set -- "${args[@]+"${args[@]}"}"
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
# The web display dock's browser keeps its sandbox where it can have one: Chromium refuses it to
# root, and without unprivileged user namespaces it cannot build one.
userns=/proc/sys/kernel/unprivileged_userns_clone
if [ "$(id -u)" -eq 0 ] || { [ -r "$userns" ] && [ "$(cat "$userns")" = 0 ]; }; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
else
  unset QTWEBENGINE_DISABLE_SANDBOX
fi
cd "$CORV_BUILD/bin"
if [ "$feed" -eq 1 ]; then
  # The feed sends to 127.0.0.1: the program's gui.ini is set to receive without multicast. It
  # waits until the program loads its station page, then lets the vessels go.
  root="${CORV_WINROOT:-${XDG_DATA_HOME:-$HOME/.local/share}/corvane/root}"
  ini="$root/c/ProgramData/Tavrin Nautic/tqel/gui.ini"
  mkdir -p "$(dirname "$ini")"
  # shellcheck disable=SC2086
  "$CORV_BUILD/bin/corv_live_feed" --display-ini "$ini" --wait-for-page --lead-in 6 ${CORV_FEED_ARGS:-} &
  feed_pid=$!
  trap 'kill "$feed_pid" 2>/dev/null || true' EXIT INT TERM
fi
status=0
if [ -z "${DISPLAY:-}" ]; then
  export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---disable-gpu}"
  xvfb-run -a -s "-screen 0 1600x1000x24" "$app" "$@" || status=$?
else
  "$app" "$@" || status=$?
fi
exit "$status"
