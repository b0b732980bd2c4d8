#!/bin/sh
# Runs the desktop program on a private X server (1920 x 1080) with a prepared job, drives it
# with xdotool and checks: the preview on the screen against the composition computed from the
# job, a run started with the mouse on 开始, the end notice, the output files, and the end by
# the caption's close button with exit status 0. With TESSMARK_SCREENS set to a folder it also
# writes the screenshots main-before-run.png and main-after-run.png there.
# Exits 77 (skipped) without Xvfb or xdotool.
set -u
program="$1"   # build/app/tessmark
screen="$2"    # build/tools/tessmark-screen
image="$3"     # build/tools/tessmark-image
source_dir="$4"
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
  cat "$tmp/err" 2>/dev/null
  exit 1
}

x_start_program "$program" "$source_dir"
# The 800 x 600 window is centred on the screen.
x=560
y=240
ok=no
for i in $(seq 1 100); do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended early"
  report=$("$screen" preview $x $y "$config" 2>/dev/null)
  case "$report" in preview-mismatches=0\ *) ok=yes; break ;; esac
  sleep 0.1
done
[ "$ok" = yes ] || fail "the preview does not show the job: $report"
# The first photograph (aqua.jpg, 1000 x 625) is scaled into the preview and the watermark
# stands at the bottom right, both scaled by the same factor.
echo "preview: $report"
[ -n "${TESSMARK_SCREENS:-}" ] && "$screen" shot $x $y 800 600 "$TESSMARK_SCREENS/main-before-run.png"

# The notice box (title 提示; a plain message box titled Tessmark where the program has none).
notice_window() {
  { xdotool search --onlyvisible --name '^提示$'; xdotool search --onlyvisible --name '^Tessmark$'; } 2>/dev/null | head -n 1
}

# 开始 with the mouse; the end shows in the notice box.
xdotool mousemove $((x + 729)) $((y + 335))
sleep 0.2
xdotool click 1
notice=""
for i in $(seq 1 300); do
  notice=$(notice_window)
  [ -n "$notice" ] && break
  sleep 0.1
done
[ -n "$notice" ] || fail "no notice after the run"
sleep 0.5
[ -n "${TESSMARK_SCREENS:-}" ] && "$screen" shot $x $y 800 600 "$TESSMARK_SCREENS/main-after-run.png"

count=0
for photo in "$source_dir"/res/job/photos/*.jpg; do
  name=$(basename "$photo")
  [ -f "$tmp/out/$name" ] || fail "no output for $name"
  want=$("$image" info "$photo" | sed 's/.*\(width=[0-9]* height=[0-9]*\).*/\1/')
  got=$("$image" info "$tmp/out/$name" | sed 's/.*\(width=[0-9]* height=[0-9]*\).*/\1/')
  [ "$want" = "$got" ] || fail "$name: output $got, source $want"
  count=$((count + 1))
done
[ "$count" -eq 5 ] || fail "expected 5 outputs, found $count"
[ -e "$tmp/program/temp.bmp" ] && fail "temp.bmp was left behind"

# The notice's OK button (69 x 23 at (105, 131) in the 276 x 169 box) closes it; then the
# caption's close button ends the program.
geometry=$(xdotool getwindowgeometry --shell "$notice")
nx=$(echo "$geometry" | sed -n 's/^X=//p')
ny=$(echo "$geometry" | sed -n 's/^Y=//p')
xdotool mousemove $((nx + 139)) $((ny + 142))
sleep 0.3
xdotool click 1
for i in $(seq 1 50); do
  [ -z "$(notice_window)" ] && break
  sleep 0.1
done
xdotool mousemove $((x + 769)) $((y + 9))
sleep 0.3
xdotool click 1
x_expect_program_end "the close button"
echo "PASS"
