# (iii) The peak memory of the process that hosts Wine's spooler and the
# port monitor (the printing process under Wine) for a 1 MB and a 50 MB job
# of text.

measure_memory() {
  python3 "$TOP/tests/wine/make_text_ps.py" 1 "$C/bench-1mb.ps" >/dev/null
  local small large note r pages
  pages=$(python3 "$TOP/tests/wine/make_text_ps.py" 50 "$C/bench-50mb.ps")
  print_job "Bench 1 MB" --raw 'C:\bench-1mb.ps'
  small=$PEAK_KB
  wait_for_pdfs 1 300 || note="no PDF for the 1 MB job"
  print_job "Bench 50 MB" --raw 'C:\bench-50mb.ps'
  large=$PEAK_KB
  if ! wait_for_pdfs 1 900; then
    note="${note:+$note; }no PDF for the 50 MB job"
  elif [ "$(last_pdf_pages)" != "$pages" ]; then
    note="${note:+$note; }the 50 MB job's PDF has $(last_pdf_pages) of $pages pages"
  fi
  rm -f "$C/bench-1mb.ps" "$C/bench-50mb.ps"
  r=$(ratio "$large" "$small")
  row "peak memory ($BENCH_TAG), 50 MB job vs 1 MB job" "${large} kB" "${small} kB" "$r" 1.10 \
    "${note:-$(verdict "$r" 1.10)}"
}
