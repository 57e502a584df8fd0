#!/usr/bin/env bash
# Runs the GUI tests of the program on an X server of their own (Xvfb) with a window manager
# (openbox), and the tests themselves under umockdev-wrapper so that the program they start sees
# only their emulated devices.
#   run_gui_tests.sh <program> <page_snapshots> <gui_test> [gtest arguments...]
set -euo pipefail

# The program's single-instance lock is a file in /var/tmp, shared by every copy on the machine:
# with a /var/tmp of their own, other runs (another checkout's tests, a user's copy) cannot
# stand in these tests' way.
if [ -z "${GUI_OWN_VAR_TMP:-}" ]; then
  for isolate in "unshare --mount" "unshare --user --map-root-user --mount"; do
    if $isolate true 2>/dev/null; then
      GUI_OWN_VAR_TMP=1 exec $isolate "$0" "$@"
    fi
  done
  echo "no mount namespace: the tests share /var/tmp with the machine" >&2
elif [ "$GUI_OWN_VAR_TMP" = 1 ]; then
  mount -t tmpfs tmpfs /var/tmp
fi

program=$1 page_snapshots=$2 harness=$3
shift 3

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits for a command to succeed; the limit only ends a wait for what never comes, however loaded
# the machine.
wait_for() { # <command...>
  local deadline=$((SECONDS + 60))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || { echo "timed out waiting for: $*" >&2; return 1; }
    sleep 0.05
  done
}

# Xvfb picks a free display and writes its number to the descriptor. It never resets: a reset
# when the last client leaves (xdpyinfo) would turn the next one away (openbox) on a busy machine.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
wait_for test -s "$work/display"
export DISPLAY=":$(head -n 1 "$work/display")"
wait_for xdpyinfo

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  { cat "$work/openbox.log" >&2; exit 1; }

# The pages as the program draws them without a window under the C locale, to compare the window
# with: under any locale the window must show them so.
env -u LC_ALL -u LC_CTYPE -u FC_LANG LANG=C.UTF-8 "$page_snapshots" "$work/snapshots" >/dev/null

export GUI_PROGRAM=$program GUI_SNAPSHOTS=$work/snapshots
# The window as the tests saw it, in a folder of this run's own.
export GUI_SCREENSHOTS=${GUI_SCREENSHOTS:-$(dirname "$harness")/screenshots}
rm -rf "$GUI_SCREENSHOTS"
mkdir -p "$GUI_SCREENSHOTS"
umockdev-wrapper "$harness" "$@"
