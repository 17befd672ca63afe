# (i) A 50-page document printed to PDF through the spooler and the port
# monitor, against Ghostscript run directly on the same PostScript.
#
# The driver's PostScript is captured once (the job printed to a file, as
# "Print to file" does). Then, side by side and RUNS times each, the same
# PostScript is sent through the spooler and the monitor as a RAW job (the
# job's start in printdoc.exe to its complete PDF) and given to gs with the
# port's response file and arguments, the PostScript on its standard input
# through a pipe. The whole GDI job (driver included) and gs opening the
# file by name are timed once, for information.

# time_to_pdf DOCUMENT [printdoc OPTIONS]: sets ELAPSED_MS to the
# milliseconds from the job's start to its complete PDF; empty when no PDF
# came. printdoc.exe stamps the job's start (before it opens the printer) and
# its end (after it has closed it), so the Wine process's own start and exit
# are not counted. When the PDF is complete at the job's end, the job took
# end - start; otherwise the clock runs until the PDF is complete.
time_to_pdf() {
  local start end
  ELAPSED_MS=
  print_job "$@"
  [ "$JOB_STATUS" -eq 0 ] || return 0
  start=$(awk '$1 == "job" && $2 == "start" {print $3}' "$JOB_OUT")
  end=$(awk '$1 == "job" && $2 == "end" {print $3}' "$JOB_OUT")
  [ -n "$start" ] && [ -n "$end" ] || return 0
  if ! wait_for_pdfs 1 0; then
    wait_for_pdfs 1 600 || return 0
    end=$(now_ms)
  fi
  ELAPSED_MS=$((end - start))
}

# time_gs_direct PS [BY_NAME]: sets ELAPSED_MS to the milliseconds of gs
# with the port's response file and arguments on PS, which reaches its
# standard input through a pipe as the job reaches gswin32c.exe; empty when
# it made no PDF. With BY_NAME gs opens PS itself instead (for information:
# Ghostscript reads "-" a byte at a time, a named file in blocks).
time_gs_direct() {
  local start end
  ELAPSED_MS=
  start=$(now_ms)
  if [ -n "${2:-}" ]; then
    gs "@$C/tavrin/res/pdfwrite.rsp" -sOutputFile="$CASE/direct.pdf" "$1" >/dev/null 2>&1 || true
  else
    cat "$1" | gs "@$C/tavrin/res/pdfwrite.rsp" -sOutputFile="$CASE/direct.pdf" -c save pop -f - \
      >/dev/null 2>&1 || true
  fi
  end=$(now_ms)
  complete_pdf "$CASE/direct.pdf" && ELAPSED_MS=$((end - start))
  rm -f "$CASE/direct.pdf"
}

measure_print() {
  local runs=${RUNS:-3} spooled=() direct=() i
  print_job "Bench capture" --pages 50 --output 'C:\bench-job.ps'
  if [ "$JOB_STATUS" -ne 0 ] || [ ! -s "$C/bench-job.ps" ]; then
    row "50-page print ($BENCH_TAG), spooler + monitor vs gs" "-" "-" "-" 1.10 "capture failed: $(cat "$JOB_OUT")"
    return
  fi
  time_to_pdf "Bench GDI" --pages 50
  GDI_MS=${ELAPSED_MS:--}
  for i in $(seq "$runs"); do
    time_to_pdf "Bench raw $i" --raw 'C:\bench-job.ps'
    [ -n "$ELAPSED_MS" ] || {
      row "50-page print ($BENCH_TAG), spooler + monitor vs gs" "-" "-" "-" 1.10 "no PDF from the monitor"
      return
    }
    [ "$(last_pdf_pages)" = 50 ] || {
      row "50-page print ($BENCH_TAG), spooler + monitor vs gs" "-" "-" "-" 1.10 \
        "the monitor's PDF has $(last_pdf_pages) pages, not 50"
      return
    }
    spooled+=("$ELAPSED_MS")
    time_gs_direct "$C/bench-job.ps"
    [ -n "$ELAPSED_MS" ] || {
      row "50-page print ($BENCH_TAG), spooler + monitor vs gs" "-" "-" "-" 1.10 "gs made no PDF of the capture"
      return
    }
    direct+=("$ELAPSED_MS")
  done
  time_gs_direct "$C/bench-job.ps" by-name
  local by_name=${ELAPSED_MS:--}
  local s d r
  s=$(median "${spooled[@]}")
  d=$(median "${direct[@]}")
  r=$(ratio "$s" "$d")
  row "50-page print ($BENCH_TAG, $(( $(stat -c %s "$C/bench-job.ps") / 1024 )) KB PostScript), spooler + monitor vs gs" \
    "${s} ms" "${d} ms" "$r" 1.10 "$(verdict "$r" 1.10); median of $runs; whole GDI job ${GDI_MS} ms; gs on the file by name ${by_name} ms"
}
