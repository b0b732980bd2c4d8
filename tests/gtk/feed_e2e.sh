#!/bin/sh
# The desktop program with its feed, end to end: inside a network and mount namespace of its
# own (loopback only, /etc/hosts mapping the maker's host to 127.0.0.1) a small server on port
# 80 serves the feed and the advertisement page; the real program runs under Xvfb and the
# screen must show the two-line version label, the download link, the news strip moving and
# the page over the banner. Then without a feed (nothing listening, a server that accepts and
# never answers, one that never accepts): the window shows no feed, still reacts, and closes
# promptly whether the feed worker waits between attempts, in a receive or in a connect.
# Usage: feed_e2e.sh TESSMARK XSHOT FEED_SERVER HOST [webkit=ON|OFF]
# With TESSMARK_SCREENS set to a folder it writes feed-shown.png and feed-absent.png there.
# Exits 77 (skipped) where it cannot run.
set -u
tessmark="$1"
xshot="$2"
server="$3"
host="$4"
webkit="${5:-webkit=ON}"

. "$(dirname "$0")/x_session.sh"

skip() {
  echo "SKIPPED: $1"
  exit 77
}

if [ "${FEED_E2E_INSIDE:-}" != 1 ]; then
  x_require Xvfb xdotool unshare ip mount getent
  unshare --net --mount true 2>/dev/null ||
    skip "cannot make a network and mount namespace here (needs root or user namespaces)"
  exec env FEED_E2E_INSIDE=1 unshare --net --mount sh "$0" "$@"
fi

fail() {
  echo "FAIL: $1"
  for log in app.err server.err; do
    [ -s "$tmp/$log" ] && { echo "--- $log"; tail -n 20 "$tmp/$log"; }
  done
  exit 1
}

tmp=$(mktemp -d)
xvfb_pid=""
app_pid=""
server_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# The X server inside the namespace takes a fixed display number with a lock file. It cannot
# pick one itself as the other X tests' servers do: that choice goes by which abstract socket
# is free, and the namespace has abstract sockets of its own, so it would take a number already
# in use outside. The numbers here lie far above those the other servers start from.
display=""
for n in ${TESSMARK_X_DISPLAYS:-$(seq 91 140)}; do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
    display=":$n"
    break
  fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
[ -n "$display" ] || fail "no X display could be started"

# WebKit, Mesa and GTK write under HOME and the XDG folders; no D-Bus session here.
export DISPLAY="$display" GSETTINGS_BACKEND=memory HOME="$tmp" XDG_RUNTIME_DIR="$tmp"
export XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
export NO_AT_BRIDGE=1
xdotool mousemove 1900 1060

# A private network: only loopback, and the maker's host on it.
ip link set lo up || skip "cannot bring up loopback in the namespace"
# The web view resolves names per address family with AI_ADDRCONFIG, which finds no IPv4
# address while 127.0.0.1 is the only one configured: one more loopback address counts.
ip addr add 127.0.0.2/8 dev lo || skip "cannot add a loopback address in the namespace"
printf '127.0.0.1 localhost\n127.0.0.1 %s\n' "$host" >"$tmp/hosts"
mount --bind "$tmp/hosts" /etc/hosts || skip "cannot bind-mount /etc/hosts in the namespace"
# The lookup the web view makes (IPv4, AI_ADDRCONFIG) must find the host through the file.
getent ahostsv4 "$host" | grep -q '^127\.0\.0\.1 ' ||
  skip "the name service here does not read /etc/hosts for $host (see hosts in /etc/nsswitch.conf)"

title="Tessmark-Orvel软件系列"

# Starts the feed server: "serve", "silent", "stall" or "none".
start_server() {
  server_pid=""
  [ "$1" = none ] && return 0
  extra=""
  [ "$1" = silent ] && extra="--silent"
  [ "$1" = stall ] && extra="--stall"
  "$server" 80 "$host" $extra >"$tmp/server.out" 2>"$tmp/server.err" &
  server_pid=$!
  for i in $(seq 1 50); do
    grep -q '^listening' "$tmp/server.out" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the feed server did not start"
}

stop_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
  server_pid=""
}

# Starts the program and waits for its window; sets wx, wy (its place on the screen).
start_app() {
  "$tessmark" >"$tmp/app.out" 2>"$tmp/app.err" &
  app_pid=$!
  # A search can end early when a window goes while it walks the tree (GTK makes and drops
  # helper windows at start-up), so it is repeated rather than left to wait by itself.
  window=""
  for i in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.1
  done
  [ -n "$window" ] || fail "the main window did not appear"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wx=$X
  wy=$Y
  [ "$WIDTH" -eq 800 ] && [ "$HEIGHT" -eq 600 ] || fail "the main window is ${WIDTH}x$HEIGHT, not 800x600"
}

