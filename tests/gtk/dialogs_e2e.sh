#!/bin/sh
# Runs each of the program's dialogs with the real GTK parts on a private X server (1920 x
# 1080) and drives them with xdotool: typing into the native edit fields, the file chooser by
# a typed path (Ctrl+L) and by a multiple selection, the folder choosers with their
# preselection, the integer message box, Apply, OK and the caption's close button. The
# dialogs' probe checks that the screen matches the background art outside the controls.
# With a second argument (a folder) a screenshot of every dialog is written there.
# Exits 77 (skipped) without Xvfb or xdotool.
set -u
demo="$1"
shots="${2:-}"
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
  # The whole screen at the last probe, to see what was in the way.
  if [ -n "$shots" ] && [ -n "$demo_pid" ] && kill -HUP "$demo_pid" 2>/dev/null; then
    for i in $(seq 1 50); do grep -q '^screen-shot=' "$tmp/out" && break; sleep 0.1; done
    cp "$tmp/screen.png" "$shots/failed-screen.png" 2>/dev/null
  fi
  echo "last probe: $(grep '^window=' "$tmp/out" | tail -n 1)"
  tail -n 5 "$tmp/out"
  cat "$tmp/err"
  exit 1
}

# Asks the dialog to look at the screen until its report contains every expected word.
expect() {
  for i in $(seq 1 "${tries:-60}"); do
    kill -USR2 "$demo_pid" 2>/dev/null || fail "the dialog is gone while expecting: $*"
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

start() {
  : >"$tmp/out"
  "$demo" "$@" --probe --shot "$tmp/shot.png" --screen-shot "$tmp/screen.png" >"$tmp/out" 2>"$tmp/err" &
  demo_pid=$!
  for i in $(seq 1 100); do
    grep -q '^ready' "$tmp/out" && return 0
    kill -0 "$demo_pid" 2>/dev/null || fail "the dialog ended early"
    sleep 0.1
  done
  fail "the dialog did not start"
}

# Keeps the screenshot of the last probe under the given name.
keep_shot() {
  [ -n "$shots" ] || return 0
  mkdir -p "$shots"
  cp "$tmp/shot.png" "$shots/$1.png" || fail "no screenshot"
}

expect_end() {
  for i in $(seq 1 50); do
    kill -0 "$demo_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$demo_pid"
  status=$?
  demo_pid=""
  [ "$status" -eq 0 ] || fail "the dialog ended with status $status"
  for line in "$@"; do
    grep -qxF "$line" "$tmp/out" || fail "expected the line '$line' at the end: $(tail -n 3 "$tmp/out")"
  done
}

# Waits for a native window with the given title and gives it the pointer (no window manager
# hands out the keyboard focus here).
wait_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "$1" >/dev/null || fail "no window '$1'"
  sleep 0.5
  xdotool mousemove 960 540
}

# Clicks a client point of the dialog at ($x, $y).
click_at() {
  xdotool mousemove $((x + $1)) $((y + $2)) click 1
  sleep 0.2
}

# Replaces a native edit field's text by typing.
type_into() {
  click_at "$1" "$2"
  xdotool key ctrl+a
  xdotool type "$3"
  sleep 0.2
}

mkdir -p "$tmp/pics" "$tmp/results/new"
: >"$tmp/pics/a.jpg"
: >"$tmp/pics/B.PNG"
: >"$tmp/pics/notes.txt"

# ---- Notice: centred, the message on the panel, OK ends it.
start notice
x=$(((1920 - 276) / 2))
y=$(((1080 - 169) / 2))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0
keep_shot dialog-notice
click_at 139 142
expect_end "result=ok"

start notice "message=请选择源目录，然后再按开始键处理全部图片文件"
expect "window=$x,$y" background-mismatches=0
keep_shot dialog-notice-long
xdotool key Escape
expect_end "result=cancel"

# ---- About: the caption's close button ends it.
start about
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0
keep_shot dialog-about
click_at 259 9
expect_end "result=cancel"

