#!/usr/bin/env bash
# The Windows stage: cross-builds the module "kalu7_gifload_64.p" as a 64-bit
# Windows DLL with mingw-w64 (giflib and GoogleTest built for the target by
# windows-deps.sh), checks that it exports only _mod_descrip and imports only
# Windows' own DLLs, and runs the whole suite under Wine.
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
start=$SECONDS

kalu7_need ca-certificates cmake make binutils g++ g++-mingw-w64-x86-64 wine wine64
bash "$KALU7_ROOT/scripts/windows-deps.sh"

# One Wine prefix for the stage, under build/; its server is kept running
# for the stage so that each test program starts quickly, and stopped at the
# end.
export WINEPREFIX=$KALU7_ROOT/build/wineprefix
export WINEDEBUG=-all
# Wine's helper processes (services, device drivers) start with the first
# program and inherit its standard streams; started here on /dev/null, they
# cannot keep a later program's output pipe open (a test discovery would then
# wait for ever).
"$KALU7_ROOT/cmake/wine-run.sh" cmd /c exit 0 </dev/null >/dev/null 2>&1  # sets the prefix up on first use
wineserver -w
wineserver -p 2>/dev/null || true  # fails only when this prefix's server already runs
trap 'wineserver -k 2>/dev/null || true' EXIT
"$KALU7_ROOT/cmake/wine-run.sh" cmd /c exit 0 </dev/null >/dev/null 2>&1

kalu7_build windows

module=$KALU7_ROOT/build/windows/bin/kalu7_gifload_64.p
headers=$(x86_64-w64-mingw32-objdump -p "$module")
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$headers" | tr '\n' ' ')
imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '\n' ' ')
echo "== windows: $module"
echo "   exports: $exports"
echo "   imports: $imports"

kalu7_test windows

# For the record, not a test: where the Windows build's sin, cos, atan, atan2
# and acos round differently from glibc's, in the three ways the geometry
# library uses them (see the probe).
probe=$KALU7_ROOT/build/windows/libm_probe
mkdir -p "$probe"
g++ -std=c++17 -O2 -ffp-contract=off "$KALU7_ROOT/cmake/probe/libm_probe.cpp" -o "$probe/probe"
x86_64-w64-mingw32-g++-posix -std=c++17 -O2 -ffp-contract=off -static \
  "$KALU7_ROOT/cmake/probe/libm_probe.cpp" -o "$probe/probe.exe"
"$probe/probe" >"$probe/linux.txt"
"$KALU7_ROOT/cmake/wine-run.sh" "$probe/probe.exe" | tr -d '\r' >"$probe/windows.txt"
echo "== windows: C runtime results that differ from glibc's (of the probe's inputs)"
paste -d' ' "$probe/linux.txt" "$probe/windows.txt" | awk '
  # Each line: name, inputs, then d= df= f= for Linux and again for Windows.
  { f = $1; n[f]++; k = 0
    for (i = 2; i <= NF; i++) if ($i ~ /^d=/) pos[++k] = i
    for (j = 0; j < 3; j++) if ($(pos[1] + j) != $(pos[2] + j)) diff[f, j]++ }
  END { for (f in n) printf "   %-6s %5d inputs differ: double %d, double rounded to float %d, float argument %d\n",
                            f, n[f], diff[f, 0], diff[f, 1], diff[f, 2] }' | sort

echo "== windows: stage took $((SECONDS - start)) s"
