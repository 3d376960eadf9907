# --by against each text's rows charted alone, over generated long logs: a row per sensor, its
# text in field 2 (plain, quoted around a delimiter, with a doubled quote, blank-padded, empty,
# quoted around a line break, first seen late, or one of more texts than have series) and its
# value in field 3 (empty or not a number at times), the values of the k-th text to appear
# between 10k and 10k + 8 so that no line covers another's. Each text's chart alone is drawn on
# the same span and scale: --min and --max, an empty row of its text at the log's first time
# where its own rows start later, and a last row of each text at the log's last time, empty.
# Then a log of one text against -c with that text as its name. Each from a file, a pipe and a
# gzip file, one log long enough for the threads to share it out. Prints the first relation
# that fails and exits 1.
. "$CASES/relations.sh"
W=400 H=400

bytes() { cmp -s got.png want.png; }

# The plot area and the time labels: the key and the value labels differ.
each_alone() {
  trendle-pngcmp --series 19 19 $((W - 1)) $((H - 1)) got.png $alone 2>pngcmp.err ||
    { grep -v "^libpng warning" pngcmp.err >&2; false; }
}

# logs SEED ROWS TEXTS SHUFFLED: long.csv and alone.K.csv for the K-th text to appear (K from
# 0), and in `seen` how many texts appeared. SHUFFLED: rows at random times after the first.
logs() {
  LC_ALL=C awk -v seed="$1" -v n="$2" -v texts="$3" -v shuffled="$4" '
    function put(t, s, v, line) {
      line = sprintf("%02d/01/01 %02d:%02d:%02d,%s,%s,%d", 1 + int(t / 86400),
                     int(t % 86400 / 3600), int(t % 3600 / 60), t % 60, written[s], v, s)
      print line >"long.csv"
      print line >("alone." order[s] ".csv")
    }
    BEGIN {
      srand(seed)
      split("a|\"c,d\"|\"f\"\"g\"| e ||\"h\ni\"", written, "|")
      for (s = 7; s <= texts; s++) written[s] = "t" s
      late = texts > 1 ? texts + 1 : 1
      if (texts > 1) written[late] = "late"
      print "time,sensor,value,other" >"long.csv"
      for (i = 0; i < n; i++) {
        s = 1 + int(rand() * (i < n / 2 ? texts : late))
        t = shuffled && i > 0 ? 1 + int(rand() * (n - 1)) : i
        if (!(s in order)) {
          order[s] = seen++
          print "time,sensor,value,other" >("alone." order[s] ".csv")
          if (i > 0) put(0, s, "")
        }
        r = rand()
        put(7 * t, s, r < 0.05 ? "" : r < 0.08 ? "x" : sprintf("%.2f", 10 * order[s] + rand() * 8))
      }
      for (s = 1; s <= late; s++) if (s in order) put(7 * n, s, "")
      print seen >"seen"
    }'
  seen=$(cat seen)
  [ "$seen" -le 32 ] || seen=32
}

# Each case: the log, then --by's options, each also given to the charts alone.
for case in '1 3000 5 0|--by=2 -c 3||--style=steps --gap=90s|--style=points|--join -g' \
  '2 40000 36 0|--by=2 -c 3||--style=steps|--gap=40s --join' \
  '3 3000 8 1|-H --by=sensor -c value|--sort|--sort --style=steps'; do
  gen=${case%%|*} rest=${case#*|}
  by=${rest%%|*} rest=${rest#*|}
  logs $gen
  M=$((10 * seen))
  hold=$(echo "$by" | sed 's/--by=[^ ]* //')
  while :; do
    other=${rest%%|*}
    alone=""
    k=0
    while [ $k -lt "$seen" ]; do
      trendle $hold --min=0 --max=$M $other alone.$k.csv alone$k.png $W $H ||
        fail "log $gen, text $k alone, $other: the run"
      alone="$alone alone$k.png"
      k=$((k + 1))
    done
    charts "log $gen, $by $other" long.csv each_alone $by --min=0 --max=$M $other
    [ "$rest" = "$other" ] && break
    rest=${rest#*|}
  done
done

# A log of one text is -c with that text as its only name; with -p one band; in a window.
for case in '4 3000 1 0|' '5 3000 1 0|--gap=auto' '6 40000 1 0|--style=steps' \
  '7 3000 1 1|--sort --gap=auto' '8 3000 1 0|-p -g' '9 3000 1 0|--join --style=points' \
  '10 3000 1 0|--last=2h' '11 40000 1 0|--from=01/01/01-01:00:00 --to=02/01/01-04:00:00'; do
  gen=${case%%|*} other=${case#*|}
  logs $gen
  trendle --names=a -c 3 $other long.csv want.png $W $H || fail "log $gen, $other: -c 3"
  charts "log $gen, one text, $other" long.csv bytes --by=2 -c 3 $other
done
