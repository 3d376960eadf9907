#!/bin/sh
# Times the release build on small logs against a bare gd program drawing the
# same kind of chart (the floor), then on generated big logs at 1600x900 and,
# when gnuplot is installed, gnuplot drawing the same chart, side by side; then
# every option and tform letter on the 1M x 4 log, against the run without.
#   scripts/bench.sh [--big | --small] [--runs=N] [--small-runs=N] [--gnuplot-runs=N]
#                    [--no-gnuplot] [--dir=DIR] [--tool=PATH]
# --big adds the 10M x 4 log, --small leaves the big logs out; --tool times
# another build of the tool. Logs are written once to DIR (default
# /tmp/trendle-bench) and reused. Runs are timed by the CPU time (user + system)
# of each process, the tool and the floor taken in turn; big runs by wall
# seconds too. Times are medians, with TZ unset as cron runs the tool; peak is
# the maximum resident set size.
set -eu
cd "$(dirname "$0")/.."

runs=5
small_runs=20
gnuplot_runs=3
big=0
use_gnuplot=1
dir=/tmp/trendle-bench
tool=$PWD/build/release/trendle
for arg in "$@"; do
  case $arg in
    --big) big=1 ;;
    --small) big=-1 ;;
    --runs=*) runs=${arg#*=} ;;
    --small-runs=*) small_runs=${arg#*=} ;;
    --gnuplot-runs=*) gnuplot_runs=${arg#*=} ;;
    --no-gnuplot) use_gnuplot=0 ;;
    --dir=*) dir=${arg#*=} ;;
    --tool=*) tool=$(realpath "${arg#*=}") ;;
    *) echo "usage: scripts/bench.sh [--big | --small] [--runs=N] [--small-runs=N] [--gnuplot-runs=N]" \
            "[--no-gnuplot] [--dir=DIR] [--tool=PATH]" >&2
       exit 2 ;;
  esac
done
command -v gnuplot >/dev/null 2>&1 || use_gnuplot=0

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTRENDLE_TESTS=OFF >/dev/null
cmake --build build/release -j 2 >/dev/null
gen=$PWD/build/release/bench/trendle-loggen
cputime=$PWD/build/release/bench/trendle-cputime
floor=$PWD/build/release/bench/trendle-floor
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_timed OUTFILE CMD...: runs CMD once with TZ unset and appends
# "wall_microseconds peak_kb cpu_microseconds" to OUTFILE.
run_timed() {
  out=$1; shift
  t0=$(date +%s%N)
  cpu=$(env -u TZ "$cputime" "$@" 2>"$work/err") || {
    cat "$work/err" >&2
    echo "bench: $* failed" >&2
    exit 1
  }
  t1=$(date +%s%N)
  echo "$(( (t1 - t0) / 1000 )) ${cpu#* } ${cpu% *}" >>"$out"
}

# median FILE COLUMN: the median of a column of numbers.
median() {
  sort -n -k "$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print v[int((NR + 1) / 2)] }'
}

gnuplot_script() {  # log series png
  cat <<GNUPLOT
set datafile separator ','
set xdata time
set timefmt '%d/%m/%y %H:%M:%S'
set terminal png size 1600,900
set output '$3'
plot for [i=2:$(( $2 + 1 ))] '$1' using 1:i with lines notitle
GNUPLOT
}

# small_row NAME LOG WIDTH HEIGHT SERIES: the tool on LOG and the floor drawing
# as many points, in turn, small_runs times each.
small_row() {
  points=$(grep -c '^[0-9]' "$2")
  : >"$work/s"; : >"$work/f"
  i=0
  while [ $i -lt "$small_runs" ]; do
    run_timed "$work/s" "$tool" "$2" "$work/s.png" "$3" "$4"
    run_timed "$work/f" "$floor" "$work/f.png" "$3" "$4" "$points" "$5"
    i=$((i + 1))
  done
  awk -v name="$1" -v p="$points" -v size="$3x$4" -v t="$(median "$work/s" 3)" \
      -v f="$(median "$work/f" 3)" -v tk="$(median "$work/s" 2)" -v fk="$(median "$work/f" 2)" 'BEGIN {
    printf "| %s | %d | %s | %.1f ms | %.1f ms | %.2fx | %.1f MB | %.1f MB |\n",
           name, p, size, t / 1000, f / 1000, t / f, tk / 1024, fk / 1024
  }'
}

day=$dir/log-1440x4.csv
[ -s "$day" ] || "$gen" 1440 4 "$day"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '| log | records | image | trendle CPU | floor CPU | ratio | trendle peak | floor peak |\n'
printf '|---|---|---|---|---|---|---|---|\n'
small_row "examples/temperature.csv" examples/temperature.csv 640 480 3
small_row "1,440 s x 4 series" "$day" 1600 900 4

