# The time letters f, b, p and z, and -u, each against the log rewritten by hand, over
# generated logs: both charts the same bytes, or the same but for the band of the time labels
# where the rewriting moves the times themselves. The letters' side is read from a file,
# through a pipe and from a gzip file. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"

# same WHAT LOG TFORM REWRITTEN TFORM2 [LABELS]: trendle $opts on LOG with TFORM under TZ=$tz
# draws what trendle on REWRITTEN with TFORM2 draws under TZ=UTC; with LABELS, but for the
# last 13 rows, where the time labels are.
same() {
  what=$1 log=$2 tform=$3 rewritten=$4 tform2=$5 labels=${6:-}
  trendle "$rewritten" want.png 400 240 "$tform2" || fail "$what: the rewritten log"
  alike() {
    if [ -n "$labels" ]; then trendle-pngcmp got.png want.png 13 2>pngcmp.err || { grep -v "^libpng warning" pngcmp.err >&2; false; }; else cmp -s got.png want.png; fi
  }
  TZ=$tz trendle $opts "$log" got.png 400 240 "$tform" && alike || fail "$what, file"
  TZ=$tz trendle $opts /dev/stdin got.png 400 240 "$tform" <"$log" && alike || fail "$what, pipe"
  gzip -c "$log" >log.gz
  TZ=$tz trendle $opts log.gz got.png 400 240 "$tform" && alike || fail "$what, gzip"
}

# base SEED LINES FIELDS START STEP: records as "seconds,eighths,cells...", the seconds from
# START on by 0 to STEP, so that several may share a second; empty, bad and exponent cells,
# and now and then a comment line.
base() {
  awk -v seed="$1" -v n="$2" -v k="$3" -v t="$4" -v step="$5" "$cells"'
    BEGIN {
      srand(seed)
      for (i = 0; i < n; i++) {
        if (rand() < 0.05) {
          print "# note 1/2"
          continue
        }
        t += int(rand() * (step + 1))
        line = t "," int(rand() * 8)
        for (j = 0; j < k; j++) line = line "," cell()
        print line
      }
    }'
}

# write FORM [SHIFT]: base.csv with its time written in FORM, SHIFT seconds on.
write() {
  awk -F, -v form="$1" -v shift="${2:-0}" -v seed="$seed" '
    function utc(f, t) { return strftime(f, t, 1) }
    function digits(t, e, d, m) {  # d digits below the second, the same for a record each time
      m = 10 ^ d
      return sprintf("%0" d "d", (t * 7919 + e * 104729) - int((t * 7919 + e * 104729) / m) * m)
    }
    function month(m, r) {
      r = rand()
      if (m == 9 && r < 0.2) return "Sept"
      if (r < 0.4) return substr(names[m], 1, 3)
      if (r < 0.6) return toupper(names[m])
      if (r < 0.8) return tolower(substr(names[m], 1, 3))
      return names[m]
    }
    function clock12(t, h, r) {
      h = utc("%H", t) + 0
      r = int(rand() * 4)
      return (h % 12 == 0 ? 12 : h % 12) utc(".%M ", t) (h < 12 ? am[r] : pm[r])
    }
    function offset(t, o) {
      o = int(rand() * 6)
      return utc("%Y-%m-%dT%H:%M:%S", t + minutes[o] * 60) suffix[o]
    }
    function stamp(t, e) {
      if (form == "whole") return utc("%Y-%m-%d %H:%M:%S", t)
      if (form == "zeros") return utc("%Y-%m-%d %H:%M:%S.000", t)
      if (form == "eighths") return utc("%Y-%m-%d %H:%M:%S.", t) sprintf("%03d", e * 125)
      if (form == "unix") return sprintf("%.0f", t)
      if (form == "unix_eighths") return t "." sprintf("%03d", e * 125)
      if (form == "times_8") return sprintf("%.0f", 8 * t + e)
      if (form ~ /^unix_[369]$/) return t digits(t, e, substr(form, 6))
      if (form ~ /^point_[369]$/) return t "." digits(t, e, substr(form, 7))
      if (form == "time_of_day") return utc("%H:%M:%S", t)
      if (form == "month_numbers") return utc("%d-%m-%Y %H:%M:%S", t)
      if (form == "month_names") return utc("%d-", t) month(utc("%m", t) + 0) utc("-%Y %H:%M:%S", t)
      if (form == "clock_24") return utc("%m/%d/%Y %H.%M", t)
      if (form == "clock_12") return utc("%m/%d/%Y ", t) clock12(t)
      if (form == "offsets") return offset(t)
    }
    BEGIN {
      srand(seed)
      split("January February March April May June July August September October November December", names, " ")
      split("AM am a.m. A.M.", am, " ")
      split("PM pm p.m. P.M.", pm, " ")
      am[0] = am[4]; pm[0] = pm[4]
      split("0 60 -300 330 -480 480", minutes, " ")
      split("Z +01:00 -0500 +05:30 -08:00 +08", suffix, " ")
      minutes[0] = minutes[6]; suffix[0] = suffix[6]
    }
    /^#/ { print; next }
    {
      t = $1 + shift
      line = stamp(t, $2)
      for (i = 3; i <= NF; i++) line = line "," $i
      print line
    }' base.csv
}

