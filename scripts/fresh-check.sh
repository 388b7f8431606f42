#!/usr/bin/env bash
# Proves that a fresh Debian 12 machine needs nothing beyond the README's
# set-up: builds a minimal Debian 12 root with debootstrap, copies a clean
# clone of this repository into it, runs the README's two commands there
# as root, builds and installs the Debian package, and checks that the
# installed tarnwick starts and finds its library. Reports time, packages
# and disk. Needs root (debootstrap, chroot, mounts).
#   scripts/fresh-check.sh [--quick] [--reuse] [--root DIR] [--ref REF]
#   --quick  the README's first command, then only the plain tests instead
#            of every flavour and the fuzzers (the full test command
#            builds three flavours: about 35 min on two idle cores)
#   --reuse  keep an existing root from an earlier run and update its clone,
#            so that only what changed is built again
#   --root   where the root goes (default /var/tmp/tarnwick-fresh-root)
#   --ref    what to clone (default: HEAD of this repository)
# The expensive steps run with nice -n 19: other work on the machine comes first.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
root=/var/tmp/tarnwick-fresh-root
ref=HEAD
quick=0
reuse=0
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --reuse) reuse=1 ;;
    --root) root="$2"; shift ;;
    --ref) ref="$2"; shift ;;
    *) echo "unknown option '$1' (--quick, --reuse, --root DIR, --ref REF)" >&2; exit 2 ;;
  esac
  shift
done
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-check needs root: debootstrap, chroot and mounts" >&2
  exit 1
fi

started=$(date +%s)
stage_started=$started
report=()
stage() {
  local now; now=$(date +%s)
  report+=("$(printf '%-34s %5ds' "$1" $((now - stage_started)))")
  stage_started=$now
}
packages_in_root() { chroot "$root" dpkg-query -W -f='${Status}\n' | grep -c 'install ok installed'; }

mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
  mounted=()
}
trap unmount_all EXIT
mount_into_root() {
  mkdir -p "$root$2"
  mount "${@:3}" "$1" "$root$2"
  mounted+=("$root$2")
}

if [ "$reuse" -eq 0 ] || [ ! -x "$root/bin/bash" ]; then
  command -v debootstrap >/dev/null || {
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap
  }
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  mirror="${mirror:-http://deb.debian.org/debian}"
  rm -rf "$root"
  echo "=== debootstrap: minimal Debian 12 from $mirror into $root"
  nice -n 19 debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
    tail -n 20 "$root.debootstrap.log" >&2
    exit 1
  }
  [ -f /etc/apt/sources.list.d/debian.sources ] &&
    cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/" &&
    rm -f "$root/etc/apt/sources.list"
  stage "debootstrap"
fi
packages_before=$(packages_in_root)
disk_before=$(du -sm "$root" | cut -f1)

clone="$root/root/tarnwick"
if [ -d "$clone/.git" ] && [ "$reuse" -eq 1 ]; then
  git -C "$clone" fetch -q "$repo" "$ref"
  git -C "$clone" checkout -q --detach FETCH_HEAD
else
  rm -rf "$clone"
  git clone -q --no-local "$repo" "$clone"
  git -C "$clone" checkout -q --detach "$(git rev-parse "$ref")"
fi
echo "=== clean clone at $(git -C "$clone" log -1 --format='%h %s')"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

mount_into_root proc /proc -t proc
mount_into_root /dev /dev --bind
mount_into_root devpts /dev/pts -t devpts
mount_into_root sysfs /sys -t sysfs

# Run inside the root, from the clone, as root. Each step's output goes to
# a log beside the root; a failing step shows its tail.
in_root() {
  local name="$1" log="$root.$1.log"; shift
  echo "=== $name"
  if ! chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
      /bin/bash -c "cd /root/tarnwick && $*" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "FAILED: $name (log: $log)" >&2
    exit 1
  fi
  stage "$name"
}

# The README's commands; the demo runs until its window closes, so it is
# given a few seconds and must still be running then.
demo_briefly='
  setsid xvfb-run -a -s "-screen 0 1280x800x24" scripts/demo.sh & group=$!
  sleep 10
  alive=0; pgrep -g "$group" -x tarnwick >/dev/null && alive=1
  kill -TERM -- "-$group" 2>/dev/null || true; wait "$group" 2>/dev/null || true
  [ "$alive" -eq 1 ] || { echo "tarnwick was not running after 10 s"; exit 1; }
  echo "tarnwick ran for 10 s"'
in_root "README first command" \
  "scripts/setup-debian.sh && nice -n 19 scripts/build.sh && { $demo_briefly; }"
if [ "$quick" -eq 1 ]; then
  in_root "README second command (quick)" \
    "scripts/setup-debian.sh && nice -n 19 scripts/run-tests.sh plain"
else
  in_root "README second command" "scripts/setup-debian.sh && nice -n 19 scripts/run-tests.sh"
fi
packages_after_setup=$(packages_in_root)

deb_summary="no scripts/package.sh in this clone: package not checked"
if [ -x "$clone/scripts/package.sh" ]; then
  in_root "package" "nice -n 19 scripts/package.sh"
  # The menu entry's command line, run as a user would: from the path.
  in_root "install the package and start it" '
    deb=$(ls build-package/tarnwick_*_amd64.deb | head -n 1)
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
    dpkg -s tarnwick | sed -n "s/^\(Package\|Version\|Status\|Depends\): //p"
    exec_line=$(sed -n "s/^Exec=//p" /usr/share/applications/*tarnwick*.desktop | sed "s/ %[fFuU]//g")
    cd /tmp
    setsid xvfb-run -a -s "-screen 0 1280x800x24" $exec_line & group=$!
    sleep 5
    pid=$(pgrep -g "$group" -x tarnwick || true)
    found=0
    [ -n "$pid" ] && grep -q "/libQEL_COPN.so" "/proc/$pid/maps" && found=1
    kill -TERM -- "-$group" 2>/dev/null || true; wait "$group" 2>/dev/null || true
    [ -n "$pid" ] || { echo "installed tarnwick was not running after 5 s"; exit 1; }
    [ "$found" -eq 1 ] || { echo "installed tarnwick did not load libQEL_COPN.so"; exit 1; }
    echo "installed tarnwick ($exec_line) ran for 5 s with $(grep -m1 -o "/[^ ]*/libQEL_COPN.so" "/proc/$pid/maps")"'
  deb_summary=$(cat "$root.install the package and start it.log")
fi

unmount_all
total=$(( $(date +%s) - started ))
echo
echo "=== fresh-check report ($( [ "$quick" -eq 1 ] && echo quick || echo full ))"
printf '%s\n' "${report[@]}"
printf '%-34s %5ds\n' "total" "$total"
echo "packages: $packages_before in the minimal root, $packages_after_setup after set-up"
echo "disk: ${disk_before} MB minimal root, $(du -sm "$root" | cut -f1) MB at the end (build trees included)"
echo "$deb_summary"
