# Sourced by the relation scripts: a scratch directory to work in, removed at the end; fail,
# which names the first relation that fails and exits 1; charts, which runs trendle three ways;
# and cells, an awk function for the value cells of generated logs (empty, bad, whole, decimal
# and exponent cells).
set -u
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

fail() {
  echo "relation fails: $*" >&2
  exit 1
}

cells='
    function cell(r) {
      r = rand()
      if (r < 0.1) return ""
      if (r < 0.15) return "x"
      if (r < 0.5) return int(rand() * 200) - 50
      if (r < 0.9) return sprintf("%.3f", rand() * 100 - 20)
      return sprintf("%de%d", 1 + int(rand() * 9), int(rand() * 3))
    }'

# charts WHAT LOG CHECK OPTION...: trendle with the options charts LOG at $W x $H, read from a
# file, through a pipe and from a gzip file, as got.png; CHECK must pass each time.
charts() {
  what=$1 log=$2 check=$3
  shift 3
  trendle "$@" "$log" got.png $W $H && $check || fail "$what, file"
  trendle "$@" /dev/stdin got.png $W $H <"$log" && $check || fail "$what, pipe"
  gzip -c "$log" >log.gz
  trendle "$@" log.gz got.png $W $H && $check || fail "$what, gzip"
}
