#!/usr/bin/env bash
# scripts/demo.sh against a stand-in application: the simulator is ready
# before the application starts, is stopped by its PID when the
# application exits, and the application's exit status is the script's.
# Also the two ways it refuses to start. Runs on a private virtual bus.
#   demo_script_test.sh SOURCE_DIR SIMULATOR
set -uo pipefail
source_dir="$1"
simulator="$2"
demo="$source_dir/scripts/demo.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir -p "$work/bin"
ln -s "$simulator" "$work/bin/tarnwick-gatewaysim"
# The stand-in application proves the simulator hosts the bus by the time
# it starts: the simulator's event log already holds the ready line.
cat >"$work/bin/tarnwick" <<'APP'
#!/usr/bin/env bash
log="$(ls -t "${TMPDIR:-/tmp}"/tarnwick-gatewaysim.* | head -1)"
grep -q '^ready node=7 product=1101 ' "$log" && echo "app saw ready in $log"
grep -q '^ready extra-node=10$' "$log" && grep -q '^ready extra-node=11$' "$log" && echo "app saw nodes 10 and 11"
exit 3
APP
chmod +x "$work/bin/tarnwick"
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"

export TMPDIR="$work"
output="$(DISPLAY=:99 TARNWICK_BUILD_DIR="$work" TARNWICK_DEMO_BUS="tcp://127.0.0.1:$port/can0" "$demo" 2>&1)"
status=$?
echo "$output"
[ "$status" -eq 3 ] || fail "exit status $status, not the application's 3"
echo "$output" | grep -q '^app saw ready in ' || fail "the application started before the simulator was ready"
echo "$output" | grep -q '^app saw nodes 10 and 11$' || fail "the demo's network has no extra nodes 10 and 11"
pid="$(echo "$output" | sed -n 's/^Gateway simulator running (PID \([0-9]*\)).*/\1/p')"
[ -n "$pid" ] || fail "no simulator PID reported"
if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
  fail "simulator $pid still runs after the application exited"
  kill -TERM "$pid"
fi
log="$(ls "$work"/tarnwick-gatewaysim.* 2>/dev/null | head -1)"
tail -1 "$log" | grep -q '^stop signal=SIGTERM' || fail "the simulator was not stopped by SIGTERM: $(tail -1 "$log")"

output="$(env -u DISPLAY -u WAYLAND_DISPLAY TARNWICK_BUILD_DIR="$work" "$demo" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "without a display: exit status $status, not 1"
echo "$output" | grep -q 'xvfb-run' || fail "without a display: no hint to xvfb-run: $output"

rm "$work/bin/tarnwick"
output="$(DISPLAY=:99 TARNWICK_BUILD_DIR="$work" "$demo" 2>&1)"
status=$?
[ "$status" -eq 1 ] || fail "without the application: exit status $status, not 1"
echo "$output" | grep -q "bin/tarnwick is not there" || fail "without the application: $output"

[ "$failures" -eq 0 ] && echo "demo script: all checks passed"
exit $((failures > 0))
