# Each reading option against the default reading of the log rewritten by hand, over generated
# logs: both charts must be the same bytes. The option's side is read from a file, through a
# pipe and from a gzip file; the first log is long enough for threads to share it out.
# Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"

# same WHAT OPTIONED DEFAULT TFORM OPTION...: the options on OPTIONED draw what no option
# draws on DEFAULT.
same() {
  what=$1 optioned=$2 default=$3 tform=$4
  shift 4
  trendle "$default" want.png 400 240 $tform || fail "$what: the default run"
  trendle "$@" "$optioned" got.png 400 240 $tform && cmp -s got.png want.png || fail "$what, file"
  trendle "$@" /dev/stdin got.png 400 240 $tform <"$optioned" && cmp -s got.png want.png ||
    fail "$what, pipe"
  gzip -c "$optioned" >optioned.gz
  trendle "$@" optioned.gz got.png 400 240 $tform && cmp -s got.png want.png || fail "$what, gzip"
}

# log SEED LINES FIELDS COMMENTS: a log in the usual layout, FIELDS values a record, with
# empty, bad and exponent cells; with COMMENTS 1, also comment and blank lines.
log() {
  awk -v seed="$1" -v n="$2" -v k="$3" -v comments="$4" "$cells"'
    BEGIN {
      srand(seed)
      for (i = 0; i < n; i++) {
        if (comments && rand() < 0.05) {
          print rand() < 0.5 ? "# note 1/2" : ""
          continue
        }
        s += 1 + int(rand() * 30)
        line = sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(s / 86400) % 28, int(s % 86400 / 3600),
                       int(s % 3600 / 60), s % 60)
        for (j = 0; j < k; j++) line = line "," cell()
        print line
      }
    }'
}

for seed in 1 2 3 4 5 6 7 8 9 10 11 12; do
  lines=$((20 + seed * 37 % 90))
  [ "$seed" = 1 ] && lines=40000
  fields=$((1 + seed % 9))
  log "$seed" "$lines" "$fields" 1 >log.csv

  tr , ';' <log.csv >semicolons.csv
  same "-d ;" semicolons.csv log.csv "" -d ';'
  tr , '\t' <log.csv >tabs.csv
  same "-d tab" tabs.csv log.csv "" -d tab
  tr ,. ';,' <log.csv >decimal_commas.csv
  same "--decimal-comma" decimal_commas.csv log.csv "" --delimiter=';' --decimal-comma

  skip=$((seed % 5))
  tail -n +$((skip + 1)) log.csv >skipped.csv
  same "--skip=$skip" log.csv skipped.csv "" --skip=$skip
  # A header of empty names leaves the key numbered.
  header=$((1 + seed % 4))
  awk -v h=$header 'NR == h { print "time, ,\"\", \" \" " } { print }' log.csv >headed.csv
  same "--header=$header" headed.csv log.csv "" --header=$header
  awk -v s=$skip -v h=$header 'NR > s && NR != h' headed.csv >neither.csv
  same "--skip=$skip --header=$header" headed.csv neither.csv "" --skip=$skip -H$header

  # The time moved to field t of every line (no comments: they would move too).
  log "$seed" "$lines" "$fields" 0 >plain.csv
  t=$((2 + seed % fields))
  awk -F, -v OFS=, -v t=$t '{ f = $1; for (i = 1; i < t; i++) $i = $(i + 1); $t = f; print }' \
    plain.csv >moved.csv
  same "-t $t" moved.csv plain.csv "" -t $t

  # Some of 12 value fields, in a shuffled order, consecutive ones as a range; a header
  # names each listed field by its series number, so that the key is the default's.
  log "$seed" "$lines" 12 1 >wide.csv
  awk -v seed="$seed" 'BEGIN {
      srand(seed)
      for (f = 2; f <= 13; f++) order[f - 1] = f
      for (i = 12; i > 1; i--) { j = 1 + int(rand() * i); x = order[i]; order[i] = order[j]; order[j] = x }
      m = 1 + seed % 8
      for (i = 1; i <= m; i = j) {
        for (j = i + 1; j <= m && order[j] == order[j - 1] + 1; j++) {}
        list = list (i > 1 ? "," : "") order[i] (j - 1 > i ? "-" order[j - 1] : "")
      }
      print list
    }' >list
  list=$(cat list)
  awk -F, -v OFS=, -v list="$list" 'BEGIN {
      m = split(list, items, ",")
      for (i = 1; i <= m; i++) {
        if (split(items[i], r, "-") == 1) r[2] = r[1]
        for (f = r[1]; f <= r[2]; f++) listed[++count] = f
      }
      header = "time"
      for (f = 2; f <= 13; f++) {
        name = "field " f
        for (i = 1; i <= count; i++) if (listed[i] == f) name = i - 1
        header = header "," name
      }
      print header >"named.csv"
    }
    { print >"named.csv"; line = $1; for (i = 1; i <= count; i++) line = line OFS $(listed[i]); print line }' \
    wide.csv >reduced.csv
  same "-c $list" named.csv reduced.csv "" -H -c "$list"
done
