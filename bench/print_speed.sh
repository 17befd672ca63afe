# (i) A 50-page document printed to PDF through the spooler and the port
# monitor, against Ghostscript run directly on the same PostScript.
#
# The driver's PostScript is captured once (the job printed to a file, as
# "Print to file" does). Then, side by side and RUNS times each, the same
# PostScript is sent through the spooler and the monitor as a RAW job (the
# job's start in printdoc.exe to its complete PDF, converted by the
# product's gswin32c.exe), and given with the port's response file to the
# same gswin32c.exe under Wine and to the host's gs, each opening the file
# by name. The Windows Ghostscript reading "-" from a pipe and from the file
# as its standard input, and the whole GDI job (driver included), are shown
# for information.

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

# time_gs WHICH HOW PS: sets ELAPSED_MS to the milliseconds of one
# Ghostscript run with the port's response file on PS (the PostScript file's
# host path; its prefix path is C:\bench-job.ps), empty when it made no
# complete PDF. WHICH: windows, the product's gswin32c.exe under Wine, run
# in its own folder as the port runs it (the Wine process's start counted,
# as it is in the job); host, the host's gs. HOW: name (gs opens the file),
# pipe (the file through a pipe to "-", as the port feeds the job) or file
# (the file itself as standard input, read as "-").
time_gs() {
  local which=$1 how=$2 ps=$3 start end out_host out_arg input_arg
  local -a program
  ELAPSED_MS=
  if [ "$which" = windows ]; then
    program=(wine 'C:\tavrin\res\convert\gswin32c.exe' '@C:\tavrin\res\pdfwrite.rsp')
    out_host="$C/bench-direct.pdf" out_arg='C:\bench-direct.pdf' input_arg='C:\bench-job.ps'
  else
    program=(gs "@$C/tavrin/res/pdfwrite.rsp")
    out_host="$CASE/direct.pdf" out_arg="$CASE/direct.pdf" input_arg="$ps"
  fi
  rm -f "$out_host"
  start=$(now_ms)
  case $how in
    name) (cd "$C/tavrin/res/convert" && "${program[@]}" -sOutputFile="$out_arg" "$input_arg") ;;
    pipe) cat "$ps" | (cd "$C/tavrin/res/convert" && "${program[@]}" -sOutputFile="$out_arg" -c save pop -f -) ;;
    file) (cd "$C/tavrin/res/convert" && "${program[@]}" -sOutputFile="$out_arg" -c save pop -f - <"$ps") ;;
  esac >/dev/null 2>&1 || true
  end=$(now_ms)
  complete_pdf "$out_host" && ELAPSED_MS=$((end - start))
  rm -f "$out_host"
}

measure_print() {
  local runs=${RUNS:-3} spooled=() win_name=() host_name=() win_pipe=() win_file=() i
  local label="50-page print ($BENCH_TAG"
  print_job "Bench capture" --pages 50 --output 'C:\bench-job.ps'
  if [ "$JOB_STATUS" -ne 0 ] || [ ! -s "$C/bench-job.ps" ]; then
    row "$label), spooler + monitor vs Windows gs on the file" "-" "-" "-" 1.5 "capture failed: $(cat "$JOB_OUT")"
    return
  fi
  label="$label, $(( $(stat -c %s "$C/bench-job.ps") / 1024 )) KB PostScript)"
  time_to_pdf "Bench GDI" --pages 50
  GDI_MS=${ELAPSED_MS:--}
  # Side by side, RUNS times: the job through the spooler and the monitor,
  # the same Windows Ghostscript on the file by name, the host's gs on it by
  # name; and, for what the port's standard input costs, the Windows
  # Ghostscript reading "-" from a pipe and from the file itself.
  for i in $(seq "$runs"); do
    time_to_pdf "Bench raw $i" --raw 'C:\bench-job.ps'
    if [ -z "$ELAPSED_MS" ] || [ "$(last_pdf_pages)" != 50 ]; then
      row "$label, spooler + monitor vs Windows gs on the file" "-" "-" "-" 1.5 \
        "no 50-page PDF from the monitor ($(last_pdf_pages) pages)"
      return
    fi
    spooled+=("$ELAPSED_MS")
    local how which which_how
    for which_how in windows:name host:name windows:pipe windows:file; do
      which=${which_how%%:*} how=${which_how#*:}
      time_gs "$which" "$how" "$C/bench-job.ps"
      [ -n "$ELAPSED_MS" ] || {
        row "$label, spooler + monitor vs Windows gs on the file" "-" "-" "-" 1.5 \
          "$which gs made no PDF of the capture ($how)"
        return
      }
      case $which_how in
        windows:name) win_name+=("$ELAPSED_MS") ;;
        host:name) host_name+=("$ELAPSED_MS") ;;
        windows:pipe) win_pipe+=("$ELAPSED_MS") ;;
        windows:file) win_file+=("$ELAPSED_MS") ;;
      esac
    done
  done
  local s w h wp wf r1 r2
  s=$(median "${spooled[@]}") w=$(median "${win_name[@]}") h=$(median "${host_name[@]}")
  wp=$(median "${win_pipe[@]}") wf=$(median "${win_file[@]}")
  r1=$(ratio "$s" "$w") r2=$(ratio "$s" "$h")
  row "$label, spooler + monitor vs the Windows gs under Wine on the file by name" "${s} ms" "${w} ms" "$r1" 1.5 \
    "$(verdict "$r1" 1.5); median of $runs; the same gs reading \"-\" from a pipe ${wp} ms, from the file as standard input ${wf} ms; whole GDI job ${GDI_MS} ms"
  row "$label, spooler + monitor vs the host's gs on the file by name" "${s} ms" "${h} ms" "$r2" "-" \
    "for information; median of $runs"
}
