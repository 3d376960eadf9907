# --sort against the default reading of the log sorted by hand, over generated logs: shuffled,
# newest first, in order but for a clock set back now and then, and with many records at equal
# times, each with values of its own so that their order shows; each plainly and with other
# options, alike on both sides. A log already in order draws as without --sort, and one without
# equal times draws the same reversed. The --sort side is read from a file, through a pipe and
# from a gzip file; the first log is long enough for threads to share it out and wide enough to
# be sorted in more than one run. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
W=400 H=240
record='^[0-9][0-9]/01/01 [0-9][0-9]:[0-9][0-9]:[0-9][0-9],'  # a record of the logs below

bytes() { cmp -s got.png want.png; }

# same WHAT LOG WANT OPTION...: --sort and the options on LOG draw what the options draw on WANT.
same() {
  what=$1 log=$2 want=$3
  shift 3
  trendle "$@" "$want" want.png $W $H || fail "$what: the run on $want"
  charts "$what" "$log" bytes --sort "$@"
}

# log SEED LINES FIELDS TIES ORDER: a log in the usual layout, FIELDS cells a record; records 1
# to 60 seconds apart, some after an outage of 5 to 30 minutes, a share TIES of them at the time
# of the one before; comment and blank lines and lines without a time. ORDER: sorted, newest
# (first), shuffled, or stepping (in order, but now and then the clock is set back 5 to 50
# minutes).
log() {
  awk -v seed="$1" -v n="$2" -v k="$3" -v ties="$4" -v order="$5" "$cells"'
    BEGIN {
      srand(seed)
      s = 90000
      for (i = 0; i < n; i++) {
        if ((r = rand()) < 0.04) {
          line[i] = r < 0.01 ? "# note 1/2" : r < 0.02 ? "" : ",1,2"
          continue
        }
        if (rand() >= ties) s += rand() < 0.01 ? 300 + int(rand() * 1500) : 1 + int(rand() * 60)
        if (order == "stepping" && rand() < 0.01) s -= 300 + int(rand() * 2700)
        line[i] = sprintf("%02d/01/01 %02d:%02d:%02d", 1 + int(s / 86400), int(s % 86400 / 3600),
                          int(s % 3600 / 60), s % 60)
        for (j = 0; j < k; j++) line[i] = line[i] "," cell()
      }
      for (i = n - 1; order == "shuffled" && i > 0; i--) {
        j = int(rand() * (i + 1))
        r = line[i]; line[i] = line[j]; line[j] = r
      }
      for (i = 0; i < n; i++) print line[order == "newest" ? n - 1 - i : i]
    }'
}

# sorted LOG [HEAD]: the first HEAD lines of LOG (none by default), then its records in time
# order, those at equal times in file order; every other line left out.
sorted() {
  head -n "${2:-0}" "$1"
  grep "$record" "$1" | LC_ALL=C sort -s -t, -k1,1
}

# The record P% of the way through log-sorted.csv, its time as the log writes it.
at() { sed -n "$(($(wc -l <log-sorted.csv) * $1 / 100 + 1))p" log-sorted.csv | cut -d, -f1; }

# Each log (SEED LINES FIELDS TIES ORDER) with its option sets, alike on both sides; the long
# one with those that change what is read.
read='--gap=auto window --last=2h -H' all="$read -p -r2 -g --style=steps --join"
for case in "1 40000 12 0.5 shuffled $read" "2 1200 2 0 shuffled $all" \
  "3 1500 3 0.3 stepping $all" "4 1200 3 0.3 sorted $all" "5 1500 2 0.6 newest $all"; do
  set -- $case
  seed=$1 order=$5
  log "$@" >log.csv
  awk -v k=$3 'NR == 1 { printf "when"; for (j = 1; j <= k; j++) printf ",s%d", j; print "" } 1' \
    log.csv >named.csv
  sorted log.csv >log-sorted.csv
  sorted named.csv 1 >named-sorted.csv
  awk '{ line[NR] = $0 } END { for (i = NR; i > 0; i--) print line[i] }' log.csv >reversed.csv
  a=$(at 30) b=$(at 70)
  in_order=$(grep "$record" log.csv | cmp -s - log-sorted.csv && echo 1)
  distinct=$(cut -d, -f1 log-sorted.csv | uniq -d | sed q)
  shift 5
  for options in plain "$@"; do
    in=log
    set -- $options
    case $options in
      plain) set -- ;;
      window) set -- --from="$a" --to="$b" ;;
      -H) in=named ;;
    esac
    label="$order log $seed${*:+ $*}"
    same "$label, sorted by hand" $in.csv $in-sorted.csv "$@"
    [ "$in_order" ] && same "$label, in order as it is" $in.csv $in.csv "$@"
    # Without equal times file order has no say: reversed, the log draws the --sort chart just made.
    if [ -z "$distinct" ] && [ $in = log ]; then
      cp got.png want.png && charts "$label, reversed" reversed.csv bytes --sort "$@"
    fi
  done
done
