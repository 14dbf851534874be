#!/usr/bin/env bash
# The hot paths' instruction counts under callgrind, each against its budget in budgets.txt
# beside this script. Instruction counts are the same on every run, however loaded the
# machine is, so a change that makes a hot path slower fails here the day it lands.
#   budget_test.sh VELMORIN_BUDGET VELMORIN_CHECK    (both built with the release flags)
set -euo pipefail
driver=$1
checker=$2
budgets="$(dirname "$0")/budgets.txt"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# instructions COMMAND...: what callgrind counted inside budget::measured, or in the whole
# program when the first word is "whole".
instructions() {
    local collect=(--collect-atstart=no "--toggle-collect=budget::measured(*")
    if [ "$1" = whole ]; then collect=(); shift; fi
    valgrind --tool=callgrind "${collect[@]}" --callgrind-out-file="$tmp/callgrind.out" \
        "$@" >"$tmp/stdout" 2>"$tmp/valgrind.log" || {
        echo "budget: $* failed under valgrind:" >&2
        cat "$tmp/valgrind.log" "$tmp/stdout" >&2
        exit 1
    }
    awk '/^(summary|totals):/ { n = $2 } END { print n }' "$tmp/callgrind.out"
}

passed=0
failed=0
declare -A per
# judge NAME INSTRUCTIONS OPERATIONS: the count per operation against NAME's budget.
judge() {
    local name=$1 total=$2 ops=$3 budget
    budget=$(awk -v n="$name" '$1 == n { print $2 }' "$budgets")
    [ -n "$budget" ] || { echo "budget: no budget for $name in $budgets" >&2; exit 1; }
    per[$name]=$(awk -v t="$total" -v o="$ops" 'BEGIN { printf "%.1f", t / o }')
    if awk -v p="${per[$name]}" -v b="$budget" 'BEGIN { exit !(p > b) }'; then
        echo "budget $name: ${per[$name]} instructions, over its budget of $budget"
        failed=$((failed + 1))
    elif awk -v p="${per[$name]}" -v b="$budget" 'BEGIN { exit !(p * 1.25 < b) }'; then
        echo "budget $name: ${per[$name]} instructions, far under its budget of $budget:" \
            "lower it to $(awk -v p="${per[$name]}" 'BEGIN { printf "%d", p * 1.1 + 1 }') in $budgets"
        failed=$((failed + 1))
    else
        echo "budget $name: ${per[$name]} instructions (budget $budget)"
        passed=$((passed + 1))
    fi
}

n=1000000
judge random_bus_write "$(instructions "$driver" random $n)" $n
judge wellformed_bus_write "$(instructions "$driver" wellformed $n)" $n
n=100000
judge out32 "$(instructions "$driver" out32 $n)" $n
judge out32_traced "$(instructions "$driver" out32 $n "$tmp/trace.vcd")" $n
[ -s "$tmp/trace.vcd" ] || { echo "budget: the traced run wrote no trace" >&2; exit 1; }

edges=$("$driver" capture 1000000 "$tmp/capture.vcd")
judge capture_edge "$(instructions whole "$checker" "$tmp/capture.vcd")" "$edges"

# The trace may cost Out32 at most as much again as the write itself.
if awk -v t="${per[out32_traced]}" -v u="${per[out32]}" 'BEGIN { exit !(t <= 2 * u) }'; then
    echo "budget trace_ratio: traced Out32 is $(awk -v t="${per[out32_traced]}" -v u="${per[out32]}" 'BEGIN { printf "%.2f", t / u }') times Out32 (at most 2)"
    passed=$((passed + 1))
else
    echo "budget trace_ratio: traced Out32 is over twice Out32"
    failed=$((failed + 1))
fi

echo "budget: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
