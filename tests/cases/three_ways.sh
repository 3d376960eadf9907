# three_ways.sh ARG...: trendle ARG..., which names in.csv and out.png, then the same with
# in.csv read through a pipe and from a gzip file. Exits 1 where those runs differ from the
# first in exit status, standard error or PNG bytes; else with the first run's status.
run() {  # run INPUT OUTPUT ARG...: trendle ARG... with in.csv and out.png replaced
  input=$1 output=$2
  shift 2
  for arg; do
    shift
    case $arg in
      in.csv) set -- "$@" "$input" ;;
      out.png) set -- "$@" "$output" ;;
      *) set -- "$@" "$arg" ;;
    esac
  done
  trendle "$@"
}

trendle "$@" 2>file.err
status=$?
cat file.err >&2
run /dev/stdin piped.png "$@" <in.csv 2>piped.err
piped=$?
gzip -c in.csv >in.gz
run in.gz gzip.png "$@" 2>gzip.err
gzipped=$?
same() {  # same WAY STATUS
  [ "$2" = "$status" ] && cmp -s file.err "$1.err" || return 1
  if [ "$status" = 0 ]; then cmp -s out.png "$1.png"; else [ ! -e "$1.png" ]; fi
}
same piped $piped && same gzip $gzipped || status=1
rm -f file.err piped.err gzip.err piped.png gzip.png in.gz
exit $status
