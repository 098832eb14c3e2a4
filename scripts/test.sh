#!/usr/bin/env bash
# The whole test suite: a normal build, the same suite under AddressSanitizer
# and UndefinedBehaviorSanitizer, the geometry library at -O3 -march=native,
# then every further stage that has a script beside this one.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
kalu7_need_base

kalu7_build ci
kalu7_test ci

kalu7_build asan
kalu7_test asan

kalu7_build math-native
kalu7_test math-native

for stage in windows hardening bench; do
  script="$KALU7_ROOT/scripts/test-$stage.sh"
  if [ -f "$script" ]; then
    echo "== stage: $stage"
    bash "$script"
  fi
done
echo "== all tests passed"
