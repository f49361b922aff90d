#!/usr/bin/env bash
# Drives the installed editor in a real X server (Xvfb, xcb platform, no window manager) the way
# a user does: caption, click and double click in the QuakeC list, typing, switches that
# autosave, the bytes on disk afterwards, and a compile with the real fteqcc whose error is mended.
# Usage: e2e_xcb.sh BUILD_DIR
set -euo pipefail

build_dir="$1"
work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "--- editor output:" >&2
  cat "$work/editor.log" >&2 || true
  exit 1
}

# Polls a condition for up to 20 seconds (sanitizer builds are slow to start).
wait_for() {
  for _ in $(seq 400); do
    if eval "$1"; then return 0; fi
    sleep 0.05
  done
  return 1
}

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
mkdir "$work/mod"
printf 'void() first =\r\n{\r\n};\r\n' >"$work/mod/a.qc"
printf 'float() second =\r\n{\r\n\treturn 1;\r\n};\r\n' >"$work/mod/b.qc"
# The mod that is compiled at the end, its one error in a subdirectory that no list shows.
mkdir "$work/mod/sub"
printf 'progs.dat\r\nsub/bad.qc\r\n' >"$work/mod/progs.src"
printf 'void() main =\r\n{\r\n\tlocal float x;\r\n\tx = nothere;\r\n};\r\n' >"$work/mod/sub/bad.qc"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
wait_for '[ -s "$work/display" ]' || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"
export QT_QPA_PLATFORM=xcb
# The editor remembers places in its settings: these stay in the scratch folder.
export XDG_CONFIG_HOME="$work/config"

cd "$work/mod"
"$work/prefix/bin/vardo" >"$work/editor.log" 2>&1 &
app_pid=$!
wait_for 'xdotool search --name "V A R D O" >/dev/null 2>&1' || fail "no window appeared"
window="$(xdotool search --name "V A R D O" | head -n 1)"

title="$(xprop -id "$window" _NET_WM_NAME | sed 's/^[^"]*"//; s/"$//')"
[ "$title" = ":: V A R D O :: - $work/mod" ] || fail "caption is '$title'"

# Window-relative places: entries of the QC list (rows of 15 pixels below the tabs) and a point
# in the editor below its text.
read -r left top < <(xdotool getwindowgeometry "$window" | awk '/Position/ { split($2, p, ","); print p[1], p[2] }')
row_y() { echo $((top + 32 + 15 * $1)); }
# Runs xdotool's commands after $3 with the pointer at $1,$2. A synced move waits for the
# pointer to leave the place it was at, so one to where it already is would wait out xdotool's
# own timeout: there the move is left out. Nothing but this script moves the pointer.
pointer=""
at() {
  local x="$1" y="$2"
  shift 2
  if [ "$pointer" = "$x $y" ]; then
    xdotool "$@"
  else
    pointer="$x $y"
    xdotool mousemove --sync "$x" "$y" "$@"
  fi
}
click_at() { at "$1" "$2" click 1; }
double_click_row() { at $((left + 12)) "$(row_y "$1")" click --repeat 2 --delay 60 1; }
# The editor handles input in the order the X server gives it, and nothing that input starts
# waits for later: what follows a double click finds the file open.
type_in_editor() {
  click_at $((left + 400)) $((top + 400))
  xdotool windowfocus --sync "$window" type --delay 30 "$1"
}

click_at $((left + 12)) "$(row_y 0)"
sleep 0.5
double_click_row 0
type_in_editor "// e2e"
double_click_row 1
wait_for 'grep -q "Autosaved: $work/mod/a.qc" "$work/editor.log"' || fail "no autosave of a.qc"
printf -v expected_a 'void() first =\r\n{\r\n};\r\n// e2e'
[ "$(cat "$work/mod/a.qc")" = "$expected_a" ] || fail "a.qc holds '$(cat -A "$work/mod/a.qc")'"

type_in_editor "x"
double_click_row 0
wait_for 'grep -q "Autosaved: $work/mod/b.qc" "$work/editor.log"' || fail "no autosave of b.qc"
printf -v expected_b 'float() second =\r\n{\r\n\treturn 1;\r\n};\r\nx'
[ "$(cat "$work/mod/b.qc")" = "$expected_b" ] || fail "b.qc holds '$(cat -A "$work/mod/b.qc")'"
[ "$(cat "$work/mod/a.qc")" = "$expected_a" ] || fail "a.qc changed on the second switch"

# F7 compiles with the real fteqcc, F4 goes to its error, typing replaces that line, and the
# next F7 saves it first and compiles cleanly.
if command -v fteqcc >/dev/null; then
  xdotool windowfocus --sync "$window" key F7
  wait_for '[ -e "$work/mod/fteqcc.log" ]' || fail "fteqcc did not run"
  # The output is complete once the compiler is gone: the editor reaps it on its own thread, in
  # the same turn that reads the last output and closes the list.
  wait_for '[ -z "$(ps -o pid= --ppid "$app_pid")" ]' || fail "fteqcc did not end"
  xdotool windowfocus --sync "$window" key F4
  xdotool windowfocus --sync "$window" type --delay 30 "x = 1;"
  xdotool windowfocus --sync "$window" key F7
  wait_for '[ -s "$work/mod/progs.dat" ]' || fail "the mended mod did not compile: '$(cat -A "$work/mod/sub/bad.qc")'"
  expected_bad="$(printf 'void() main =\r\n{\r\n\tlocal float x;\r\nx = 1;\r\n};\r\n')"
  [ "$(cat "$work/mod/sub/bad.qc")" = "$expected_bad" ] || fail "sub/bad.qc holds '$(cat -A "$work/mod/sub/bad.qc")'"
  [ "$(cat "$work/mod/a.qc")" = "$expected_a" ] || fail "a.qc changed by the compile"
fi

echo "1 passed, 0 failed"
