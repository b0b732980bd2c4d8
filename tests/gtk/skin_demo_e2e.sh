#!/bin/sh
# Runs the skin demo on a private X server (1920 x 1080), drives it with xdotool and checks what
# the screen shows through the demo's probe: shape, close button hover and press, caption drag,
# OK button press, a native edit field, the file and folder choosers, the message box, the
# popup menu, the web view, and the notice box built with the skin toolkit.
# Exits 77 (skipped) without Xvfb or xdotool.
set -u
demo="$1"
webkit="${2:-webkit=ON}"  # "webkit=ON" when the demo was built with WebKitGTK
. "$(dirname "$0")/x_session.sh"
x_require Xvfb xdotool
demo_pid=""
cleanup() {
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null
  x_session_end
}
trap cleanup EXIT
x_session_start

fail() {
  echo "FAIL: $1"
  echo "last probe: $(grep '^window=' "$tmp/out" | tail -n 1)"
  cat "$tmp/err"
  exit 1
}

# Asks the demo to look at the screen until its report contains every expected word.
expect() {
  for i in $(seq 1 "${tries:-60}"); do
    kill -USR2 "$demo_pid" 2>/dev/null || fail "the demo is gone while expecting: $*"
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

# Starts the demo with the given arguments and waits until it listens for probes.
start_demo() {
  : >"$tmp/out"
  "$demo" --probe "$@" >"$tmp/out" 2>"$tmp/err" &
  demo_pid=$!
  for i in $(seq 1 100); do
    grep -q '^ready' "$tmp/out" && return 0
    kill -0 "$demo_pid" 2>/dev/null || fail "the demo ended early"
    sleep 0.1
  done
  fail "the demo did not start"
}

# Waits for the demo to end with status 0 and the given result line.
expect_end() {
  for i in $(seq 1 50); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$demo_pid"
  status=$?
  demo_pid=""
  [ "$status" -eq 0 ] || fail "the demo ended with status $status"
  grep -qxF "$1" "$tmp/out" || fail "expected the line '$1' at the end: $(tail -n 2 "$tmp/out")"
}

start_demo
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
expect_end "result=ok"

# The watermark-file dialog (394 x 161): a native edit field in its place, typing, and the
# file chooser filling the field.
mkdir -p "$tmp/pictures"
: >"$tmp/pictures/mark.png"
start_demo --field --folder "$tmp/pictures"
x=$(((1920 - 394) / 2))
y=$(((1080 - 161) / 2))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 close=normal ok=normal browse=normal "edit=[]"
# OK with the field empty: a GTK message box, which takes the keyboard (the pointer stays on
# the OK button) and is answered with Return; the dialog stays.
xdotool mousemove $((x + 144)) $((y + 131)) click 1
timeout 20 xdotool search --sync --onlyvisible --name '^Tessmark$' >/dev/null || fail "no message box"
sleep 0.3
xdotool key Return
for i in $(seq 1 50); do
  [ -z "$(xdotool search --onlyvisible --name '^Tessmark$' 2>/dev/null)" ] && break
  sleep 0.1
done
expect "window=$x,$y" background-mismatches=0 "edit=[]"
xdotool mousemove $((x + 150)) $((y + 79)) click 1
sleep 0.2
xdotool type "abc"
# The focused entry stays inside the field the background draws for it.
expect background-mismatches=0 "edit=[abc]"
xdotool mousemove $((x + 337)) $((y + 80))
expect browse=hover
xdotool click 1
# The chooser (about 1096 x 822) opens centred over the screen in the given folder; without a
# window manager the pointer gives it the keys.
timeout 20 xdotool search --sync --onlyvisible --name "请选择水印文件" >/dev/null || fail "no file chooser"
sleep 0.5
xdotool mousemove 960 540
xdotool key ctrl+l
sleep 0.3
xdotool type "mark.png"
sleep 0.3
xdotool key Return
expect "edit=[$tmp/pictures/mark.png]" browse=normal background-mismatches=0
xdotool mousemove $((x + 144)) $((y + 131)) click 1
expect_end "edit=[$tmp/pictures/mark.png]"
grep -qxF "result=ok" "$tmp/out" || fail "the field dialog did not end with OK"

# The output-folder dialog: the folder chooser opens in the given folder and a typed
# sub-folder name confirms that sub-folder.
mkdir -p "$tmp/pictures/out"
start_demo --output --folder "$tmp/pictures"
x=$(((1920 - 394) / 2))
y=$(((1080 - 161) / 2))
expect "window=$x,$y" background-mismatches=0 browse=normal "edit=[]"
xdotool mousemove $((x + 337)) $((y + 80))
expect browse=hover
xdotool click 1
timeout 20 xdotool search --sync --onlyvisible --name "请选择您的目录" >/dev/null || fail "no folder chooser"
sleep 0.5
xdotool mousemove 960 540
xdotool key ctrl+l
sleep 0.3
xdotool type "out"
sleep 0.3
xdotool key Return
expect "edit=[$tmp/pictures/out]" background-mismatches=0
xdotool mousemove $((x + 144)) $((y + 131)) click 1
expect_end "edit=[$tmp/pictures/out]"

# A WebKit view in place of the notice's message shows a local page (WebKit paints from its
# own process and starts slowly, hence the longer wait).
if [ "$webkit" = "webkit=ON" ]; then
  printf '<html><body style="margin:0;background:#ff8800">&nbsp;</body></html>' >"$tmp/page.html"
  start_demo --web "file://$tmp/page.html"
  tries=300 expect "window=822,455" background-mismatches=0 cut-pixels-drawn=0 web=ff8800
  xdotool mousemove $((822 + 139)) $((455 + 142)) click 1
  expect_end "result=ok"
else
  echo "web view part skipped: built without WebKitGTK"
fi

# The notice box built with the skin toolkit: its frame shapes, paints, hovers, drags and
# closes through the same back end.
start_demo --toolkit
x=822
y=455
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 close=normal ok=normal
xdotool mousemove $((x + 259)) $((y + 9))
expect close=hover
xdotool mousemove $((x + 139)) $((y + 142))
expect close=normal ok=hover
xdotool mousemove $((x + 100)) $((y + 15))
xdotool mousedown 1
xdotool mousemove $((x + 120)) $((y + 25))
sleep 0.2
xdotool mousemove $((x + 200)) $((y + 95))
sleep 0.2
xdotool mouseup 1
x=$((x + 80))
y=$((y + 70))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 close=normal
xdotool mousemove $((x + 259)) $((y + 9))
expect close=hover
xdotool click 1
expect_end "result=cancel"

# The shown dialog takes the keyboard: Escape cancels it.
start_demo
expect "window=822,455" close=normal
xdotool key Escape
expect_end "result=cancel"

# The window's menu as a GTK popup: its close command ends the dialog.
start_demo
x=822
y=455
expect "window=$x,$y" close=normal
xdotool mousemove $((x + 150)) $((y + 12)) click 3
sleep 0.5
xdotool key c
expect_end "result=cancel"
echo "PASS"
