# Every command README.md, docs/GUIDE.md and the manual page give runs as they say: each line of
# their fenced sh blocks (the page's .EX) that runs trendle or pipes into it (a line ending in \
# or \e joined to the next), and each command in their prose written as code that charts a
# bundled log. Each runs in a scratch directory holding a copy of examples/ (the page's, in
# that copy), and exits 0 unless a comment after it says "# exits N" (a banner exits 0). Prints
# the first that fails and exits 1.
. "$CASES/relations.sh"
top=$(cd "$CASES/../.." && pwd)
cp -R "$top/examples" examples  # a copy: no command may touch the bundled logs

LC_ALL=C awk '
  /^```sh/ { block = 1; next }
  /^```/ { block = 0; next }
  block {
    line = held $0
    if (line ~ /\\$/) { held = substr(line, 1, length(line) - 1); next }
    held = ""
    if (line ~ /^(TZ=[^ ]+ |env [^ ]+ )?trendle / || line ~ /\| trendle /) print FILENAME ": " line
    next
  }
  {
    rest = $0
    while (match(rest, /`[^`]*`/)) {
      code = substr(rest, RSTART + 1, RLENGTH - 2)
      rest = substr(rest, RSTART + RLENGTH)
      if (code ~ /^(TZ=[^ ]+ )?trendle .*examples\//) print FILENAME ": " code
    }
  }' "$top/README.md" "$top/docs/GUIDE.md" >commands.txt
# The manual page's examples name the bundled logs as if they were in the working directory.
LC_ALL=C awk '
  /^\.EX/ { block = 1; next }
  /^\.EE/ { block = 0; next }
  block {
    line = held $0
    if (line ~ /\\e$/) { held = substr(line, 1, length(line) - 2); next }
    held = ""
    gsub(/\\-/, "-", line)
    gsub(/\\\(aq/, "\047", line)
    if (line ~ /^(TZ=[^ ]+ )?trendle / || line ~ /\| trendle /) print "man/trendle.1: " line
  }' "$top/man/trendle.1" >>commands.txt
[ -s commands.txt ] || fail "no commands found"
n=0
while IFS= read -r entry; do
  command=${entry#*: }
  want=0
  case $command in *"# exits "*) want=${command##*# exits } want=${want%% *} ;; esac
  case $entry in
    man/*) (cd examples && sh -c "$command") >/dev/null 2>err.txt ;;
    *) sh -c "$command" >/dev/null 2>err.txt ;;
  esac
  got=$?
  [ "$got" = "$want" ] || fail "$entry: exit $got, not $want: $(head -c 300 err.txt)"
  n=$((n + 1))
done <commands.txt
[ "$n" -ge 20 ] || fail "only $n commands"
