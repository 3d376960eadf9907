# The grid (-g) over generated logs, against the same chart without it. Each pixel that differs
# is grid grey inside the plot area, or label text in a margin. Read back, the value labels are
# round numbers at equal steps and the time labels round local times at equal steps (but across
# a change of clocks), each centred on its line. Spans from nanoseconds to 150 years take every
# time step. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=800 H=400

# log SEED SPAN LOW HIGH [START]: 201 records over SPAN seconds from START, else a time in 2026
# (placed to the nanosecond below 1000 s), two series between LOW and HIGH with gaps and bad
# cells; Unix time with its fraction (tform sf). The series are smooth, so that records that
# share a column (all of them, at a nanosecond a column) hide little of a grid line there.
log() {
  awk -v seed="$1" -v span="$2" -v lo="$3" -v hi="$4" -v start="${5:-}" 'BEGIN {
      srand(seed)
      base = start != "" ? start : 1767225600 + int(rand() * 31000000)
      for (i = 0; i <= 200; i++) {
        if (span < 1000) {
          ns = int(span * 1e9 * i / 200)
          s = base + int(ns / 1e9)
          f = ns - int(ns / 1e9) * 1e9
        } else {
          s = base + int(span * i / 200)
          f = 0
        }
        line = sprintf("%.0f.%09d", s, f)
        for (j = 0; j < 2; j++) {
          r = rand()
          v = lo + (hi - lo) * (0.5 + 0.5 * sin(seed + i / 50 + j * 2))
          line = line "," (r < 0.05 ? "" : r < 0.08 ? "x" : sprintf("%.9g", v))
        }
        print line
      }
    }'
}

# grid WHAT ZONE OPTION...: log.csv charted in ZONE with the options, with -g (got.png) and
# without; the pixels that differ checked, and the lines and labels read back into grid.txt.
grid() {
  what=$1 zone=$2
  shift 2
  TZ=$zone trendle "$@" log.csv plain.png $W $H sf || fail "$what: the run without -g"
  TZ=$zone trendle -g "$@" log.csv got.png $W $H sf || fail "$what: the run with -g"
  right=$((W - 2))
  case " $* " in *" -r"*) right=$((W - 21)) ;; esac
  trendle-pngcmp --grid got.png plain.png 20 20 $right $((H - 21)) >grid.txt 2>err ||
    fail "$what: $(grep -v '^libpng warning' err)"
}

# value_labels SIDE: the labels of that margin but its first and last (a scale's max and min), read
# as round numbers, 1, 2 or 5 times a power of ten apart or a whole number of such steps, as far
# apart in rows as in steps; on the left, each on a line of evenly spaced lines. Prints "STEP
# LINES", or "fail WHY".
value_labels() {
  awk -v side="$1" '
    function fail(why) { print "fail " why; bad = 1; exit }
    function whole(x) { return x - int(x + (x < 0 ? -0.5 : 0.5)) }
    $1 == "row" { rows[++nr] = $2; line[$2] = nr }
    $1 == side { at[++n] = $2; v[n] = $3 + 0 }
    END {
      if (bad) exit
      for (i = 3; i <= nr; i++) {
        d = rows[i] - 2 * rows[i - 1] + rows[i - 2]
        if (d > 1 || d < -1) fail("lines unevenly spaced at row " rows[i])
      }
      step = 0
      for (i = 3; i < n; i++) {
        d = v[i - 1] - v[i]
        if (d <= 0) fail("labels " v[i - 1] " then " v[i])
        if (step == 0 || d < step) step = d
      }
      for (i = 2; i < n; i++) {
        if (side == "left" && !(at[i] in line)) fail("label " v[i] " on no line, row " at[i])
        if (step == 0) continue
        if (whole(v[i] / step) > 1e-6 || whole(v[i] / step) < -1e-6) fail(v[i] " is no multiple of " step)
        if (i == 2) continue
        k = (v[i - 1] - v[i]) / step
        if (whole(k) > 1e-6 || whole(k) < -1e-6) fail("steps " v[i - 1] " to " v[i])
        if (per == 0) per = (at[i] - at[i - 1]) / k
        d = at[i] - at[i - 1] - per * k
        if (d > 1.5 || d < -1.5) fail("label " v[i] " at row " at[i])
      }
      if (step > 0) {
        e = log(step) / log(10) + 1e-9
        e = int(e) - (int(e) > e)
        m = step / exp(e * log(10))
        if (whole(m) > 1e-6 || whole(m) < -1e-6 || (int(m + 0.5) != 1 && int(m + 0.5) != 2 && int(m + 0.5) != 5)) fail("step " step)
      }
      print step, nr
    }' grid.txt
}

