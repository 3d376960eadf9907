# --match against the log with the rows it passes over deleted by hand (other lines kept), over
# generated long logs: a row per sensor, the sensor's text in field 2 (plain, quoted around a
# delimiter, with a doubled quote, blank-padded, empty, or first seen late) and a unit last, in
# field 5 (before a CR LF at times); rows of other sensors whose time cannot be read; rows cut
# short before the unit; comments. One text, several texts of one field
# (any), and texts of two fields (each); by number and by -H name; with -p, --gap=auto, --sort,
# -g and a window; from a file, a pipe and a gzip file, one log long enough for the threads to
# share it out. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=400 H=200

bytes() { cmp -s got.png want.png; }

# logs SEED ROWS: long.csv, and kept.K.csv for each target K below: the rows whose sensor (and,
# for K = 5, unit) is what target K asks, the header and the comments.
logs() {
  LC_ALL=C awk -v seed="$1" -v n="$2" "$cells"'
    function put(line, k) {
      print line >"long.csv"
      for (k = 1; k <= 5; k++) if (keep[k]) print line >("kept." k ".csv")
    }
    BEGIN {
      srand(seed)
      # A sensor as written, and its text: which targets keep its rows.
      split("a|\"c,d\"|\"f\"\"g\"| e |\"\"||b|late", written, "|")
      split("a|c,d|f\"g|e|||b|late", text, "|")
      for (k = 1; k <= 5; k++) keep[k] = 1
      put("time,sensor,v1,v2,unit")
      for (i = 0; i < n; i++) {
        s = 1 + int(rand() * (i < n / 2 ? 7 : 8))
        u = rand() < 0.5 ? "x" : "y"
        t = sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(i / 1440), int(i % 1440 / 60), i % 60,
                    int(rand() * 60))
        if (rand() < 0.02) { for (k = 1; k <= 5; k++) keep[k] = 1; put("# " i); continue }
        # Target 1: a; 2: c,d; 3: f"g or the empty text; 4: e; 5: b or late, with unit x.
        keep[1] = text[s] == "a"
        keep[2] = text[s] == "c,d"
        keep[3] = text[s] == "f\"g" || text[s] == ""
        keep[4] = text[s] == "e"
        keep[5] = (text[s] == "b" || text[s] == "late") && u == "x"
        if (!keep[1] && !keep[2] && !keep[3] && !keep[4] && !keep[5] && rand() < 0.05) t = "no time"
        if (rand() < 0.02) {  # a row cut short: no unit, so no match of it
          keep[5] = 0
          put(t "," written[s])
        } else {
          put(t "," written[s] "," cell() "," cell() "," u (rand() < 0.3 ? "\r" : ""))
        }
      }
    }'
}

# Each case: target, --match options, other options on both sides.
for log in '1 3000' '2 30000'; do
  logs $log
  for case in '1|--match=2=a|' '1|-H --match=sensor=a|-H' '2|--match=2=c,d|-p' \
    '3|--match=2=f"g --match=2=|--gap=auto' '3|-H --match=sensor= --match=sensor=f"g|-H -g' \
    '4|--match=2=e|--sort' '4|--match=2=e|--last=3h' \
    '5|--match=2=late --match=5=x --match=2=b|' \
    '5|-H --match=unit=x --match=sensor=b --match=sensor=late|-H -r 4'; do
    k=${case%%|*} rest=${case#*|}
    match=${rest%%|*} other=${rest#*|}
    trendle $other "kept.$k.csv" want.png $W $H || fail "log $log, $case: the rows by hand"
    charts "log $log, $case" long.csv bytes $match $other
  done
done
