#!/usr/bin/env bash
# The instructions and the first-level data-cache read misses that kivolsrv
# spends per packet it receives while busy tables chat (50 tables of 5
# players, one line a second each, so 5 deliveries a packet), counted by
# callgrind. Counts, unlike times on a shared machine, come out the same run
# after run, so two builds can be compared by a few per cent.
#
#   bench/instructions_per_packet.sh [bin directory, default build/release/bin]
#
# load_bench tables runs the server as usual; the kivolsrv it starts is a
# launcher that runs the real one under callgrind, which writes its counts
# every 2 seconds. The figures are the medians over the 2-second spans of
# steady chatting (those holding 450 to 600 packets).
set -euo pipefail
bin="$(cd "${1:-build/release/bin}" && pwd)"
work="$(mktemp -d /tmp/kivol-callgrind-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cp "$bin/load_bench" "$work/"
cp "$bin/kivolsrv" "$work/kivolsrv.real"
# load_bench passes --max-tables to a server whose program mentions max-tables.
cat >"$work/kivolsrv" <<EOF
#!/bin/sh
exec valgrind --tool=callgrind --cache-sim=yes --callgrind-out-file="$work/counts" "$work/kivolsrv.real" "\$@"
EOF
chmod +x "$work/kivolsrv"

"$work/load_bench" tables 5 50 0 1 >"$work/run.txt" 2>&1 &
bench=$!
server=""
for _ in $(seq 600); do
  server="$(pgrep -P "$bench" -f kivolsrv.real | head -1 || true)"
  [ -n "$server" ] && break
  sleep 0.1
done
[ -n "$server" ] || { echo "kivolsrv did not start" >&2; exit 1; }
while kill -0 "$server" 2>/dev/null; do
  sleep 2
  callgrind_control --dump "$server" >/dev/null 2>&1 || true
done
wait "$bench" || true

spans="$work/spans.txt"
for span in "$work"/counts.*; do
  totals="$(callgrind_annotate "$span" 2>/dev/null | grep 'PROGRAM TOTALS' | sed -E 's/ +\( *[0-9.]+%\)//g; s/,//g')"
  packets="$(callgrind_annotate --inclusive=yes --tree=caller --threshold=100 "$span" 2>/dev/null |
    grep -m1 '< .*TGameServer::PacketArrived(TPacketConnection' | sed -E 's/.*\(([0-9,]+)x\).*/\1/; s/,//g' || true)"
  [ -n "$packets" ] && [ "$packets" -ge 450 ] && [ "$packets" -le 600 ] || continue
  # Columns: Ir Dr Dw I1mr D1mr ...
  echo "$totals" | awk -v p="$packets" '{ printf "%.0f %.2f\n", $1 / p, $5 / p }'
done >"$spans"
count="$(wc -l <"$spans")"
[ "$count" -gt 0 ] || { echo "no span of steady chatting was counted" >&2; exit 1; }
middle=$(((count + 1) / 2))
instructions="$(cut -d' ' -f1 "$spans" | sort -n | sed -n "${middle}p")"
misses="$(cut -d' ' -f2 "$spans" | sort -n | sed -n "${middle}p")"
echo "kivolsrv per packet received (5 deliveries), median of $count spans:"
echo "  instructions $instructions, D1 read misses $misses"
