#!/usr/bin/env bash
# Runs every benchmark of the project on the plain build and writes their
# figures into docs/performance.md, each beside its reference.
#   scripts/bench.sh            regenerate docs/performance.md
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh plain >/dev/null
out=docs/performance.md
tmp="$(mktemp)"
trap 'rm -f "$tmp" "$tmp.run"' EXIT
export QT_QPA_PLATFORM=offscreen

# name | what it measures | reference to read it against [| heading, the name if none]
benches=(
  "bench_monitor|decoding one gateway message; one display pass with every row changed and with 16 rows changed; one display pass during an emergency flood of 20,000/s (2,000 changes a tick) with the history at its bound of 100,000|the display refresh runs every 100 ms: a pass must take a small part of that, and during an emergency flood under 5 ms; a full 1 Mbit/s bus carries at most about 9,000 PDOs/s, so decoding must stay far below 110 µs per message"
  "bench_qelcopn|SDO round trips on the virtual bus; PDO receive throughput with zero loss; library CPU per 1,000 received frames|a real 1 Mbit/s CAN bus carries at most about 9,000 eight-byte frames/s; an SDO round trip on a real bus takes about 0.25 ms at 1 Mbit/s"
  "bench_blackbox|the black box at 9,000 frames/s: CPU a frame by the adding thread's clock and the share of a core, resident memory each minute, a save of the last 2 minutes|at most 2 % of a core; 16 bytes a frame, 8.64 MB a minute at 9,000 frames/s|Black box (bench_blackbox)"
  "bench_replay|a recording of 1,000,000 PDOs replayed by the library as fast as possible into the monitor's decoder through the PDO FIFO, none dropped|at least 100,000 frames/s into the decoders; the per CPU second figure is the fair one on a loaded machine|Replay (bench_replay)"
  "bench_gatewaysim|frames per second each simulator scenario puts on the bus|the bus capacity at 250 kbit/s (about 2,200 frames/s) and 1 Mbit/s (about 9,000 frames/s)"
  "bench_e2e|browse time; receipt-to-grid latency; application CPU at 9,000 PDOs/s against Qt's canbusutil on the same stream|the 100 ms refresh (latency), the bus's physical limit, and canbusutil listening to the same stream"
  "bench_network|the library's node-state tracking per received frame (a busy bus's mix, and emergencies alone); one pass of the CANopen Network window with all 127 nodes changing as at 9,000 frames/s, 90 new emergencies a tick and the list at its bound of 10,000|tracking must stay far below the 110 µs a frame of a full 1 Mbit/s bus; a pass under 0.2 ms CPU of the 100 ms tick|Network (bench_network)"
  "bench_trends|the decoder per message with no parameter, 8 of 254 and every message plotted; an hour of 8 parameters at 100 values/s held; one redraw of the visible trend window over 1, 10 and 60 minutes of it|decoding with plotting on must stay under 20 ns a message (bench_monitor's BM_DecodePdoData is the figure without trends); a redraw must stay under 10 ms, the window draws at most every 100 ms|Trends (bench_trends)"
)

{
  echo "# Performance"
  echo
  echo "Every benchmark of the project, how to run it, and the figures measured on"
  echo "the machine that last ran \`scripts/bench.sh\` ($(nproc) cores, $(date -u +%Y-%m-%d))."
  echo "Regenerate this page with \`scripts/bench.sh\`. Tests never time anything;"
  echo "these programs do. Load average when the run began: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "(other work on the same cores inflates latencies and can make the 9,000/s run drop PDOs)."
  for entry in "${benches[@]}"; do
    IFS='|' read -r name what reference heading <<<"$entry"
    binary=$(find build -name "$name" -type f -executable 2>/dev/null | head -n 1)
    echo
    echo "## ${heading:-$name}"
    echo
    echo "What: $what."
    echo
    echo "Reference: $reference."
    echo
    if [ -z "$binary" ]; then
      echo "Not built on this machine."
      continue
    fi
    echo "Run: \`$binary\`"
    echo
    echo '```'
    status=0
    timeout 600 "$binary" >"$tmp.run" 2>&1 || status=$?
    grep -v '^qt\.' "$tmp.run" || true
    [ "$status" -eq 0 ] || echo "(the benchmark ended with status $status)"
    echo '```'
  done
  # Analysis written by hand, kept across runs.
  if [ -f docs/performance-notes.md ]; then
    echo
    cat docs/performance-notes.md
  fi
} >"$tmp"
mv "$tmp" "$out"
rm -f "$tmp.run"
trap - EXIT
echo "wrote $out"
