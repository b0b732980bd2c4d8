#!/bin/sh
# Runs the skin demo on a private X server (1920 x 1080), drives it with xdotool and checks what
# the screen shows through the demo's probe: shape, close button hover and press, caption drag,
# OK button press, and the dialog's result. Exits 77 (skipped) without Xvfb or xdotool.
set -u
demo="$1"
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb or xdotool is not installed (scripts/install-deps.sh installs them)"
  exit 77
fi

tmp=$(mktemp -d)
display=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "FAIL: no free X display number"; exit 1; }
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# WebKit, Mesa and the file chooser write under HOME and the XDG folders; no D-Bus session here.
export DISPLAY="$display" GSETTINGS_BACKEND=memory HOME="$tmp" XDG_RUNTIME_DIR="$tmp"
export XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data"
for i in $(seq 1 100); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done
xdotool mousemove 10 10

"$demo" --probe >"$tmp/out" 2>"$tmp/err" &
demo_pid=$!
for i in $(seq 1 100); do
  grep -q '^ready' "$tmp/out" && break
  kill -0 "$demo_pid" 2>/dev/null || { echo "FAIL: the demo ended early:"; cat "$tmp/err"; exit 1; }
  sleep 0.1
done

fail() {
  echo "FAIL: $1"
  echo "last probe: $(grep '^window=' "$tmp/out" | tail -n 1)"
  cat "$tmp/err"
  exit 1
}

# Asks the demo to look at the screen until its report contains every expected word.
expect() {
  for i in $(seq 1 60); do
    kill -USR1 "$demo_pid" 2>/dev/null || fail "the demo is gone while expecting: $*"
    sleep 0.1
    last=$(grep '^window=' "$tmp/out" | tail -n 1)
    ok=yes
    for word in "$@"; do
      case " $last " in *" $word "*) ;; *) ok=no ;; esac
    done
    [ "$ok" = yes ] && return 0
  done
  fail "expected: $*"
}

# The dialog (276 x 169) is centred: (1920 - 276) / 2, (1080 - 169) / 2.
x=822
y=455
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 close=normal ok=normal
# A cut corner shows the desktop, not magenta: cut-pixels-drawn=0 above.

# Hover, then press the close button; releasing elsewhere does nothing.
xdotool mousemove $((x + 259)) $((y + 9))
expect close=hover ok=normal
xdotool mousedown 1
expect close=pressed
xdotool mousemove $((x + 150)) $((y + 60))
expect close=normal
xdotool mouseup 1
expect "window=$x,$y" close=normal

# Drag by the caption band.
xdotool mousemove $((x + 100)) $((y + 15))
xdotool mousedown 1
xdotool mousemove $((x + 120)) $((y + 25))
sleep 0.2
xdotool mousemove $((x + 160)) $((y + 55))
sleep 0.2
xdotool mousemove $((x + 200)) $((y + 95))
sleep 0.2
xdotool mouseup 1
# The drag starts at the first move with the button held (+120, +25); the window then follows
# the pointer to (+200, +95).
x=$((x + 80))
y=$((y + 70))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 close=normal

# Hover and press OK at its new place; the release ends the dialog with OK.
xdotool mousemove $((x + 139)) $((y + 142))
expect ok=hover
xdotool mousedown 1
expect ok=pressed
xdotool mouseup 1
for i in $(seq 1 50); do
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
wait "$demo_pid"
status=$?
demo_pid=""
[ "$status" -eq 0 ] || fail "the demo ended with status $status"
grep -q '^result=ok$' "$tmp/out" || fail "the dialog did not end with OK: $(tail -n 1 "$tmp/out")"
echo "PASS"
