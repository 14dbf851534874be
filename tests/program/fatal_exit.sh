#!/usr/bin/env bash
# Runs the real program with one bad port setting and checks that it ends with status 1
# and a one-line message naming the problem on stderr.
#   fatal_exit.sh [--not REGEX] BINARY REGEX VAR=VALUE...
set -u
reject=
if [ "$1" = --not ]; then reject=$2; shift 2; fi
binary=$1 regex=$2
shift 2
if [ -n "$(ls /proc/sys/dev/parport 2>/dev/null | grep parport)" ]; then
    echo "SKIP: this machine has a parallel port; the program would drive it"
    exit 0
fi
err=$(env QT_QPA_PLATFORM=offscreen "$@" timeout 20 "$binary" 2>&1 >/dev/null)
rc=$?
if [ "$rc" -ne 1 ]; then
    echo "FAIL: exit status $rc, expected 1; stderr: $err"
    exit 1
fi
if ! grep -qE "^velmorin : .*$regex" <<<"$err"; then
    echo "FAIL: stderr does not match /$regex/: $err"
    exit 1
fi
if [ -n "$reject" ] && grep -qE "$reject" <<<"$err"; then
    echo "FAIL: stderr mentions /$reject/: $err"
    exit 1
fi
echo "ok: $(grep '^velmorin' <<<"$err")"
