#!/usr/bin/env bash
# Starts the game server and one client from the given program directory.
set -euo pipefail
bin="$1"
if [ ! -x "$bin/kivolsrv" ]; then
  echo "kivol: the game programs are not built yet; nothing to play."
  exit 0
fi
exec "$bin/kivolsrv"
