#!/usr/bin/env bash
# The main job: set up, build, load the bundled sample GIF through the module
# with the host program, and write it as a PNG (sample.png, or the path given).
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
out=${1:-$KALU7_ROOT/sample.png}
kalu7_need_base
KALU7_TARGETS=kalu7_host kalu7_build default
"$KALU7_ROOT/build/default/bin/kalu7_host" --trace -o "$out" | sed -n '1,4p;$p'
echo "== open $out to see the sample's last frame"
