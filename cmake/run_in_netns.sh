#!/bin/sh
# Runs one test in a network namespace of its own, with only a loopback interface, so that the
# installation's fixed ports the test binds meet neither a running program nor another test run.
# usage: run_in_netns.sh command [argument ...]
# Where no namespace can be made (no unshare, or no right to it), the test runs as it is.
# CORV_TEST_NETNS=0 turns it off.
set -u
if [ "${CORV_TEST_NETNS:-1}" != "0" ] && command -v unshare >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then
        unshare_net="unshare --net"
    else
        unshare_net="unshare --net --map-root-user"
    fi
    # Probe first: a refused unshare must not be taken for the test's own failure.
    if $unshare_net true 2>/dev/null; then
        exec $unshare_net sh -c 'ip link set lo up || exit 125; exec "$@"' run_in_netns "$@"
    fi
    echo "run_in_netns: no network namespace here, the test shares the machine's ports" >&2
fi
exec "$@"
