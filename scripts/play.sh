#!/usr/bin/env bash
# Starts the game from the given program directory. With a display: the
# server's window, and the client's window beside it once the client is
# built, its address box filled with the local server. Without a display
# (neither DISPLAY nor WAYLAND_DISPLAY): the server alone, headless, in the
# foreground; Ctrl+C ends it. Either way it first prints where a browser
# plays: on this machine, and from another machine on the LAN.
set -euo pipefail
bin="$1"
web_port=16580
if [ ! -x "$bin/kivolsrv" ]; then
  echo "kivol: the server is not built yet; nothing to play." >&2
  exit 1
fi

# The first address of this machine that another one on the LAN reaches
# (IPv4 preferred, an IPv6 one in brackets); nothing when it has none.
lan_address() {
  local address fallback=""
  for address in $(hostname -I 2>/dev/null || true); do
    case "$address" in
      127.*|::1|fe80:*) ;;
      *:*) [ -n "$fallback" ] || fallback="[$address]" ;;
      *) echo "$address"; return ;;
    esac
  done
  [ -z "$fallback" ] || echo "$fallback"
}

echo "kivol: play in a browser on this machine at http://localhost:$web_port/"
lan="$(lan_address)"
if [ -n "$lan" ]; then
  echo "kivol: from another machine on the LAN at http://$lan:$web_port/"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "kivol: no display; the server runs headless on port 16523, its log below (Ctrl+C ends it)."
  exec "$bin/kivolsrv"
fi

# The player's window, started beside the server's with the local server in
# its address box; it connects when its player presses Connect, so it may
# come up first.
if [ -x "$bin/kivolcli" ]; then
  "$bin/kivolcli" --connect localhost &
fi
exec "$bin/kivolsrv"
