#!/bin/sh
# Runs the desktop program under a real window manager (openbox) on a private X server and
# checks what the desktop sees of it: the title in _NET_WM_NAME and as the manager's own title,
# WM_CLASS matching the desktop file's StartupWMClass, the icons in _NET_WM_ICON, iconify by the
# skin's minimise button and by the manager, and the restore with the preview repainted.
# Exits 77 (skipped) without Xvfb, xdotool, xprop or openbox.
set -u
program="$1"      # build/app/tessmark
screen="$2"       # build/tools/tessmark-screen
source_dir="$3"
. "$(dirname "$0")/x_session.sh"
x_require Xvfb xdotool xprop openbox
app_pid=""
wm_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  x_session_end
}
trap cleanup EXIT
x_session_start
export LC_ALL=C.UTF-8

fail() {
  echo "FAIL: $1"
  cat "$tmp/err" "$tmp/wm.log" 2>/dev/null
  [ -n "${window:-}" ] && xprop -id "$window" WM_STATE _NET_WM_STATE 2>&1
  exit 1
}

openbox --sm-disable >"$tmp/wm.log" 2>&1 &
wm_pid=$!
for i in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"

x_start_program "$program" "$source_dir"

title="Tessmark-Orvel软件系列"
window=""
for i in $(seq 1 100); do
  kill -0 "$app_pid" 2>/dev/null || fail "the program ended early"
  window=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "no visible window titled $title"
# The manager sets its own properties once it has taken the window in: wait for them.
for i in $(seq 1 50); do
  props=$(xprop -id "$window" _NET_WM_NAME WM_CLASS _OB_APP_TITLE _OB_APP_CLASS _NET_WM_ICON)
  echo "$props" | grep -q '^_OB_APP_TITLE(UTF8_STRING)' && break
  sleep 0.1
done
echo "$props" | grep -qF "_NET_WM_NAME(UTF8_STRING) = \"$title\"" || fail "_NET_WM_NAME: $props"
# openbox's own record of the window: what its switcher and any task bar show.
echo "$props" | grep -qF "_OB_APP_TITLE(UTF8_STRING) = \"$title\"" || fail "the manager's title: $props"

# The task bar groups the window with its menu entry by WM_CLASS.
wm_class=$(sed -n 's/^StartupWMClass=//p' "$source_dir/packaging/tessmark.desktop")
[ -n "$wm_class" ] || fail "the desktop file has no StartupWMClass"
echo "$props" | grep -q "^WM_CLASS(STRING) = \"$wm_class\", " || fail "WM_CLASS does not start with $wm_class: $props"

# Both icons, and not blank: xprop draws each icon as text art, spaces for clear pixels.
for size in 32; do
  echo "$props" | grep -q "Icon ($size x $size):" || fail "no $size x $size icon in _NET_WM_ICON"
done
art=$(echo "$props" | sed -n "/Icon (32 x 32):/,/^[^\t ]/p" | sed "1d;\$d" | tr -d " \t\n")
[ ${#art} -gt 100 ] || fail "the 32 x 32 icon is (nearly) blank"
echo "title, class and icon: WM_CLASS $(echo "$props" | sed -n "s/^WM_CLASS(STRING) = //p"), icon art ${#art} marks"

geometry=$(xdotool getwindowgeometry --shell "$window")
x=$(echo "$geometry" | sed -n 's/^X=//p')
y=$(echo "$geometry" | sed -n 's/^Y=//p')

# Generous waits: under a loaded machine the manager and the program take their time.
wait_state() {
  for i in $(seq 1 200); do
    xprop -id "$window" WM_STATE 2>/dev/null | grep -q "window state: $1" && return 0
    sleep 0.1
  done
  return 1
}
wait_preview() {
  for i in $(seq 1 100); do
    report=$("$screen" preview "$x" "$y" "$config" 2>/dev/null)
    case "$report" in preview-mismatches=0\ *) return 0 ;; esac
    sleep 0.1
  done
  return 1
}
wait_preview || fail "the preview does not show the job: $report"

# The skin's minimise button (21 x 17, left of the close button, one pixel below the top).
xdotool mousemove $((x + 748)) $((y + 9))
sleep 0.3
xdotool click 1
wait_state Iconic || fail "the minimise button did not iconify the window"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN || fail "iconified but not hidden"
xdotool windowactivate "$window" 2>/dev/null
wait_state Normal || fail "activating did not restore the window"
wait_preview || fail "the restored window does not show the preview: $report"

# Iconified by the manager, as a task bar does.
xdotool windowminimize "$window"
wait_state Iconic || fail "the manager could not iconify the window"
xdotool windowactivate "$window" 2>/dev/null
wait_state Normal || fail "the window did not come back from the manager's iconify"
wait_preview || fail "the window came back without the preview: $report"

xdotool mousemove $((x + 769)) $((y + 9))
sleep 0.3
xdotool click 1
x_expect_program_end "the close button"
echo "PASS"
