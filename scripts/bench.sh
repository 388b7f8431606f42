#!/usr/bin/env bash
# Runs every benchmark of the project on a Release build (build-release/) and
# writes their figures into docs/performance.md, each beside its reference and
# with the load average before and after its run. The run under load (every
# core busy with other work) has a section of its own, apart from the others.
#   scripts/bench.sh            regenerate docs/performance.md
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release >/dev/null
dir=build-release
out=docs/performance.md
tmp="$(mktemp)"
trap 'rm -f "$tmp" "$tmp.run"' EXIT
export QT_QPA_PLATFORM=offscreen

# name [argument] | what it measures | reference to read it against [| heading, the name if none]
benches=(
  "bench_monitor|decoding one gateway message; one display pass with every row changed and with 16 rows changed; one display pass during an emergency flood of 20,000/s (2,000 changes a tick) with the history at its bound of 100,000|the display refresh runs every 100 ms: a pass must take a small part of that, and during an emergency flood under 5 ms; a full 1 Mbit/s bus carries at most about 9,000 PDOs/s, so decoding must stay far below 110 µs per message"
  "bench_qelcopn|SDO round trips on the virtual bus; PDO receive throughput with zero loss; library CPU per 1,000 received frames|a real 1 Mbit/s CAN bus carries at most about 9,000 eight-byte frames/s; an SDO round trip on a real bus takes about 0.25 ms at 1 Mbit/s"
  "bench_blackbox|the black box at 9,000 frames/s: CPU a frame by the adding thread's clock and the share of a core, resident memory each minute, a save of the last 2 minutes|at most 2 % of a core; 16 bytes a frame, 8.64 MB a minute at 9,000 frames/s|Black box (bench_blackbox)"
  "bench_replay|a recording of 1,000,000 PDOs replayed by the library as fast as possible into the monitor's decoder through the PDO FIFO, none dropped|at least 100,000 frames/s into the decoders; the per CPU second figure is the fair one on a loaded machine|Replay (bench_replay)"
  "bench_trace_formats|a recording of 1,000,000 frames converted from the candump log into Vector ASC, PEAK TRC and Vector BLF and each back, with the file sizes and the memory the process holds|under 2 s a conversion; the memory must not grow with the file (it is streamed)|Trace formats (bench_trace_formats)"
  "bench_gatewaysim|frames per second each simulator scenario puts on the bus|the bus capacity at 250 kbit/s (about 2,200 frames/s) and 1 Mbit/s (about 9,000 frames/s)"
  "bench_e2e|browse time; receipt-to-grid latency; application CPU at 9,000 PDOs/s against Qt's canbusutil on the same stream (both with TZ pinned)|the 100 ms refresh (latency), the bus's physical limit, and canbusutil listening to the same stream"
  "bench_network|the library's node-state tracking per received frame (a busy bus's mix, and emergencies alone); one pass of the CANopen Network window with all 127 nodes changing as at 9,000 frames/s, 90 new emergencies a tick and the list at its bound of 10,000|tracking must stay far below the 110 µs a frame of a full 1 Mbit/s bus; a pass under 0.2 ms CPU of the 100 ms tick|Network (bench_network)"
  "bench_trends|the decoder per message with no parameter, 8 of 254 and every message plotted; an hour of 8 parameters at 100 values/s held; one redraw of the visible trend window over 1, 10 and 60 minutes of it|decoding with plotting on must stay under 20 ns a message (bench_monitor's BM_DecodePdoData is the figure without trends); a redraw must stay under 10 ms, the window draws at most every 100 ms|Trends (bench_trends)"
)
# The same form; these run while the benchmark itself keeps every core busy.
under_load=(
  "bench_e2e underload|one CPU-bound process per core at normal priority while the simulator sends 9,000 PDOs/s for 15 s, the monitor, a trend of MTU parameter 1 and a recording running: PDOs dropped, the trend's values against an independent listener's count, every queue's losses, receipt to cell, CPU beside canbusutil's in the same run|nothing lost: 0 PDOs dropped and every value of the plotted parameter in the trend; the CPU ratio to canbusutil aims at 1.25 or less (reported, not a condition)|Under load (bench_e2e underload)"
)

loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

# Runs one entry and writes its section.
section() {
  local entry=$1 command what reference heading name argument binary status
  IFS='|' read -r command what reference heading <<<"$entry"
  read -r name argument <<<"$command"
  binary=$(find "$dir" -name "$name" -type f -executable 2>/dev/null | head -n 1)
  echo
  echo "## ${heading:-$name}"
  echo
  echo "What: $what."
  echo
  echo "Reference: $reference."
  echo
  if [ -z "$binary" ]; then
    echo "Not built on this machine."
    return
  fi
  echo "Run: \`$binary${argument:+ $argument}\`. Load average before: $(loadavg)."
  echo
  echo '```'
  status=0
  # shellcheck disable=SC2086 # the argument is one word or none
  timeout 600 "$binary" $argument >"$tmp.run" 2>&1 || status=$?
  grep -v -e '^qt\.' -e '^QStandardPaths:' -e 'This plugin does not support' "$tmp.run" || true
  [ "$status" -eq 0 ] || echo "(the benchmark ended with status $status)"
  echo '```'
  echo
  echo "Load average after: $(loadavg)."
}

{
  echo "# Performance"
  echo
  echo "Every benchmark of the project, how to run it, and the figures measured on"
  echo "the machine that last ran \`scripts/bench.sh\` ($(nproc) cores, $(date -u +%Y-%m-%d)),"
  echo "from a Release build (\`$dir\`). Regenerate this page with \`scripts/bench.sh\`."
  echo "Tests never time anything; these programs do. Each section gives the load"
  echo "average (1, 5 and 15 minutes) before and after its run: other work on the"
  echo "same cores inflates wall-clock times and latencies, so read a figure beside"
  echo "its peer from the same run (canbusutil beside tarnwick, CPU time beside wall"
  echo "time). Google Benchmark's \"Library was built as DEBUG\" speaks of Debian's"
  echo "libbenchmark itself, not of the code measured."
  for entry in "${benches[@]}"; do
    section "$entry"
  done
  echo
  echo "# Under load"
  echo
  echo "Figures taken while every core also runs other work, apart from the idle ones"
  echo "above: a technician's laptop is seldom idle."
  for entry in "${under_load[@]}"; do
    section "$entry"
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
