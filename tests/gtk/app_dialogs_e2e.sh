#!/bin/sh
# Runs the desktop program on a private X server (1920 x 1080) and opens every dialog from its
# button in the main window with xdotool: the source dialog with a typed folder and a multiple
# selection in the file chooser, the watermark file by a path typed into the file chooser
# (Ctrl+L), the output folder typed into its field, the position dialog with a refused margin
# (the integer message box, dismissed) and then valid ones, and the about box. Then it checks
# the settings the main window saved in config.ini, that Enter on a command bar does nothing, and
# ends the program with Esc.
# With TESSMARK_SCREENS set to a folder it writes a screenshot of every dialog there.
# Exits 77 (skipped) without Xvfb or xdotool.
set -u
program="$1"   # build/app/tessmark
screen="$2"    # build/tools/tessmark-screen
source_dir="$3"
. "$(dirname "$0")/x_session.sh"
x_require Xvfb xdotool
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  x_session_end
}
trap cleanup EXIT
x_session_start

fail() {
  echo "FAIL: $1"
  [ -n "${TESSMARK_SCREENS:-}" ] && "$screen" shot 0 0 1920 1080 "$TESSMARK_SCREENS/failed-screen.png"
  cat "$tmp/err" 2>/dev/null
  exit 1
}

# Pictures for the choosers; the job starts as the bundled one.
mkdir -p "$tmp/pics" "$tmp/results"
cp "$source_dir/res/job/photos/"*.jpg "$tmp/pics/"
cp "$source_dir/res/job/mark.png" "$tmp/pics/mark.png"
: >"$tmp/pics/notes.txt"
x_start_program "$program" "$source_dir"
main=""
for i in $(seq 1 100); do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended early"
  main=$(xdotool search --onlyvisible --name '^Tessmark-Orvel' 2>/dev/null | head -n 1)
  [ -n "$main" ] && break
  sleep 0.1
done
[ -n "$main" ] || fail "no main window"
# The 800 x 600 window is centred on the screen.
mx=560
my=240
sleep 0.5

# Waits for a top-level window whose title is exactly $1 and sets x, y, w, h to its place.
dialog=""
wait_dialog() {
  dialog=""
  for i in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended while waiting for '$1'"
    dialog=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || fail "no window '$1'"
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  x=$X
  y=$Y
  w=$WIDTH
  h=$HEIGHT
  sleep 0.3
}

