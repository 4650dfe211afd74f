#!/usr/bin/env bash
# Starts the game from the given program directory. With a display: the
# server's window, and the client's window beside it once the client is
# built. Without a display (neither DISPLAY nor WAYLAND_DISPLAY): the server
# alone, headless, in the foreground; Ctrl+C ends it.
set -euo pipefail
bin="$1"
if [ ! -x "$bin/kivolsrv" ]; then
  echo "kivol: the server is not built yet; nothing to play." >&2
  exit 1
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "kivol: no display; the server runs headless on port 16523, its log below (Ctrl+C ends it)."
  exec "$bin/kivolsrv"
fi

# The player's window, started beside the server's; it connects when its
# player presses Connect, so it may come up first.
if [ -x "$bin/kivolcli" ]; then
  "$bin/kivolcli" &
fi
exec "$bin/kivolsrv"
