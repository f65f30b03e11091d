#!/usr/bin/env bash
# Two readers count rows throughout while writers committing batches are
# killed at random moments. Every read must see whole batches; afterwards no
# journal is left and every index verifies.
#   kill-writer.sh JET_RACE MDBINSPECT SECONDS BATCH
set -u
race=$1; inspect=$2; secs=$3; batch=$4
d=$(mktemp -d); cd "$d" || exit 1
"$race" create r.mdb
ms=$((secs * 1000))
"$race" reader r.mdb "$ms" "$batch" > r1.out 2> r1.err & r1=$!
"$race" reader r.mdb "$ms" "$batch" > r2.out 2> r2.err & r2=$!
kills=0; end=$((SECONDS + secs - 2))
while [ "$SECONDS" -lt "$end" ]; do
    "$race" writer r.mdb 5000 "$batch" 64 >> w.out 2>> w.err & w=$!
    sleep "0.$((RANDOM % 900 + 100))"
    kill -9 "$w" 2>/dev/null && kills=$((kills + 1)); wait "$w" 2>/dev/null
done
wait "$r1" "$r2"
echo "writers killed=$kills"; cat r1.out r2.out; sort r1.err r2.err | uniq -c | head -5
echo "journal left: $(ls r.mdb-journal 2>/dev/null)"
"$inspect" verify r.mdb | tail -1
"$inspect" tables r.mdb
echo "files in $d"