# time_labels DST: the bottom labels but the first and last (the first and last times), each centred
# on a line, read as round local times at equal steps; with DST 1 one step may differ and the
# lines need not be evenly spaced. Prints "FORM STEP LINES", or "fail WHY".
time_labels() {
  awk -v dst="$1" '
    function fail(why) { print "fail " why; bad = 1; exit }
    function whole(x) { return x - int(x + 0.5) }
    function parse(s) {
      cycle = 0
      unit = 1
      if (s ~ /^:[0-9][0-9]\.[0-9]+$/) {  # counted in units of its last decimal, exactly
        form = "fraction"
        unit = 10 ^ (length(s) - 4)
        cycle = 60 * unit
        return substr(s, 2, 2) * unit + substr(s, 5)
      }
      if (s ~ /^[0-9][0-9]:[0-9][0-9](:[0-9][0-9])?$/) {
        form = length(s) == 8 ? "seconds" : "minutes"
        cycle = 86400
        return substr(s, 1, 2) * 3600 + substr(s, 4, 2) * 60 + substr(s, 7, 2)
      }
      if (s ~ /^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [0-9][0-9]$/) {
        form = "days"
        cycle = 7
        return (index("MonTueWedThuFriSatSun", substr(s, 1, 3)) - 1) / 3
      }
      if (s ~ /^[0-9]+-[0-9][0-9]$/) { form = "months"; return substr(s, 1, 4) * 12 + substr(s, 6) - 1 }
      if (s ~ /^[0-9]+$/) { form = "years"; return s + 0 }
      fail("label " s)
    }
    $1 == "column" { cols[++nc] = $2; line[$2] = nc }
    $1 == "bottom" { at[++n] = $2; sub(/^bottom [0-9-]+ /, ""); text[n] = $0 }
    END {
      if (bad) exit
      for (i = 2; i < n; i++) {
        if (!(at[i] in line)) fail("label " text[i] " on no line, column " at[i])
        v[i] = parse(text[i])
        if (i == 2) { first = form; continue }
        if (form != first) fail("labels " text[i - 1] " then " text[i])
        d = v[i] - v[i - 1]
        while (cycle && d <= 1e-12) d += cycle
        s[i] = d / (line[at[i]] - line[at[i - 1]])
      }
      # The step is the one most steps take; the others fail, but one across a change of clocks.
      for (i = 3; i < n; i++) {
        count = 0
        for (j = 3; j < n; j++) count += s[j] == s[i]
        if (count > most) { most = count; step = s[i] }
      }
      for (i = 3; i < n; i++) {
        if (s[i] != step && (!dst || odd++)) fail("steps " text[i - 1] " to " text[i])
      }
      for (i = 2; i < n && step > 0 && form != "days"; i++) {
        r = whole(v[i] / step)
        if (r > 1e-3 || r < -1e-3) fail(text[i] " is no multiple of " step)
      }
      if (form == "days" && step == 7 && v[2] != 0) fail("weeks from " text[2])
      if (form == "fraction" && step % 10 == 0) fail("more decimals than the step has")
      for (i = 3; i <= nc && !dst && form != "months" && form != "years"; i++) {
        d = cols[i] - 2 * cols[i - 1] + cols[i - 2]
        if (d > 1 || d < -1) fail("lines unevenly spaced at column " cols[i])
      }
      printf "%s %.5g %d\n", form, step / unit, nc
    }' grid.txt
}

# expect WHAT GOT WANT: GOT, a check's output, is WANT.
expect() {
  case $2 in fail*) fail "$1: ${2#fail }" ;; esac
  [ "$2" = "$3" ] || fail "$1: got '$2', want '$3'"
}

# at_least WHAT N M: N >= M.
at_least() {
  [ "$2" -ge "$3" ] || fail "$1: $2 lines, want $3 or more"
}