# bounds FORM TFORM [OPTION...]: --from and --to at the time fields a third and two thirds into
# the sorted times of the log written in FORM, as it writes them, chart the log with the records
# outside them deleted (the forms below sort as their times do): a bound is read as the log's
# lines are, however few numbers TFORM has.
bounds() {
  form=$1 tform=$2
  shift 2
  write "$form" >bounds.csv
  grep -v '^#' bounds.csv | cut -d, -f1 | LC_ALL=C sort >fields
  n=$(wc -l <fields)
  from=$(sed -n "$((n / 3 + 1))p" fields) to=$(sed -n "$((n * 2 / 3 + 1))p" fields)
  awk -F, -v from="$from" -v to="$to" '/^#/ || ($1 >= from && $1 <= to)' bounds.csv >windowed.csv
  trendle "$@" windowed.csv want.png 400 240 "$tform" || fail "bounds in $form: the rewritten log"
  trendle "$@" --from="$from" --to="$to" bounds.csv got.png 400 240 "$tform" &&
    cmp -s got.png want.png || fail "bounds in $form ($tform $*), file"
  trendle "$@" --from="$from" --to="$to" /dev/stdin got.png 400 240 "$tform" <bounds.csv &&
    cmp -s got.png want.png || fail "bounds in $form ($tform $*), pipe"
  gzip -c bounds.csv >log.gz
  trendle "$@" --from="$from" --to="$to" log.gz got.png 400 240 "$tform" &&
    cmp -s got.png want.png || fail "bounds in $form ($tform $*), gzip"
}

opts="" tz=UTC
for seed in 1 2 3 4 5 6; do
  lines=$((20 + seed * 37 % 90))
  fields=$((1 + seed % 4))
  # From 08:00 on some day of 2023 to 2026, within the day.
  base "$seed" "$lines" "$fields" $((1700006400 + 86400 * (seed * 173 % 1000) + 28800)) $((seed % 4)) >base.csv

  write whole >whole.csv
  same "...Sf on whole seconds" whole.csv YmdHMSf whole.csv YmdHMS
  printf %s "$(cat whole.csv)" >unended.csv
  same "...Sf on whole seconds, no last newline" unended.csv YmdHMSf unended.csv YmdHMS
  write unix >unix.csv
  same "sf on whole seconds" unix.csv sf unix.csv s
  write time_of_day >day.csv
  same "HMSf on whole seconds" day.csv HMSf day.csv HMS
  write zeros >zeros.csv
  same "...Sf on fractions of 0" zeros.csv YmdHMSf whole.csv YmdHMS

  # Times in eighths of a second are exact in binary: the chart is that of the times x 8.
  write times_8 >times_8.csv
  write eighths >eighths.csv
  same "...Sf on eighths" eighths.csv YmdHMSf times_8.csv s labels
  write unix_eighths >unix_eighths.csv
  same "sf on eighths" unix_eighths.csv sf times_8.csv s labels

  for unit in ms us ns; do
    d=$(case $unit in ms) echo 3 ;; us) echo 6 ;; ns) echo 9 ;; esac)
    write unix_$d >units.csv
    write point_$d >points.csv
    opts="-u $unit"
    same "-u $unit" units.csv s points.csv sf
    opts=""
  done

  bounds whole YmdHMS
  bounds eighths YmdHMSf
  bounds clock_24 mdYHM
  bounds time_of_day HMS
  bounds unix s
  bounds unix_eighths sf
  bounds point_3 sf
  bounds unix_3 s -u ms

  # Times at or before 1970 are charted like any other: times of day (read as 1899), seconds
  # from 0, a log of 1956 (the calendar of 2012).
  same "HMS, times of day" day.csv HMS whole.csv YmdHMS
  first=$(awk -F, '!/^#/ { print $1; exit }' base.csv)
  write unix $((-first)) >from_0.csv
  write unix $((1700006400 - first)) >from_2023.csv
  same "s from 0" from_0.csv s from_2023.csv s

  # Up to ten days apart from 2012 on: every month and hour, and changes of summer time.
  base "$seed" "$lines" "$fields" 1325376000 864000 >base.csv
  write whole >whole.csv
  write month_names >names.csv
  write month_numbers >numbers.csv
  same "b" names.csv dbYHMS numbers.csv dmYHMS
  write clock_12 >clock_12.csv
  write clock_24 >clock_24.csv
  same "p" clock_12.csv mdYHMp clock_24.csv mdYHM
  write offsets >offsets.csv
  same "z under UTC" offsets.csv YmdHMSz whole.csv YmdHMS
  for tz in America/New_York Europe/London Asia/Kolkata; do
    same "z under $tz" offsets.csv YmdHMSz whole.csv YmdHMS labels
  done
  tz=UTC

  write whole -1767225600 >1956.csv
  same "a log of 1956" 1956.csv YmdHMS whole.csv YmdHMS
done
