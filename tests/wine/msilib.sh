# Running Wine's msiexec in a case's prefix, for the package case and the
# demo. Source after lib.sh, once new_case has set up $C and $CASE.

# run_msiexec ARGUMENTS...: runs Wine's msiexec with a verbose log, boxwatch
# recording any message box; sets $MSI_STATUS, $MSI_LOG, $BOXES, $STARTED
# and $LOG (the setup log lines this run added, of the root $ROOT_UNIX).
run_msiexec() {
  RUN=$((RUN + 1))
  local setup_log="$ROOT_UNIX/tavrin/res/drivedir/setup.log" before=0
  # An upgrade removes the older product, its setup log with it
  # (FRESH_LOG=1): the log is then the run's alone.
  [ -f "$setup_log" ] && [ "${FRESH_LOG:-0}" != 1 ] && before=$(wc -l <"$setup_log")
  rm -f "$C/boxes.txt" "$C/boxes.txt.stop" "$C/started.log"
  wine "$W32/boxwatch.exe" 'C:\boxes.txt' 300 >/dev/null 2>&1 &
  local watcher=$!
  sleep 1
  MSI_STATUS=0
  timeout 300 wine msiexec "$@" /l*v "C:\\msi-$RUN.log" >/dev/null 2>&1 || MSI_STATUS=$?
  sleep 1.5
  touch "$C/boxes.txt.stop"
  wait "$watcher" || true
  MSI_LOG="$CASE/msi-$RUN.log" BOXES="$CASE/boxes-$RUN.txt" STARTED="$CASE/started-$RUN.txt"
  LOG="$CASE/log-$RUN.txt"
  { tr -d '\r' <"$C/msi-$RUN.log" >"$MSI_LOG"; } 2>/dev/null || : >"$MSI_LOG"
  cp "$C/boxes.txt" "$BOXES" 2>/dev/null || : >"$BOXES"
  { tr -d '\r' <"$C/started.log" >"$STARTED"; } 2>/dev/null || : >"$STARTED"
  if [ -f "$setup_log" ]; then
    tail -n +$((before + 1)) "$setup_log" | tr -d '\r' | cut -c16- >"$LOG"
  else
    : >"$LOG"
  fi
}

# default_root: sets $ROOT to the package's default install root, the
# prefix's Program Files folder and "Tavrin\" (as "Path" holds it), and
# $ROOT_UNIX to its host path.
default_root() {
  local program_files
  program_files=$(wine cmd /c 'echo %ProgramFiles%' 2>/dev/null | tr -d '\r')
  ROOT="$program_files\\Tavrin\\"
  ROOT_UNIX=$(winepath -u "$ROOT" 2>/dev/null | sed 's:/*$::')
}