logs="1000000x4 1000000x32"
[ "$big" = 1 ] && logs="$logs 10000000x4"
if [ "$big" = -1 ]; then
  logs=
else
  echo
  printf '| log | size | gnuplot | gnuplot peak | trendle | trendle CPU | trendle peak | rows/s | MB/s | ratio |\n'
  printf '|---|---|---|---|---|---|---|---|---|---|\n'
fi
for size in $logs; do
  rows=${size%x*}
  series=${size#*x}
  log=$dir/log-$size.csv
  if [ ! -s "$log" ]; then
    "$gen" "$rows" "$series" "$log.part"
    mv "$log.part" "$log"
  fi
  bytes=$(stat -c %s "$log")

  : >"$work/t"
  i=0
  while [ $i -lt "$runs" ]; do
    run_timed "$work/t" "$tool" "$log" "$work/t.png" 1600 900
    i=$((i + 1))
  done
  t_us=$(median "$work/t" 1)
  t_kb=$(median "$work/t" 2)
  t_cpu=$(median "$work/t" 3)

  g_col="-"; gp_col="-"; ratio="-"
  if [ "$use_gnuplot" = 1 ]; then
    gnuplot_script "$log" "$series" "$work/g.png" >"$work/g.gp"
    : >"$work/g"
    i=0
    while [ $i -lt "$gnuplot_runs" ]; do
      run_timed "$work/g" gnuplot "$work/g.gp"
      i=$((i + 1))
    done
    g_us=$(median "$work/g" 1)
    g_kb=$(median "$work/g" 2)
    g_col=$(awk -v u="$g_us" 'BEGIN { printf "%.2f s", u / 1e6 }')
    gp_col=$(awk -v k="$g_kb" 'BEGIN { printf "%.0f MB", k / 1024 }')
    ratio=$(awk -v g="$g_us" -v t="$t_us" 'BEGIN { printf "%.1fx", g / t }')
  fi
  awk -v name="$(( rows / 1000000 ))M rows x $series series" -v b="$bytes" -v r="$rows" \
      -v u="$t_us" -v c="$t_cpu" -v k="$t_kb" -v g="$g_col" -v gp="$gp_col" -v ratio="$ratio" 'BEGIN {
    s = u / 1e6
    printf "| %s | %.0f MB | %s | %s | %.3f s | %.3f s | %.1f MB | %.1fM | %.0f | %s |\n",
           name, b / 1e6, g, gp, s, c / 1e6, k / 1024, r / s / 1e6, b / 1e6 / s, ratio
  }'
done

# variant NAME: the 1M x 4 log rewritten by hand for an option or a tform
# letter (each the same chart as the log itself, bar the unit's fraction),
# written once beside it.
variant() {
  out=$dir/log-1000000x4-$1.csv
  [ -s "$out" ] && return 0
  in=$dir/log-1000000x4.csv
  case $1 in
    years) awk -F, -v OFS=, '/^[0-9]/ { $1 = substr($1, 1, 6) "20" substr($1, 7) } 1' "$in" ;;
    fractions) awk -F, -v OFS=, '/^[0-9]/ { $1 = $1 sprintf(".%03d", NR * 37 % 1000) } 1' "$in" ;;
    meridian) awk -F, -v OFS=, '/^[0-9]/ { split($1, a, " "); split(a[2], t, ":"); h = t[1] + 0
        $1 = a[1] " " sprintf("%02d:%s:%s %s", h % 12 ? h % 12 : 12, t[2], t[3], h < 12 ? "AM" : "PM") } 1' "$in" ;;
    offsets) awk -F, -v OFS=, '/^[0-9]/ { $1 = $1 "+00:00" } 1' "$in" ;;
    months) awk -F, -v OFS=, 'BEGIN { split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", mon, " ") }
        /^[0-9]/ { split($1, a, /[\/ ]/); $1 = a[1] " " mon[a[2] + 0] " " a[3] " " a[4] } 1' "$in" ;;
    unix|unix-ms) awk -F, -v OFS=, -v ms="$([ "$1" = unix-ms ] && echo 1)" '
        function days(y, m, d) { y -= m <= 2; era = int(y / 400); yoe = y - era * 400
          doy = int((153 * (m > 2 ? m - 3 : m + 9) + 2) / 5) + d - 1
          return era * 146097 + yoe * 365 + int(yoe / 4) - int(yoe / 100) + doy - 719468 }
        /^[0-9]/ { split($1, a, /[\/ :]/)
          $1 = days(2000 + a[3], a[2] + 0, a[1] + 0) * 86400 + a[4] * 3600 + a[5] * 60 + a[6]
          if (ms) $1 = $1 sprintf("%03d", NR * 37 % 1000) } 1' "$in" ;;
    semicolons) tr , ';' <"$in" ;;
    decimal-commas) tr ,. ';,' <"$in" ;;
    moved) awk -F, -v OFS=, '/^[0-9]/ { t = $1; $1 = $2; $2 = t } 1' "$in" ;;
    header) awk 'NR == 1 { print "time,a,b,c,d"; next } 1' "$in" ;;
    shuffled) awk 'BEGIN { srand(1) } { printf "%.9f\t%s\n", rand(), $0 }' "$in" | sort -k1,1 | cut -f2- ;;
    reversed) tac "$in" ;;
    quoted) awk -F, -v OFS=, '/^[0-9]/ { for (i = 1; i <= NF; i++) $i = "\"" $i "\"" } 1' "$in" ;;
    # A long log: a row per record, its text one of four, its first value.
    long) awk -F, -v OFS=, 'BEGIN { split("a b c d", t, " ") } /^[0-9]/ { print $1, t[NR % 4 + 1], $2; next } 1' "$in" ;;
  esac >"$out.part"
  mv "$out.part" "$out"
}

