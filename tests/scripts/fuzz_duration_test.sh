#!/usr/bin/env bash
# scripts/fuzz.sh refuses a duration libFuzzer would misread (text, zero, negative, a fraction, an
# empty word, more than one argument) with its usage line and status 2, before building anything.
#   fuzz_duration_test.sh <repository root>
set -u
ROOT="$1"
failures=0
check() {
    local out err status
    out="$(mktemp)"
    err="$(mktemp)"
    # A script that accepted the value would build and fuzz: cut it short.
    timeout 20 bash "$ROOT/scripts/fuzz.sh" "$@" >"$out" 2>"$err" </dev/null
    status=$?
    if [ "$status" -ne 2 ] || ! grep -q '^usage: bash scripts/fuzz.sh \[seconds' "$err" || [ -s "$out" ]; then
        echo "FAIL: fuzz.sh $(printf '[%s] ' "$@")-> status $status, stdout: $(cat "$out"), stderr: $(cat "$err")"
        failures=$((failures + 1))
    fi
    rm -f "$out" "$err"
}
check abc
check 0
check 000
check -5
check 1.5
check ""
check 10s
check 9999999999
check 5 extra
[ "$failures" -eq 0 ] && echo "fuzz.sh refused every bad duration"
exit "$failures"
