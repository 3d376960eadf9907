# Names in the key over generated logs with UTF-8 headers (field 2 empty throughout, so series 0
# and its black line stay out of the key): a Latin-1 header charts as the same header in UTF-8; a
# character the font lacks as '?' there; --names as -H with a header naming those fields; NAME#2
# as the field's number. Then the key read back (trendle-pngcmp --key): each label its name in
# the font's glyphs or a cut of it, left to right, inside the image; the even share of the width
# kept where every name fits it, else each entry as wide as the share or its label, with a
# character's room before the next; names cut only where the full ones could not fit, the
# longest first. Charts are read from a file, through a pipe and from a gzip file. Prints the first relation that fails and exits 1.
. "$CASES/relations.sh"
H=120

bytes() { cmp -s got.png want.png; }

# logs SEED: utf8.csv (header, three records), bare.csv (the records alone), names (the series'
# names, one a line), W and, when a name comes twice, dup and the two fields (dup.fields).
logs() {
  LC_ALL=C awk -v seed="$1" '
    BEGIN {
      srand(seed)
      # Odd seeds draw from Latin-1 only; even ones also from Latin-2 and from no font at all.
      n = split(seed % 2 ? "Temp (°C) äußen flow return kWh élan pressure_hpa x 2 Öl" \
                         : "Temp Łódź € flow Żółw → kWh Čas x pressure_hpa ß", pool, " ")
      # Seeds past 14: six series in a narrow image, where the key is tight.
      k = seed > 14 ? 6 : 1 + int(rand() * 6)
      header = "time,"
      for (i = 1; i <= k; i++) {
        name = pool[1 + int(rand() * n)]
        for (words = int(rand() * 4) - 1; words-- > 0;) name = name "_" pool[1 + int(rand() * n)]
        if (i > 1 && rand() < 0.3) {
          name = names[1]
          print name > "dup"
          print 3 "," i + 2 > "dup.fields"
        }
        names[i] = name
        header = header "," name
        print name > "names"
      }
      print header > "utf8.csv"
      for (r = 0; r < 3; r++) {
        line = sprintf("12/05/99 10:3%d:00,", r)
        for (i = 1; i <= k; i++) line = line "," int(rand() * 100)
        print line > "utf8.csv"
        print line > "bare.csv"
      }
      print (seed > 14 ? 160 + int(rand() * 100) : 160 + int(rand() * 1000)) > "W"
    }'
  W=$(cat W)
}

# key_holds: the key of got.png against the names (the font's glyphs in expected), at width $W.
key_holds() {
  trendle-pngcmp --key got.png >key 2>/dev/null || return 1
  LC_ALL=C awk -v W="$W" '
    FILENAME == "expected" { full[++k] = $0; next }
    $1 == "line" { x0[++lines] = $2; x1[lines] = $3; next }
    $1 == "text" {
      t = substr($0, length($1 " " $2 " ") + 1)
      shown[++texts] = t
      start[texts] = $2 - 3 * length(t)
      stop[texts] = start[texts] + 6 * length(t)
    }
    function no(why) { print "key: " why > "/dev/stderr"; bad = 1; exit 1 }
    END {
      if (bad) exit 1
      if (lines != k || texts != k) no(lines " lines and " texts " labels for " k " names")
      slot = int((W - 19) / (k > 3 ? k : 4))
      fit = int((slot - int(slot / 2)) / 6)
      for (i = 1; i <= k; i++) {
        if (substr(full[i], 1, length(shown[i])) != shown[i] || shown[i] == "") no("label " i)
        cut[i] = length(shown[i]) < length(full[i])
        if (cut[i]) cuts++
        if (length(full[i]) > fit) uneven = 1
        # The full label and after it the room between a line and its label; or the share.
        after = start[i] - x1[i]
        wide[i] = start[i] - x0[i] + 6 * length(full[i]) + (i < k ? (after > 6 ? after : 6) : 0)
        need += wide[i]
        if (wide[i] < slot) wide[i] = slot
        widths += wide[i]
      }
      if (stop[k] > W) no("the last label runs out of the image")
      if (cuts && 19 + need <= W) no("names cut where they fit")
      for (i = 1; i <= k; i++) {
        if (start[i] <= x0[i] || (i < k && stop[i] + (uneven ? 6 : 0) > x0[i + 1]))
          no("entry " i " overlaps")
        if (!uneven && x0[i] != 19 + (i - 1) * slot) no("entry " i " off the even share")
        if (uneven && !cuts && 19 + widths <= W && i < k && x0[i + 1] - x0[i] != wide[i])
          no("entry " i " is not as wide as the share or its label")
        for (j = 1; j <= k; j++) {
          if (cut[i] && !cut[j] && length(full[j]) > length(shown[i]) + 1) no("a shorter name cut")
        }
      }
    }' expected key
}

for seed in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18; do
  logs $seed
  what="log $seed"
  sed 's/€/?/g; s/→/?/g' names | iconv -f UTF-8 -t ISO-8859-2 >expected || fail "$what: iconv"
  trendle -H utf8.csv want.png $W $H || fail "$what: the UTF-8 run"
  cp want.png got.png
  key_holds || fail "$what: the key"
  if iconv -f UTF-8 -t ISO-8859-1 utf8.csv >latin1.csv 2>/dev/null; then
    charts "$what, Latin-1 header" latin1.csv bytes -H
  else
    sed 's/€/?/g; s/→/?/g' utf8.csv >marks.csv
    charts "$what, '?' for what the font lacks" marks.csv bytes -H
  fi
  charts "$what, --names" bare.csv bytes --names="x,$(paste -sd, names)"
  if [ -f dup ]; then
    trendle -H -c "$(head -1 dup.fields | cut -d, -f2)" utf8.csv want.png $W $H || fail "$what: by number"
    charts "$what, #2" utf8.csv bytes -H -c "$(head -1 dup)#2"
    trendle -H -c "$(head -1 dup.fields | cut -d, -f1)" utf8.csv want.png $W $H || fail "$what: by number"
    charts "$what, the first of a name" utf8.csv bytes -H -c "$(head -1 dup)"
    rm dup dup.fields
  fi
done
