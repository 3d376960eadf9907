# The line options (--gap, --join, --style) against the default reading of the log rewritten by
# hand, over generated logs with irregular steps, outages, records at equal times and now and then
# one out of time order; each log plainly and one other way (in a window, -g, -p, -r 3). The
# options' side is read from a file, through a pipe and from a gzip file; the first logs are long
# enough for threads to share them out. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=400 H=240
record='^[0-9][0-9]/01/01 [0-9][0-9]:[0-9][0-9]:[0-9][0-9],'  # a record of the logs below

# Awk helpers for a record line: its time in seconds, the record with its cells emptied, a time
# written as the logs write it, and whether a cell holds a value.
lib='
    function t(line) {
      return (substr(line, 1, 2) - 1) * 86400 + substr(line, 10, 2) * 3600 + \
             substr(line, 13, 2) * 60 + substr(line, 16, 2)
    }
    function blank(line, c) {
      c = substr(line, 18)
      gsub(/[^,]/, "", c)
      return substr(line, 1, 17) c
    }
    function stamp(s) {
      return sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(s / 86400), int(s % 86400 / 3600),
                     int(s % 3600 / 60), s % 60)
    }
    function valued(c) { return c != "" && c != "x" && c != "nan" }'

# viewed WHAT LOG CHECK OPTION...: charts, with the window and $extra before the options.
viewed() {
  what="$1$also" log=$2 check=$3
  shift 3
  charts "$what" "$log" "$check" ${from:+--from="$from"} ${to:+--to="$to"} $extra "$@"
}

bytes() { cmp -s got.png want.png; }

# same WHAT OPTIONED DEFAULT OPTION...: the options on OPTIONED draw what $extra alone draws on
# DEFAULT (the window's records of OPTIONED, rewritten).
same() {
  what=$1 optioned=$2 default=$3
  shift 3
  trendle $extra "$default" want.png $W $H || fail "$what$also: the default run"
  viewed "$what" "$optioned" bytes "$@"
}

# log SEED LINES FIELDS STEP MAKE: a log in the usual layout, FIELDS cells a record from the awk
# function make(j) (j the series); records 1 to STEP seconds apart, a tenth at the time of the one
# before, some after an outage of 20 to 120 steps, a few 5M - 1 or 5M + 1 seconds after the one
# before (M the median step: just outside what --gap=auto may take for five times it), now and
# then one 10 to 20 steps before the one before; comment and blank lines and lines without a time.
log() {
  awk -v seed="$1" -v n="$2" -v k="$3" -v step="$4" "$cells$5$lib"'
    BEGIN {
      srand(seed)
      s = 90000
      m = int((step + 1) / 2)
      for (i = 0; i < n; i++) {
        r = rand()
        if (r < 0.04) {
          print r < 0.01 ? "# note 1/2" : r < 0.02 ? "" : ",1,2"
          continue
        }
        r = rand()
        s += r < 0.1 ? 0 : r < 0.985 ? 1 + int(rand() * step) : \
             r < 0.99 ? 5 * m - 1 + 2 * int(rand() * 2) : step * (20 + int(rand() * 100))
        line = stamp(rand() < 0.01 ? s - step * (10 + int(rand() * 10)) : s)
        for (j = 0; j < k; j++) line = line "," make(j)
        print line
      }
    }'
}
any='function make(j) { return cell() }'
# Series j between 100j and 100j + 10, far apart, nearly a quarter without a value.
banded='function make(j, r) {
      r = rand()
      return r < 0.15 ? "" : r < 0.2 ? "x" : r < 0.23 ? "nan" : sprintf("%.2f", 100 * j + rand() * 10)
    }'
# Halves from 1.5 to 101.5: a row each on a scale of a unit a row.
halves='function make(j, r) {
      r = rand()
      return r < 0.1 ? "" : r < 0.15 ? "x" : 1.5 + int(rand() * 101)
    }'

# seconds: the time of each record on standard input, in file order.
seconds() { awk -v record="$record" "$lib"'$0 ~ record { print t($0) }'; }

# stamp T: T seconds as the logs write it.
stamp() { awk "$lib"'BEGIN { print stamp('"$1"') }'; }

# at P: the time of the record P% of the way through the records of the log in `times`.
at() { sed -n "$((1 + $(wc -l <times) * $1 / 100))p" times; }

