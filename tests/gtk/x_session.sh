# Shared start of the X tests, sourced by them: a private X server (1920 x 1080) on a display
# number the server picks itself (so tests run side by side never race for one), a temporary
# HOME and XDG folders, and the mouse parked at (10, 10).
#   x_require TOOL...   exits 77 (skipped) when a tool is missing
#   x_session_start     sets tmp and DISPLAY; x_session_end (from the test's EXIT trap) stops the
#                       server and removes tmp
#   x_start_program PROGRAM SOURCE_DIR
#                       starts a copy of the desktop program in $tmp/program on the bundled job
#                       (output $tmp/out); sets config (its config.ini) and app_pid
#   x_expect_program_end WHAT
#                       waits up to 5 s for the program to end after WHAT (e.g. "Esc") and
#                       fails (the test's fail) unless it ended with status 0

x_require() {
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)"
      exit 77
    fi
  done
}

x_session_start() {
  tmp=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
  x_server_pid=$!
  for i in $(seq 1 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
  done
  if [ ! -s "$tmp/display" ]; then
    echo "FAIL: the X server did not start"
    cat "$tmp/xvfb.log"
    exit 1
  fi
  # WebKit, Mesa and the file chooser write under HOME and the XDG folders; no D-Bus session.
  DISPLAY=":$(head -n 1 "$tmp/display")"
  export DISPLAY GSETTINGS_BACKEND=memory HOME="$tmp" XDG_RUNTIME_DIR="$tmp"
  export XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data"
  # GTK and WebKit keep allocations until exit; a sanitizer build checks the rest.
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
  for i in $(seq 1 100); do
    xdotool getmouselocation >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdotool mousemove 10 10
}

x_session_end() {
  [ -n "${x_server_pid:-}" ] && kill "$x_server_pid" 2>/dev/null
  wait 2>/dev/null
  [ -n "${tmp:-}" ] && rm -rf "$tmp"
}

# The program keeps config.ini beside itself: a copy in the temporary folder runs the job
# without touching the build's own settings.
x_start_program() {
  mkdir -p "$tmp/program"
  cp "$1" "$tmp/program/tessmark"
  config="$tmp/program/config.ini"
  cat >"$config" <<INI
[common]
SrcFileType=0
SrcFileSite=
SrcFolderSite=$2/res/job/photos
WaterMarkFileSite=$2/res/job/mark.png
OutputFolderSite=$tmp/out
PosType=3
PosX=20
PosY=20
INI
  "$tmp/program/tessmark" >"$tmp/out.log" 2>"$tmp/err" &
  app_pid=$!
}

x_expect_program_end() {
  for i in $(seq 1 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "$1 did not end the program"
  wait "$app_pid"
  x_status=$?
  app_pid=""
  [ "$x_status" -eq 0 ] || fail "the program ended with status $x_status"
}
