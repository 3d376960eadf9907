# Sourced by the relation scripts: a scratch directory to work in, removed at the end, and
# fail, which names the first relation that fails and exits 1.
set -u
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

fail() {
  echo "relation fails: $*" >&2
  exit 1
}