# Every time step, from a span 7.5 times its shortest length: its lines are 104 px apart and
# the step before it would be under 80 px.
seed=0
for step in fraction:1e-09 fraction:2e-09 fraction:5e-09 fraction:1e-08 fraction:2e-08 \
  fraction:5e-08 fraction:1e-07 fraction:2e-07 fraction:5e-07 fraction:1e-06 fraction:2e-06 \
  fraction:5e-06 fraction:1e-05 fraction:2e-05 fraction:5e-05 fraction:0.0001 fraction:0.0002 \
  fraction:0.0005 fraction:0.001 fraction:0.002 fraction:0.005 fraction:0.01 fraction:0.02 \
  fraction:0.05 fraction:0.1 fraction:0.2 fraction:0.5 seconds:1 seconds:2 seconds:5 \
  seconds:10 seconds:15 seconds:30 minutes:60 minutes:120 minutes:300 minutes:600 minutes:900 \
  minutes:1800 minutes:3600 minutes:7200 minutes:10800 minutes:21600 minutes:43200 days:1:86400 \
  days:2:172800 days:7:604800 months:1:2419200 months:3:7689600 months:6:15638400 \
  years:1:31536000 years:2:63072000 years:5:157680000 years:10:315360000 years:20:630720000; do
  seed=$((seed + 1))
  form=${step%%:*} count=${step#*:} length=${step##*:}
  count=${count%%:*}
  # Values from 10^-2 to 10^5 spanning a tenth of their size or more, their labels short enough
  # to fit the image.
  log $seed "$(awk -v l="$length" 'BEGIN { print 7.5 * l }')" $(awk -v seed=$seed 'BEGIN {
      srand(seed)
      e = int(rand() * 7) - 2
      lo = (e >= 0 ? rand() * 2 - 1 : 1 + rand()) * 10 ^ (e + int(rand() * 2))
      printf "%.9g %.9g", lo, lo + (1 + rand() * 9) * 10 ^ e
    }') >log.csv
  grid "$form step $count" UTC
  expect "$form step $count, times" "$(time_labels 0)" "$form $count $(grep -c '^column' grid.txt)"
  got=$(value_labels left)
  case $got in fail*) fail "$form step $count, values: ${got#fail }" ;; esac
done

# A day at 800 x 400 has at least 3 value lines and 4 time lines; 2 s at 100 Hz has lines
# between the seconds.
log 1 86400 5 35 >log.csv
grid "a day" UTC
at_least "a day, values" "$(value_labels left | cut -d' ' -f2)" 3
at_least "a day, times" "$(time_labels 0 | cut -d' ' -f3)" 4
log 2 2 10 20 >log.csv
grid "2 s at 100 Hz" UTC
expect "2 s at 100 Hz" "$(time_labels 0 | cut -d' ' -f1)" "fraction"

# Hours on local round hours: a zone 5:45 from UTC, and changes of clocks by an hour (London,
# New York) and by half an hour (Lord Howe Island).
# Each span of 7.5 hours starts 3 hours before its change.
for case in Asia/Kathmandu:1774040000:0 Europe/London:1774735200:1 America/New_York:1793502000:1 \
  Australia/Lord_Howe:1775304000:1; do
  zone=${case%%:*} start=${case#*:}
  dst=${start#*:} start=${start%:*}
  log 3 27000 5 105 "$start" >log.csv
  grid "$zone" "$zone"
  expect "$zone" "$(time_labels "$dst" | cut -d' ' -f1,2)" "minutes 3600"
done

# With the other views: each pixel that differs is the grid's, and the labels read back.
log 4 86400 -20 40 >log.csv
grid "-p" UTC -p
expect "-p, times" "$(time_labels 0 | cut -d' ' -f1,2)" "minutes 10800"
log 5 86400 -20 40 >log.csv
grid "-r 3" UTC -r 3
got=$(value_labels right)
case $got in fail*) fail "-r 3, right values: ${got#fail }" ;; esac
got=$(value_labels left)
case $got in fail*) fail "-r 3, left values: ${got#fail }" ;; esac
grid "--min --max" UTC --min=-7.25 --max=123
got=$(value_labels left)
case $got in fail*) fail "--min --max: ${got#fail }" ;; esac
# With the reading options, the grid of the default reading of the log rewritten by hand: the
# time in field 2, in milliseconds, values with decimal commas.
TZ=UTC trendle -g log.csv want.png $W $H sf || fail "-g: the run"
awk -F, -v OFS=, '{ t = $1; $1 = $2; $2 = t; print }' log.csv >moved.csv
TZ=UTC trendle -g -t 2 moved.csv got.png $W $H sf && cmp -s got.png want.png || fail "-g -t 2"
awk -F, -v OFS=, '{ split($1, p, "."); $1 = p[1] substr(p[2], 1, 3); print }' log.csv >ms.csv
TZ=UTC trendle -g -u ms ms.csv got.png $W $H s && cmp -s got.png want.png || fail "-g -u ms"
awk -F, -v OFS=';' '{ for (i = 2; i <= NF; i++) gsub(/[.]/, ",", $i); $1 = $1; print }' log.csv >comma.csv
TZ=UTC trendle -g -d ';' --decimal-comma comma.csv got.png $W $H sf && cmp -s got.png want.png ||
  fail "-g -d ';' --decimal-comma"
tr , ';' <log.csv >semi.csv && mv semi.csv log.csv
grid "-d ';' -c 3 --last=12h" UTC -d ';' -c 3 --last=12h
expect "--last=12h, times" "$(time_labels 0 | cut -d' ' -f1,2)" "minutes 7200"
exit 0