# ---- Source: typing, the folder chooser on the typed folder, the multiple file selection.
start source mode=0
x=$(((1920 - 394) / 2))
y=$(((1080 - 215) / 2))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 "f1003=[]" "f1005=[]"
type_into 150 101 "$tmp/pics"
expect "f1003=[$tmp/pics]" focus=1003 background-mismatches=0
# The folder chooser opens on the typed folder: confirming at once keeps it.
click_at 337 102
wait_window "请选择您的目录"
xdotool key alt+s
expect "f1003=[$tmp/pics]" background-mismatches=0
# The file chooser: go to the pictures by a typed path, select every shown file (the filter
# shows the pictures only, whatever their letter case) and confirm.
click_at 337 141
wait_window "打开"
xdotool key ctrl+l
sleep 0.3
xdotool type "$tmp/pics/"
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key ctrl+a
sleep 0.3
xdotool key alt+o
expect background-mismatches=0
last_files=$(grep '^window=' "$tmp/out" | tail -n 1 | sed 's/.* f1005=\[\([^]]*\)\].*/\1/')
case "$last_files" in
  "$tmp/pics/a.jpg;$tmp/pics/B.PNG;" | "$tmp/pics/B.PNG;$tmp/pics/a.jpg;") ;;
  *) fail "the file list is [$last_files]" ;;
esac
xdotool mousemove 10 10
expect background-mismatches=0
keep_shot dialog-source
# The file-list mode, then OK.
click_at 60 121
click_at 144 189
expect_end "result=ok" "mode=1 folder=[$tmp/pics] files=[$last_files]"

# OK in folder mode with a blank folder: the dialog stays, the focus goes to the folder field.
start source mode=0 "files=$tmp/pics/a.jpg;"
x=$(((1920 - 394) / 2))
y=$(((1080 - 215) / 2))
expect "window=$x,$y" "f1005=[$tmp/pics/a.jpg;]"
type_into 150 101 "   "
click_at 144 189
expect "f1003=[   ]" focus=1003
click_at 254 189
expect_end "result=cancel"

# ---- Watermark file: a path typed into the chooser's location field.
start markfile
y=$(((1080 - 161) / 2))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 "f1005=[]"
click_at 337 80
wait_window "打开"
xdotool key ctrl+l
sleep 0.3
xdotool type "$tmp/pics/a.jpg"
sleep 0.3
xdotool key Return
expect "f1005=[$tmp/pics/a.jpg]" background-mismatches=0
xdotool mousemove 10 10
expect background-mismatches=0
keep_shot dialog-markfile
click_at 144 131
expect_end "result=ok" "mark=[$tmp/pics/a.jpg]"

# ---- Output folder: typed, preselected in the chooser, a sub-folder typed there.
start output
expect "window=$x,$y" background-mismatches=0 "f1003=[]"
type_into 150 79 "$tmp/results"
expect "f1003=[$tmp/results]"
click_at 337 80
wait_window "请选择您的目录"
xdotool key ctrl+l
sleep 0.3
xdotool key ctrl+a
xdotool type "$tmp/results/new"
sleep 0.3
xdotool key Return
expect "f1003=[$tmp/results/new]" background-mismatches=0
xdotool mousemove 10 10
expect background-mismatches=0
keep_shot dialog-output
click_at 144 131
expect_end "result=ok" "output=[$tmp/results/new]"

# ---- Position: the corner rows, a refused field with the message box, Apply, Cancel.
start position corner=3 x=20 y=30
y=$(((1080 - 215) / 2))
expect "window=$x,$y" background-mismatches=0 cut-pixels-drawn=0 "f1009=[0]" "f1018=[20]" "f1019=[30]"
keep_shot dialog-position
# Corner 1 with a refused horizontal margin: the message box, then the field has the focus.
click_at 57 102
type_into 186 103 "abc"
click_at 294 189
wait_window "Tessmark"
xdotool key Return
for i in $(seq 1 50); do
  [ -z "$(xdotool search --onlyvisible --name '^Tessmark$' 2>/dev/null)" ] && break
  sleep 0.1
done
expect "f1012=[abc]" focus=1012 background-mismatches=0
grep -q '^applied=' "$tmp/out" && fail "a refused field still applied"
xdotool key ctrl+a
xdotool type "15"
sleep 0.2
click_at 294 189
for i in $(seq 1 50); do
  grep -q '^applied=' "$tmp/out" && break
  sleep 0.1
done
grep -qxF "applied=1,15,0" "$tmp/out" || fail "Apply sent: $(grep '^applied=' "$tmp/out")"
click_at 204 189
expect_end "result=cancel"
echo "PASS"
