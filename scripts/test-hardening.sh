#!/usr/bin/env bash
# The hardening stage: the loader's fuzzer for a short fixed time (clang,
# libFuzzer, AddressSanitizer + UBSan), the geometry library's extreme-value
# test under clang's UBSan, and the thread test under ThreadSanitizer.
# KALU7_FUZZ_SECONDS sets how long the fuzzer runs (default 60).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
kalu7_need_base
kalu7_need clang libclang-rt-14-dev libtsan2

fuzz_seconds=${KALU7_FUZZ_SECONDS:-60}
build="$KALU7_ROOT/build/fuzz"

kalu7_build fuzz

echo "== geometry library at its extremes, clang UBSan"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$build/tests/hardening/math_extremes_tests" --gtest_brief=1

echo "== fuzz the loader for ${fuzz_seconds} s"
# A fresh working corpus each run; the seeds are the builder's GIFs and, when
# it is there, the shared corpus beside the project.
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
rm -rf "$corpus" "$artifacts"
mkdir -p "$corpus" "$artifacts"
seeds=("$build/fuzz/seeds")
shared="$KALU7_ROOT/../shared/gif-corpus"
[ -d "$shared" ] && seeds+=("$shared")
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/fuzz/gif_load_fuzzer" -dict="$KALU7_ROOT/fuzz/gif.dict" -max_total_time="$fuzz_seconds" \
  -max_len=16384 -timeout=10 -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$corpus" "${seeds[@]}" 2>"$build/fuzz.log" || {
  tail -n 60 "$build/fuzz.log"
  echo "== the fuzzer found a fault; the input is in $artifacts" >&2
  exit 1
}
grep -E '^(stat::number_of_executed_units|Done)' "$build/fuzz.log" || true

kalu7_build tsan
kalu7_test tsan