# grab NAME: the whole window into $tmp/NAME.png.
grab() {
  "$xshot" grab "$tmp/$1.png" "$wx" "$wy" 800 600 || fail "cannot take a screenshot"
}
# count NAME X Y W H RRGGBB: pixels of one colour in a window rectangle of a screenshot.
count() {
  "$xshot" count "$tmp/$1.png" "$2" "$3" "$4" "$5" "$6"
}
differ() {
  "$xshot" differ "$tmp/$1.png" "$tmp/$2.png" "$3" "$4" "$5" "$6"
}

# Escape closes the main window; the process must end promptly whatever its feed worker does.
close_app() {
  xdotool mousemove $((wx + 400)) $((wy + 300))
  start=$(date +%s%N)
  xdotool key --window "$window" Escape
  ended=""
  for i in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || {
      ended=yes
      break
    }
    sleep 0.02
  done
  elapsed=$((($(date +%s%N) - start) / 1000000))
  [ -n "$ended" ] || fail "$1: the program still runs 2 s after Escape"
  wait "$app_pid"
  status=$?
  app_pid=""
  echo "$1: ended ${elapsed} ms after Escape, status $status"
  [ "$elapsed" -le 1000 ] || fail "$1: the program took ${elapsed} ms to end (at most 1000 ms)"
}

banner_area=$((227 * 53))

# ---- With the feed ----
start_server serve
start_app
# Wait for the feed, then for WebKit's page over the banner (it paints from its own process).
shown=0
for i in $(seq 1 300); do
  grab feed1
  if [ "$webkit" = "webkit=ON" ]; then
    shown=$(count feed1 338 544 227 53 ff8800)
    [ "$shown" -ge $((banner_area * 9 / 10)) ] && break
  else
    [ "$(count feed1 730 490 60 15 000000)" -gt 0 ] && break
  fi
  sleep 0.1
done
grep -q "request: GET http://$host/software/config/Quillmark_config.xml HTTP/1.0" "$tmp/server.err" ||
  fail "the program did not ask for the feed"
if [ "$webkit" = "webkit=ON" ]; then
  [ "$shown" -ge $((banner_area * 9 / 10)) ] || fail "the advertisement page does not cover the banner ($shown pixels)"
  grep -q "request: GET /ad.html" "$tmp/server.err" || fail "the web view did not ask for the page"
else
  echo "web page part skipped: built without WebKitGTK"
fi
sleep 1
grab feed2
# Version 101: the two-line label stays at (700, 460), white text in both lines over the skin;
# the one-line label at (710, 483) would leave the first line empty.
[ "$(count feed2 700 460 190 15 ffffff)" -gt 20 ] || fail "no first line in the version label"
[ "$(count feed2 700 475 190 16 ffffff)" -gt 20 ] || fail "no second line in the version label"
# The download link: black face, white text.
[ "$(count feed2 730 490 60 15 000000)" -gt 200 ] || fail "no download link at (730, 490)"
[ "$(count feed2 730 490 60 15 ffffff)" -gt 20 ] || fail "the download link shows no text"
# The news strip moves: 80 ms a pixel, so a second later its text stands about 12 pixels left.
[ "$(count feed2 6 519 788 22 ffffff)" -gt 20 ] || fail "the news strip shows no text"
[ "$(differ feed1 feed2 6 519 788 22)" -gt 0 ] || fail "the news strip does not move"
# For the record: the first news item well into the strip.
if [ -n "${TESSMARK_SCREENS:-}" ]; then
  sleep 10
  grab feed-shown
fi
close_app "with the feed"
stop_server

# ---- Without a feed: nothing listening, a server that never answers, one that never accepts ----
for mode in none silent stall; do
  start_server "$mode"
  start_app
  sleep 2
  grab "nofeed-$mode"
  # No feed shown: an empty version label, no link, the banner bitmap instead of a page.
  [ "$(count "nofeed-$mode" 700 460 190 31 ffffff)" -eq 0 ] || fail "$mode: the version label shows text"
  [ "$(count "nofeed-$mode" 338 544 227 53 ff8800)" -eq 0 ] || fail "$mode: a web page shows over the banner"
  # The window still reacts: pointing at the Start bar changes its face.
  xdotool mousemove $((wx + 729)) $((wy + 335))
  sleep 0.5
  grab "hover-$mode"
  [ "$(differ "nofeed-$mode" "hover-$mode" 685 322 89 27)" -gt 0 ] || fail "$mode: the Start bar does not react"
  if [ "$mode" = silent ]; then
    grep -q "request: GET" "$tmp/server.err" || fail "silent: the program did not ask for the feed"
  fi
  if [ "$mode" = stall ] && command -v ss >/dev/null 2>&1; then
    ss -tnp state syn-sent "( dport = :80 )" | grep -q "pid=$app_pid," || fail "stall: the program is not connecting"
  fi
  close_app "no feed ($mode server)"
  stop_server
done

if [ -n "${TESSMARK_SCREENS:-}" ]; then
  mkdir -p "$TESSMARK_SCREENS"
  cp "$tmp/feed-shown.png" "$TESSMARK_SCREENS/feed-shown.png"
  cp "$tmp/nofeed-silent.png" "$TESSMARK_SCREENS/feed-absent.png"
fi
echo "PASS"
