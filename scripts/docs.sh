#!/bin/sh
# Draws the pictures under docs/ again from the commands in docs/pictures.txt, each run in a
# scratch directory that sees examples/ as the top of the repository does. With --check it
# changes nothing and says which picture differs from what its command draws now (exit 1).
#   scripts/docs.sh [--check] [TRENDLE]     TRENDLE: the binary, by default build/debug's
set -eu
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = --check ]; then
  check=1
  shift
fi
tool=$(realpath "${1:-build/debug/trendle}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$PWD/examples" "$work/examples"
mkdir "$work/bin"
ln -s "$tool" "$work/bin/trendle"
status=0
while IFS='|' read -r name command; do
  case $name in '' | '#'*) continue ;; esac
  name=${name%% *}
  rm -f "$work/out.png"
  if ! (cd "$work" && PATH="$work/bin:$PATH" sh -c "$command"); then
    echo "docs: $name: its command fails" >&2
    status=1
  elif [ $check = 1 ]; then
    cmp -s "$work/out.png" "docs/$name" || {
      echo "docs: docs/$name is not what its command draws now (make docs draws it again)" >&2
      status=1
    }
  else
    mv "$work/out.png" "docs/$name"
  fi
done <docs/pictures.txt
exit $status
