#!/usr/bin/env bash
# Runs Tarnwick against the gateway simulator on Qt's virtual CAN bus.
# The simulator starts first, so that it hosts the bus; it plays a live MTU
# engine gateway (node 7, product 1101) and two more nodes (10 and 11) that
# now and then send an emergency, lose their heartbeat or reboot, and is
# stopped when the application exits.
#   TARNWICK_BUILD_DIR  build tree to run from (default: build)
#   TARNWICK_DEMO_BUS   virtual bus for the simulator (default: can0, the
#                       bus of the application's default configuration)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${TARNWICK_BUILD_DIR:-build}"
bus="${TARNWICK_DEMO_BUS:-can0}"
app="$build/bin/tarnwick"
sim="$build/bin/tarnwick-gatewaysim"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run the demo in a virtual one instead:" >&2
  echo "  xvfb-run -a -s '-screen 0 1280x800x24' scripts/demo.sh" >&2
  exit 1
fi
for program in "$sim" "$app"; do
  if [ ! -x "$program" ]; then
    echo "$program is not there: build it first with scripts/build.sh" >&2
    exit 1
  fi
done

log="$(mktemp -t tarnwick-gatewaysim.XXXXXX)"
"$sim" --kind virtualcan --interface "$bus" --scenario live --node 7 --product 1101 \
  --extra-node 10 --extra-node 11 --network-scenario eventful >"$log" 2>&1 &
sim_pid=$!
stop_simulator() {
  if kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid"
    wait "$sim_pid" || true
  fi
}
trap stop_simulator EXIT

# Wait for its ready line: from then on it hosts the bus.
for _ in $(seq 1 100); do
  grep -q '^ready node=' "$log" && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "The gateway simulator did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  sleep 0.1
done
if ! grep -q '^ready node=' "$log"; then
  echo "The gateway simulator did not get ready within 10 s:" >&2
  cat "$log" >&2
  exit 1
fi

echo "Gateway simulator running (PID $sim_pid): live MTU engine gateway, node 7, product 1101, virtual bus $bus;"
echo "two more nodes, 10 and 11, send an emergency, lose their heartbeat or reboot every 30 s."
echo "Its event lines go to $log."
echo "In Tarnwick: choose Cyclic or COS, Start Network Access, Network Browse, then Open Monitor Window."
echo "Network > Nodes... shows every node on the bus and their emergencies."
status=0
"$app" || status=$?
exit "$status"
