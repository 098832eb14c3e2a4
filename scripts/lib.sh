# Shared by the project's scripts: install missing Debian packages, configure
# and build presets. Source it; do not run it.
set -euo pipefail

KALU7_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KALU7_JOBS=${KALU7_JOBS:-$(nproc 2>/dev/null || echo 2)}

# Installs whichever of the named Debian packages are missing.
kalu7_need() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ -z "${KALU7_APT_UPDATED:-}" ]; then
    $sudo apt-get update -qq
    export KALU7_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What every build needs.
kalu7_need_base() {
  kalu7_need ca-certificates cmake make g++ pkg-config binutils libgif-dev libpng-dev libgtest-dev googletest
}

# Configures and builds one preset; further arguments go to the configure
# step. KALU7_TARGETS, when set, limits the build to those targets.
kalu7_build() {
  local preset=$1
  shift
  echo "== configure and build: $preset"
  cmake --preset "$preset" -S "$KALU7_ROOT" "$@" >/dev/null
  local targets=()
  [ -n "${KALU7_TARGETS:-}" ] && targets=(--target ${KALU7_TARGETS})
  cmake --build --preset "$preset" -j "$KALU7_JOBS" "${targets[@]}"
}

# Runs one preset's tests.
kalu7_test() {
  local preset=$1
  echo "== test: $preset"
  (cd "$KALU7_ROOT" && ctest --preset "$preset" -j "$KALU7_JOBS")
}
