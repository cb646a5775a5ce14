#!/bin/sh
# Runs one test binary of the AddressSanitizer build, and once more if the leak checker itself
# crashed after every test had passed.
#
# LeakSanitizer checks for leaks at exit by stopping every thread with a tracer thread of its
# own. Under load that tracer now and then dies of a segmentation fault inside the sanitizer's
# runtime ("Tracer caught signal 11", then "LeakSanitizer has encountered a fatal error"), a
# known fault of the runtime (google/sanitizers#1353) that a rerun does not repeat. Only that
# one signature after a passing run earns the second run, which is whole, leak check and all;
# a failing test, a leak report or a second crash fails as it stands.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$@" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
if [ "$rc" -ne 0 ] && grep -q '^\[  PASSED  \]' "$out" &&
    grep -q '^Tracer caught signal' "$err" &&
    grep -q 'LeakSanitizer has encountered a fatal error' "$err"; then
    echo "tracer_crash_retry: the leak checker's tracer crashed after a passing run; once more" >&2
    "$@"
    rc=$?
fi
exit "$rc"
