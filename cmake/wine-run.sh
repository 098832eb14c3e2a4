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
# A marker of its own says the prefix is set up: Wine's registry files may
# reach the disk only when its server exits. Two programs started at once on
# a fresh prefix must not both set it up.
if [ ! -f "$WINEPREFIX/.kalu7-ready" ]; then
  mkdir -p "$WINEPREFIX"
  flock "$WINEPREFIX/.setup-lock" sh -c \
    '[ -f "$WINEPREFIX/.kalu7-ready" ] || { wineboot --init >/dev/null 2>&1 && touch "$WINEPREFIX/.kalu7-ready"; }'
fi
exec wine "$@"
