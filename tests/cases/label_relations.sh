# The label options against the chart without them, over generated logs of Unix times (a few
# minutes to weeks long, values from thousandths to tens of millions, some negative), each
# from a file, a pipe and a gzip file, one log long enough for the threads to share it out:
# --si changes only the margins, and its labels read back (trendle-pngcmp --grid) as the same
# numbers to 4 significant digits; -D and --elapsed change only the time labels' band, and with
# -g the time lines, never the series; --elapsed is the same on the log shifted by whole days,
# in any zone; --title is the chart 19 rows less tall under a row holding the title.
# Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=480 H=300

# charts WHAT LOG CHECK OPTION...: as relations.sh's, for these logs' Unix times.
charts() {
  what=$1 in=$2 check=$3
  shift 3
  trendle "$@" "$in" got.png $W $H s && $check || fail "$what, file"
  trendle "$@" /dev/stdin got.png $W $H s <"$in" && $check || fail "$what, pipe"
  gzip -c "$in" >log.gz
  trendle "$@" log.gz got.png $W $H s && $check || fail "$what, gzip"
}

pixels() {
  trendle-pngcmp "$@" 2>pngcmp.err || { grep -v "^libpng warning" pngcmp.err >&2; false; }
}

# log SEED ROWS STEP SCALE SHIFT: Unix times STEP seconds apart from a day SHIFT days later,
# two series of values around SCALE, one of them negative at times, with a fraction below the
# second where STEP is under a second.
log() {
  LC_ALL=C awk -v seed="$1" -v n="$2" -v step="$3" -v scale="$4" -v shift="$5" 'BEGIN {
    srand(seed)
    for (i = 0; i < n; i++) {
      t = 1700000000 + shift * 86400 + i * step
      printf "%.3f,%.6g,%.6g\n", t, scale * (1 + rand()), scale * (rand() - 0.3)
    }
  }'
}

# The value labels of CHART read back, its grid against PLAIN: "SIDE C NUMBER", top down in
# each margin, SI prefixes multiplied out.
values() {
  right=$((W - 2))
  case "$opts" in *-r*) right=$((W - 21)) ;; esac
  pixels --grid "$1" "$2" 20 20 $right $((H - 21)) >labels.txt || return 1
  LC_ALL=C awk '$1 == "left" || $1 == "right" {
    v = $3; p = substr(v, length(v)); m = 1
    i = index("afpnumkMGTPE", p)
    if (i > 0) { v = substr(v, 1, length(v) - 1); m = 10 ^ (3 * (i <= 6 ? i - 7 : i - 6)) }
    printf "%s %s %.17g\n", $1, $2, v * m
  }' labels.txt
}

# The SI labels read back as the plain ones to 4 significant digits: those at the same place
# (the grid's, centred on their lines), and but for bands, where labels of other lengths are
# left out otherwise, each margin's first and last (a scale's ends).
same_numbers() {
  LC_ALL=C awk -v bands="$1" 'function near(a, b) { d = a - b; if (d < 0) d = -d; if (b < 0) b = -b
                                      return d <= b * 5.1e-4 + 1e-30 }
    NR == FNR { plain[$1 " " $2] = $3; first[$1] = first[$1] == "" ? $3 : first[$1]; last[$1] = $3; next }
    { if (($1 " " $2) in plain) { if (!near($3, plain[$1 " " $2])) exit 1 }
      f[$1] = f[$1] == "" ? $3 : f[$1]; l[$1] = $3 }
    END { for (side in first) if (!bands && (!near(f[side], first[side]) || !near(l[side], last[side]))) exit 1
          exit 0 }' plain.txt si.txt
}

only_margins() { pixels got.png want.png 19 0 0 18 $((H - 1)) $((W - 19)) 0 $((W - 1)) $((H - 1)); }
only_times() { pixels got.png want.png 19; }
only_grid() { pixels --grid got.png want.png 20 20 $((W - 2)) $((H - 21)) >/dev/null; }
bytes() { cmp -s got.png want.png; }
titled() {
  pixels --below 19 got.png want.png >title.txt && [ "$(cut -d' ' -f3- title.txt)" = "$title" ]
}

for case in '1 3000 60 1000 0' '2 40000 20 0.004 0' '3 2000 1200 25000000 0' '4 500 0.1 3 0'; do
  set -- $case
  log "$@" >log.csv
  seed=$1
  # --si: only the margins; the labels read back as the same numbers.
  for opts in '' '-r 3' '-p'; do
    trendle $opts log.csv want.png $W $H s || fail "log $seed, $opts: the run"
    charts "log $seed, --si $opts" log.csv only_margins --si $opts
    trendle -g $opts log.csv grid.png $W $H s || fail "log $seed, -g $opts: the run"
    values grid.png want.png >plain.txt || fail "log $seed, -g $opts: labels"
    trendle --si $opts log.csv plain_si.png $W $H s || fail "log $seed, --si $opts: the run"
    trendle --si -g $opts log.csv grid_si.png $W $H s || fail "log $seed, --si -g $opts: the run"
    values grid_si.png plain_si.png >si.txt || fail "log $seed, --si -g $opts: labels"
    same_numbers "$([ "$opts" = -p ] && echo 1)" || fail "log $seed, --si -g $opts: $(tr '\n' ' ' <si.txt) against $(tr '\n' ' ' <plain.txt)"
  done
  # -D and --elapsed: only the time labels; with -g only the grid.
  for opts in -D --elapsed; do
    trendle log.csv want.png $W $H s || fail "log $seed: the run"
    charts "log $seed, $opts" log.csv only_times $opts
    # -D leaves the grid's lines where they were; --elapsed moves them.
    if [ "$opts" = -D ]; then
      trendle -g log.csv want.png $W $H s || fail "log $seed, -g: the run"
      charts "log $seed, $opts -g" log.csv only_times $opts -g
    fi
    trendle $opts log.csv want.png $W $H s || fail "log $seed, $opts: the run"
    charts "log $seed, $opts -g against no grid" log.csv only_grid $opts -g
  done
  # --elapsed on the log shifted by days, in other zones.
  trendle --elapsed -g log.csv want.png $W $H s || fail "log $seed, --elapsed -g: the run"
  log $1 $2 $3 $4 400 >shifted.csv
  for zone in UTC America/New_York Australia/Lord_Howe; do
    TZ=$zone charts "log $seed shifted, --elapsed -g, TZ=$zone" shifted.csv bytes --elapsed -g
  done
  # --title: the chart under a row of its own.
  title="Log $seed: a title"
  trendle -g log.csv want.png $W $((H - 19)) s || fail "log $seed, -g: the run"
  charts "log $seed, --title" log.csv titled -g --title="$title"
done
