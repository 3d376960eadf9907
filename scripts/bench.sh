#!/bin/sh
# Times the release build on small logs against a bare gd program drawing the
# same kind of chart (the floor), then on generated big logs at 1600x900 and,
# when gnuplot is installed, gnuplot drawing the same chart, side by side.
#   scripts/bench.sh [--big | --small] [--runs=N] [--small-runs=N] [--gnuplot-runs=N]
#                    [--no-gnuplot] [--dir=DIR] [--tool=PATH]
# --big adds the 10M x 4 log, --small leaves the big logs out; --tool times
# another build of the tool. Logs are written once to DIR (default
# /tmp/trendle-bench) and reused. Small runs are timed by the CPU time (user +
# system) of each process, the tool and the floor taken in turn; big runs by
# wall seconds. Times are medians, with TZ unset as cron runs the tool; peak is
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
if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is needed for the peak memory (apt-get install time)" >&2
  exit 1
fi

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTRENDLE_TESTS=OFF >/dev/null
cmake --build build/release -j 2 >/dev/null
gen=$PWD/build/release/bench/trendle-loggen
cputime=$PWD/build/release/bench/trendle-cputime
floor=$PWD/build/release/bench/trendle-floor
mkdir -p "$dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_timed OUTFILE CMD...: runs CMD once with TZ unset and appends
# "wall_seconds peak_kb" to OUTFILE.
run_timed() {
  out=$1; shift
  t0=$(date +%s%N)
  env -u TZ /usr/bin/time -f %M -o "$work/rss" "$@" >/dev/null 2>"$work/err" || {
    cat "$work/err" >&2
    exit 1
  }
  t1=$(date +%s%N)
  echo "$(( (t1 - t0) / 1000 )) $(tail -n 1 "$work/rss")" >>"$out"
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

# cpu_timed OUTFILE CMD...: runs CMD once with TZ unset and appends
# "cpu_microseconds peak_kb" to OUTFILE.
cpu_timed() {
  out=$1; shift
  env -u TZ "$cputime" "$@" >>"$out" || { echo "bench: $* failed" >&2; exit 1; }
}

# small_row NAME LOG WIDTH HEIGHT SERIES: the tool on LOG and the floor drawing
# as many points, in turn, small_runs times each.
small_row() {
  points=$(grep -c '^[0-9]' "$2")
  : >"$work/s"; : >"$work/f"
  i=0
  while [ $i -lt "$small_runs" ]; do
    cpu_timed "$work/s" "$tool" "$2" "$work/s.png" "$3" "$4"
    cpu_timed "$work/f" "$floor" "$work/f.png" "$3" "$4" "$points" "$5"
    i=$((i + 1))
  done
  awk -v name="$1" -v p="$points" -v size="$3x$4" -v t="$(median "$work/s" 1)" \
      -v f="$(median "$work/f" 1)" -v tk="$(median "$work/s" 2)" -v fk="$(median "$work/f" 2)" 'BEGIN {
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
  printf '| log | size | gnuplot | gnuplot peak | trendle | trendle peak | rows/s | MB/s | ratio |\n'
  printf '|---|---|---|---|---|---|---|---|---|\n'
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
      -v u="$t_us" -v k="$t_kb" -v g="$g_col" -v gp="$gp_col" -v ratio="$ratio" 'BEGIN {
    s = u / 1e6
    printf "| %s | %.0f MB | %s | %s | %.3f s | %.1f MB | %.1fM | %.0f | %s |\n",
           name, b / 1e6, g, gp, s, k / 1024, r / s / 1e6, b / 1e6 / s, ratio
  }'
done
# The reading options on the 1M x 32 log, against the default run on it: the
# log with ';' for ',' under -d ';', and the default layout's 32 series listed
# with -c (all of them, in field order; two, the last and the first).
median_run() {  # CMD...: the median wall microseconds of runs runs
  : >"$work/o"
  i=0
  while [ $i -lt "$runs" ]; do
    run_timed "$work/o" "$@"
    i=$((i + 1))
  done
  median "$work/o" 1
}
# A build from before the options has no --version: the table is left out.
if [ "$big" != -1 ] && "$tool" --version >/dev/null 2>&1; then
  log=$dir/log-1000000x32.csv
  semi=$dir/log-1000000x32-semicolons.csv
  [ -s "$semi" ] || tr , ';' <"$log" >"$semi"
  base=$(median_run "$tool" "$log" "$work/o.png" 1600 900)
  echo
  printf '| 1M rows x 32 series | trendle | ratio to no option |\n|---|---|---|\n'
  for row in "-d ;|$semi" "-c 2-33|$log" "-c 33,2|$log"; do
    # The options are words without blanks: split them as the shell would.
    set -- ${row%|*}
    u=$(median_run "$tool" "$@" "${row#*|}" "$work/o.png" 1600 900)
    awk -v name="${row%|*}" -v u="$u" -v b="$base" \
      'BEGIN { printf "| %s | %.3f s | %.2fx |\n", name, u / 1e6, u / b }'
  done
  awk -v b="$base" 'BEGIN { printf "| no option | %.3f s | 1.00x |\n", b / 1e6 }'
fi
# Fractions of a second on the 1M x 4 log: the log with ".mmm" after every time, read with
# dmyHMSf, against the log itself read as usual. A build without f charts a banner: left out.
if [ "$big" != -1 ] && "$tool" --help 2>/dev/null | grep -q '^f '; then
  log=$dir/log-1000000x4.csv
  frac=$dir/log-1000000x4-fractions.csv
  [ -s "$frac" ] || awk -F, -v OFS=, '/^[0-9]/ { $1 = $1 sprintf(".%03d", NR * 37 % 1000) } 1' \
    "$log" >"$frac"
  base=$(median_run "$tool" "$log" "$work/o.png" 1600 900)
  u=$(median_run "$tool" "$frac" "$work/o.png" 1600 900 dmyHMSf)
  echo
  printf '| 1M rows x 4 series | trendle | ratio |\n|---|---|---|\n'
  awk -v u="$u" -v b="$base" 'BEGIN {
    printf "| dmyHMS | %.3f s | 1.00x |\n| dmyHMSf, .mmm fractions | %.3f s | %.2fx |\n",
           b / 1e6, u / 1e6, u / b
  }'