# view LOG A B: base.csv, LOG's records charted: in a window, those from A to B seconds, and
# from and to set to them; else all.
view() {
  from= to=
  case $also in *window) from=$(stamp "$2") to=$(stamp "$3") ;; esac
  awk -v record="$record" -v a="$2" -v b="$3" -v all="${from:-1}" "$lib"'
    all == 1 || $0 !~ record || (t($0) >= a && t($0) <= b)' "$1" >base.csv
}

# steps: of the records on standard input, in file order, the least, the median and the most
# positive step in seconds; then five times the median in ms, or 0 where the median is unclear
# (two middle steps) or some step lies within 1% of five times it.
steps() {
  awk -v record="$record" "$lib"'
    $0 ~ record {
      d = t($0) - then
      if (seen++ && d > 0) { ++count[d]; ++n; if (d > most) most = d }
      then = t($0)
    }
    END {
      for (d = 1; d <= most; d++) {
        if (!(d in count)) continue
        if (!least) least = d
        if (sum < int((n + 1) / 2) && sum + count[d] >= int((n + 1) / 2)) lo = d
        if (sum < int(n / 2) + 1 && sum + count[d] >= int(n / 2) + 1) hi = d
        sum += count[d]
      }
      auto = lo == hi ? 5 * lo : 0
      for (d in count) if (d + 0 >= auto * 0.99 && d + 0 <= auto * 1.01) auto = 0
      print least, lo, most, auto * 1000
    }'
}

# gaps MS: the log on standard input with an empty record before each record more than MS
# milliseconds after the record before it (0: none).
gaps() {
  awk -v ms="$1" -v record="$record" "$lib"'
    $0 ~ record {
      if (seen && ms > 0 && (t($0) - then) * 1000 > ms) print blank($0)
      seen = 1
      then = t($0)
    }
    { print }'
}

# held MS: the log on standard input with, before each record but the first, a record at its time
# holding the cells of the record before; after a gap of more than MS ms, an empty one instead.
held() {
  awk -v ms="$1" -v record="$record" "$lib"'
    $0 ~ record {
      if (seen && ms > 0 && (t($0) - then) * 1000 > ms) print blank($0)
      else if (seen) print substr($0, 1, 17) substr(before, 18)
      seen = 1
      then = t($0)
      before = $0
    }
    { print }'
}

# alone K: series K of the log on standard input by itself, its records without a value left out.
alone() {
  awk -F, -v f=$(($1 + 2)) -v record="$record" "$lib"'$0 ~ record && valued($f) { print $1 "," $f }'
}

# squares K: each value of the log on standard input as its 3x3 square drawn by lines, at K
# seconds a pixel and a unit a row: lines from K seconds before it to K after, a row above, at
# and below it, each between empty records; series by series, record by record.
squares() {
  awk -F, -v k="$1" -v record="$record" "$lib"'
    function only(s, i, v, line, j) {
      line = stamp(s)
      for (j = 2; j <= NF; j++) line = line "," (j == i ? v : "")
      return line
    }
    $0 ~ record {
      print blank($0)
      for (i = 2; i <= NF; i++) {
        if (!valued($i)) continue
        for (dy = -1; dy <= 1; dy++) {
          print only(t($0) - k, i, $i + dy) "\n" only(t($0) + k, i, $i + dy) "\n" blank($0)
        }
      }
    }'
}

# Each series of the --join chart in the plot area is the series alone, joined by hand; the key
# is left out.
joined() {
  trendle-pngcmp --series $rect got.png alone0.png alone1.png 2>pngcmp.err ||
    { grep -v "^libpng warning" pngcmp.err >&2; false; }
}

