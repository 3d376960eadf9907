# Quoted fields against the same logs written plainly by hand, over generated logs: cells quoted
# around delimiters, doubled quotes, newlines and CR LF, with text after the closing quote or a
# quote inside an unquoted cell; times quoted around the delimiter, in field 1 and with -t 2, or
# across a line break, the quote the line's first byte; quoted header names found by -H, -c, -t
# and -r; stray quotes, closed two lines on, never, or near the end; with -d ';' too. The quoted
# side is read from a file, through a pipe and from a gzip file; the long logs are large enough
# for threads to share them out, one with records that span lines at the edges of its blocks.
# Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=400

bytes() { cmp -s got.png want.png; }

# logs SEED RECORDS FIELDS DELIMITER KIND LAYOUT: quoted.csv, FIELDS cells a record after the
# time, and plain.csv, the same written by hand with ',' and no quotes: a quoted value is the
# number at its start, a quoted text none. KIND: flat (a record a line) or lines: cells holding
# newlines, a record spanning each block edge (its newline 2 bytes before to 2 after), then past
# 1.3 MB stray quotes, one closed two lines on and one never (100000 quote-free bytes follow;
# `window` gets a time before the one and after the other), and one in the last record, or 3
# before the end in a short log. LAYOUT: dmy, named (a header first), b (month names and a
# 12-hour clock) or b2 (that in field 2).
logs() {
  LC_ALL=C awk -v seed="$1" -v n="$2" -v k="$3" -v d="$4" -v kind="$5" -v layout="$6" "$cells"'
    function put(q, p) {
      if (kind == "lines" && !quiet && rand() < 0.1) q = q "\r"
      print q >"quoted.csv"
      print p >"plain.csv"
      o += length(q) + 1
    }
    function day(s) {
      return sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(s / 86400), int(s % 86400 / 3600),
                     int(s % 3600 / 60), s % 60)
    }
    # The time of the record: tq quoted, tp by hand.
    function stamp(s, h, r) {
      tp = day(s)
      r = quiet ? 0 : int(rand() * (kind == "lines" ? 5 : 4))
      tq = r < 2 ? tp : r == 2 ? "\"" tp "\"" : r == 3 ? "\"" substr(tp, 1, 8) d substr(tp, 9) "\"" : \
           "\"" substr(tp, 1, 8) "\n" substr(tp, 10) "\""
      if (layout !~ /^b/) return
      h = int(s % 86400 / 3600)
      tp = sprintf("%s %d 2024 %d:%02d:%02d %s", month[1 + (seed + int(s / 2419200)) % 12],
                   1 + int(s / 86400) % 28, (h + 11) % 12 + 1, int(s % 3600 / 60), s % 60,
                   h < 12 ? "AM" : "PM")
      tq = "\"" tp "\""
      sub(/ 2024/, d " 2024" d, tq)
    }
    # A cell of value v: q quoted, p by hand.
    function pair(v, r) {
      r = quiet ? 0 : int(rand() * (kind == "lines" ? 11 : 8))
      p = r == 7 ? "ab" : v
      q = r < 2 ? v : r == 2 ? "\"" v "\"" : r == 3 ? " \"" v d "12" d "x\" " : \
          r == 4 ? "\"" v "\"7x" : r == 5 ? "\"" v "\"\"1" d "2\"\"\"" : r == 6 ? " " v "x\"in" : \
          r == 7 ? "\"a" d " b\"\"c\"" : r == 8 ? "\"" v "\nab" d "c\"" : \
          r == 9 ? "\"" v "\r\n" d "\"" : "\"\r\n" v "\""
    }
    BEGIN {
      srand(seed)
      split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", month)
      if (layout == "named") {
        Q = "when|\"a|b\"|\"temp\"\"C\"| \" rain \"\"mm\"\" \" |\"wind\"_kmh"
        P = "when,a|b,temp\"C,rain \"mm\",wind_kmh"
        gsub(/\|/, d, Q)
        gsub(/\|/, d == "," ? "" : d, P)
        put(Q, P)
      }
      s = 90000
      edge = 262144
      last = n - (n < 10000 ? 4 : 1)
      for (i = 0; i < n; i++) {
        quiet = o < still || i > last
        stamp(s += 1 + int(rand() * (layout ~ /^b/ ? 600 : 60)))
        Q = tq
        P = tp
        if (layout == "b2") { pair(cell()); Q = q d tq; P = p "," tp }
        v = cell()
        w = cell()
        left = k  # the cells still to come
        if (kind == "flat") {
        } else if (!quiet && edge - o < 500) {
          Q = Q d "\"" w
          cr = rand() < 0.5
          for (pad = edge + spans++ % 5 - 2 - o - length(Q) - cr; pad-- > 0;) Q = Q "_"
          Q = Q (cr ? "\r" : "") "\nab\""
          P = P "," w
          left = k - 1
          edge += 262144
        } else if (!from && o > 1320000) {
          Q = tp d v d "\"" w d "6\n" day(s + 5) d cell() "\n" day(s += 10) d "1\"" d "9"
          P = P "," v "," w ",9"
          from = day(s - 600)
          left = 0
        } else if (i == last || !to && o > 1340000) {
          Q = tp d v d "\"" w d "6" d "7"
          P = P "," v "," w
          if (i < last) still = o + 100000
          if (!to) to = day(s + 3600)
          left = 0
        }
        for (; left > 0; left--) { pair(cell()); Q = Q d q; P = P "," p }
        put(Q, P)
      }
      print from "\n" to >"window"
    }'
}

# Each log (SEED RECORDS FIELDS DELIMITER KIND LAYOUT) with its option sets, alike on both sides;
# window: from and to as the long log wrote them, where a chart of many records shows its strays.
for case in '1 34000 3 , lines dmy|plain|window|--sort|-c 4,2' '2 30000 4 , flat dmy|plain|-c 5,3' \
  '3 600 4 ; lines named|-H|-H -c a;b,wind_kmh -r a;b' \
  '4 300 4 , flat named|-H -t when -c temp"C,wind_kmh -r wind_kmh' \
  '5 300 2 , flat b|plain' '6 300 2 , flat b2|-t 2' '7 300 2 ; flat b2|-t 2'; do
  log=${case%%|*}
  logs $log
  quoted= H=240
  case $log in *' ; '*) quoted='-d ;' ;; esac
  case $log in *' b'*) H='240 bdYHMSp' ;; esac  # the tform rides on H, which charts leaves unquoted
  IFS='|'
  for options in ${case#*|}; do
    IFS=' '
    set -- $options
    case $options in
      plain) set -- ;;
      window) set -- --from="$(sed -n 1p window)" --to="$(sed -n 2p window)" ;;
    esac
    what="log $log${1:+, $options}"
    trendle "$@" plain.csv want.png $W $H || fail "$what: the plain run"
    charts "$what" quoted.csv bytes $quoted "$@"
  done
done
