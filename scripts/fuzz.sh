#!/bin/sh
# Builds the libFuzzer targets with clang (installing clang when missing) and
# runs each for a bounded time, one worker, adding the new interesting inputs
# to its corpus under fuzz/corpus/<target>/. Crash inputs land in build/fuzz/.
#   scripts/fuzz.sh [seconds per target] [target...]   (default 60, all)
# FUZZ_FLAGS adds libFuzzer flags, e.g. FUZZ_FLAGS=-len_control=0 for long inputs at once.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-"record run"}

# libFuzzer ships with clang's runtime libraries; probe for it by linking.
have_libfuzzer() {
  probe='extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }'
  echo "$probe" | clang++ -x c++ -fsanitize=fuzzer - -o /dev/null >/dev/null 2>&1
}

if ! command -v clang++ >/dev/null 2>&1 || ! have_libfuzzer; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing: clang libclang-rt-dev"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-dev >/dev/null
fi

build=build/fuzz
cmake -S . -B $build -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DTRENDLE_SANITIZE=ON -DTRENDLE_FUZZ=ON >/dev/null
for t in $targets; do
  cmake --build $build --target "${t}_fuzz" -j 2
done

mkdir -p $build/artifacts
for t in $targets; do
  echo "== ${t}_fuzz for ${seconds}s"
  # A run that takes seconds on one small input is a hang, and so reported.
  $build/fuzz/"${t}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix=$build/artifacts/"$t"- \
    ${FUZZ_FLAGS:-} fuzz/corpus/"$t"
done
