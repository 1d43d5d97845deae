#!/bin/sh
# Runs one test under an X server of its own.
# usage: run_under_xvfb.sh WIDTHxHEIGHTxDEPTH command [argument ...]
#
# The display number is drawn at random from a wide range, so tests running side by side, or one
# after the other, do not land on a number another server is still starting or leaving. The test
# starts once the server says it is listening, and this script ends only after the server has
# gone.
set -u
screen=$1
shift

work=$(mktemp -d "${TMPDIR:-/tmp}/corv-xvfb.XXXXXX") || exit 1
server=
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null
        wait "$server" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

display=
for attempt in $(seq 1 20); do
    n=$((200 + $(od -An -N2 -tu2 /dev/urandom) % 30000))
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    rm -f "$work/ready"
    mkfifo "$work/ready" || exit 1
    # With -displayfd the server writes its number once it listens; it writes nothing when it
    # cannot take the number, and the read below ends when it exits.
    Xvfb ":$n" -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/ready" 2>"$work/server.log" &
    server=$!
    read -r listening <"$work/ready" || listening=
    if [ "$listening" = "$n" ]; then
        display=$n
        break
    fi
    wait "$server" 2>/dev/null
    server=
done
if [ -z "$display" ]; then
    echo "run_under_xvfb: no X server could be started" >&2
    cat "$work/server.log" >&2 2>/dev/null
    exit 1
fi

DISPLAY=":$display" "$@"
status=$?
exit $status
