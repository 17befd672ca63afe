# (ii) A first install by setup.exe on the edition's Windows version
# ($BENCH_VERSION: XP for the 32-bit edition, 10 for the 64-bit), with the prefix's
# wineserver already running, against the sum of the waits the program
# prescribes on the path it took (the console trace and the setup log show
# which): the time setup.exe spends beyond sleeping.

# prescribed_waits_ms TRACE LOG BOXES: the sum of the Sleep calls of the
# install path those files show, or nothing when the path held a spooler
# restart (its waits depend on the service and are not counted here).
prescribed_waits_ms() {
  local trace=$1 log=$2 boxes=$3 total=0
  # The silent uninstall before an install logs its deletions.
  grep -q '^DeletePrinterDriver\|^DeleteMonitor' "$log" && return 0
  # Windows 9x without the system's PostScript driver: help page, then 5 s.
  grep -q 'Apple' "$boxes" && total=$((total + 5000))
  # NT family: the spooler is given 3 s before the monitor is added.
  grep -q 'Initializing Spooler' "$trace" && total=$((total + 3000))
  # A refused AddMonitor waits 1 s more; every path waits 1 s after it.
  grep -q '^AddMonitor: ' "$log" && total=$((total + 1000))
  total=$((total + 1000))
  # 9x: 1 s after naming the driver folder; a refused driver 1 s.
  grep -q 'Driver directory: ' "$trace" && total=$((total + 1000))
  grep -q '^AddPrinterDriver: ' "$log" && total=$((total + 1000))
  echo "$total"
}

# install_once: a first install in the current case, timed. Sets
# INSTALL_OK when setup.exe reached its end, INSTALL_WALL to its wall time
# and INSTALL_WAITS to the waits of its path (empty when not a first-install
# path).
install_once() {
  local boxes="$CASE/bench-boxes.txt" trace="$CASE/bench-trace.txt" log="$CASE/bench-log.txt"
  rm -f "$C/boxes.txt" "$C/boxes.txt.stop"
  wine "$W32/boxwatch.exe" 'C:\boxes.txt' 120 >/dev/null 2>&1 &
  local watcher=$! start end
  sleep 1
  start=$(now_ms)
  (cd "$C/tavrin" && timeout 120 wine 'C:\tavrin\setup.exe' >"$trace" 2>/dev/null) || true
  end=$(now_ms)
  touch "$C/boxes.txt.stop"
  wait "$watcher" || true
  cp "$C/boxes.txt" "$boxes" 2>/dev/null || : >"$boxes"
  tr -d '\r' <"$C/tavrin/res/drivedir/setup.log" 2>/dev/null | cut -c16- >"$log" || : >"$log"
  INSTALL_OK=0
  grep -q 'Completing printer setup' "$trace" && INSTALL_OK=1
  INSTALL_WALL=$((end - start))
  INSTALL_WAITS=$(prescribed_waits_ms "$trace" "$log" "$boxes")
  INSTALL_TRACE=$trace
}

# measure_install: INSTALL_RUNS (3 by default) first installs, each in a
# fresh prefix of $BENCH_VERSION, the last of which stays the current case; adds a table
# row with the median wall time. Sets INSTALL_OK when every run reached the
# end of setup.exe on the first-install path.
measure_install() {
  local runs=${INSTALL_RUNS:-3} walls=() waits= i
  for i in $(seq "$runs"); do
    [ "$i" -gt 1 ] && cleanup
    new_case bench "$BENCH_VERSION"
    install_once
    if [ "$INSTALL_OK" != 1 ] || [ -z "$INSTALL_WAITS" ]; then
      INSTALL_OK=0
      row "first install ($BENCH_TAG), wall vs prescribed waits" "${INSTALL_WALL} ms" "-" "-" 1.10 \
        "not measured: the install did not take the first-install path (see $INSTALL_TRACE)"
      return
    fi
    walls+=("$INSTALL_WALL")
    waits=$INSTALL_WAITS
  done
  local wall r
  wall=$(median "${walls[@]}")
  r=$(ratio "$wall" "$waits")
  row "first install ($BENCH_TAG), wall vs prescribed waits" "${wall} ms" "${waits} ms" "$r" 1.10 \
    "$(verdict "$r" 1.10); median of $runs (${walls[*]} ms)"
}