# "option default": the median CPU microseconds of runs runs of the tool on
# LOG with these options and of as many without them on DEFAULT_LOG, taken in
# turn: the machine's speed drifts by a third within an hour, so only runs
# taken side by side compare.
#   paired_cpu DEFAULT_LOG OPTIONS_AND_ARGS...
paired_cpu() {
  default_log=$1; shift
  : >"$work/a"
  : >"$work/b"
  i=0
  while [ $i -lt "$runs" ]; do
    run_timed "$work/a" "$tool" "$@"
    run_timed "$work/b" "$tool" "$default_log" "$work/o.png" 1600 900
    i=$((i + 1))
  done
  echo "$(median "$work/a" 3) $(median "$work/b" 3)"
}

# Every option and tform letter on the 1M x 4 log (or on it rewritten for
# them), against the run without on the log itself (or gzipped, for gzip
# rows): "options|log variant or file or gzip|tform". --last reads a gzipped
# log a third time. Options are words without blanks, split as the shell
# splits them.
if [ "$big" != -1 ]; then
  log=$dir/log-1000000x4.csv
  gz=$dir/log-1000000x4.csv.gz
  [ -s "$gz" ] || gzip -c "$log" >"$gz"
  echo
  printf '| 1M rows x 4 series | log | trendle CPU | without | ratio to no option |\n|---|---|---|---|---|\n'
  for row in "|years|dmYHMS" "|fractions|dmyHMSf" "|meridian|dmyHMSp" "|offsets|dmyHMSz" \
             "|months|dbyHMS" "|unix|s" "-u ms|unix-ms|s" "-d ;|semicolons|" \
             "-d ; --decimal-comma|decimal-commas|" "-t 2|moved|" "-c 5,2|file|" \
             "--skip=1|file|" "-H|header|" "--panels|file|" "-r 3,5|file|" \
             "--min=-50 --max=50|file|" "-g|file|" "--from=03/01/23-00:00:00 --to=09/01/23-00:00:00|file|" \
             "--last=1d|file|" "--last=1d|gzip|" "--last=12d|gzip|" "--gap=auto|file|" \
             "--gap=1h|file|" "--join|file|" "--style=steps|file|" "--style=points|file|" \
             "--sort|file|" "--sort|shuffled|" "--sort|reversed|" "|quoted|" \
             "--match=2=a|long|" "--match=2=a --match=2=b --match=2=c --match=2=d|long|" \
             "--by=2 -c 3|long|" "--by=2 -c 3 --match=2=a --match=2=b|long|"; do
    options=${row%%|*}; rest=${row#*|}; kind=${rest%|*}; tform=${rest#*|}
    case $kind in
      file) in=$log default=$log ;;
      gzip) in=$gz default=$gz ;;
      # A long log's rows are its own default.
      long) variant long; in=$dir/log-1000000x4-long.csv default=$in ;;
      *) variant "$kind"; in=$dir/log-1000000x4-$kind.csv default=$log ;;
    esac
    # shellcheck disable=SC2086
    pair=$(paired_cpu "$default" $options "$in" "$work/o.png" 1600 900 $tform)
    awk -v name="${options:-$tform}" -v kind="$kind" -v u="${pair% *}" -v b="${pair#* }" \
      'BEGIN { printf "| %s | %s | %.3f s | %.3f s | %.2fx |\n", name, kind, u / 1e6, b / 1e6, u / b }'
  done
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg); small runs: $small_runs," \
     "trendle runs: $runs, gnuplot runs: $gnuplot_runs"