for seed in 1 2 3 4; do
  lines=$((300 + seed * 397 % 900)) step=$((20 + seed * 7 % 20))
  [ $seed = 1 ] && lines=40000 step=29
  log $seed $lines $((2 + seed % 2)) $step "$any" >log.csv
  log $seed $lines 2 $step "$banded" >two.csv
  echo "$(stamp $(($(seconds <two.csv | tail -n 1) + 60))),4.5," >>two.csv  # series 1 ends earlier
  [ $seed = 1 ] && lines=12000
  log $seed $lines 2 $step "$halves" >dots.csv
  # Each log plainly and one other way: the long one in a window.
  for also in "" "$(echo " in a window| with -g| with -p| with -r 3" | cut -d '|' -f $seed)"; do
    # The plot area's width, and its rows less one (of each of the two bands with -p).
    extra= plot=$((W - 20)) top=$((H - 39))
    case $also in
      *-g) extra=-g ;;
      *-p) extra=-p top=$(((H - 38) / 2 - 1)) ;;
      *-r*) extra='-r 3' plot=$((W - 39)) ;;
    esac

    # --gap and --style=steps: empty records and held values put in.
    seconds <log.csv >times
    view log.csv "$(at 25)" "$(at 75)"
    set -- $(steps <base.csv)
    least=$1 middle=$2 most=$3 auto=$4 minutes=$((($2 + 59) / 60))
    gaps $((least * 1000)) <base.csv >want.csv
    same "--gap=${least}s" log.csv want.csv --gap=${least}s
    [ -z "$also" ] && same "--gap=$((least * 1000))ms" log.csv want.csv --gap=$((least * 1000))ms
    gaps $((minutes * 60000)) <base.csv >want.csv
    same "--gap=${minutes}m" log.csv want.csv --gap=${minutes}m
    gaps $((middle * 1000 - 1)) <base.csv >want.csv
    same "--gap=$((middle * 1000 - 1))ms" log.csv want.csv --gap=$((middle * 1000 - 1))ms
    same "--gap=${most}s" log.csv base.csv --gap=${most}s
    if [ "$auto" -gt 0 ]; then
      gaps "$auto" <base.csv >want.csv
      same "--gap=auto (${auto}ms)" log.csv want.csv --gap=auto
    fi
    held 0 <base.csv >want.csv
    same "--style=steps" log.csv want.csv --style=steps
    held $((middle * 1000)) <base.csv >want.csv
    same "--style=steps --gap=${middle}s" log.csv want.csv --style=steps --gap=${middle}s
    [ -z "$also" ] && same "--style=line" log.csv base.csv --style=line

    # --style=points: the squares drawn by lines, on a log padded to a span of K seconds a pixel
    # and a scale of a unit a row; neither --join nor --gap draws a line between them.
    seconds <dots.csv >times
    a=$(at 0) end=$(tail -n 1 times)
    case $also in *window) a=$(at 20) end=$(at 60) ;; esac
    k=1
    while [ $((plot * k)) -lt $((end - a)) ]; do k=$((k * 2)); done
    awk -v a="$a" -v b=$((a + plot * k)) "$lib"'
      NR == 1 { print stamp(a) ",," } { print } END { print stamp(b) ",," }' dots.csv >padded.csv
    view padded.csv "$a" $((a + plot * k))
    squares $k <base.csv >want.csv
    kept=$extra extra="$extra --min=0 --max=$top"
    same "--style=points (a pixel $k s)" padded.csv want.csv --style=points
    viewed "--style=points --join --gap=1s" padded.csv bytes --style=points --join --gap=1s
    extra=$kept

    # --join: each series as its values alone, rewritten as above, between empty records at the
    # first and last times, on one value range. Bands (-p) would differ in height from the series
    # alone.
    case $also in *-p) continue ;; esac
    seconds <two.csv >times
    view two.csv "$(at 25)" "$(at 75)"
    seconds <base.csv >times
    first="$(stamp "$(at 0)")," last="$(stamp "$(tail -n 1 times)"),"
    set -- $(steps <base.csv)
    solo=$extra width=$W rect="0 19 $((W - 1)) $((H - 1))"
    case $also in *-r*) solo= width=$((W - 19)) rect="19 19 $((W - 20)) $((H - 1))" ;; esac
    for rewrite in "gaps 0|" "gaps $(($2 * 1000))| --gap=$2s" "gaps $4| --gap=auto" \
      "held 0| --style=steps" "held $(($2 * 1000))| --style=steps --gap=$2s"; do
      [ "$rewrite" = "gaps 0| --gap=auto" ] && continue  # no exact auto gap
      for k in 0 1; do
        { echo "$first" && alone $k <base.csv | ${rewrite%|*} && echo "$last"; } >alone.csv
        trendle $solo --min=-5 --max=115 alone.csv alone$k.png $width $H || fail "alone $k: the run"
      done
      viewed "--join${rewrite#*|}" two.csv joined --join --min=-5 --max=115 ${rewrite#*|}
    done
  done
done
