# The view options (--panels, --right, --min, --max) and the window (--from, --to, --last),
# each against the default reading of the log rewritten by hand, or of each series alone, over
# generated logs. The options' side is read from a file, through a pipe and from a gzip file;
# the first logs are long enough for threads to share them out, and for --last to read back
# from the end in several parts. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=400 H=240
record='^[0-9][0-9]/01/01 [0-9][0-9]:[0-9][0-9]:[0-9][0-9]'  # a record of the logs below

bytes() { cmp -s got.png want.png; }

pixels() {
  trendle-pngcmp "$@" 2>pngcmp.err || { grep -v "^libpng warning" pngcmp.err >&2; false; }
}

# same WHAT OPTIONED DEFAULT OPTION...: the options on OPTIONED draw what no option draws on
# DEFAULT.
same() {
  what=$1 optioned=$2 default=$3
  shift 3
  trendle "$default" want.png $W $H || fail "$what: the default run"
  charts "$what" "$optioned" bytes "$@"
}

# log SEED LINES FIELDS STEP: a log in the usual layout from 01/01/01 on, records 1 to STEP
# seconds apart, FIELDS values a record, with empty, bad and exponent cells; comment and blank
# lines, lines without a time, and now and then a record out of time order.
log() {
  awk -v seed="$1" -v n="$2" -v k="$3" -v step="$4" "$cells"'
    BEGIN {
      srand(seed)
      for (i = 0; i < n; i++) {
        r = rand()
        if (r < 0.06) {
          print r < 0.02 ? "# note 1/2" : r < 0.04 ? "" : ",1,2"
          continue
        }
        t = s += 1 + int(rand() * step)
        if (r > 0.99 && s > 600) t = s - int(rand() * 600)
        line = sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(t / 86400), int(t % 86400 / 3600),
                       int(t % 3600 / 60), t % 60)
        for (j = 0; j < k; j++) line = line "," cell()
        print line
      }
    }'
}

# stamp T: T seconds after 01/01/01 00:00:00 as the logs write it.
stamp() {
  printf '%02d/01/01 %02d:%02d:%02d' $((1 + $1 / 86400)) $(($1 % 86400 / 3600)) \
    $(($1 % 3600 / 60)) $(($1 % 60))
}

# seconds: the time of each record on standard input, in seconds, in file order.
seconds() {
  awk -F '[/ :,]' -v record="$record" '$0 ~ record { print ($1 - 1) * 86400 + $4 * 3600 + $5 * 60 + $6 }'
}

# at P: the time of the record P% of the way through the records of the log in `times`.
at() { sed -n "$((1 + $(wc -l <times) * $1 / 100))p" times; }

# window WHAT LOG FROM TO LAST OPTION...: the options on LOG chart its records at or after
# FROM and at or before TO (seconds, "" for no bound) and, LAST being more than 0, at most LAST
# seconds before the last of those in file order and not after it: the default chart of LOG
# with the other records deleted and every other line kept.
window() {
  what=$1 log=$2
  awk -F '[/ :,]' -v record="$record" -v from="$3" -v to="$4" -v last="$5" '
    function time_of() {  # -1 for a line that is no record
      return $0 ~ record ? ($1 - 1) * 86400 + $4 * 3600 + $5 * 60 + $6 : -1
    }
    function inside(t) { return t >= lo && (to == "" || t <= to + 0) }
    BEGIN { lo = from == "" ? -1 : from + 0 }
    NR == FNR {
      if ((t = time_of()) >= 0 && inside(t)) { end = t; found = 1 }
      next
    }
    FNR == 1 && last > 0 && found {
      if (end - last > lo) lo = end - last
      to = end
    }
    (t = time_of()) < 0 || inside(t)' "$log" "$log" >windowed.csv
  shift 5
  same "$what" "$log" windowed.csv "$@"
}

# beyond P VALUE...: the log on standard input with, after its line P, a record without values
# and, for each VALUE, a record of VALUE in its first field followed by one without values. A
# record between records without values draws only its own point, and a record decades before
# the first one draws it off the image: it sets the value scale's ends and nothing else.
beyond() {
  awk -v p="$1" -v values="$2" -v k="$fields" '
    function valueless(line, j) {
      for (j = 0; j < k; j++) line = line ","
      return line
    }
    { print }
    NR == p {
      print valueless("01/01/01 12:00:00")
      n = split(values, v, " ")
      for (i = 1; i <= n; i++) print valueless("01/01/90 00:00:00," v[i]) "\n" valueless("01/01/01 12:00:00")
    }'
}

# The chart with -r of a two-series log, in the plot area and the time labels under it (the
# key and value labels excluded), is the two series charted alone, each at the plot area's width.
each_alone() {
  pixels --series 19 19 $((W - 20)) $((H - 1)) got.png alone0.png alone1.png
}

# In the margins above and below the plot area the charts are the same, but for the value
# labels at their left.
margins() {
  pixels got.png want.png 0 0 20 $((W - 1)) $((H - 19)) 0 0 18 $((H - 1))
}