fi
# The view options on the 1M x 4 log, against the default run on it; --last on the log gzipped,
# which is read through once more, against the default run on that. Left out for a build
# without them.
if [ "$big" != -1 ] && "$tool" --help 2>/dev/null | grep -q -- '--panels'; then
  log=$dir/log-1000000x4.csv
  gz=$dir/log-1000000x4.csv.gz
  [ -s "$gz" ] || gzip -c "$log" >"$gz"
  base=$(median_run "$tool" "$log" "$work/o.png" 1600 900)
  gz_base=$(median_run "$tool" "$gz" "$work/o.png" 1600 900)
  echo
  printf '| 1M rows x 4 series | trendle | ratio to no option |\n|---|---|---|\n'
  for row in "--panels|file" "-r 3,5|file" "--min=-50 --max=50|file" "-g|file" "--last=1d|file" \
             "--last=1d|gzip" "--last=12d|gzip"; do
    set -- ${row%|*}
    if [ "${row#*|}" = gzip ]; then in=$gz b=$gz_base; else in=$log b=$base; fi
    u=$(median_run "$tool" "$@" "$in" "$work/o.png" 1600 900)
    awk -v name="${row%|*}, ${row#*|}" -v u="$u" -v b="$b" \
      'BEGIN { printf "| %s | %.3f s | %.2fx |\n", name, u / 1e6, u / b }'
  done
  awk -v b="$base" -v g="$gz_base" \
    'BEGIN { printf "| no option, file | %.3f s | 1.00x |\n| no option, gzip | %.3f s | 1.00x |\n", b / 1e6, g / 1e6 }'
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg); small runs: $small_runs," \
     "trendle runs: $runs, gnuplot runs: $gnuplot_runs"