# Waits until no window titled exactly $1 is shown.
wait_gone() {
  for i in $(seq 1 50); do
    [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0
    sleep 0.1
  done
  fail "the window '$1' stays"
}

# A native chooser: waits for it and gives it the pointer (no window manager hands out the
# keyboard focus here).
wait_chooser() {
  timeout 20 xdotool search --sync --onlyvisible --name "$1" >/dev/null || fail "no chooser '$1'"
  sleep 0.5
  xdotool mousemove 960 540
}

click_main() {
  xdotool mousemove $((mx + $1)) $((my + $2))
  sleep 0.2
  xdotool click 1
}

# Clicks a client point of the current dialog.
click_at() {
  xdotool mousemove $((x + $1)) $((y + $2)) click 1
  sleep 0.2
}

# Replaces a native edit field's text by typing.
type_into() {
  click_at "$1" "$2"
  xdotool key ctrl+a
  xdotool type -- "$3"
  sleep 0.2
}

shot() {
  [ -n "${TESSMARK_SCREENS:-}" ] || return 0
  xdotool mousemove 10 10
  sleep 0.3
  "$screen" shot "$x" "$y" "$w" "$h" "$TESSMARK_SCREENS/$1.png" || fail "no screenshot $1"
}

# ---- Source, from 指定图片文件: the file-list mode, a folder typed, two pictures chosen.
click_main 729 128
wait_dialog 指定图片文件
[ "$w" -eq 394 ] && [ "$h" -eq 215 ] || fail "source dialog is ${w}x$h"
click_at 60 121
type_into 150 101 "$tmp/pics"
# The file chooser: go to the pictures by a typed path, then select every picture shown
# (the filter hides notes.txt) and confirm.
click_at 337 141
wait_chooser "打开"
xdotool key ctrl+l
sleep 0.3
xdotool type "$tmp/pics/"
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key ctrl+a
sleep 0.3
xdotool key alt+o
wait_gone "打开"
shot main-dialog-source
click_at 144 189
wait_gone 指定图片文件

# ---- Watermark file, from 指定水印文件: a path typed into the chooser.
click_main 729 179
wait_dialog 指定水印文件
[ "$w" -eq 394 ] && [ "$h" -eq 161 ] || fail "watermark dialog is ${w}x$h"
click_at 337 80
wait_chooser "打开"
xdotool key ctrl+l
sleep 0.3
xdotool type "$tmp/pics/mark.png"
sleep 0.3
xdotool key Return
wait_gone "打开"
shot main-dialog-markfile
click_at 144 131
wait_gone 指定水印文件

# ---- Output folder, from 指定输出目录: typed into the field.
click_main 729 231
wait_dialog 指定输出目录
type_into 150 79 "$tmp/results/水印"
shot main-dialog-output
click_at 144 131
wait_gone 指定输出目录

# ---- Position, from 指定水印位置: corner 1 with a refused margin, then valid ones.
click_main 729 283
wait_dialog 指定水印位置
shot main-dialog-position
click_at 57 102
type_into 186 103 "1.5"
click_at 114 189
timeout 20 xdotool search --sync --onlyvisible --name '^Tessmark$' >/dev/null || fail "no integer message box"
[ -n "${TESSMARK_SCREENS:-}" ] && "$screen" shot 560 240 800 600 "$TESSMARK_SCREENS/main-message-integer.png"
xdotool mousemove 960 540
sleep 0.3
xdotool key Return
wait_gone Tessmark
# The refused field has the focus with its text selected: typing replaces it.
xdotool mousemove $((x + 186)) $((y + 103))
sleep 0.2
xdotool type "15"
type_into 297 103 "-10"
click_at 114 189
wait_gone 指定水印位置

# ---- About, from the round i button: its close button ends it.
click_main 612 570
wait_dialog 关于
shot main-dialog-about
click_at 139 142
wait_gone 关于

# ---- What the main window saved.
value() { sed -n "s/^$1=//p" "$config"; }
[ "$(value SrcFileType)" = 1 ] || fail "SrcFileType=$(value SrcFileType)"
[ "$(value SrcFolderSite)" = "$tmp/pics" ] || fail "SrcFolderSite=$(value SrcFolderSite)"
files=$(value SrcFileSite)
count=$(printf '%s' "$files" | tr -cd ';' | wc -c)
[ "$count" -eq 6 ] || fail "SrcFileSite holds $count files: $files"
for name in $(ls "$tmp/pics" | grep -v '\.txt$'); do
  case "$files" in *"$tmp/pics/$name;"*) ;; *) fail "SrcFileSite lacks $name: $files" ;; esac
done
[ "$(value WaterMarkFileSite)" = "$tmp/pics/mark.png" ] || fail "WaterMarkFileSite=$(value WaterMarkFileSite)"
[ "$(value OutputFolderSite)" = "$tmp/results/水印" ] || fail "OutputFolderSite=$(value OutputFolderSite)"
[ "$(value PosType)" = 1 ] || fail "PosType=$(value PosType)"
[ "$(value PosX)" = 15 ] || fail "PosX=$(value PosX)"
[ "$(value PosY)" = -10 ] || fail "PosY=$(value PosY)"
echo "config: $(tr '\n' ' ' <"$config")"

# A press on 指定水印文件 released off it gives the bar the focus without clicking it; Enter
# then does nothing (it is the window's OK), it opens no dialog. Then Esc ends the program.
xdotool mousemove $((mx + 729)) $((my + 179))
sleep 0.2
xdotool mousedown 1
sleep 0.2
xdotool mousemove $((mx + 400)) $((my + 300))
sleep 0.2
xdotool mouseup 1
sleep 0.3
xdotool key Return
sleep 1
kill -0 "$app_pid" 2>/dev/null || fail "Enter ended the program"
[ -z "$(xdotool search --onlyvisible --name '^指定水印文件$' 2>/dev/null)" ] || fail "Enter on a command bar opened its dialog"
xdotool key Escape
x_expect_program_end "Esc"
echo "PASS"