for seed in 1 2 3 4; do
  lines=$((20 + seed * 37 % 90)) step=30
  [ "$seed" = 1 ] && lines=40000 step=60
  fields=$((1 + seed % 3))
  log "$seed" "$lines" "$fields" $step >log.csv
  seconds <log.csv >times
  first=$(at 0) end=$(tail -n 1 times) a=$(at 30) b=$(at 70)
  [ "$b" -gt "$a" ] || b=$((a + 1))  # records out of order may come there

  # The window, its bounds the log's own times and times between them.
  window "--from" log.csv "$a" "" 0 --from="$(stamp "$a")"
  window "--to" log.csv "" $((b + 1)) 0 --to="$(stamp $((b + 1)))"
  window "--from --to" log.csv $((a + 1)) "$b" 0 --from="$(stamp $((a + 1)))" --to="$(stamp "$b")"
  d=$((end - $(at 60)))
  [ $d -gt 0 ] || d=1
  window "--last=${d}s" log.csv "" "" $d --last=${d}s
  # Each unit that two thirds of the log's span holds at least once.
  for unit in s:1 m:60 h:3600 d:86400 w:604800; do
    n=$(((end - first) * 2 / 3 / ${unit#*:}))
    [ $n -gt 0 ] && window "--last=$n${unit%:*}" log.csv "" "" $((n * ${unit#*:})) --last=$n${unit%:*}
  done
  d=$(((b - a) / 60 + 1))
  window "--to --last" log.csv "" "$b" $((d * 60)) --to="$(stamp "$b")" --last=${d}m
  d=$((end - $(at 20)))
  [ $d -gt 0 ] || d=1
  window "--from --last" log.csv "$(at 50)" "" $d --from="$(stamp "$(at 50)")" --last=${d}s
  # A time field that cannot be read ends the run, counting the records charted before it.
  awk -v p=$((lines * 45 / 100)) -v q=$((lines * 9 / 10)) \
    'NR == p || NR == q { print "05/01/01 10:30" } { print }' log.csv >unreadable.csv
  window "--from --to, a bad time inside and after" unreadable.csv "$a" "$b" 0 \
    --from="$(stamp "$a")" --to="$(stamp "$b")"
  d=$((end - $(at 60)))
  [ $d -gt 0 ] || d=1
  window "--last, a bad time before and inside" unreadable.csv "" "" $d --last=${d}s
  # A record dated after the last one, early in the log, is outside the window.
  awk -v p=$((lines * 3 / 10)) -v at="$(stamp $((end + 3600)))" 'NR == p { print at ",1e6" } { print }' \
    log.csv >stray.csv
  window "--last, a stray record after the last" stray.csv "" "" $d --last=${d}s

  # Scales ending at the data's own smallest and largest values, as their cells write them.
  awk -F, -v record="$record" '$0 ~ record {
      for (i = 2; i <= NF; i++) {
        if ($i == "" || $i == "x") continue
        if (!seen || $i + 0 < lo + 0) lo = $i
        if (!seen || $i + 0 > hi + 0) hi = $i
        seen = 1
      }
    }
    END { print lo > "low"; print hi > "high" }' log.csv
  low=$(cat low) high=$(cat high)
  same "--min=$low --max=$high" log.csv log.csv --min="$low" --max="$high"
  same "--min=$low" log.csv log.csv --min="$low"
  same "--max=$high" log.csv log.csv --max="$high"
  # And beyond them, the ends of a log that has the ends as values.
  p=$((lines / 2))
  beyond $p "" <log.csv >gap.csv
  beyond $p "-75.5 1000.25" <log.csv >ends.csv
  same "--min=-75.5 --max=1000.25" gap.csv ends.csv --min=-75.5 --max=1000.25
  beyond $p "-75.5" <log.csv >ends.csv
  same "--min=-75.5" gap.csv ends.csv --min=-75.5
  beyond $p "1000.25" <log.csv >ends.csv
  same "--max=1000.25" gap.csv ends.csv --max=1000.25

  # Panels of one series in use: one band, the default chart.
  log "$seed" "$lines" 1 $step >one.csv
  same "-p, one field" one.csv one.csv -p
  log "$seed" "$lines" 3 $step >three.csv
  f=$((2 + seed % 3))
  awk -F, -v OFS=, -v record="$record" -v f=$f \
    '$0 ~ record { for (i = 2; i <= NF; i++) if (i != f) $i = i % 2 ? "x" : "" } { print }' \
    three.csv >only.csv
  same "-p, values in field $f of 3 only" only.csv only.csv -p
  trendle -c $f three.csv want.png $W $H || fail "-c $f: the run"
  charts "-p -c $f" three.csv bytes -p -c $f

  # Lines cut at the plot area's edges: none in the margins.
  trendle three.csv want.png $W $H || fail "--min=0 --max=40: the default run"
  charts "--min=0 --max=40 cut the lines" three.csv margins --min=0 --max=40
  trendle -p three.csv want.png $W $H || fail "-p --min=0 --max=40: the -p run"
  charts "-p --min=0 --max=40 cut the lines" three.csv margins -p --min=0 --max=40

  # A right scale: each series as if charted alone on a chart 19 pixels narrower.
  log "$seed" "$lines" 2 $step >two.csv
  trendle -c 2 two.csv alone0.png $((W - 19)) $H || fail "-c 2: the run"
  trendle -c 3 two.csv alone1.png $((W - 19)) $H || fail "-c 3: the run"
  charts "-r 3" two.csv each_alone -r 3
  charts "-r 2" two.csv each_alone -r 2
done
