# The portable wizard under wine, driven from outside as a technician would
# drive it: keys and window titles through xdotool on an X server (Xvfb when
# there is no display). Sourced by scripts/test-windows, whose helpers and
# settings it uses (start_unit, stop_unit, fail, wine, run, com1, lin).

# wizard_window TITLE SECONDS: the id of the first visible window with this
# title, waiting for it; empty when none came.
wizard_window() {
  local title=$1 seconds=$2 id=""
  for _ in $(seq $((seconds * 5))); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.2
  done
  echo "$id"
}

# wizard_keys WINDOW KEY...: gives the window the keyboard and types the keys.
wizard_keys() {
  local window=$1
  shift
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --delay 300 "$@"
}

# wizard_shot WINDOW FILE: a screenshot of the window, when there is one.
wizard_shot() {
  [ -n "$1" ] && import -window "$1" "$2" 2>/dev/null || true
}

# wizard_under_wine PORTABLE SHOTS: copies the portable folder into a demo
# set in the wine prefix and upgrades the virtual unit on COM1 with it, from
# the first page to the completion dialog; saves page 4 and the progress
# window into SHOTS; the unit's flash must equal the Linux run's.
wizard_under_wine() {
  local portable=$1 shots=$2 xvfb=""
  local set="$WINEPREFIX/drive_c/Wizard Set"
  rm -rf "$set"
  "$lin/sim/fwset/fwset" --no-tools "$set" >/dev/null
  cp "$win/converters/kcnv/Kcnv.exe" "$win/converters/lcnv/Lcnv.exe" "$win/tools/header/header.exe" "$set/"
  cp -r "$portable"/. "$set/"
  if [ -z "${DISPLAY:-}" ]; then
    Xvfb :94 -screen 0 1280x900x24 >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:94
    sleep 1
  fi
  start_unit "$com1" "$run/wizard-unit.jsonl" --kind ne --model 7355 --no-pacing --state "$run/wizard-state" \
    || { fail "the wizard under wine: unitsim"; return; }
  (cd "$set" && UNITFLASH_PAUSE_SCALE=0.05 UNITFLASH_OPEN_DELAY_MS=0 timeout 600 "$wine" unitflash.exe) \
    >"$run/wizard.out" 2>&1 &
  local program=$! sheet progress done ok=1
  sheet=$(wizard_window KvUnitflash 60)
  if [ -z "$sheet" ]; then
    ok=0
  else
    # Pages 1 to 3, then the search on page 4 (its summary names the unit).
    wizard_keys "$sheet" alt+n alt+n alt+n
    for _ in $(seq 150); do
      grep -q '"text":"idn? k"' "$run/wizard-unit.jsonl" 2>/dev/null && break
      sleep 0.2
    done
    sleep 3
    wizard_shot "$sheet" "$shots/page4-wine.png"
    wizard_keys "$sheet" alt+n
    sleep 1
    wizard_keys "$sheet" alt+f
    progress=$(wizard_window "Upgrade Utility " 30)
    sleep 8
    wizard_shot "$progress" "$shots/progress-wine.png"
    done=$(wizard_window "Upgrade Completed" 300)
    if [ -z "$progress" ] || [ -z "$done" ]; then
      ok=0
    else
      wizard_shot "$done" "$run/completed-wine.png"
      wizard_keys "$done" Return
    fi
  fi
  wait "$program" || true
  stop_unit
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  if [ "$ok" = 1 ] && cmp -s "$run/linux-state/flash.bin" "$run/wizard-state/flash.bin"; then
    echo "ok: the portable unitflash.exe upgraded the unit to its completion dialog; its flash equals the Linux run's"
  else
    fail "the wizard under wine (windows seen: sheet '${sheet:-}', progress '${progress:-}', done '${done:-}')"
    tail -5 "$run/wizard.out"
  fi
  # Its run went into the same history as the two command-line runs.
  if [ "$("$lin/app/cli/unitflash-cli" history --csv 2>/dev/null | grep -c ',Display Handset,7355,.*,1\.312,')" = 3 ]; then
    echo "ok: the wizard's upgrade is in the upgrade history beside the command-line runs"
  else
    fail "the wizard's upgrade is not in the upgrade history"
  fi
}
