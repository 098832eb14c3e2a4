#!/usr/bin/env bash
# Builds the benchmarks and runs each of them once, briefly and on tiny
# inputs, so that they cannot rot; the numbers mean nothing here. Also checks
# that every benchmark ran without an error, that the results GLM computes
# with the same arithmetic agree to the bit, and that the report can be
# written from the output.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
kalu7_need_base
kalu7_need libbenchmark-dev libstb-dev libglm-dev python3

kalu7_build bench

bin="$KALU7_ROOT/build/bench/bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== bench: loader, tiny inputs"
"$bin/kalu7_bench_loader" --kalu7_quick --benchmark_min_time=0.01 \
  --benchmark_out="$work/loader.json" --benchmark_out_format=json
echo "== bench: math"
"$bin/kalu7_bench_math" --benchmark_min_time=0.01 \
  --benchmark_out="$work/math.json" --benchmark_out_format=json

python3 "$KALU7_ROOT/bench/report.py" --check --loader "$work/loader.json" --math "$work/math.json"
python3 "$KALU7_ROOT/bench/report.py" --loader "$work/loader.json" --math "$work/math.json" \
  --out "$work/benchmarks.md" --plot-data "$work/plot.dat"
echo "== bench: all benchmarks ran"
