#!/usr/bin/env bash
# Start-up of the command-line tool: `brevio --version` and `brevio info` on a 300-unit movie, from
# start to exit, beside `cat /dev/null` (the cost of starting any program) and, when given, the
# same two commands of another build (an earlier tool). The commands run in turn, round after
# round, so that a change in the machine's speed touches them all alike; prints the median of the
# rounds in milliseconds and the ratio to `cat /dev/null`, as rows of bench/README.md.
#   usage: bench/startup/run.sh [BUILD_DIR] [OTHER_BREVIO] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
other=${2:-}
rounds=${3:-41}
brevio=$build/bin/brevio
[ -x "$brevio" ] || { echo "run.sh: build $brevio first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
movie=$work/units300.mov
"$brevio" make --synthetic 300 --size 64x48 --unit-seconds 0.5 --audio none "$movie" >/dev/null

names=("cat /dev/null" "brevio --version" "brevio info (300 units)")
commands=("cat /dev/null" "$brevio --version" "$brevio info $movie")
if [ -n "$other" ]; then
  names+=("earlier brevio --version" "earlier brevio info (300 units)")
  commands+=("$other --version" "$other info $movie")
fi
# Timed in python3 around fork and wait, so the clock reading costs no process of its own.
printf '%s\n' "${commands[@]}" | python3 -c '
import statistics, subprocess, sys, time
names = sys.argv[2:]
commands = [line.split() for line in sys.stdin.read().splitlines()]
rounds = int(sys.argv[1])
times = [[] for _ in commands]
for _ in range(rounds):
    for i, argv in enumerate(commands):
        start = time.perf_counter_ns()
        subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times[i].append(time.perf_counter_ns() - start)
base = statistics.median(times[0])
print("| command | median start to exit | ratio to cat /dev/null |")
print("|---|---|---|")
for name, t in zip(names, times):
    m = statistics.median(t)
    print(f"| {name} | {m / 1e6:.2f} ms | {m / base:.2f} |")
' "$rounds" "${names[@]}"
echo "($rounds rounds; brevio loads $(ldd "$brevio" | wc -l) shared libraries)"
