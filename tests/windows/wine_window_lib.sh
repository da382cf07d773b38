# Shared by the scripts that drive tarnwick.exe's windows under Wine: failures
# counted, Unix paths as Windows sees them, a program started in the
# background and stopped with the script, and keys typed into a window found
# by its title (xdotool on the X display Wine draws on).
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display" >&2; exit 1; }
export WINEDEBUG=-all

work=$(mktemp -d)
pid=""
own_prefix=""
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  [ -z "$own_prefix" ] || wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# A fresh Wine prefix in the work folder, ended with the script.
fresh_prefix() {
  export WINEPREFIX=$work/prefix WINEDLLOVERRIDES="mscoree,mshtml="
  own_prefix=1
  wineboot -i >/dev/null 2>&1
}

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
win() { winepath -w "$1" 2>/dev/null; }
# Waits for the program started in the background ($pid); its exit status
# in $status.
finished() {
  status=0
  wait "$pid" || status=$?
  pid=""
}
# Waits up to 30 seconds for a command to succeed.
await() {
  local i
  for ((i = 0; i < 300; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
# The first visible window whose title matches, after waiting for it; empty
# when none shows.
window() { { timeout 60 xdotool search --sync --onlyvisible --name "$1" 2>/dev/null || true; } | head -n 1; }
# Keys typed into the window whose title matches.
keys() { # title key...
  local id
  id=$(window "$1")
  [ -n "$id" ] || { fail "no window '$1'"; return 1; }
  shift
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  xdotool key --delay 80 "$@"
}
gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# The end of a script: its failures, or that everything passed.
report() { # what was tested
  if ((failures)); then
    echo "$failures failure(s)" >&2
    exit 1
  fi
  echo "$1: all passed"
}
