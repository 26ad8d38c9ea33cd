#!/usr/bin/env bash
# The program started without a display says so in one line and ends with status 1 at once,
# whether DISPLAY is unset or empty; asked for the memory screen (OXA_DISPLAY=headless, as the
# tests ask), it starts and keeps running. Usage: needs-display-test.sh PROGRAM
set -uo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
machine=(OXA_MACHINE="$work/machine" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
  XDG_DATA_HOME="$work/home/.local/share")
expected="oxanetmusic: no display (DISPLAY is not set); on a machine without a desktop run: xvfb-run -a -s '-screen 0 1024x768x24' oxanetmusic"

for case in unset empty other-choice; do
  case $case in
    unset) settings=(-u DISPLAY -u OXA_DISPLAY) ;;
    empty) settings=(-u OXA_DISPLAY DISPLAY=) ;;
    other-choice) settings=(-u DISPLAY OXA_DISPLAY=x11) ;;
  esac
  errors=$(cd / && env "${settings[@]}" "${machine[@]}" timeout 60 "$program" 2>&1 >"$work/out")
  status=$?
  [[ $status -eq 1 ]] || fail "$case: ended with $status, not 1"
  [[ $errors == "$expected" ]] || fail "$case: said \"$errors\""
  [[ -s $work/out ]] && fail "$case: wrote to the standard output"
done
# Refused before anything was set up: no machine folder was made.
[[ -e $work/machine ]] && fail "the refused start created the machine folder"

env -u DISPLAY OXA_DISPLAY=headless "${machine[@]}" OXA_AUDIO=null "$program" >/dev/null 2>"$work/headless.err" &
pid=$!
sleep 3
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  wait "$pid" 2>/dev/null
else
  wait "$pid"
  fail "with OXA_DISPLAY=headless the program ended with $?: $(cat "$work/headless.err")"
fi

[[ $failures -eq 0 ]] || exit 1
echo "the program asks for a display"
