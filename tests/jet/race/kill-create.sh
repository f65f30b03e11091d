#!/usr/bin/env bash
# Kills a process that is creating a database at random moments, many times,
# and counts what each kill left: no file, a whole database, or a broken one.
# Outside the test suite; see the README's note on crash runs.
#   kill-create.sh JET_RACE MDBINSPECT ROUNDS MAX_DELAY_MICROSECONDS
set -u
race=$1; inspect=$2; rounds=$3; max=$4
absent=0; whole=0; broken=0; leftovers=0
for ((i = 0; i < rounds; i++)); do
    d=$(mktemp -d)
    "$race" create "$d/new.mdb" >/dev/null 2>&1 &
    pid=$!
    us=$(( (RANDOM * 32768 + RANDOM) % max ))
    sleep "$(printf '0.%06d' "$us")"
    kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    others=$(ls -A "$d" | grep -v -e '^new.mdb$' -e '^new.mdb-journal$' | wc -l)
    leftovers=$((leftovers + others))
    if [ ! -e "$d/new.mdb" ]; then
        absent=$((absent + 1))
    elif "$inspect" tables --system "$d/new.mdb" >/dev/null 2>&1 && [ ! -e "$d/new.mdb-journal" ]; then
        whole=$((whole + 1))
    else
        broken=$((broken + 1)); ls -la "$d" >&2
    fi
    rm -rf "$d"
done
echo "rounds=$rounds absent=$absent whole=$whole broken=$broken leftover_files=$leftovers"
