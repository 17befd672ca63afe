# (iv) Load: LOAD_JOBS (300) RAW jobs of LOAD_KB (200) KB of text, printed
# one after the other by one process through the spooler and the port
# monitor, against gs run directly on the same files as many times, with
# the port's response file and arguments, each file reaching its standard
# input through a pipe as the job reaches gswin32c.exe. Jobs per second
# both ways; the ratio is gs's rate over the monitor's (the time per job
# through the monitor over gs's own).

# pdf_rate JOBS MS: jobs per second with two decimals.
pdf_rate() { awk -v n="$1" -v ms="$2" 'BEGIN { if (ms > 0) printf "%.2f", n * 1000 / ms; else print "-" }'; }

measure_load() {
  local jobs=${LOAD_JOBS:-300} size=${LOAD_KB:-200} out start end ms_monitor ms_gs i f
  local label="load ($BENCH_TAG, $jobs jobs of $size KB), jobs/s spooler + monitor vs gs"
  python3 "$TOP/tests/wine/make_load_ps.py" "$jobs" "$size" "$C/bench-load" 0 >/dev/null
  out="$CASE/bench-load.txt"
  # Through the monitor: printdoc.exe stamps the first job's start and each
  # job's end; the PDFs are complete once EndDocPrinter has returned (the
  # monitor waits for the program), which is checked below.
  wine "$PRINTDOC" TAVRIN "Bench load" --load "$jobs" --raw-dir 'C:\bench-load' >"$out" 2>&1 || {
    row "$label" "-" "-" "-" 1.10 "printdoc failed: $(tr -d '\r' <"$out" | tail -1)"
    rm -rf "$C/bench-load"
    return
  }
  start=$(tr -d '\r' <"$out" | awk '$1 == "job" && $2 == "start" {print $3; exit}')
  end=$(tr -d '\r' <"$out" | awk -v n="$jobs" '$1 == "load" && $2 == "job" && $3 == n {print $4}')
  local made=0
  for i in $(seq "$jobs"); do
    complete_pdf "$(OUTPUT_DIR)/Bench load $(printf '%03d' "$i").pdf" && made=$((made + 1))
  done
  if [ -z "$start" ] || [ -z "$end" ] || [ "$made" -ne "$jobs" ]; then
    row "$label" "-" "-" "-" 1.10 "the monitor made $made complete PDFs of $jobs jobs"
    rm -rf "$C/bench-load"
    return
  fi
  ms_monitor=$((end - start))
  # Ghostscript directly, on the same files one after the other.
  made=0
  start=$(now_ms)
  for i in $(seq "$jobs"); do
    f="$C/bench-load/$(printf '%03d' "$i").ps"
    cat "$f" | gs "@$C/tavrin/res/pdfwrite.rsp" -sOutputFile="$CASE/direct-$i.pdf" -c save pop -f - \
      >/dev/null 2>&1 || true
  done
  end=$(now_ms)
  ms_gs=$((end - start))
  for i in $(seq "$jobs"); do
    complete_pdf "$CASE/direct-$i.pdf" && made=$((made + 1))
    rm -f "$CASE/direct-$i.pdf"
  done
  rm -rf "$C/bench-load"
  rm -f "$(OUTPUT_DIR)/Bench load "*.pdf
  if [ "$made" -ne "$jobs" ]; then
    row "$label" "-" "-" "-" 1.10 "gs made $made complete PDFs of $jobs files"
    return
  fi
  local r
  r=$(ratio "$ms_monitor" "$ms_gs")
  row "$label" "$(pdf_rate "$jobs" "$ms_monitor") jobs/s" "$(pdf_rate "$jobs" "$ms_gs") jobs/s" "$r" 1.10 \
    "$(verdict "$r" 1.10); $jobs jobs in ${ms_monitor} ms through the monitor, ${ms_gs} ms by gs"
}
