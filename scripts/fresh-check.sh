#!/usr/bin/env bash
# Clean-room check: builds a minimal Debian 12 root with debootstrap, puts a fresh clone of this
# checkout (its committed HEAD) and ../shared into it, and runs the README's two commands there
# as a new user with sudo would, printing the time of each and the test summary. Needs root
# (debootstrap, chroot, mounts); slow, not part of CI.
#   scripts/fresh-check.sh [ROOT_DIR]   (default: a new folder under /var/tmp, removed after
#                                        unless KEEP_ROOT=1; logs go to build/fresh-check/)
# The untouched debootstrap result is kept in build/fresh-check/base.tar and unpacked by later
# runs (debootstrap is the slowest step); delete it, or set FRESH_BASE=new, to make it anew.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=KEEP_ROOT,FRESH_BASE "$0" "$@"
fi

# The package registry apt uses on this machine (deb822 or one-line sources), else Debian's.
mirror=$(
  {
    grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed -E 's/^deb (\[[^]]*\] )?//' | awk '{print $1}'
  } | grep -E '/debian/?$' | head -n 1
) || true
mirror=${mirror:-http://deb.debian.org/debian}
security=${mirror%/debian*}/debian-security

if ! command -v debootstrap >/dev/null 2>&1; then
  echo "Installing debootstrap on this machine"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
fi

created=0
if [ $# -ge 1 ]; then
  target=$1
  mkdir -p "$target"
else
  target=$(mktemp -d /var/tmp/tessmark-fresh.XXXXXX)
  created=1
fi
target=$(cd "$target" && pwd)
chmod 755 "$target"  # mktemp makes it private; the new user must reach its own files
[ "$target" != / ] || { echo "refusing to use / as the root"; exit 2; }
logs=$root/build/fresh-check
mkdir -p "$logs"
mounts=()

cleanup() {
  local status=$?
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  # Remove a root this script made, and only when nothing is mounted below it any more.
  if [ $created -eq 1 ] && [ "${KEEP_ROOT:-}" != 1 ]; then
    if grep -q " $target/" /proc/mounts; then
      echo "mounts remain under $target; not removing it"
    else
      rm -rf --one-file-system "$target"
    fi
  else
    echo "The root stays in $target"
  fi
  exit $status
}
trap cleanup EXIT
trap 'exit 130' INT TERM

seconds() { date +%s; }
elapsed() { echo "$(($(seconds) - $1)) s"; }

base=$logs/base.tar
start=$(seconds)
if [ -s "$base" ] && [ "${FRESH_BASE:-}" != new ]; then
  echo "== the kept debootstrap result $base into $target =="
  tar -xpf "$base" -C "$target"
  echo "unpacking: $(elapsed "$start")"
else
  echo "== debootstrap bookworm from $mirror into $target =="
  debootstrap --variant=minbase --include=sudo,ca-certificates bookworm "$target" "$mirror" \
    >"$logs/debootstrap.log" 2>&1 || { tail -n 20 "$logs/debootstrap.log"; exit 1; }
  echo "debootstrap: $(elapsed "$start")"
  tar -cpf "$base.part" -C "$target" . && mv "$base.part" "$base"
fi

# The same suites as a Debian 12 installation: the release, its updates and security.
cat >"$target/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp /etc/resolv.conf "$target/etc/resolv.conf"
echo "127.0.1.1 $(hostname)" >>"$target/etc/hosts"  # sudo looks the host name up
# No service starts inside the root.
printf '#!/bin/sh\nexit 101\n' >"$target/usr/sbin/policy-rc.d"
chmod 755 "$target/usr/sbin/policy-rc.d"

mount_in() {  # mount_in TARGET_PATH mount arguments...
  local path="$target$1"
  shift
  mkdir -p "$path"
  mount "$@" "$path"
  mounts+=("$path")
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777 tmpfs
mount_in /tmp -t tmpfs -o mode=1777 tmpfs
# X servers share abstract socket names with this machine: mark the displays in use here as
# taken, so the tests' private X servers pick free numbers.
for lock in /tmp/.X*-lock; do
  [ -e "$lock" ] && touch "$target$lock"
done

# A new user with sudo, a fresh clone of the checkout and the shared corpus beside it.
chroot "$target" useradd --create-home --shell /bin/bash newuser
echo 'newuser ALL=(ALL) NOPASSWD: ALL' >"$target/etc/sudoers.d/newuser"
chmod 440 "$target/etc/sudoers.d/newuser"
home="$target/home/newuser"
git clone --quiet --no-hardlinks "$root" "$home/tessmark"
echo "checkout: $(git -C "$home/tessmark" log -1 --format='%h %s')"
if [ -d "$root/../shared" ]; then
  cp -a "$root/../shared" "$home/shared"
else
  echo "no ../shared beside the checkout: the tests that need it will skip"
fi
chroot "$target" chown -R newuser:newuser /home/newuser

as_user() {
  chroot "$target" /usr/bin/sudo -u newuser -H env -i HOME=/home/newuser USER=newuser \
    LOGNAME=newuser PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 \
    bash -c "cd ~/tessmark && $1"
}

status=0
echo "== scripts/run.sh =="
start=$(seconds)
if as_user scripts/run.sh >"$logs/run.log" 2>&1; then run_result=passed; else run_result=FAILED; status=1; fi
run_time=$(elapsed "$start")
tail -n 5 "$logs/run.log"

echo "== scripts/test.sh =="
start=$(seconds)
if as_user scripts/test.sh >"$logs/test.log" 2>&1; then test_result=passed; else test_result=FAILED; status=1; fi
test_time=$(elapsed "$start")
grep -E 'tests passed|tests failed|\(Failed\)|\(SEGFAULT\)|\(Timeout\)|\(Subprocess|Not Run|not in the house format' \
  "$logs/test.log" || tail -n 30 "$logs/test.log"

echo "== summary =="
echo "scripts/run.sh:  $run_result in $run_time"
echo "scripts/test.sh: $test_result in $test_time"
echo "logs: $logs/"
exit $status
