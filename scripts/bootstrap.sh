#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kivol needs.
# Packages already present are skipped, so a second run costs one dpkg query.
set -euo pipefail

packages=(
  # toolchain and build
  g++ cmake ninja-build pkg-config
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3 python3-prometheus-client
  # the yardstick server of the tables load benchmark, the profiler, and
  # callgrind for counting the server's instructions
  redis-server linux-perf valgrind
  # fuzzing and sanitizers with clang
  clang libclang-rt-dev
  # windows, event loop, sound
  qt6-base-dev qt6-multimedia-dev
  # the client's English translation: lrelease builds it, lupdate checks it
  qt6-l10n-tools
  # the web port: HTTP server, WebSockets, the check of a certificate's key,
  # gzip for its text answers; certificates made by its TLS tests
  qt6-httpserver-dev qt6-websockets-dev libssl-dev zlib1g-dev openssl
  # the records of games, names and ratings
  libsqlite3-dev
  # fonts for the Japanese user interface, content-type table
  fonts-ipafont-gothic media-types
  # a display for screenshots and for playing on a machine without one
  xvfb xauth
  # Debian packages (dependencies of the programs) and the checks of the
  # installed desktop entry, metainfo and systemd unit
  dpkg-dev file desktop-file-utils appstream systemd
  # the browser client's end-to-end tests drive Debian's Chromium, and cut a
  # page's connection at the server with ss -K
  chromium iproute2
)
# The browser client is compiled by tsc under node, with npm installing the
# pinned tools; a node installed otherwise (node 20 or later) serves as well.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "kivol: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
