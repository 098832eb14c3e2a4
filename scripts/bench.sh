#!/usr/bin/env bash
# Builds the bench preset, runs the benchmarks with repetitions (medians) and
# writes docs/benchmarks.md with the plot docs/load-time.svg. Takes about ten
# minutes; run it on a machine as quiet as you can get it.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
kalu7_need_base
kalu7_need libbenchmark-dev libstb-dev libglm-dev gnuplot-nox valgrind python3

kalu7_build bench

bin="$KALU7_ROOT/build/bench/bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
loader_reps=11
math_reps=10

load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# Each comparison runs as its own group (the decoders of one input, the two
# sides of one math pair), its repetitions interleaved at random, so that the
# two sides of a ratio see the same spells of a busy machine.
loader_groups=$("$bin/kalu7_bench_loader" --kalu7_dir="$work/gifs" --benchmark_list_tests=true |
  sed -n 's#^\(load/[a-z]*/[0-9x]*\)/.*#\1#p' | uniq)
for group in $loader_groups; do
  echo "== $group ($loader_reps repetitions)"
  "$bin/kalu7_bench_loader" --kalu7_dir="$work/gifs" --benchmark_filter="^$group/" \
    --benchmark_repetitions=$loader_reps --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$work/loader-${group//\//_}.json" --benchmark_out_format=json
done

math_groups=$("$bin/kalu7_bench_math" --benchmark_list_tests=true | sed -n 's#^\(math/[a-z0-9_]*\)/.*#\1#p' | uniq)
for group in $math_groups; do
  echo "== $group ($math_reps repetitions)"
  "$bin/kalu7_bench_math" --benchmark_filter="^$group/" --benchmark_min_time=0.2 \
    --benchmark_repetitions=$math_reps --benchmark_report_aggregates_only=true \
    --benchmark_enable_random_interleaving=true \
    --benchmark_out="$work/math-${group//\//_}.json" --benchmark_out_format=json
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# Instruction counts of one load of each main input, counted only inside the
# benchmark's decode call (the peak-memory child runs exactly one load).
echo "== instruction counts (callgrind)"
: > "$work/callgrind.tsv"
for file in single_3000x3000 interlaced_3000x3000 animation_200x640x480; do
  kind=single
  [ "${file%%_*}" = animation ] && kind=animation
  for decoder in module slurp stb; do
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" \
      --toggle-collect='(anonymous namespace)::decode(*' \
      "$bin/kalu7_bench_loader" --kalu7_peak "$decoder" "$work/gifs/$file.gif" "$kind" \
      > /dev/null 2> "$work/cg.log"
    count=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.log")
    echo "${file/_//} $decoder $count" | tee -a "$work/callgrind.tsv"
  done
done

# The same for the math pairs: one iteration of one benchmark (1024 calls)
# per run, counted inside the timed loop only.
: > "$work/callgrind-math.tsv"
for name in $("$bin/kalu7_bench_math" --benchmark_list_tests=true); do
  valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" --toggle-collect='*time_calls*' \
    "$bin/kalu7_bench_math" --benchmark_filter="^$name\$" --benchmark_min_time=0.000000001 \
    > /dev/null 2> "$work/cg.log"
  count=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/cg.log")
  echo "$name $count" | tee -a "$work/callgrind-math.tsv"
done

{
  echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)"
  echo "cores=$(nproc)"
  echo "compiler=$(c++ --version | head -n 1)"
  echo "libraries=giflib $(dpkg-query -W -f='${Version}' libgif-dev), stb $(dpkg-query -W -f='${Version}' libstb-dev), GLM $(dpkg-query -W -f='${Version}' libglm-dev), Google Benchmark $(dpkg-query -W -f='${Version}' libbenchmark-dev)"
  echo "load_before=$load_before"
  echo "load_after=$load_after"
  echo "loader_reps=$loader_reps"
  echo "math_reps=$math_reps"
} > "$work/machine.txt"

mkdir -p "$KALU7_ROOT/docs"
python3 "$KALU7_ROOT/bench/report.py" --loader "$work"/loader-*.json --math "$work"/math-*.json \
  --callgrind "$work/callgrind.tsv" --callgrind-math "$work/callgrind-math.tsv" --machine "$work/machine.txt" \
  --out "$KALU7_ROOT/docs/benchmarks.md" --plot-data "$work/plot.dat"

gnuplot <<GNUPLOT
set terminal svg size 720,480 dynamic font 'sans,12' background rgb 'white'
set output '$KALU7_ROOT/docs/load-time.svg'
set title 'Whole load of a noisy 256-colour GIF (median CPU time)'
set xlabel 'image size (megapixels)'
set ylabel 'time (ms)'
set key left top
set grid
set xrange [0:*]
set yrange [0:*]
plot '$work/plot.dat' using 1:2 with linespoints lw 2 pt 7 title 'module (kalu7\_gif)', \
     '' using 1:3 with linespoints lw 2 pt 5 title 'giflib DGifSlurp', \
     '' using 1:4 with linespoints lw 2 pt 9 title 'stb\_image'
GNUPLOT
# The raw results stay beside the build, so the report can be rewritten
# without running everything again.
mkdir -p "$KALU7_ROOT/build/bench/results"
cp "$work"/*.json "$work"/*.tsv "$work/machine.txt" "$work/plot.dat" "$KALU7_ROOT/build/bench/results/"
echo "== wrote docs/benchmarks.md and docs/load-time.svg (raw results in build/bench/results)"
