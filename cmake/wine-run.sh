#!/bin/sh
# Runs one Windows program under Wine, as the cross build's emulator: a
# prefix of the project's own (created on first use), no debug chatter, no
# display needed, and no offer to install Wine's .NET or browser engine.
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:=$here/../build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Two programs started at once on a fresh prefix must not both set it up.
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.setup-lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot --init >/dev/null 2>&1'
fi
exec wine "$@"
