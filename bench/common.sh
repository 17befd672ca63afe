# Shared by the benchmarks: a clock in milliseconds, a median, and a ratio.
# Sourced by bench/run.sh after tests/wine/lib.sh and printlib.sh.

# now_ms: the wall clock in milliseconds.
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# median NUMBER...: the middle value (the lower middle for an even count).
median() { printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# verdict RATIO TARGET: "ok" when RATIO <= TARGET, else "over".
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { if (r != "-" && r <= t) print "ok"; else print "over" }'; }

# row NAME MEASURED REFERENCE RATIO TARGET NOTE: one line of the table.
ROWS=()
row() {
  local line
  local target="<= $5"
  [ "$5" = - ] && target=-
  line=$(printf '| %s | %s | %s | %s | %s | %s |' "$1" "$2" "$3" "$4" "$target" "$6")
  ROWS+=("$line")
  echo "$line"
}

# last_pdf_pages: the page count of the PDF the last job added (0 without).
last_pdf_pages() {
  local name
  name=$(new_outputs .pdf | head -1)
  [ -n "$name" ] && pdfinfo "$(OUTPUT_DIR)/$name" 2>/dev/null | awk '/^Pages:/ {print $2; exit}' || echo 0
}
